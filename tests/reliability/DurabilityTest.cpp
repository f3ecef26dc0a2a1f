// Every change reported as done must be on disk: whatever a change wrote to
// the database, its journal or its WAL was synced before the call returned.

#include "app/SettingsKey.h"
#include "tests/reliability/Child.h"
#include "tests/reliability/FaultVfs.h"
#include "tests/reliability/StoreChanges.h"
#include "tests/support/TempXdg.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <map>
#include <set>

namespace
{
std::string Pragma(const std::string& path, const char* pragma)
{
    sqlite3* db = nullptr;
    std::string value;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK)
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, pragma, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            value = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return value;
}

std::string Join(const std::vector<std::string>& v)
{
    std::string s;
    for (auto& x : v)
        s += x + " ";
    return s;
}
}

TEST(Durability, EveryKindOfStoreChangeIsSyncedBeforeItReturns)
{
    FaultVfs::Install();
    std::mt19937 rng(3);
    int counter = 1;
    ASSERT_TRUE(Populate(rng, counter, 3, 3));
    EXPECT_TRUE(FaultVfs::WalSeen()) << "the store does not write through a WAL";
    EXPECT_EQ(Pragma(StorePath(), "PRAGMA journal_mode"), "wal");

    int changes = 0;
    for (int round = 0; round < 3; ++round)
        for (const std::string& kind : ChangeKinds())
        {
            StoreModel now;
            ASSERT_TRUE(now.Load());
            PlannedChange change;
            if (!PlanChange(kind, now, rng, counter, change))
                continue;
            FaultVfs::ResetCounts();
            ASSERT_TRUE(change.run()) << kind;
            ++changes;
            // A change that leaves the store as it was (a sort of what is in
            // order already) may write nothing, and then has nothing to sync.
            if (change.expected.Canonical() != now.Canonical())
            {
                EXPECT_GE(FaultVfs::Count(FaultVfs::Op::Sync), 1) << kind << " returned without a sync";
            }
            EXPECT_TRUE(FaultVfs::UnsyncedFiles().empty())
                << kind << " returned with unsynced writes to " << Join(FaultVfs::UnsyncedFiles());
        }
    std::cout << "[ figures  ] " << changes << " changes, each synced before it returned" << std::endl;
}

TEST(Durability, RegistryWritesAreSyncedBeforeTheyReturn)
{
    FaultVfs::Install();
    SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
    for (uint32_t i = 0; i < 5; ++i)
    {
        FaultVfs::ResetCounts();
        ASSERT_TRUE(key.WriteNumber(u"ShowPriority", i));
        EXPECT_GE(FaultVfs::Count(FaultVfs::Op::Sync), 1);
        EXPECT_TRUE(FaultVfs::UnsyncedFiles().empty()) << Join(FaultVfs::UnsyncedFiles());
        FaultVfs::ResetCounts();
        ASSERT_TRUE(key.WriteString(u"LastCategory", u"Business"));
        EXPECT_TRUE(FaultVfs::UnsyncedFiles().empty()) << Join(FaultVfs::UnsyncedFiles());
        // A read that writes its default back is a write too.
        FaultVfs::ResetCounts();
        std::u16string name = u"Missing" + std::u16string(1, static_cast<char16_t>(u'a' + i));
        EXPECT_EQ(key.ReadNumber(name.c_str(), 7), 7u);
        EXPECT_TRUE(FaultVfs::UnsyncedFiles().empty()) << Join(FaultVfs::UnsyncedFiles());
    }
}

// The same seen from outside, in the system calls of the worker: every
// pwrite to the store's files before an acknowledgement is followed by an
// fsync or fdatasync of that file before the acknowledgement is written.
TEST(Durability, WorkerSyncsBeforeEachAcknowledgementInItsSystemCalls)
{
    if (std::system("command -v strace >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "strace is not installed";
    const std::string trace = TempXdgListener::Root() + "/trace.txt";
    // LeakSanitizer cannot run under ptrace.
    const std::string cmd = "ASAN_OPTIONS=detect_leaks=0 strace -f -qq -s 4 "
                            "-e trace=openat,close,unlink,unlinkat,pwrite64,write,fsync,fdatasync -o '" +
                            trace + "' '" + WorkerPath() + "' store 1 21 " + std::to_string(Scale(40, 200)) +
                            " >/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

    std::ifstream in(trace);
    std::map<int, std::string> files; // fd -> store file
    std::set<std::string> dirty;      // store files written since their last sync
    int acks = 0, syncs = 0, late = 0;
    std::string line, firstLate;
    while (std::getline(in, line))
    {
        // "<pid>  <call>(<first argument>, ...) = <result>"
        const size_t nameStart = line.find_first_not_of(' ', line.find(' '));
        const size_t open = line.find('(', nameStart);
        const size_t result = line.rfind(" = ");
        if (nameStart == std::string::npos || open == std::string::npos || result == std::string::npos)
            continue;
        const std::string fn = line.substr(nameStart, open - nameStart);
        const long ret = std::strtol(line.c_str() + result + 3, nullptr, 10);
        const size_t q1 = line.find('"', open), q2 = q1 == std::string::npos ? q1 : line.find('"', q1 + 1);
        const std::string path = q2 == std::string::npos ? "" : line.substr(q1 + 1, q2 - q1 - 1);
        // The WAL index (-shm) is memory shared between processes, never synced.
        const bool storeFile =
            path.find("objectstore.db") != std::string::npos && path.find("-shm") == std::string::npos;
        const int fd = std::atoi(line.c_str() + open + 1);
        if (fn == "openat")
        {
            if (storeFile && ret >= 0)
                files[int(ret)] = path;
        }
        else if (fn == "unlink" || fn == "unlinkat")
            dirty.erase(path);
        else if (fn == "close")
            files.erase(fd);
        else if (fn == "pwrite64" && files.count(fd) && ret >= 0)
            dirty.insert(files[fd]);
        else if ((fn == "fsync" || fn == "fdatasync") && files.count(fd) && ret == 0)
        {
            ++syncs;
            dirty.erase(files[fd]);
        }
        else if (fn == "write" && fd == 1 && line.find("\"A\\n\"") != std::string::npos)
        {
            ++acks;
            if (!dirty.empty())
            {
                ++late;
                if (firstLate.empty())
                    firstLate = *dirty.begin();
            }
        }
    }
    std::cout << "[ figures  ] strace: " << acks << " acknowledgements, " << syncs << " syncs of the store's files, "
              << late << " acknowledged before a sync" << std::endl;
    EXPECT_GE(acks, Scale(40, 200));
    EXPECT_GE(syncs, acks);
    EXPECT_EQ(late, 0) << "unsynced writes to " << firstLate << " before an acknowledgement";
}
