// Changes made of several store operations land whole or not at all.

#include "tests/store/StoreTestSupport.h"

using Names = std::vector<std::u16string>;

namespace
{
class CompoundTest : public StoreTest
{
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        list = SaveNewList(u"Trip", u"Personal", 3);
        AddItems(list, {1, 0, 1, 0, 1}); // 3 checked, 2 unchecked
        other = SaveNewList(u"Other", u"Personal", 4);
        AddItems(other, {0, 1});
    }

    static std::vector<int16_t> Checked(int32_t listId)
    {
        ListRecord l;
        l.id = listId;
        EXPECT_TRUE(l.LoadItems(FilterAll));
        return Map(l.items, [](const ItemRecord& i) { return i.checked; });
    }
    static ListRecord Stored(int32_t listId)
    {
        ListRecord l;
        EXPECT_TRUE(l.LoadList(listId));
        return l;
    }

    ListRecord list;
    ListRecord other;
};

TEST_F(CompoundTest, DeleteChecklistTakesItsItemsAlong)
{
    ASSERT_TRUE(ListStore::DeleteChecklist(list.id));
    EXPECT_FALSE(ListRecord().LoadList(list.id));
    EXPECT_EQ(1u, Lists());
    EXPECT_EQ(2u, Items()) << "only the other checklist's items remain";
    EXPECT_FALSE(ListStore::DeleteChecklist(list.id));
    EXPECT_FALSE(ListStore::DeleteChecklist(0));
    EXPECT_EQ(2u, Items());
}

TEST_F(CompoundTest, CopyOfCheckedItems)
{
    ListRecord copy;
    ASSERT_TRUE(ListStore::CopyChecklist(list.id, FilterChecked, u"Trip copy", u"Business", 9, copy));
    EXPECT_NE(0, copy.id);
    EXPECT_NE(list.id, copy.id);
    EXPECT_EQ(3u, copy.items.size());
    const ListRecord stored = Stored(copy.id);
    EXPECT_EQ(u"Trip copy", stored.name);
    EXPECT_EQ(u"Business", stored.category);
    EXPECT_EQ(9, stored.position);
    EXPECT_EQ(3, stored.itemCount);
    EXPECT_EQ(0, stored.uncheckedCount);
    EXPECT_TRUE(stored.note.empty());
    EXPECT_EQ((std::vector<int16_t>{1, 1, 1}), Checked(copy.id));
    EXPECT_EQ(5u + 2u + 3u, Items()) << "the source keeps its items";
}

TEST_F(CompoundTest, CopyOfAllItemsKeepsTheirFieldsWithNewIds)
{
    ListRecord source = Stored(list.id);
    ASSERT_TRUE(source.LoadItems(FilterAll));
    ListRecord copy;
    ASSERT_TRUE(ListStore::CopyChecklist(list.id, FilterAll, u"All of it", u"Personal", 0, copy));
    ListRecord stored = Stored(copy.id);
    EXPECT_EQ(5, stored.itemCount);
    EXPECT_EQ(2, stored.uncheckedCount);
    ASSERT_TRUE(stored.LoadItems(FilterAll));
    ASSERT_EQ(source.items.size(), stored.items.size());
    for (size_t i = 0; i < stored.items.size(); ++i)
    {
        const ItemRecord& a = source.items[i];
        const ItemRecord& b = stored.items[i];
        EXPECT_NE(a.id, b.id);
        EXPECT_EQ(copy.id, b.listId);
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.details, b.details);
        EXPECT_EQ(a.position, b.position);
        EXPECT_EQ(a.checked, b.checked);
        EXPECT_EQ(a.priority, b.priority);
    }
}

TEST_F(CompoundTest, CopyOfUnknownChecklistAddsNothing)
{
    ListRecord copy;
    copy.name = u"before";
    EXPECT_FALSE(ListStore::CopyChecklist(777, FilterAll, u"x", u"y", 0, copy));
    EXPECT_EQ(u"before", copy.name);
    EXPECT_EQ(2u, Lists());
}

TEST_F(CompoundTest, BulkCheckChangesKeepTheCounts)
{
    ListRecord l = Stored(list.id);
    ASSERT_TRUE(ListStore::InvertChecks(l));
    EXPECT_EQ((std::vector<int16_t>{0, 1, 0, 1, 0}), Checked(list.id));
    EXPECT_EQ(3, Stored(list.id).uncheckedCount);
    EXPECT_EQ(5u, l.items.size());

    ASSERT_TRUE(ListStore::UncheckAll(l));
    EXPECT_EQ((std::vector<int16_t>{0, 0, 0, 0, 0}), Checked(list.id));
    EXPECT_EQ(5, Stored(list.id).uncheckedCount);

    ASSERT_TRUE(ListStore::CheckAll(l));
    EXPECT_EQ((std::vector<int16_t>{1, 1, 1, 1, 1}), Checked(list.id));
    EXPECT_EQ(0, Stored(list.id).uncheckedCount);
    EXPECT_EQ(5, Stored(list.id).itemCount);
    EXPECT_EQ((std::vector<int16_t>{0, 1}), Checked(other.id)) << "other checklists untouched";
}

TEST_F(CompoundTest, InvertTreatsAnyNonZeroAsChecked)
{
    ItemRecord odd;
    odd.listId = list.id;
    odd.checked = 2;
    odd.position = 10;
    ASSERT_TRUE(odd.SaveItem());
    ListRecord l = Stored(list.id);
    l.itemCount = 6; // the odd item counted as stored
    ASSERT_TRUE(l.SaveList());
    ASSERT_TRUE(ListStore::InvertChecks(l));
    EXPECT_EQ((std::vector<int16_t>{0, 1, 0, 1, 0, 0}), Checked(list.id));
    EXPECT_EQ(4, Stored(list.id).uncheckedCount);
}

TEST_F(CompoundTest, PurgeRemovesCheckedItems)
{
    ListRecord l = Stored(list.id);
    ASSERT_TRUE(ListStore::PurgeChecked(l));
    EXPECT_EQ((std::vector<int16_t>{0, 0}), Checked(list.id));
    EXPECT_EQ(2u, l.items.size());
    const ListRecord stored = Stored(list.id);
    EXPECT_EQ(2, stored.itemCount);
    EXPECT_EQ(2, stored.uncheckedCount);
    EXPECT_EQ(4u, Items());
}

TEST_F(CompoundTest, MoveCategoryListsMovesExactMatchesOnly)
{
    SaveNewList(u"filed under All", u"All", 5);
    SaveNewList(u"small", u"personal", 6);
    ASSERT_TRUE(ListStore::MoveCategoryLists(u"Personal", u"Unfiled"));
    ListArray lists;
    ASSERT_TRUE(lists.LoadLists(u"Unfiled"));
    EXPECT_EQ((Names{u"Trip", u"Other"}), Map(lists, [](const ListRecord& l) { return l.name; }));
    ASSERT_TRUE(ListStore::MoveCategoryLists(u"All", u"Home"));
    ASSERT_TRUE(lists.LoadLists(u"Home"));
    EXPECT_EQ((Names{u"filed under All"}), Map(lists, [](const ListRecord& l) { return l.name; }));
    ASSERT_TRUE(lists.LoadLists(u"personal"));
    EXPECT_EQ(1u, lists.size());
}

TEST_F(CompoundTest, TickIsOneChange)
{
    ListRecord l = Stored(list.id);
    ASSERT_TRUE(l.LoadItems(FilterAll));
    {
        ListStore::Transaction tx;
        l.items[1].checked = 1;
        ASSERT_TRUE(l.items[1].SaveItem());
        --l.uncheckedCount;
        ASSERT_TRUE(l.SaveList());
        EXPECT_TRUE(tx.Commit());
    }
    EXPECT_EQ(1, Stored(list.id).uncheckedCount);
    EXPECT_EQ((std::vector<int16_t>{1, 1, 1, 0, 1}), Checked(list.id));
}

TEST_F(CompoundTest, FailedStepRollsBackEverything)
{
    {
        ListStore::Transaction outer;
        ListRecord l = Stored(list.id);
        ASSERT_TRUE(ListStore::CheckAll(l)); // nested: lands only with outer
        ItemRecord orphan;
        EXPECT_FALSE(orphan.SaveItem());    // fails the whole change
        EXPECT_FALSE(outer.Commit());
    }
    EXPECT_EQ((std::vector<int16_t>{1, 0, 1, 0, 1}), Checked(list.id));
    EXPECT_EQ(2, Stored(list.id).uncheckedCount);

    {
        ListStore::Transaction abandoned;
        ASSERT_TRUE(ListStore::DeleteChecklist(list.id));
    }
    EXPECT_EQ(7u, Items());
    EXPECT_EQ(2u, Lists());
}

TEST_F(CompoundTest, SortsLandWhole)
{
    ListArray lists;
    ASSERT_TRUE(lists.LoadLists(u"All"));
    {
        ListStore::Transaction outer;
        ASSERT_TRUE(lists.SortListsByName());
        EXPECT_TRUE(outer.Commit());
    }
    ASSERT_TRUE(lists.LoadLists(u"All"));
    EXPECT_EQ((Names{u"Other", u"Trip"}), Map(lists, [](const ListRecord& l) { return l.name; }));
    EXPECT_EQ(0, lists[0].position);
    EXPECT_EQ(1, lists[1].position);
}
}
