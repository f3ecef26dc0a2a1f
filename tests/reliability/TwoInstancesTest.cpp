// Two processes editing one store at once: no edit is lost, none fails for a
// locked file, and read-modify-write changes of one checklist do not undo
// each other.

#include "app/SettingsKey.h"
#include "platform/ObjectStore.h"
#include "tests/reliability/Child.h"
#include "tests/reliability/StoreModel.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <set>
#include <thread>

namespace
{
struct Reports
{
    std::vector<std::string> acked, failed;
};

void Collect(Worker& w, Reports& r)
{
    std::string line;
    while (w.ReadLine(line, 60000))
        (line[0] == 'A' ? r.acked : r.failed).push_back(line.substr(2));
}

std::u16string U16(const std::string& s) { return std::u16string(s.begin(), s.end()); }
}

TEST(TwoInstances, ConcurrentEditsAreAllKeptWithoutLockFailures)
{
    const int edits = Scale(300, 1000);
    ASSERT_TRUE(ListStore::CreateDatabases());
    ListRecord shared;
    shared.name = u"shared";
    shared.category = u"Unfiled";
    ASSERT_TRUE(shared.SaveList());
    ObjectStore::ResetConnection(); // this process takes no part in the race

    Worker a("edits", {"a", std::to_string(edits), "300", std::to_string(shared.id)});
    Worker b("edits", {"b", std::to_string(edits), "300", std::to_string(shared.id)});
    Reports ra, rb;
    std::thread ta([&] { Collect(a, ra); });
    Collect(b, rb);
    ta.join();
    EXPECT_EQ(a.Wait(), 0);
    EXPECT_EQ(b.Wait(), 0);

    EXPECT_EQ(ra.failed.size() + rb.failed.size(), 0u)
        << "edits failed, e.g. " << (ra.failed.empty() ? (rb.failed.empty() ? "" : rb.failed[0]) : ra.failed[0]);
    EXPECT_EQ(ra.acked.size() + ra.failed.size(), static_cast<size_t>(edits));
    EXPECT_EQ(rb.acked.size() + rb.failed.size(), static_cast<size_t>(edits));

    StoreModel m;
    ASSERT_TRUE(m.Load());
    std::set<std::u16string> names;
    const ListRecord* stored = nullptr;
    for (const ListRecord& l : m.lists)
    {
        names.insert(l.name);
        if (l.id == shared.id)
            stored = &l;
    }
    ASSERT_NE(stored, nullptr);
    for (const ItemRecord& i : stored->items)
        names.insert(i.name);
    int lost = 0;
    for (const Reports* r : {&ra, &rb})
        for (const std::string& name : r->acked)
            lost += !names.count(U16(name));
    EXPECT_EQ(lost, 0) << "acknowledged edits missing";
    EXPECT_EQ(stored->itemCount, static_cast<int16_t>(stored->items.size())) << "an update of the counts was lost";
    EXPECT_EQ(stored->uncheckedCount, static_cast<int16_t>(stored->items.size()));
    EXPECT_EQ(IntegrityCheck(StorePath()), "ok");
    std::cout << "[ figures  ] two instances: " << ra.acked.size() + rb.acked.size() << " edits acknowledged, "
              << ra.failed.size() + rb.failed.size() << " failed, " << lost << " lost" << std::endl;
}

TEST(TwoInstances, ConcurrentRegistryWritesNeverFailForALock)
{
    const int writes = Scale(200, 1000);
    Worker a("registry", {"0", std::to_string(writes)});
    Worker b("registry", {"1", std::to_string(writes)});
    std::vector<std::string> la, lb;
    std::thread ta([&] {
        std::string line;
        while (a.ReadLine(line, 60000))
            la.push_back(line);
    });
    std::string line;
    while (b.ReadLine(line, 60000))
        lb.push_back(line);
    ta.join();
    const int sa = a.Wait(), sb = b.Wait();
    int acks = 0, failed = 0;
    for (const auto* lines : {&la, &lb})
        for (const std::string& l : *lines)
        {
            acks += l == "A";
            failed += l[0] == 'F';
        }
    EXPECT_EQ(sa, 0);
    EXPECT_EQ(sb, 0);
    EXPECT_EQ(failed, 0) << "registry writes failed";
    EXPECT_EQ(acks, 4 * writes);
    EXPECT_EQ(IntegrityCheck(RegistryPath()), "ok");
    std::cout << "[ figures  ] two instances: " << acks << " registry writes acknowledged, " << failed << " failed"
              << std::endl;
}

// Another instance holding the write lock for a while makes an edit wait,
// not fail: the store and the registry wait about five seconds or more.
TEST(TwoInstances, AnEditWaitsForAnotherInstancesWriteLock)
{
    const int holdMs = Scale(1500, 4900);
    ASSERT_TRUE(ListStore::CreateDatabases());
    {
        SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
        ASSERT_TRUE(key.WriteNumber(u"ShowPriority", 0));
    }
    for (const std::string& path : {StorePath(), RegistryPath()})
    {
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open_v2(path.c_str(), &other, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
            sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        });
        const auto start = std::chrono::steady_clock::now();
        bool saved;
        if (path == StorePath())
        {
            ListRecord list;
            list.name = u"waited";
            list.category = u"Unfiled";
            saved = list.SaveList();
        }
        else
        {
            SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
            saved = key.WriteNumber(u"ShowPriority", 1);
        }
        const auto waited =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        release.join();
        sqlite3_close(other);
        EXPECT_TRUE(saved) << path << ": the edit failed instead of waiting for the lock";
        EXPECT_GE(waited, holdMs - 100) << path << ": the edit did not wait for the lock";
    }
    StoreModel m;
    ASSERT_TRUE(m.Load());
    ASSERT_EQ(m.lists.size(), 1u);
    EXPECT_EQ(m.lists[0].name, u"waited");
}
