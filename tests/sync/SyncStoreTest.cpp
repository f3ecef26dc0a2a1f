// Two stores syncing through a real Radicale: every kind of change, the
// conflict rules, and a second, independent client.
#include "tests/sync/StoreFixture.h"

#include "store/IcalStore.h"
#include "sync/SyncMerge.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

namespace
{
int CountCategory(const std::u16string& name, int16_t* order = nullptr)
{
    CategoryList categories;
    categories.LoadCategories();
    int n = 0;
    for (const CategoryRecord& c : categories)
        if (c.name == name)
        {
            ++n;
            if (order)
                *order = c.order;
        }
    return n;
}
}

TEST_F(StoreSyncTest, FirstSyncFillsAnEmptyCollectionAndThenASecondStore)
{
    Fill();
    std::string original = Snapshot();
    Sync::Report first = SyncNow();
    ASSERT_TRUE(first.ok) << first.error;
    EXPECT_EQ(first.uploaded, 15);
    EXPECT_EQ(ServerCopies().size(), 15u);

    Use(1);
    Sync::Report second = SyncNow();
    ASSERT_TRUE(second.ok) << second.error;
    EXPECT_EQ(second.downloaded, 15);
    EXPECT_EQ(Snapshot(), original);

    // Nothing changed: nothing moves, on either store.
    for (int n : {1, 0})
    {
        Use(n);
        Sync::Report again = SyncNow();
        ASSERT_TRUE(again.ok) << again.error;
        EXPECT_EQ(again.uploaded + again.downloaded + again.deletedLocal + again.deletedRemote, 0);
    }
    EXPECT_EQ(ServerCopies().size(), 15u);
}

TEST_F(StoreSyncTest, EveryKindOfChangeReachesTheOtherStore)
{
    ShareFilled();
    Use(0);

    ListRecord groceries;
    ASSERT_TRUE(groceries.LoadList(ListId(u"Groceries")));
    groceries.name = u"Food";
    groceries.category = u"Travel"; // a category store B does not know
    groceries.note = u"new note";
    groceries.position = 7;
    ASSERT_TRUE(groceries.SaveList());
    CategoryList categories;
    categories.LoadCategories();
    categories.push_back({u"Travel", 5});
    ASSERT_TRUE(categories.SaveCategories());
    ItemRecord tick = FindItem(u"Food", u"Groceries item b");
    tick.checked = 1;
    tick.priority = 5;
    tick.details = u"ticked here";
    ASSERT_TRUE(tick.SaveItem());
    ItemRecord added;
    added.listId = groceries.id;
    added.name = u"Added here";
    added.position = 99;
    ASSERT_TRUE(added.SaveItem());
    ASSERT_TRUE(ItemRecord::DeleteItemById(FindItem(u"Food", u"Groceries item c").id));
    ASSERT_TRUE(ListStore::DeleteChecklist(ListId(u"Packing")));
    ASSERT_TRUE(groceries.LoadItems(FilterAll));
    groceries.itemCount = int16_t(groceries.items.size());
    groceries.uncheckedCount = 0;
    for (const ItemRecord& i : groceries.items)
        groceries.uncheckedCount += i.checked ? 0 : 1;
    ASSERT_TRUE(groceries.SaveList());
    std::string changed = Snapshot();

    Sync::Report a = SyncNow();
    ASSERT_TRUE(a.ok) << a.error;
    EXPECT_EQ(ServerCopies().size(), 15u - 4u - 1u + 1u);
    Use(1);
    Sync::Report b = SyncNow();
    ASSERT_TRUE(b.ok) << b.error;
    EXPECT_EQ(Snapshot(), changed);
    int16_t order = 0;
    EXPECT_EQ(CountCategory(u"Travel", &order), 1);
    EXPECT_EQ(order, 2); // after Personal and Business

    // And back: changes made on the server by hand reach store A.
    ASSERT_TRUE(EditOnServer("SUMMARY:Release item a", "SUMMARY:Release item A"));
    Use(1);
    ASSERT_TRUE(SyncNow().ok);
    EXPECT_NE(FindItem(u"Release", u"Release item A").id, 0);
    Use(0);
    ASSERT_TRUE(SyncNow().ok);
    EXPECT_NE(FindItem(u"Release", u"Release item A").id, 0);
}

TEST_F(StoreSyncTest, ConflictsLoseNothing)
{
    ShareFilled();

    // B ticks an item and renames another; A renames the first and deletes
    // the second.
    ItemRecord b1 = FindItem(u"Release", u"Release item b");
    b1.checked = 1;
    ASSERT_TRUE(b1.SaveItem());
    ItemRecord b2 = FindItem(u"Release", u"Release item c");
    b2.name = u"Kept by its edit";
    ASSERT_TRUE(b2.SaveItem());
    ItemRecord b3 = FindItem(u"Release", u"Release item d");
    b3.name = u"Named on B";
    ASSERT_TRUE(b3.SaveItem());
    ASSERT_TRUE(SyncNow().ok);

    Use(0);
    ItemRecord a1 = FindItem(u"Release", u"Release item b");
    a1.name = u"Renamed on A";
    ASSERT_TRUE(a1.SaveItem());
    ASSERT_TRUE(ItemRecord::DeleteItemById(FindItem(u"Release", u"Release item c").id));
    ItemRecord a3 = FindItem(u"Release", u"Release item d");
    a3.name = u"Named on A";
    ASSERT_TRUE(a3.SaveItem());
    Sync::Report r = SyncNow();
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.conflicts, 1);

    ItemRecord merged = FindItem(u"Release", u"Renamed on A");
    EXPECT_EQ(merged.checked, 1);
    EXPECT_NE(FindItem(u"Release", u"Kept by its edit").id, 0);
    ItemRecord same = FindItem(u"Release", u"Named on A");
    ASSERT_NE(same.id, 0) << Snapshot();
    EXPECT_NE(same.details.find(u"Changed elsewhere: Named on B"), std::u16string::npos);
    std::string onA = Snapshot();
    Use(1);
    ASSERT_TRUE(SyncNow().ok);
    EXPECT_EQ(Snapshot(), onA);
}

TEST_F(StoreSyncTest, TheLaterOfTwoChangesToOneFieldWinsWhicheverSideSyncsFirst)
{
    ShareFilled();
    const auto nextSecond = [] { std::this_thread::sleep_for(std::chrono::milliseconds(1100)); };

    // A renames an item first, B later; B syncs first, then A: B's name wins.
    Use(0);
    ItemRecord early = FindItem(u"Groceries", u"Groceries item a");
    early.name = u"Named first, on A";
    ASSERT_TRUE(early.SaveItem());
    nextSecond();
    Use(1);
    ItemRecord late = FindItem(u"Groceries", u"Groceries item a");
    late.name = u"Named later, on B";
    ASSERT_TRUE(late.SaveItem());
    ASSERT_TRUE(SyncNow().ok);
    Use(0);
    Sync::Report r = SyncNow();
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.conflicts, 1);
    ItemRecord won = FindItem(u"Groceries", u"Named later, on B");
    ASSERT_NE(won.id, 0) << Snapshot();
    EXPECT_NE(won.details.find(u"Changed elsewhere: Named first, on A"), std::u16string::npos);

    // B writes a checklist's note first, A later; B syncs first again: now
    // A's note wins.
    Use(1);
    ASSERT_TRUE(SyncNow().ok);
    ASSERT_TRUE(ListStore::SetListNote(ListId(u"Packing"), u"noted first, on B"));
    nextSecond();
    Use(0);
    ASSERT_TRUE(ListStore::SetListNote(ListId(u"Packing"), u"noted later, on A"));
    Use(1);
    ASSERT_TRUE(SyncNow().ok);
    Use(0);
    r = SyncNow();
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.conflicts, 1);
    ListRecord packing;
    ASSERT_TRUE(packing.LoadList(ListId(u"Packing")));
    EXPECT_EQ(packing.note, u"noted later, on A\nChanged elsewhere: noted first, on B");

    const std::string onA = Snapshot();
    Use(1);
    ASSERT_TRUE(SyncNow().ok);
    EXPECT_EQ(Snapshot(), onA);
}

TEST_F(StoreSyncTest, AnEditBeatsADeleteOfItsChecklistOrItself)
{
    ShareFilled();

    // B ticks and renames an item of Packing; A deletes Packing.
    ItemRecord renamed = FindItem(u"Packing", u"Packing item b");
    ASSERT_TRUE(ListStore::SetItemChecked(renamed.id, true));
    renamed = FindItem(u"Packing", u"Packing item b");
    renamed.name = u"Renamed on B";
    ASSERT_TRUE(renamed.SaveItem());
    ASSERT_TRUE(SyncNow().ok);
    Use(0);
    ASSERT_TRUE(ListStore::DeleteChecklist(ListId(u"Packing")));
    Sync::Report r = SyncNow();
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_NE(ListId(u"Packing"), 0) << Snapshot();
    ItemRecord back = FindItem(u"Packing", u"Renamed on B");
    EXPECT_EQ(back.checked, 1);
    ListRecord packing;
    ASSERT_TRUE(packing.LoadList(ListId(u"Packing")));
    EXPECT_EQ(packing.itemCount, 3);
    EXPECT_EQ(packing.uncheckedCount, 1);
    EXPECT_EQ(ServerCopies().size(), 15u);
    std::string onA = Snapshot(); // counts checked against the items
    Use(1);
    ASSERT_TRUE(SyncNow().ok);
    EXPECT_EQ(Snapshot(), onA);

    // The other way: B deletes Release, A changes the details of one of its
    // items; Release comes back on the server and in B, whole.
    ASSERT_TRUE(ListStore::DeleteChecklist(ListId(u"Release")));
    ASSERT_TRUE(SyncNow().ok);
    EXPECT_EQ(ServerCopies().size(), 10u);
    Use(0);
    ItemRecord edited = FindItem(u"Release", u"Release item c");
    edited.details = u"edited on A";
    ASSERT_TRUE(edited.SaveItem());
    r = SyncNow();
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(ServerCopies().size(), 15u);
    onA = Snapshot();
    EXPECT_EQ(FindItem(u"Release", u"Release item c").details, u"edited on A");
    Use(1);
    ASSERT_TRUE(SyncNow().ok);
    EXPECT_EQ(Snapshot(), onA);

    // Single items: each side deletes one the other edits.
    ItemRecord onB = FindItem(u"Groceries", u"Groceries item a");
    onB.name = u"Kept by B's edit";
    ASSERT_TRUE(onB.SaveItem());
    ASSERT_TRUE(ListStore::DeleteItemCounted(FindItem(u"Groceries", u"Groceries item b").id));
    ASSERT_TRUE(SyncNow().ok);
    Use(0);
    ASSERT_TRUE(ListStore::DeleteItemCounted(FindItem(u"Groceries", u"Groceries item a").id));
    ItemRecord onA2 = FindItem(u"Groceries", u"Groceries item b");
    onA2.name = u"Kept by A's edit";
    ASSERT_TRUE(onA2.SaveItem());
    ASSERT_TRUE(SyncNow().ok);
    EXPECT_NE(FindItem(u"Groceries", u"Kept by B's edit").id, 0);
    EXPECT_NE(FindItem(u"Groceries", u"Kept by A's edit").id, 0);
    onA = Snapshot();
    Use(1);
    ASSERT_TRUE(SyncNow().ok);
    EXPECT_EQ(Snapshot(), onA);
    EXPECT_EQ(ServerCopies().size(), 15u);
}

namespace
{
std::string RunCalDavClient(const std::string& args)
{
    std::string script = std::string(getenv("TALLYARD_SOURCE_DIR")) + "/tests/sync/other_client.py";
    std::string command = "/usr/bin/python3 " + script + " " + args + " 2>&1";
    std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), pclose);
    std::string out;
    char buffer[4096];
    while (pipe && fgets(buffer, sizeof buffer, pipe.get()))
        out += buffer;
    return out;
}
}

TEST_F(StoreSyncTest, ASecondClientSeesChecklistsAsTasksWithSubtasksAndKeepsItsProperties)
{
    Fill();
    ASSERT_TRUE(SyncNow().ok);
    std::string base = m_server.CollectionUrl() + " " + RadicaleServer::User() + " '" + RadicaleServer::Password() + "'";

    std::string listing = RunCalDavClient(base + " list");
    EXPECT_NE(listing.find("Packing <- (none)"), std::string::npos) << listing;
    EXPECT_NE(listing.find("Packing item a <- Packing"), std::string::npos) << listing;

    std::string added = RunCalDavClient(base + " add");
    ASSERT_NE(added.find("added"), std::string::npos) << added;
    ASSERT_TRUE(SyncNow().ok);
    ItemRecord sub = FindItem(u"From the other client", u"Its subtask");
    ASSERT_NE(sub.id, 0) << Snapshot();
    EXPECT_EQ(sub.priority, 1);

    // Tallyard's edits keep what the other client set.
    sub.name = u"Its subtask, renamed";
    sub.checked = 1;
    ASSERT_TRUE(sub.SaveItem());
    ASSERT_TRUE(SyncNow().ok);
    std::string after = RunCalDavClient(base + " show other-client-child");
    EXPECT_NE(after.find("SUMMARY:Its subtask\\, renamed"), std::string::npos) << after;
    EXPECT_NE(after.find("X-OTHER-CLIENT:keep me"), std::string::npos) << after;
    EXPECT_NE(after.find("DUE"), std::string::npos) << after;
    EXPECT_NE(after.find("STATUS:COMPLETED"), std::string::npos) << after;

    // And its edits come back.
    EXPECT_NE(RunCalDavClient(base + " rename other-client-parent 'Renamed by the other'").find("renamed"),
              std::string::npos);
    ASSERT_TRUE(SyncNow().ok);
    EXPECT_NE(ListId(u"Renamed by the other"), 0);
}
