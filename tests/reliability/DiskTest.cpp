// The store on a full disk and on read-only media: edits are refused (false),
// nothing stored before is lost, and a full disk takes edits again once space
// is freed, without a restart.

#include "app/SettingsKey.h"
#include "platform/ObjectStore.h"
#include "tests/reliability/Child.h"
#include "tests/reliability/StoreChanges.h"
#include "tests/support/TempXdg.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sstream>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
// A small tmpfs mounted at `dir` for the life of the object.
class SmallDisk
{
public:
    SmallDisk(const std::string& dir, const char* size) : m_dir(dir)
    {
        fs::create_directories(dir);
        const std::string opts = std::string("size=") + size + ",mode=0700";
        m_mounted = mount("tmpfs", dir.c_str(), "tmpfs", 0, opts.c_str()) == 0;
        m_error = m_mounted ? "" : std::strerror(errno);
    }
    ~SmallDisk()
    {
        if (m_mounted)
            umount2(m_dir.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return m_mounted; }
    const std::string& Error() const { return m_error; }

    /// Writes a filler file until the disk is full; returns the bytes written.
    long Fill()
    {
        const int fd = open((m_dir + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::string block(4096, 'x');
        long total = 0;
        for (;;)
        {
            ssize_t n = write(fd, block.data(), block.size());
            if (n <= 0)
                break;
            total += n;
        }
        close(fd);
        return total;
    }
    void Free() { fs::remove(m_dir + "/filler"); }

private:
    std::string m_dir;
    bool m_mounted = false;
    std::string m_error;
};

std::u16string Big(size_t n, char16_t c) { return std::u16string(n, c); }
}

TEST(FullDisk, EditsAreRefusedNothingIsLostAndEditingResumesOnceSpaceIsFreed)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to mount a small tmpfs for the full disk";
    const std::string root = TempXdgListener::Root() + "/disk";
    SmallDisk disk(root, "1m");
    if (!disk.Mounted())
        GTEST_SKIP() << "could not mount a tmpfs for the full disk: " << disk.Error();
    setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);

    std::mt19937 rng(4);
    int counter = 1;
    ASSERT_TRUE(Populate(rng, counter, 4, 5));
    SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
    ASSERT_TRUE(key.WriteString(u"LastCategory", u"Business"));
    ASSERT_TRUE(key.WriteNumber(u"ShowPriority", 1));
    StoreModel stored;
    ASSERT_TRUE(stored.Load());
    ASSERT_GT(disk.Fill(), 0);

    // Big notes need new pages, which a full disk cannot give.
    int refused = 0, done = 0;
    for (int i = 0; i < 6; ++i)
    {
        StoreModel now;
        ASSERT_TRUE(now.Load()) << "reading must still work on a full disk";
        PlannedChange change;
        ASSERT_TRUE(PlanChange(i % 2 ? "copy" : "renamelist", now, rng, counter, change));
        if (change.kind == "renamelist")
        {
            ListRecord* target = nullptr;
            for (ListRecord& l : change.expected.lists)
                if (!now.Find(l.id) || now.Find(l.id)->name != l.name)
                    target = &l;
            ASSERT_NE(target, nullptr);
            target->note = Big(200000, u'n');
            ListRecord r = *target;
            r.items.clear();
            change.run = [r]() mutable { return r.SaveList(); };
        }
        const bool ok = change.run();
        StoreModel after;
        ASSERT_TRUE(after.Load());
        if (ok)
        {
            ++done;
            EXPECT_EQ(after.Canonical(), change.expected.Canonical()) << change.kind << " reported done but is missing";
        }
        else
        {
            ++refused;
            EXPECT_EQ(after.Canonical(), now.Canonical()) << change.kind << " failed but changed the store";
        }
        stored = after;
    }
    EXPECT_GT(refused, 0) << "no edit was refused on the full disk";
    const bool numberWritten = key.WriteNumber(u"ShowPriority", 5);
    EXPECT_EQ(key.ReadNumber(u"ShowPriority", SettingsKey::NoWriteDefault), numberWritten ? 5u : 1u);
    EXPECT_EQ(key.ReadString(u"LastCategory", nullptr), u"Business");
    std::cout << "[ figures  ] full disk: " << refused << " edits refused, " << done << " done" << std::endl;

    disk.Free();
    {
        StoreModel now;
        ASSERT_TRUE(now.Load());
        EXPECT_EQ(now.Canonical(), stored.Canonical()) << "data stored before the disk filled changed";
        PlannedChange change;
        ASSERT_TRUE(PlanChange("copy", now, rng, counter, change));
        EXPECT_TRUE(change.run()) << "editing does not resume once space is freed";
        ASSERT_TRUE(now.Load());
        EXPECT_EQ(now.Canonical(), change.expected.Canonical());
        EXPECT_TRUE(key.WriteNumber(u"ShowPriority", 3));
        EXPECT_EQ(key.ReadNumber(u"ShowPriority", SettingsKey::NoWriteDefault), 3u);
        stored = now;
    }
    // What a fresh process finds on disk.
    ChildResult fresh = RunInChild([&] {
        ObjectStore::ResetConnection();
        StoreModel m;
        return m.Load() ? IntegrityCheck(StorePath()) + "\n" + m.Canonical() : std::string("unreadable");
    });
    EXPECT_EQ(fresh.output, "ok\n" + stored.Canonical()) << fresh.Describe();
    ObjectStore::ResetConnection();
}

TEST(FullDisk, FirstStartOnAFullDiskLeavesNothingHalfMadeAndWorksOnceSpaceIsFreed)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to mount a small tmpfs for the full disk";
    const std::string root = TempXdgListener::Root() + "/disk";
    SmallDisk disk(root, "512k");
    if (!disk.Mounted())
        GTEST_SKIP() << "could not mount a tmpfs for the full disk: " << disk.Error();
    setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    fs::create_directories(root + "/data/tallyard");
    fs::create_directories(root + "/config/tallyard");
    ASSERT_GT(disk.Fill(), 0);

    const bool created = ListStore::CreateDatabases();
    EXPECT_FALSE(created) << "a store was created on a full disk";
    {
        SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
        EXPECT_FALSE(key.WriteNumber(u"ShowPriority", 1));
        EXPECT_EQ(key.ReadString(u"LastCategory", u"All"), u"All");
    }
    // Nothing half-made that a later start could take for a store.
    EXPECT_FALSE(fs::exists(StorePath()) && fs::file_size(StorePath()) > 0 && !created);

    disk.Free();
    ASSERT_TRUE(ListStore::CreateDatabases()) << "the store is not created once space is freed";
    StoreModel m;
    ASSERT_TRUE(m.Load());
    ASSERT_EQ(m.categories.size(), 2u) << "the default categories are missing";
    EXPECT_EQ(m.categories[0].name, u"Personal");
    SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
    EXPECT_TRUE(key.WriteNumber(u"ShowPriority", 1));
    EXPECT_EQ(key.ReadNumber(u"ShowPriority", SettingsKey::NoWriteDefault), 1u);
    ObjectStore::ResetConnection();
}

namespace
{
enum class Lock
{
    BindMount,
    Immutable,
    Permissions
};

const char* LockName(Lock l)
{
    return l == Lock::BindMount   ? "read-only bind mount"
           : l == Lock::Immutable ? "immutable file and folder"
                                  : "read-only file and folder";
}

// Runs `body` on the store folder made read-only in the way `how`; the
// folder is writable again afterwards. Empty on success, else why not run.
std::string WithReadOnlyStore(Lock how, const std::string& dir, const std::function<std::string()>& body,
                              std::string& result)
{
    const std::string file = dir + "/objectstore.db";
    if (how == Lock::BindMount)
    {
        if (geteuid() != 0)
            return "needs root for a bind mount";
        if (mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) != 0)
            return std::string("bind mount: ") + std::strerror(errno);
        if (mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
        {
            umount2(dir.c_str(), MNT_DETACH);
            return std::string("read-only remount: ") + std::strerror(errno);
        }
        result = RunInChild(body).Describe();
        umount2(dir.c_str(), MNT_DETACH);
        return "";
    }
    if (how == Lock::Immutable)
    {
        if (geteuid() != 0)
            return "needs root for chattr";
        if (std::system(("chattr +i '" + file + "' '" + dir + "' 2>/dev/null").c_str()) != 0)
            return "chattr +i is not supported here";
        result = RunInChild(body).Describe();
        std::system(("chattr -i '" + file + "' '" + dir + "'").c_str());
        return "";
    }
    // Modes alone do not stop root: run the body as nobody.
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                             fs::perms::others_exec | fs::perms::group_read | fs::perms::group_exec);
    for (fs::path p = dir; p.has_parent_path() && p != p.parent_path(); p = p.parent_path())
        if (p.string().rfind(TempXdgListener::Root(), 0) == 0)
            fs::permissions(p, fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add);
    result = RunInChild([&] {
                 if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                     return std::string("cannot drop to nobody");
                 return body();
             }).Describe();
    fs::permissions(dir, fs::perms::owner_all);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    return "";
}
}

class ReadOnlyStore : public testing::TestWithParam<Lock>
{
};

TEST_P(ReadOnlyStore, OpensForReadingAndRefusesEveryEdit)
{
    const std::string dir = TempXdgListener::DataDir();
    StoreModel stored;
    ChildResult made = RunInChild([&] {
        std::mt19937 rng(8);
        int counter = 1;
        const bool ok = Populate(rng, counter, 4, 4);
        StoreModel m;
        m.Load();
        ObjectStore::ResetConnection(); // closes the store cleanly: no WAL left
        return ok ? m.Canonical() : std::string("failed");
    });
    ASSERT_NE(made.output, "failed") << made.Describe();
    ASSERT_FALSE(made.Crashed()) << made.Describe();
    const std::string bytes = ReadFileBytes(dir + "/objectstore.db");
    ASSERT_FALSE(bytes.empty());

    std::string result;
    const std::string skipped = WithReadOnlyStore(
        GetParam(), dir,
        [&] {
            std::ostringstream out;
            out << "create=" << ListStore::CreateDatabases();
            const std::string why = ObjectStore::LastError();
            StoreModel m;
            const bool loaded = m.Load();
            out << " loaded=" << loaded << " same=" << (loaded && m.Canonical() == made.output);
            out << " readonly=" << ObjectStore::IsReadOnly();
            int accepted = 0, tried = 0;
            std::mt19937 rng(9);
            int counter = 500000;
            for (const std::string& kind : ChangeKinds())
            {
                PlannedChange change;
                if (!loaded || !PlanChange(kind, m, rng, counter, change))
                    continue;
                ++tried;
                if (change.run())
                {
                    ++accepted;
                    out << " accepted:" << kind;
                }
            }
            StoreModel again;
            out << " tried=" << tried << " accepted=" << accepted
                << " unchanged=" << (again.Load() && again.Canonical() == made.output);
            if (!loaded)
                out << " (" << why << ")";
            return out.str();
        },
        result);
    if (!skipped.empty())
        GTEST_SKIP() << LockName(GetParam()) << ": " << skipped;
    std::cout << "[ figures  ] " << LockName(GetParam()) << ": " << result << std::endl;
    EXPECT_NE(result.find("create=1"), std::string::npos) << result;
    EXPECT_NE(result.find("loaded=1 same=1"), std::string::npos) << "every checklist must load: " << result;
    EXPECT_NE(result.find("readonly=1"), std::string::npos) << result;
    EXPECT_NE(result.find(" accepted=0 unchanged=1"), std::string::npos) << "an edit was not refused: " << result;
    EXPECT_NE(result.find("tried=13"), std::string::npos) << result;
    EXPECT_EQ(ReadFileBytes(dir + "/objectstore.db"), bytes) << "the read-only file changed";
}

INSTANTIATE_TEST_SUITE_P(Locks, ReadOnlyStore, testing::Values(Lock::BindMount, Lock::Immutable, Lock::Permissions),
                         [](const auto& info) {
                             return std::string(info.param == Lock::BindMount   ? "BindMount"
                                                : info.param == Lock::Immutable ? "Immutable"
                                                                                : "Permissions");
                         });
