// Every change reported as done must be on disk: whatever a change wrote to
// the database, its journal or its WAL was synced before the call returned.

#include "app/SettingsKey.h"
#include "tests/reliability/FaultVfs.h"
#include "tests/reliability/StoreChanges.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

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
            EXPECT_GE(FaultVfs::Count(FaultVfs::Op::Sync), 1) << kind << " returned without a sync";
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
