// Loading, saving, deleting, filtering and sorting items.

#include "tests/store/StoreTestSupport.h"

#include <algorithm>

using Names = std::vector<std::u16string>;

namespace
{
class ItemStoreTest : public StoreTest
{
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        list = SaveNewList(u"List", u"Personal");
    }

    ItemRecord Save(const std::u16string& name, int16_t position, int16_t checked = 0, int16_t priority = 3)
    {
        ItemRecord item;
        item.listId = list.id;
        item.name = name;
        item.position = position;
        item.checked = checked;
        item.priority = priority;
        EXPECT_TRUE(item.SaveItem());
        return item;
    }
    Names Loaded(ItemFilter filter = FilterAll)
    {
        ListRecord l;
        l.id = list.id;
        EXPECT_TRUE(l.LoadItems(filter));
        return Map(l.items, [](const ItemRecord& i) { return i.name; });
    }

    ListRecord list;
};

TEST_F(ItemStoreTest, SaveAndLoadRoundTrip)
{
    ItemRecord item = Save(u"Milk", 4, 1, 5);
    EXPECT_NE(0, item.id);
    item.details = u"2 litres\nskimmed \u05D7\u05DC\u05D1";
    ASSERT_TRUE(item.SaveItem());
    EXPECT_EQ(1u, Items());

    ItemRecord loaded;
    ASSERT_TRUE(loaded.LoadItem(item.id));
    EXPECT_EQ(item.id, loaded.id);
    EXPECT_EQ(list.id, loaded.listId);
    EXPECT_EQ(u"Milk", loaded.name);
    EXPECT_EQ(item.details, loaded.details);
    EXPECT_EQ(4, loaded.position);
    EXPECT_EQ(1, loaded.checked);
    EXPECT_EQ(5, loaded.priority);

    ItemRecord untouched;
    untouched.name = u"keep";
    EXPECT_FALSE(untouched.LoadItem(0));
    EXPECT_FALSE(untouched.LoadItem(item.id + 1));
    EXPECT_EQ(u"keep", untouched.name);
}

TEST_F(ItemStoreTest, ExistingItemKeepsItsChecklist)
{
    ItemRecord item = Save(u"a", 0);
    item.listId = list.id + 1;
    item.name = u"renamed";
    ASSERT_TRUE(item.SaveItem());
    ItemRecord loaded;
    ASSERT_TRUE(loaded.LoadItem(item.id));
    EXPECT_EQ(list.id, loaded.listId);
    EXPECT_EQ(u"renamed", loaded.name);
}

TEST_F(ItemStoreTest, UnknownIdIsAddedUnderThatId)
{
    ItemRecord item;
    item.id = 99;
    item.listId = list.id;
    ASSERT_TRUE(item.SaveItem());
    EXPECT_EQ(99, item.id);
    EXPECT_TRUE(ItemRecord().LoadItem(99));
}

TEST_F(ItemStoreTest, ItemWithoutChecklistIsRefusedWithOneMessage)
{
    ItemRecord item;
    item.name = u"orphan";
    EXPECT_FALSE(item.SaveItem());
    EXPECT_EQ(0, item.id);
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(u"The checklist ID was not set Ixel!", messages[0].first);
    EXPECT_EQ(u"", messages[0].second);
    EXPECT_EQ(0u, Items());
}

TEST_F(ItemStoreTest, DeleteById)
{
    ItemRecord a = Save(u"a", 0);
    ItemRecord b = Save(u"b", 1);
    EXPECT_TRUE(a.DeleteItem());
    EXPECT_FALSE(a.DeleteItem());
    EXPECT_FALSE(ItemRecord::DeleteItemById(0));
    EXPECT_EQ((Names{u"b"}), Loaded());
    EXPECT_TRUE(ItemRecord::DeleteItemById(b.id));
    EXPECT_EQ(0u, Items());
}

TEST_F(ItemStoreTest, LoadOrdersByPositionStably)
{
    Save(u"three", 3);
    Save(u"one", 1);
    Save(u"two-a", 2);
    Save(u"two-b", 2);
    ListRecord other = SaveNewList(u"Other", u"Personal");
    ItemRecord stranger;
    stranger.listId = other.id;
    stranger.name = u"stranger";
    ASSERT_TRUE(stranger.SaveItem());
    EXPECT_EQ((Names{u"one", u"two-a", u"two-b", u"three"}), Loaded());
}

TEST_F(ItemStoreTest, FiltersAndOutOfRangeFilterLoadsAll)
{
    Save(u"open", 0, 0);
    Save(u"done", 1, 1);
    Save(u"odd", 2, 2); // any non-zero value counts as checked
    EXPECT_EQ((Names{u"done", u"odd"}), Loaded(FilterChecked));
    EXPECT_EQ((Names{u"open"}), Loaded(FilterUnchecked));
    EXPECT_EQ((Names{u"open", u"done", u"odd"}), Loaded(static_cast<ItemFilter>(7)));
    EXPECT_EQ((Names{u"open", u"done", u"odd"}), Loaded(static_cast<ItemFilter>(-1)));
}

TEST_F(ItemStoreTest, CheckedFilterOnUncheckedListIsEmpty)
{
    Save(u"a", 0);
    ListRecord l;
    l.id = list.id;
    l.items.push_back(ItemRecord{});
    EXPECT_TRUE(l.LoadItems(FilterChecked));
    EXPECT_TRUE(l.items.empty());
}

TEST_F(ItemStoreTest, SortByPriorityIsStableAndStoresPositions)
{
    Save(u"p3a", 0, 0, 3);
    Save(u"p1", 1, 0, 1);
    Save(u"p3b", 2, 0, 3);
    Save(u"p2", 3, 0, 2);
    ASSERT_TRUE(list.LoadItemsSorted(2));
    EXPECT_EQ((Names{u"p1", u"p2", u"p3a", u"p3b"}), Map(list.items, [](const ItemRecord& i) { return i.name; }));
    ListRecord stored;
    stored.id = list.id;
    ASSERT_TRUE(stored.LoadItems(FilterAll));
    EXPECT_EQ((Names{u"p1", u"p2", u"p3a", u"p3b"}), Map(stored.items, [](const ItemRecord& i) { return i.name; }));
    EXPECT_EQ((std::vector<int16_t>{0, 1, 2, 3}), Map(stored.items, [](const ItemRecord& i) { return i.position; }));
}

TEST_F(ItemStoreTest, SortByNameUsesCodeUnits)
{
    Save(u"beta", 0);
    Save(u"Zulu", 1);
    Save(u"alpha", 2);
    ASSERT_TRUE(list.LoadItemsSorted(1));
    EXPECT_EQ((Names{u"Zulu", u"alpha", u"beta"}), Loaded());
}

TEST_F(ItemStoreTest, KeepingPositionsSavesNothing)
{
    Save(u"b", 9);
    Save(u"a", 5);
    ASSERT_TRUE(list.LoadItemsSorted(0));
    EXPECT_EQ((Names{u"a", u"b"}), Map(list.items, [](const ItemRecord& i) { return i.name; }));
    ListRecord stored;
    stored.id = list.id;
    ASSERT_TRUE(stored.LoadItems(FilterAll));
    EXPECT_EQ((std::vector<int16_t>{5, 9}), Map(stored.items, [](const ItemRecord& i) { return i.position; }));
    ASSERT_TRUE(list.LoadItemsSorted(42));
    ASSERT_TRUE(stored.LoadItems(FilterAll));
    EXPECT_EQ((std::vector<int16_t>{5, 9}), Map(stored.items, [](const ItemRecord& i) { return i.position; }));
}
}

TEST_F(ItemStoreTest, BulkAddsStoreWhatOneByOneSavesWould)
{
    std::vector<ListRecord> lists(3);
    for (size_t i = 0; i < lists.size(); ++i)
    {
        lists[i].name = u"Bulk " + std::u16string(1, char16_t(u'0' + i));
        lists[i].category = u"Business";
        lists[i].position = int16_t(5 + i);
        lists[i].itemCount = 2;
        lists[i].uncheckedCount = 1;
    }
    ASSERT_TRUE(ListStore::AddLists(lists));
    ItemArray items;
    for (const ListRecord& l : lists)
        for (int16_t k = 0; k < 2; ++k)
        {
            ItemRecord item;
            item.listId = l.id;
            item.name = l.name + u" item";
            item.details = k ? u"details, with; text" : u"";
            item.position = 1; // equal positions keep the order of addition
            item.checked = k;
            item.priority = int16_t(k + 2);
            items.push_back(item);
        }
    ASSERT_TRUE(ListStore::AddItems(items));

    std::vector<int32_t> ids;
    for (const ListRecord& l : lists)
    {
        ListRecord stored;
        ASSERT_TRUE(stored.LoadList(l.id));
        EXPECT_EQ(l.name, stored.name);
        EXPECT_EQ(l.position, stored.position);
        EXPECT_EQ(2, stored.itemCount);
        EXPECT_EQ(1, stored.uncheckedCount);
        ids.push_back(l.id);
    }
    for (const ItemRecord& item : items)
    {
        ItemRecord stored;
        ASSERT_TRUE(stored.LoadItem(item.id));
        EXPECT_EQ(item.listId, stored.listId);
        EXPECT_EQ(item.details, stored.details);
        EXPECT_EQ(item.checked, stored.checked);
        EXPECT_EQ(item.priority, stored.priority);
        ids.push_back(item.id);
    }
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids.end(), std::adjacent_find(ids.begin(), ids.end())) << "fresh ids";
    EXPECT_EQ(0, std::count(ids.begin(), ids.end(), 0));
    EXPECT_EQ(4u, Lists());
    EXPECT_EQ(6u, Items());

    // Inside a change that fails, nothing lands.
    {
        ListStore::Transaction tx;
        std::vector<ListRecord> more(1);
        more[0].name = u"Never";
        ASSERT_TRUE(ListStore::AddLists(more));
        ItemArray orphan(1); // no checklist named
        EXPECT_FALSE(ListStore::AddItems(orphan));
        EXPECT_FALSE(tx.Commit());
    }
    EXPECT_EQ(4u, Lists());
    EXPECT_EQ(6u, Items());
}

TEST_F(ItemStoreTest, BulkAddsOfManyGiveFreshIdsInTheirOrder)
{
    // 150 items: more than one insert statement holds, and more than the
    // store has (its ids are read at once); then 3, fewer than it has (each
    // id looked up).
    for (size_t count : {size_t(150), size_t(3)})
    {
        ItemArray items(count);
        for (size_t i = 0; i < count; ++i)
        {
            items[i].listId = list.id;
            items[i].name = u"n" + std::u16string(i % 5, u'x');
            items[i].position = int16_t(i % 7); // ties keep the order of addition
            items[i].checked = int16_t(i % 2);
        }
        ASSERT_TRUE(ListStore::AddItems(items));
        for (const ItemRecord& item : items)
        {
            ItemRecord stored;
            ASSERT_TRUE(stored.LoadItem(item.id));
            EXPECT_EQ(item.name, stored.name);
            EXPECT_EQ(item.checked, stored.checked);
        }
    }
    ListRecord stored;
    stored.id = list.id;
    ASSERT_TRUE(stored.LoadItems(FilterAll));
    ASSERT_EQ(153u, stored.items.size());
    std::vector<int32_t> ids = Map(stored.items, [](const ItemRecord& i) { return i.id; });
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids.end(), std::adjacent_find(ids.begin(), ids.end())) << "fresh ids";
    EXPECT_EQ(0, std::count(ids.begin(), ids.end(), 0));
    // Position 6 holds items 6, 13, ..., 146 of the first batch, in that order.
    std::vector<std::u16string> sixes;
    for (const ItemRecord& item : stored.items)
        if (item.position == 6)
            sixes.push_back(item.name);
    ASSERT_EQ(21u, sixes.size());
    for (size_t k = 0; k < sixes.size(); ++k)
        EXPECT_EQ(u"n" + std::u16string((6 + 7 * k) % 5, u'x'), sixes[k]) << k;
}

TEST_F(ItemStoreTest, AllItemsInOnePassMatchEachChecklistsOwnLoad)
{
    Save(u"b", 2);
    Save(u"a", 1, 1);
    Save(u"c", 1);
    ListRecord other = SaveNewList(u"Other", u"Personal");
    AddItems(other, {0, 1, 0});
    ListRecord gone = SaveNewList(u"Gone", u"Personal");
    AddItems(gone, {1});

    ListArray lists;
    ASSERT_TRUE(lists.LoadLists(u""));
    lists.erase(std::remove_if(lists.begin(), lists.end(), [&](const ListRecord& l) { return l.id == gone.id; }),
                lists.end());
    size_t others = 9;
    ASSERT_TRUE(lists.LoadAllItems(&others));
    EXPECT_EQ(1u, others) << "the item of the checklist left out";
    ASSERT_EQ(2u, lists.size());
    for (const ListRecord& l : lists)
    {
        ListRecord one;
        one.id = l.id;
        ASSERT_TRUE(one.LoadItems(FilterAll));
        ASSERT_EQ(one.items.size(), l.items.size());
        for (size_t k = 0; k < l.items.size(); ++k)
        {
            EXPECT_EQ(one.items[k].id, l.items[k].id);
            EXPECT_EQ(one.items[k].name, l.items[k].name);
            EXPECT_EQ(one.items[k].checked, l.items[k].checked);
        }
    }
    EXPECT_EQ((Names{u"a", u"c", u"b"}), Map(lists[0].id == list.id ? lists[0].items : lists[1].items,
                                               [](const ItemRecord& i) { return i.name; }));
}
