// The store side's 16-bit counts and positions against what a server sends.
#include "store/IcalStore.h"
#include "store/ListStore.h"
#include "sync/IcalText.h"
#include "sync/SyncEngine.h"
#include "sync/SyncStatus.h"
#include "sync/SyncStore.h"
#include "tests/sync/MemorySides.h"

#include <climits>
#include <gtest/gtest.h>

namespace
{
std::string Todo(const std::string& uid, const std::string& more)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VTODO\r\nUID:" + uid +
           "\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:" + uid + "\r\n" + more + "END:VTODO\r\nEND:VCALENDAR\r\n";
}

std::string ItemOf(const std::string& parent, const std::string& uid, const std::string& more = "")
{
    return Todo(uid, "RELATED-TO;RELTYPE=PARENT:" + parent + "\r\n" + more);
}

std::string UidOf(IcalStore::Kind kind, int32_t id)
{
    IcalStore::Extra row;
    EXPECT_TRUE(IcalStore::EnsureUids() && IcalStore::Load(kind, id, row));
    return IcalText::ToUtf8(row.uid);
}

/// A stored checklist with `items` items, counts right.
ListRecord FullList(int items)
{
    EXPECT_TRUE(ListStore::CreateDatabases());
    ListStore::Transaction tx;
    ListRecord list;
    list.name = u"Big";
    EXPECT_TRUE(list.SaveList());
    for (int i = 0; i < items; ++i)
    {
        ItemRecord item;
        item.listId = list.id;
        item.name = u"i";
        item.position = int16_t(i);
        EXPECT_TRUE(item.SaveItem());
    }
    list.itemCount = int16_t(items);
    list.uncheckedCount = int16_t(items);
    EXPECT_TRUE(list.SaveList() && tx.Commit());
    return list;
}

void ExpectCounts(int32_t listId, int items)
{
    ListRecord list;
    ASSERT_TRUE(list.LoadList(listId) && list.LoadItems(FilterAll));
    EXPECT_EQ(int(list.items.size()), items);
    EXPECT_EQ(list.itemCount, items);
    EXPECT_EQ(list.uncheckedCount, items);
}
}

TEST(SyncStoreLimits, ASyncThatWouldPutMoreThan32767ItemsInAChecklistFailsSaying)
{
    // A checklist one item short of the most a checklist holds, synced
    // already: both sides and the status agree on every record.
    ListRecord big = FullList(INT16_MAX - 1);
    const std::string parent = UidOf(IcalStore::Kind::Checklist, big.id);
    Sync::StoreSide local("http://127.0.0.1/c/");
    Sync::Testing::MemoryRemote remote;
    {
        std::vector<IcalStore::Extra> rows;
        ASSERT_TRUE(IcalStore::LoadAll(rows));
        ListStore::Transaction tx;
        for (const IcalStore::Extra& row : rows)
        {
            const std::string uid = IcalText::ToUtf8(row.uid);
            const std::string text = row.kind == IcalStore::Kind::Item ? ItemOf(parent, uid) : Todo(uid, "");
            const std::string href = remote.HrefFor(uid);
            ASSERT_TRUE(local.SaveStatus({uid, href, remote.Put(href, text), Sync::RecordVersion(row), text}));
        }
        std::map<std::string, std::string> changed;
        std::vector<std::string> removed;
        bool complete = false;
        std::string token;
        ASSERT_TRUE(remote.Changes("", changed, removed, complete, token) && local.SaveToken(token));
        ASSERT_TRUE(tx.Commit());
    }

    // The 32,767th item lands; the 32,768th stops the sync, every time.
    remote.PutTodo(ItemOf(parent, "last-that-fits"));
    remote.PutTodo(ItemOf(parent, "one-too-many"));
    for (int run = 0; run < 2; ++run)
    {
        Sync::Report r = Sync::Engine(local, remote).Run();
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, "the checklist \"Big\" would hold more than 32,767 items");
        ExpectCounts(big.id, INT16_MAX);
        IcalStore::Extra row;
        EXPECT_TRUE(IcalStore::FindUid(u"last-that-fits", row));
        EXPECT_FALSE(IcalStore::FindUid(u"one-too-many", row));
        Sync::StatusEntry entry;
        EXPECT_FALSE(SyncStatus::Find("one-too-many", entry));
    }
    EXPECT_EQ(remote.writes, 0);

    // Room made on the server: the next sync completes.
    remote.Erase(remote.HrefFor("last-that-fits"));
    Sync::Report r = Sync::Engine(local, remote).Run();
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.deletedLocal, 1);
    ExpectCounts(big.id, INT16_MAX);
    IcalStore::Extra row;
    EXPECT_TRUE(IcalStore::FindUid(u"one-too-many", row));
}

TEST(SyncStoreLimits, PositionsAndPrioritiesOutOfRangeNeverWrap)
{
    ListRecord list = FullList(2);
    const std::string parent = UidOf(IcalStore::Kind::Checklist, list.id);
    Sync::StoreSide local("http://127.0.0.1/c/");
    struct
    {
        const char* lines;
        int16_t position; // -1: wherever a new item goes (the end)
        int16_t priority;
    } cases[] = {
        {"X-APPLE-SORT-ORDER:32767\r\nPRIORITY:9\r\n", 32767, 5},
        {"X-APPLE-SORT-ORDER:-32768\r\nPRIORITY:1\r\n", -32768, 1},
        {"X-APPLE-SORT-ORDER:32768\r\nPRIORITY:10\r\n", -1, 5},
        {"X-APPLE-SORT-ORDER:-32769\r\nPRIORITY:2147483647\r\n", -1, 5},
        {"X-APPLE-SORT-ORDER:700000000000\r\nPRIORITY:-3\r\n", -1, 0},
        {"X-APPLE-SORT-ORDER:99999999999999999999999\r\nPRIORITY:0\r\n", -1, 0},
    };
    int n = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.lines);
        const std::string uid = "item-" + std::to_string(n++);
        Sync::StatusEntry status{uid, "/c/" + uid + ".ics", "\"1\"", "", ""};
        ASSERT_EQ(local.Put(uid, ItemOf(parent, uid, c.lines), "", status), Sync::Outcome::Ok) << local.Error();
        IcalStore::Extra row;
        ItemRecord item;
        ASSERT_TRUE(IcalStore::FindUid(IcalText::FromUtf8(uid), row) && item.LoadItem(row.id));
        EXPECT_EQ(item.position, c.position == -1 ? int16_t(1 + n) : c.position);
        EXPECT_EQ(item.priority, c.priority);
    }
    ExpectCounts(list.id, 2 + n);
}

namespace
{
/// The checklist's stored counts, checked against its items.
std::pair<int, int> Counts(int32_t listId)
{
    ListRecord list;
    EXPECT_TRUE(list.LoadList(listId) && list.LoadItems(FilterAll));
    int unchecked = 0;
    for (const ItemRecord& item : list.items)
        unchecked += item.checked ? 0 : 1;
    EXPECT_EQ(list.itemCount, int(list.items.size()));
    EXPECT_EQ(list.uncheckedCount, unchecked);
    return {list.itemCount, list.uncheckedCount};
}

/// The version of the stored record with this UID, for a write over it.
std::string VersionOf(const std::string& uid)
{
    IcalStore::Extra row;
    EXPECT_TRUE(IcalStore::FindUid(IcalText::FromUtf8(uid), row));
    return Sync::RecordVersion(row);
}

void SetCounts(int32_t listId, int16_t items, int16_t unchecked)
{
    ListRecord list;
    ASSERT_TRUE(list.LoadList(listId));
    list.itemCount = items;
    list.uncheckedCount = unchecked;
    ASSERT_TRUE(list.SaveList());
}
}

TEST(SyncStoreLimits, CountsFollowEveryWriteAndComeFromTheItemsInEachPass)
{
    ListRecord a = FullList(3);
    const std::string aUid = UidOf(IcalStore::Kind::Checklist, a.id);
    Sync::StoreSide local("http://127.0.0.1/c/");
    std::map<std::string, std::string> versions;
    ASSERT_TRUE(local.List(versions));
    auto put = [&](const std::string& uid, const std::string& text, const std::string& expected) {
        Sync::StatusEntry status{uid, "/c/" + uid + ".ics", "\"1\"", "", ""};
        EXPECT_EQ(local.Put(uid, text, expected, status), Sync::Outcome::Ok) << uid << ": " << local.Error();
    };
    put("list-b", Todo("list-b", ""), "");
    IcalStore::Extra bRow;
    ASSERT_TRUE(IcalStore::FindUid(u"list-b", bRow));

    // Counts left wrong by someone else are set from the items by the
    // pass's first write into the checklist.
    SetCounts(a.id, 7, 0);
    put("n1", ItemOf(aUid, "n1"), "");
    EXPECT_EQ(Counts(a.id), std::make_pair(4, 4));
    const std::string done = "STATUS:COMPLETED\r\n";
    put("n2", ItemOf(aUid, "n2", done), "");
    EXPECT_EQ(Counts(a.id), std::make_pair(5, 4));
    put("n1", ItemOf(aUid, "n1", done), VersionOf("n1")); // ticked there
    EXPECT_EQ(Counts(a.id), std::make_pair(5, 3));
    put("n2", ItemOf("list-b", "n2", done), VersionOf("n2")); // moved there
    EXPECT_EQ(Counts(a.id), std::make_pair(4, 3));
    EXPECT_EQ(Counts(bRow.id), std::make_pair(1, 0));
    put("n2", ItemOf("list-b", "n2"), VersionOf("n2")); // unticked there
    EXPECT_EQ(Counts(bRow.id), std::make_pair(1, 1));
    EXPECT_EQ(local.Remove("n1", VersionOf("n1")), Sync::Outcome::Ok) << local.Error();
    EXPECT_EQ(Counts(a.id), std::make_pair(3, 3));

    // The next pass counts from the items again.
    SetCounts(bRow.id, 0, 5);
    ASSERT_TRUE(local.List(versions));
    put("n3", ItemOf("list-b", "n3", done), "");
    EXPECT_EQ(Counts(bRow.id), std::make_pair(2, 1));
}
