// A child process that changes the store or the registry and reports on a
// pipe, one line each: "P <hash> <kind>" before a change (hash of the store it
// must leave), "A" once the call returned true, "F <kind>" when it returned
// false, "X <why>" when the store read back differs from what was expected.
//
//   reliability_worker store <fd> <seed> [max changes, default no limit]
//   reliability_worker registry <fd> <seed> [max write pairs, default no limit]
//   reliability_worker edits <fd> <tag> <count> <pause us> <shared list id>
//
// With TALLYARD_POWER_CUT=1 in the environment, writes reach the files only
// when synced, so a kill leaves what a power cut would. TALLYARD_SQLITE_LOG=1
// prints SQLite's own log to stderr.

#include "app/SettingsKey.h"
#include "platform/UndoHistory.h"
#include "tests/reliability/PowerCutVfs.h"
#include "tests/reliability/StoreChanges.h"

#include <sqlite3.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <unistd.h>

namespace
{
int g_fd = -1;

void Say(const std::string& line)
{
    std::string s = line + "\n";
    const char* p = s.data();
    size_t left = s.size();
    while (left > 0)
    {
        ssize_t n = write(g_fd, p, left);
        if (n <= 0)
            _exit(9);
        p += n;
        left -= static_cast<size_t>(n);
    }
}

std::string Hex(uint64_t h)
{
    char buf[20];
    std::snprintf(buf, sizeof buf, "%016" PRIx64, h);
    return buf;
}

std::u16string U16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

int RunStore(unsigned seed, long maxChanges)
{
    if (!ListStore::CreateDatabases())
    {
        Say("X CreateDatabases failed");
        return 2;
    }
    StoreModel now;
    if (!now.Load())
    {
        Say("X load failed");
        return 2;
    }
    if (const std::string bad = now.CountErrors() + OrphanErrors(); !bad.empty())
    {
        Say("X inconsistent store at start");
        std::cerr << bad;
        return 3;
    }
    Say("S " + Hex(Fnv1a(now.Canonical())));
    std::mt19937 rng(seed);
    int counter = NextCounter(now);
    // The stores before each step that can be undone, and after each undone one.
    std::vector<std::string> undoStates, redoStates;
    for (long n = 0; maxChanges < 0 || n < maxChanges; ++n)
    {
        const std::string before = now.Canonical();
        const unsigned roll = rng() % 100;
        std::string want, kind;
        bool ok = false;
        if (roll < 20 && !undoStates.empty())
        {
            kind = "undo";
            want = undoStates.back();
            Say("P " + Hex(Fnv1a(want)) + " " + kind);
            ok = ObjectStore::Undo::UndoLast() == ObjectStore::UndoOutcome::Done;
            if (ok)
            {
                undoStates.pop_back();
                redoStates.push_back(before);
            }
        }
        else if (roll < 45 && !redoStates.empty())
        {
            kind = "redo";
            want = redoStates.back();
            Say("P " + Hex(Fnv1a(want)) + " " + kind);
            ok = ObjectStore::Undo::RedoLast() == ObjectStore::UndoOutcome::Done;
            if (ok)
            {
                redoStates.pop_back();
                undoStates.push_back(before);
            }
        }
        else
        {
            PlannedChange change = PlanRandomChange(now, rng, counter);
            kind = change.kind;
            want = change.expected.Canonical();
            Say("P " + Hex(Fnv1a(want)) + " " + kind);
            {
                ObjectStore::UndoStep step(U16(kind));
                ok = change.run();
            }
            // A change that changed nothing is no step.
            if (ok && want != before)
            {
                undoStates.push_back(before);
                redoStates.clear();
            }
        }
        if (!ok)
        {
            Say("F " + kind + " (" + Utf8(ListStore::LastError()) + ")");
            return 4;
        }
        Say("A");
        if (!now.Load() || now.Canonical() != want)
        {
            Say("X store differs after " + kind);
            std::cerr << "expected:\n" << want << "stored:\n" << now.Canonical();
            return 3;
        }
    }
    return 0;
}

int RunRegistry(unsigned seed, long maxWrites)
{
    uint32_t n = 0;
    {
        SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
        n = key.ReadNumber(u"ShowPriority", SettingsKey::NoWriteDefault);
        if (n == SettingsKey::NoWriteDefault)
            n = 0;
    }
    {
        SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
        Say("S " + std::to_string(n) + " " + Utf8(key.ReadString(u"LastCategory", nullptr)));
    }
    SettingsKey held(HKEY_CURRENT_USER, kPreferencesKey);
    for (unsigned i = seed; maxWrites < 0 || static_cast<long>(i - seed) < maxWrites; ++i)
    {
        ++n;
        // Alternate between the long-lived key and one opened per write.
        SettingsKey fresh(HKEY_CURRENT_USER, kPreferencesKey);
        SettingsKey& key = (i % 2) ? held : fresh;
        Say("P n " + std::to_string(n));
        if (!key.WriteNumber(u"ShowPriority", n))
        {
            Say("F number");
            return 4;
        }
        Say("A");
        Say("P s Category " + std::to_string(n));
        if (!key.WriteString(u"LastCategory", U16("Category " + std::to_string(n)).c_str()))
        {
            Say("F string");
            return 4;
        }
        Say("A");
    }
    return 0;
}

int RunEdits(const std::string& tag, long count, long pauseUs, int32_t sharedId)
{
    for (long i = 0; i < count; ++i)
    {
        const std::string name = tag + std::to_string(i);
        bool ok;
        if (i % 2 == 0)
        {
            // Read-modify-write of the shared checklist's counts.
            ListStore::Transaction t;
            ListRecord list;
            ok = list.LoadList(sharedId);
            ItemRecord item;
            item.listId = sharedId;
            item.name = U16(name);
            item.priority = 1;
            ok = ok && item.SaveItem();
            ++list.itemCount;
            ++list.uncheckedCount;
            ok = ok && list.SaveList();
            ok = t.Commit() && ok;
        }
        else
        {
            ListRecord own;
            own.name = U16(name);
            own.category = u"Unfiled";
            ok = own.SaveList();
        }
        Say((ok ? "A " : "F ") + name);
        if (pauseUs > 0)
            usleep(static_cast<useconds_t>(pauseUs));
    }
    return 0;
}
}

int main(int argc, char** argv)
{
    if (argc < 4)
        return 64;
    g_fd = std::atoi(argv[2]);
    if (std::getenv("TALLYARD_SQLITE_LOG"))
        sqlite3_config(
            SQLITE_CONFIG_LOG,
            +[](void*, int code, const char* msg) { std::fprintf(stderr, "sqlite %d: %s\n", code, msg); }, nullptr);
    if (const char* cut = std::getenv("TALLYARD_POWER_CUT"); cut && std::strcmp(cut, "1") == 0)
        InstallPowerCutVfs();
    const std::string mode = argv[1];
    if (mode == "store")
        return RunStore(static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)), argc > 4 ? std::atol(argv[4]) : -1);
    if (mode == "registry")
        return RunRegistry(static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)),
                           argc > 4 ? std::atol(argv[4]) : -1);
    if (mode == "edits" && argc >= 7)
        return RunEdits(argv[3], std::atol(argv[4]), std::atol(argv[5]), static_cast<int32_t>(std::atol(argv[6])));
    return 64;
}
