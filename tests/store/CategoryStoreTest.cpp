// Setting up the store, and loading and saving the categories.

#include "tests/store/StoreTestSupport.h"
#include "tests/support/TempXdg.h"

#include <filesystem>

using ObjectStore::Property;
using Names = std::vector<std::u16string>;

namespace
{
Names NamesOf(const CategoryList& list)
{
    Names names;
    for (const CategoryRecord& c : list)
        names.push_back(c.name);
    return names;
}

using DatabasesTest = StoreTest;

TEST_F(DatabasesTest, FreshStoreHasThreeDatabasesAndTwoCategories)
{
    EXPECT_TRUE(ObjectStore::DatabaseExists(u"KvTyCategories"));
    EXPECT_TRUE(ObjectStore::DatabaseExists(u"KvTyChecklists"));
    EXPECT_TRUE(ObjectStore::DatabaseExists(u"KvTyItems"));
    CategoryList categories;
    ASSERT_TRUE(categories.LoadCategories());
    ASSERT_EQ(2u, categories.size());
    EXPECT_EQ(u"Personal", categories[0].name);
    EXPECT_EQ(0, categories[0].order);
    EXPECT_EQ(u"Business", categories[1].name);
    EXPECT_EQ(1, categories[1].order);
    EXPECT_EQ(0u, Lists());
    EXPECT_EQ(0u, Items());
}

TEST_F(DatabasesTest, ExistingDatabasesAreLeftAlone)
{
    CategoryList none;
    ASSERT_TRUE(none.SaveCategories());
    ASSERT_TRUE(ListStore::CreateDatabases());
    EXPECT_EQ(0u, Count(u"KvTyCategories")) << "deleted defaults do not come back";
}

TEST_F(DatabasesTest, OnlyTheMissingDatabaseIsCreated)
{
    // A store that has categories and checklists but lost its items.
    const std::string first = getenv("XDG_DATA_HOME");
    setenv("XDG_DATA_HOME", (TempXdgListener::Root() + "/partial").c_str(), 1);
    ASSERT_TRUE(ObjectStore::CreateDatabase(u"KvTyCategories", 0, {{0x00010002, 0}}));
    ASSERT_TRUE(ObjectStore::CreateDatabase(u"KvTyChecklists", 0, {{0x00030002, 0}, {0x00000003, 0}}));
    ASSERT_TRUE(ListStore::CreateDatabases());
    EXPECT_TRUE(ObjectStore::DatabaseExists(u"KvTyItems"));
    EXPECT_EQ(0u, Count(u"KvTyCategories"));
    ItemRecord item;
    item.listId = 5;
    EXPECT_TRUE(item.SaveItem()) << "the new items database works";
    setenv("XDG_DATA_HOME", first.c_str(), 1);
}

TEST_F(DatabasesTest, UnusableStoreFailsCreation)
{
    setenv("XDG_DATA_HOME", (TempXdgListener::Root() + "/blocked").c_str(), 1);
    std::filesystem::create_directories(TempXdgListener::Root() + "/blocked/tallyard/objectstore.db");
    EXPECT_FALSE(ListStore::CreateDatabases());
    EXPECT_FALSE(ListStore::LastError().empty());
    CategoryList categories;
    EXPECT_FALSE(categories.LoadCategories());
}

using CategoryStoreTest = StoreTest;

TEST_F(CategoryStoreTest, SavedOrdersComeBackAsStored)
{
    CategoryList list;
    list.push_back({u"Zeta", 5});
    list.push_back({u"all", 0});
    list.push_back({u"Beta", 2});
    ASSERT_TRUE(list.SaveCategories());
    CategoryList loaded;
    loaded.push_back({u"stale", 9});
    ASSERT_TRUE(loaded.LoadCategories());
    EXPECT_EQ((Names{u"all", u"Beta", u"Zeta"}), NamesOf(loaded));
    EXPECT_EQ(0, loaded[0].order);
    EXPECT_EQ(2, loaded[1].order);
    EXPECT_EQ(5, loaded[2].order);
}

TEST_F(CategoryStoreTest, EqualOrdersKeepStoreOrder)
{
    CategoryList list;
    list.push_back({u"first", 1});
    list.push_back({u"second", 1});
    list.push_back({u"zero", 0});
    list.push_back({u"third", 1});
    ASSERT_TRUE(list.SaveCategories());
    CategoryList loaded;
    ASSERT_TRUE(loaded.LoadCategories());
    EXPECT_EQ((Names{u"zero", u"first", u"second", u"third"}), NamesOf(loaded));
}

TEST_F(CategoryStoreTest, EmptyListEmptiesTheStore)
{
    CategoryList none;
    ASSERT_TRUE(none.SaveCategories());
    CategoryList loaded;
    ASSERT_TRUE(loaded.LoadCategories());
    EXPECT_TRUE(loaded.empty());
    EXPECT_TRUE(messages.empty());
}

TEST_F(CategoryStoreTest, FailedSaveKeepsTheOldListAndSaysWhy)
{
    CategoryList list;
    list.push_back({u"New", 0});
    {
        // A change that already failed refuses every further write.
        ListStore::Transaction outer;
        ListRecord missing;
        EXPECT_FALSE(missing.LoadList(12345));
        EXPECT_FALSE(list.SaveCategories());
    }
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(u"Error", messages[0].second);
    EXPECT_FALSE(messages[0].first.empty());
    CategoryList loaded;
    ASSERT_TRUE(loaded.LoadCategories());
    EXPECT_EQ((Names{u"Personal", u"Business"}), NamesOf(loaded));
}
}
