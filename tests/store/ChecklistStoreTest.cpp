// Loading, saving, deleting and sorting checklists.

#include "tests/store/StoreTestSupport.h"
#include "tests/support/TempXdg.h"

#include <filesystem>

using Names = std::vector<std::u16string>;

namespace
{
Names NamesOf(const ListArray& lists)
{
    Names names;
    for (const ListRecord& l : lists)
        names.push_back(l.name);
    return names;
}

using ChecklistStoreTest = StoreTest;

TEST_F(ChecklistStoreTest, SaveGivesIdOnceThenUpdatesTheSameRecord)
{
    ListRecord list = SaveNewList(u"Groceries", u"Personal");
    EXPECT_NE(0, list.id);
    const int32_t id = list.id;
    list.name = u"Food";
    list.note = u"weekly";
    list.itemCount = 4;
    list.uncheckedCount = 3;
    list.position = -2;
    ASSERT_TRUE(list.SaveList());
    EXPECT_EQ(id, list.id);
    EXPECT_EQ(1u, Lists());

    ListRecord loaded;
    loaded.items.push_back(ItemRecord{});
    ASSERT_TRUE(loaded.LoadList(id));
    EXPECT_EQ(id, loaded.id);
    EXPECT_EQ(u"Food", loaded.name);
    EXPECT_EQ(u"weekly", loaded.note);
    EXPECT_EQ(u"Personal", loaded.category);
    EXPECT_EQ(4, loaded.itemCount);
    EXPECT_EQ(3, loaded.uncheckedCount);
    EXPECT_EQ(-2, loaded.position);
    EXPECT_EQ(1u, loaded.items.size()) << "items are not touched by LoadList";
}

TEST_F(ChecklistStoreTest, UnknownNonZeroIdIsAddedUnderThatId)
{
    ListRecord list;
    list.id = -77;
    list.name = u"Negative";
    ASSERT_TRUE(list.SaveList());
    EXPECT_EQ(-77, list.id);
    ListRecord loaded;
    ASSERT_TRUE(loaded.LoadList(-77));
    EXPECT_EQ(u"Negative", loaded.name);
}

TEST_F(ChecklistStoreTest, ZeroOrUnknownIdsFail)
{
    SaveNewList(u"one", u"Personal");
    ListRecord list;
    list.name = u"unchanged";
    EXPECT_FALSE(list.LoadList(0));
    EXPECT_FALSE(list.LoadList(424242));
    EXPECT_EQ(u"unchanged", list.name);
    EXPECT_FALSE(ListRecord::DeleteListById(0));
    EXPECT_FALSE(ListRecord::DeleteListById(424242));
    EXPECT_FALSE(list.DeleteList());
    EXPECT_EQ(1u, Lists());
}

TEST(ChecklistStoreNoStore, ZeroIdsDoNotOpenTheStore)
{
    ObjectStore::ResetConnection();
    ListRecord list;
    EXPECT_FALSE(list.LoadList(0));
    EXPECT_FALSE(ListRecord::DeleteListById(0));
    EXPECT_FALSE(list.DeleteList());
    EXPECT_FALSE(std::filesystem::exists(ObjectStore::StorePath()));
}

TEST_F(ChecklistStoreTest, DeleteRemovesOnlyThatChecklist)
{
    ListRecord a = SaveNewList(u"a", u"Personal");
    ListRecord b = SaveNewList(u"b", u"Personal");
    AddItems(a, {0, 1});
    EXPECT_TRUE(a.DeleteList());
    EXPECT_FALSE(ListRecord().LoadList(a.id));
    EXPECT_TRUE(ListRecord().LoadList(b.id));
    EXPECT_EQ(2u, Items()) << "items are left to the caller";
    EXPECT_TRUE(ListRecord::DeleteListById(b.id));
    EXPECT_EQ(0u, Lists());
}

class LoadListsTest : public StoreTest
{
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        SaveNewList(u"p2", u"Personal", 2);
        SaveNewList(u"b1", u"Business", 1);
        SaveNewList(u"u3", u"Unfiled", 3);
        SaveNewList(u"x0", u"all", 0);
        SaveNewList(u"gone", u"Deleted category", 4);
        SaveNewList(u"p1", u"Personal", 1);
    }
};

TEST_F(LoadListsTest, AllOrEmptyLoadsEveryChecklistByPosition)
{
    ListArray lists;
    ASSERT_TRUE(lists.LoadLists(u"All"));
    EXPECT_EQ((Names{u"x0", u"b1", u"p1", u"p2", u"u3", u"gone"}), NamesOf(lists)) << "equal positions keep store order";
    EXPECT_EQ(6, lists.totalCount);
    ListArray again;
    ASSERT_TRUE(again.LoadLists(u""));
    EXPECT_EQ(NamesOf(lists), NamesOf(again));
    EXPECT_NE(0, lists[0].id);
    EXPECT_TRUE(lists[0].items.empty());
}

TEST_F(LoadListsTest, CategoryMatchesExactly)
{
    ListArray lists;
    ASSERT_TRUE(lists.LoadLists(u"all"));
    EXPECT_EQ((Names{u"x0"}), NamesOf(lists));
    EXPECT_EQ(6, lists.totalCount) << "counts every category";
    ASSERT_TRUE(lists.LoadLists(u"Personal"));
    EXPECT_EQ((Names{u"p1", u"p2"}), NamesOf(lists));
    ASSERT_TRUE(lists.LoadLists(u"personal"));
    EXPECT_TRUE(lists.empty());
    ASSERT_TRUE(lists.LoadLists(u"Unfiled"));
    EXPECT_EQ((Names{u"u3"}), NamesOf(lists));
    ASSERT_TRUE(lists.LoadLists(u"Deleted category"));
    EXPECT_EQ((Names{u"gone"}), NamesOf(lists));
}

TEST_F(LoadListsTest, FailedLoadKeepsThePreviousArray)
{
    ListArray lists;
    ASSERT_TRUE(lists.LoadLists(u"All"));
    setenv("XDG_DATA_HOME", (TempXdgListener::Root() + "/blocked").c_str(), 1);
    std::filesystem::create_directories(TempXdgListener::Root() + "/blocked/tallyard/objectstore.db");
    EXPECT_FALSE(lists.LoadLists(u"All"));
    EXPECT_EQ(6u, lists.size());
    EXPECT_EQ(6, lists.totalCount);
}

TEST_F(LoadListsTest, SortByItemsLeftIsStableAndStoresPositions)
{
    SaveNewList(u"p7", u"Personal", 7);
    ListArray lists;
    ASSERT_TRUE(lists.LoadLists(u"Personal"));
    ASSERT_EQ(3u, lists.size());
    const int16_t counts[] = {2, 5, 2};
    for (size_t i = 0; i < 3; ++i)
    {
        lists[i].uncheckedCount = counts[i];
        ASSERT_TRUE(lists[i].SaveList());
    }
    ASSERT_TRUE(lists.SortListsByItemsLeft());
    EXPECT_EQ((Names{u"p2", u"p1", u"p7"}), NamesOf(lists));
    ListArray stored;
    ASSERT_TRUE(stored.LoadLists(u"Personal"));
    EXPECT_EQ((Names{u"p2", u"p1", u"p7"}), NamesOf(stored));
    EXPECT_EQ((std::vector<int16_t>{0, 1, 2}), Map(stored, [](const ListRecord& l) { return l.position; }));

    // Other categories keep their positions.
    ListArray all;
    ASSERT_TRUE(all.LoadLists(u"Unfiled"));
    EXPECT_EQ(3, all[0].position);
}

TEST_F(LoadListsTest, SortByNameUsesCodeUnits)
{
    ListArray lists;
    SaveNewList(u"apple", u"Fruit", 0);
    SaveNewList(u"Zucchini", u"Fruit", 1);
    SaveNewList(u"\u00C4pfel", u"Fruit", 2);
    SaveNewList(u"Apple", u"Fruit", 3);
    ASSERT_TRUE(lists.LoadLists(u"Fruit"));
    ASSERT_TRUE(lists.SortListsByName());
    ListArray stored;
    ASSERT_TRUE(stored.LoadLists(u"Fruit"));
    EXPECT_EQ((Names{u"Apple", u"Zucchini", u"apple", u"\u00C4pfel"}), NamesOf(stored));
}
}
