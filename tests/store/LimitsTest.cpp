// Positions and counts are 16-bit fields: a change that would store one
// wrapped is refused whole and reported like a refusal of the file.
#include "tests/store/StoreTestSupport.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
constexpr int kPositions = INT16_MAX + 1; // 0 .. 32,767

class LimitsTest : public StoreTest
{
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        ListStore::SetWriteFailureHook([this](const std::u16string& reason) { reasons.push_back(reason); });
    }
    void TearDown() override
    {
        ListStore::SetWriteFailureHook(nullptr);
        StoreTest::TearDown();
    }

    /// `count` checklists named so that sorting by name reverses them, all
    /// at position 7, stored as one change.
    static void AddChecklists(int count)
    {
        ListStore::Transaction tx;
        for (int i = 0; i < count; ++i)
        {
            char name[16];
            std::snprintf(name, sizeof name, "%06d", count - i);
            ListRecord list;
            list.name = std::u16string(name, name + std::char_traits<char>::length(name));
            list.category = u"Unfiled";
            list.position = 7;
            ASSERT_TRUE(list.SaveList());
        }
        ASSERT_TRUE(tx.Commit());
    }

    /// A checklist of `count` items, the first `checked` of them checked,
    /// all at position 7, with counts that do not matter here.
    static ListRecord AddItemsToNewList(int count, int checked)
    {
        ListRecord list = SaveNewList(u"Big", u"Unfiled");
        ListStore::Transaction tx;
        for (int i = 0; i < count; ++i)
        {
            ItemRecord item;
            item.listId = list.id;
            item.name = u"item";
            item.position = 7;
            item.checked = i < checked ? 1 : 0;
            EXPECT_TRUE(item.SaveItem());
        }
        EXPECT_TRUE(tx.Commit());
        return list;
    }

    static std::vector<int16_t> StoredPositions()
    {
        ListArray lists;
        EXPECT_TRUE(lists.LoadLists(u""));
        return Map(lists, [](const ListRecord& l) { return l.position; });
    }

    std::vector<std::u16string> reasons;
};
}

TEST_F(LimitsTest, SortingMoreChecklistsThanPositionsIsRefusedWhole)
{
    AddChecklists(kPositions + 1);
    ListArray lists;
    ASSERT_TRUE(lists.LoadLists(u""));
    EXPECT_FALSE(lists.SortListsByName());
    EXPECT_EQ(1u, reasons.size());
    const std::vector<int16_t> positions = StoredPositions();
    EXPECT_TRUE(std::all_of(positions.begin(), positions.end(), [](int16_t p) { return p == 7; }));

    // One fewer fits exactly: the last one takes 32,767.
    ASSERT_TRUE(ListRecord::DeleteListById(lists.back().id));
    ASSERT_TRUE(lists.LoadLists(u""));
    EXPECT_TRUE(lists.SortListsByItemsLeft());
    EXPECT_EQ(1u, reasons.size());
    const std::vector<int16_t> sorted = StoredPositions();
    ASSERT_EQ(size_t(kPositions), sorted.size());
    EXPECT_EQ(0, sorted.front());
    EXPECT_EQ(INT16_MAX, sorted.back());
}

TEST_F(LimitsTest, SortingMoreItemsThanPositionsIsRefusedWhole)
{
    ListRecord list = AddItemsToNewList(kPositions + 1, 0);
    EXPECT_FALSE(list.LoadItemsSorted(1));
    EXPECT_EQ(1u, reasons.size());
    ListRecord stored;
    stored.id = list.id;
    ASSERT_TRUE(stored.LoadItems(FilterAll));
    EXPECT_TRUE(std::all_of(stored.items.begin(), stored.items.end(),
                            [](const ItemRecord& item) { return item.position == 7; }));
}

TEST_F(LimitsTest, CopyingMoreItemsThanACountHoldsIsRefusedWhole)
{
    // 32,768 items, one of them unchecked: all of them do not fit a count,
    // the checked ones do.
    const ListRecord source = AddItemsToNewList(kPositions, kPositions - 1);
    const uint32_t items = Items();
    ListRecord copy;
    EXPECT_FALSE(ListStore::CopyChecklist(source.id, FilterAll, u"Copy", u"Unfiled", 1, copy));
    EXPECT_EQ(1u, reasons.size());
    EXPECT_EQ(1u, Lists());
    EXPECT_EQ(items, Items());

    ASSERT_TRUE(ListStore::CopyChecklist(source.id, FilterChecked, u"Checked", u"Unfiled", 1, copy));
    ListRecord stored;
    ASSERT_TRUE(stored.LoadList(copy.id));
    EXPECT_EQ(INT16_MAX, stored.itemCount);
    EXPECT_EQ(0, stored.uncheckedCount);
    EXPECT_EQ(1u, reasons.size());
}

TEST_F(LimitsTest, CountsThatWouldLeaveSixteenBitsAreRefused)
{
    ListRecord list = SaveNewList(u"Full", u"Unfiled");
    list.itemCount = INT16_MAX;
    list.uncheckedCount = INT16_MAX;
    ASSERT_TRUE(list.SaveList());

    EXPECT_FALSE(ListStore::HasRoomForItems(list.id, 1));
    EXPECT_FALSE(ListStore::AdjustListCounts(list.id, 1, 1));
    EXPECT_EQ(2u, reasons.size());
    ListRecord stored;
    ASSERT_TRUE(stored.LoadList(list.id));
    EXPECT_EQ(INT16_MAX, stored.itemCount);
    EXPECT_EQ(INT16_MAX, stored.uncheckedCount);

    EXPECT_TRUE(ListStore::HasRoomForItems(list.id, 0));
    EXPECT_TRUE(ListStore::AdjustListCounts(list.id, -1, -2));
    ASSERT_TRUE(stored.LoadList(list.id));
    EXPECT_EQ(INT16_MAX - 1, stored.itemCount);
    EXPECT_EQ(INT16_MAX - 2, stored.uncheckedCount);
}

TEST_F(LimitsTest, ANewItemGoesAfterTheHighestStoredPosition)
{
    ListRecord list = SaveNewList(u"Groceries", u"Unfiled");
    EXPECT_EQ(0, ListStore::NextItemPosition(list.id));
    for (int16_t position : {4, 9, 2})
    {
        ItemRecord item;
        item.listId = list.id;
        item.name = u"item";
        item.position = position;
        ASSERT_TRUE(item.SaveItem());
    }
    EXPECT_EQ(10, ListStore::NextItemPosition(list.id));

    // At the top of the range the new item ties with the last and still
    // loads after it.
    ItemRecord top;
    top.listId = list.id;
    top.name = u"top";
    top.position = INT16_MAX;
    ASSERT_TRUE(top.SaveItem());
    ItemRecord added;
    added.listId = list.id;
    added.name = u"added";
    added.position = ListStore::NextItemPosition(list.id);
    EXPECT_EQ(INT16_MAX, added.position);
    ASSERT_TRUE(added.SaveItem());
    ListRecord stored;
    stored.id = list.id;
    ASSERT_TRUE(stored.LoadItems(FilterAll));
    EXPECT_EQ(u"added", stored.items.back().name);
}
