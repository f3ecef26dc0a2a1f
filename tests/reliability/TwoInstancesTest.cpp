// Two processes editing one store at once: no edit is lost, none fails for a
// locked file, and read-modify-write changes of one checklist do not undo
// each other.

#include "platform/ObjectStore.h"
#include "tests/reliability/Child.h"
#include "tests/reliability/StoreModel.h"

#include <gtest/gtest.h>

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
