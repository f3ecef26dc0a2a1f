// Files at the store's path that are not a sound store: the store must not
// crash, must not take them for an empty store, and must leave them exactly
// as they were unless they open as a sound store.

#include "app/SettingsKey.h"
#include "platform/ObjectStore.h"
#include "tests/reliability/Child.h"
#include "tests/reliability/StoreChanges.h"
#include "tests/support/TempXdg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace
{
struct Tally
{
    int files = 0;
    int refused = 0; // CreateDatabases false
    int opened = 0;  // CreateDatabases true
    int written = 0; // the file changed (allowed for sound files only)
    std::vector<std::string> failures;
};

// A sound store with some content, as bytes of one file (no WAL).
std::string MakeStoreBytes(int& lists)
{
    const std::string dir = TempXdgListener::Root() + "/sound";
    ChildResult r = RunInChild([&] {
        setenv("XDG_DATA_HOME", dir.c_str(), 1);
        std::mt19937 rng(6);
        int counter = 1;
        const bool ok = Populate(rng, counter, 5, 4);
        ObjectStore::ResetConnection();
        return std::string(ok ? "ok" : "failed");
    });
    lists = 5;
    return r.output == "ok" ? ReadFileBytes(dir + "/tallyard/objectstore.db") : "";
}

// Counts the raw checklist records, or -1 when they cannot be counted.
int RawChecklists()
{
    ObjectStore::Database db;
    uint32_t n = 0;
    return db.Open(u"KvTyChecklists") && db.Count(n) ? static_cast<int>(n) : -1;
}

// Puts `bytes` at the store's path (a folder when `folder`), lets a fresh
// process start the store on it, load, and try one edit, then judges.
void TryFile(const std::string& label, const std::string& bytes, bool folder, int soundLists, Tally& t)
{
    const std::string dir = TempXdgListener::Root() + "/case";
    fs::remove_all(dir);
    fs::create_directories(dir + "/tallyard");
    const std::string path = dir + "/tallyard/objectstore.db";
    if (folder)
        fs::create_directories(path + "/inside");
    else
        WriteFileBytes(path, bytes);
    // Whether the file is sound, judged by SQLite on a copy.
    bool sound = false;
    if (!folder)
    {
        const std::string copy = dir + "/copy.db";
        WriteFileBytes(copy, bytes);
        sound = IntegrityCheck(copy) == "ok";
        fs::remove(copy);
    }
    ++t.files;
    const size_t failuresBefore = t.failures.size();
    ChildResult r = RunInChild([&] {
        setenv("XDG_DATA_HOME", dir.c_str(), 1);
        std::ostringstream out;
        const bool created = ListStore::CreateDatabases();
        const int before = RawChecklists();
        StoreModel m;
        const bool loaded = m.Load();
        ListRecord fresh;
        fresh.name = u"written over?";
        fresh.category = u"Unfiled";
        const bool edited = fresh.SaveList();
        ObjectStore::ResetConnection();
        out << created << ' ' << loaded << ' ' << edited << ' ' << before;
        return out.str();
    });
    if (r.Crashed())
    {
        t.failures.push_back(label + ": " + r.Describe());
        return;
    }
    int created = 0, loaded = 0, edited = 0, before = 0;
    std::istringstream(r.output) >> created >> loaded >> edited >> before;
    created ? ++t.opened : ++t.refused;
    if (folder)
    {
        if (!fs::is_directory(path + "/inside"))
            t.failures.push_back(label + ": the folder was changed");
        if (created || edited)
            t.failures.push_back(label + ": a folder was taken for a store");
        return;
    }
    const std::string now = ReadFileBytes(path);
    if (now != bytes)
    {
        ++t.written;
        if (!sound)
            t.failures.push_back(
                label + ": the damaged file was written to (" + r.output + ")" +
                (std::getenv("TALLYARD_RELIABILITY_KEEP") ? " kept as case" + std::to_string(t.files) : ""));
    }
    if (edited)
    {
        // The edit landed: it must have gone into the old content, not a new empty store.
        ChildResult c = RunInChild([&] {
            setenv("XDG_DATA_HOME", dir.c_str(), 1);
            return std::to_string(RawChecklists());
        });
        const int after = std::atoi(c.output.c_str());
        if (!bytes.empty() && soundLists > 0 && after != before + 1)
            t.failures.push_back(label + ": after an accepted edit " + std::to_string(after) +
                                 " checklists are stored, " + std::to_string(before) + " before");
        if (!sound)
            t.failures.push_back(label + ": an edit was accepted on a damaged file");
    }
    // TALLYARD_RELIABILITY_KEEP=<folder> keeps the files that failed, for a look.
    const char* keep = std::getenv("TALLYARD_RELIABILITY_KEEP");
    if (keep && *keep && t.failures.size() > failuresBefore)
        WriteFileBytes(std::string(keep) + "/case" + std::to_string(t.files) + ".db", bytes);
}

std::string Random(std::mt19937& rng, size_t n)
{
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}
}

TEST(DamagedFile, NeverCrashesNorWritesOverWhatItCannotRead)
{
    int lists = 0;
    const std::string good = MakeStoreBytes(lists);
    ASSERT_GT(good.size(), 4096u);
    const size_t page = 4096;
    std::mt19937 rng(12);
    Tally t;

    TryFile("text file", "Shopping: milk, bread\nnot a database\n", false, 0, t);
    TryFile("random bytes", Random(rng, 16384), false, 0, t);
    TryFile("zero-length file", "", false, 0, t);
    TryFile("folder at the path", "", true, 0, t);
    std::string clobbered = good;
    clobbered.replace(0, 100, Random(rng, 100));
    TryFile("clobbered header", clobbered, false, lists, t);
    std::string magicOnly = good;
    magicOnly.replace(0, 16, "SQLite format 2\0", 16);
    TryFile("wrong magic", magicOnly, false, lists, t);
    for (size_t p = 1; p * page < good.size(); ++p)
    {
        std::string over = good;
        over.replace(p * page, page, Random(rng, page));
        TryFile("page " + std::to_string(p + 1) + " overwritten", over, false, lists, t);
        std::string zeroed = good;
        zeroed.replace(p * page, page, std::string(page, '\0'));
        TryFile("page " + std::to_string(p + 1) + " zeroed", zeroed, false, lists, t);
    }
    for (size_t cut : {size_t(50), size_t(100), page, good.size() / 2, good.size() - page})
        TryFile("truncated to " + std::to_string(cut), good.substr(0, cut), false, lists, t);

    // Random byte flips: half anywhere, half in the header and page headers.
    const int flips = Scale(60, 1000);
    for (int i = 0; i < flips && t.failures.size() <= 10; ++i)
    {
        std::string bad = good;
        const int n = 1 + static_cast<int>(rng() % 4);
        std::ostringstream label;
        label << "flip #" << i << " at";
        for (int j = 0; j < n; ++j)
        {
            size_t at = rng() % bad.size();
            if (i % 2)
                at = (rng() % (bad.size() / page)) * page + (rng() % 112);
            bad[at] = static_cast<char>(bad[at] ^ (1 + rng() % 255));
            label << ' ' << at;
        }
        TryFile(label.str(), bad, false, lists, t);
    }
    std::cout << "[ figures  ] " << t.files << " files tried (" << flips << " with flipped bytes): " << t.refused
              << " refused, " << t.opened << " opened, " << t.written << " written to (all sound)" << std::endl;
    for (const std::string& f : t.failures)
        ADD_FAILURE() << f;
}

// The registry file gets the same treatment: reads fall back to their
// defaults, writes fail, and a damaged file is left as it was.
TEST(DamagedFile, RegistryLeavesWhatItCannotReadAsItWas)
{
    const std::string dir = TempXdgListener::ConfigDir();
    const std::string path = dir + "/registry.db";
    ChildResult made = RunInChild([] {
        SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
        const bool ok = key.WriteString(u"LastCategory", u"Business") && key.WriteNumber(u"ShowPriority", 1);
        return std::string(ok ? "ok" : "failed");
    });
    ASSERT_EQ(made.output, "ok") << made.Describe();
    const std::string good = ReadFileBytes(path);
    ASSERT_FALSE(good.empty());
    std::mt19937 rng(13);
    std::vector<std::pair<std::string, std::string>> cases = {{"text file", "LastCategory=All\n"},
                                                              {"random bytes", Random(rng, 8192)}};
    std::string clobbered = good;
    clobbered.replace(0, 100, Random(rng, 100));
    cases.emplace_back("clobbered header", clobbered);
    for (int i = 0; i < Scale(40, 300); ++i)
    {
        std::string bad = good;
        const size_t at = rng() % bad.size();
        bad[at] = static_cast<char>(bad[at] ^ (1 + rng() % 255));
        cases.emplace_back("flip at " + std::to_string(at), bad);
    }
    int refused = 0, written = 0;
    for (const auto& [label, bytes] : cases)
    {
        WriteFileBytes(path, bytes);
        fs::remove(path + "-wal");
        fs::remove(path + "-shm");
        const std::string copy = TempXdgListener::Root() + "/copy.db";
        WriteFileBytes(copy, bytes);
        const bool sound = IntegrityCheck(copy) == "ok";
        fs::remove(copy);
        ChildResult r = RunInChild([] {
            SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
            const std::u16string text = key.ReadString(u"LastCategory", u"All");
            const bool wrote = key.WriteNumber(u"ShowPriority", 4);
            return std::string(wrote ? "wrote " : "refused ") + Utf8(text);
        });
        ASSERT_FALSE(r.Crashed()) << label << ": " << r.Describe();
        r.output.rfind("wrote", 0) == 0 ? ++written : ++refused;
        if (!sound)
        {
            EXPECT_TRUE(ReadFileBytes(path) == bytes) << label << ": the damaged registry was written to";
            const char* keep = std::getenv("TALLYARD_RELIABILITY_KEEP");
            if (keep && *keep && ReadFileBytes(path) != bytes)
                WriteFileBytes(std::string(keep) + "/registry-" + std::to_string(refused + written) + ".db", bytes);
            EXPECT_EQ(r.output.rfind("refused", 0), 0u) << label << ": " << r.output;
        }
    }
    std::cout << "[ figures  ] registry: " << cases.size() << " damaged files tried, " << refused << " writes refused, "
              << written << " written (sound files only)" << std::endl;
}
