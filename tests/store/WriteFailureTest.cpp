// Every change the file refuses is reported once through the write-failure
// hook; changes abandoned for reasons of their own are not.
#include "tests/reliability/FaultVfs.h"
#include "tests/store/StoreTestSupport.h"

#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
class WriteFailureTest : public StoreTest
{
protected:
    void SetUp() override
    {
        FaultVfs::Install();
        StoreTest::SetUp();
        ListStore::SetWriteFailureHook([this](const std::u16string& reason) { reasons.push_back(reason); });
    }
    void TearDown() override
    {
        FaultVfs::Disarm();
        ListStore::SetWriteFailureHook(nullptr);
        StoreTest::TearDown();
    }

    std::vector<std::u16string> reasons;
};
}

TEST_F(WriteFailureTest, RefusedSingleWriteIsReportedOnceWithItsReason)
{
    ListRecord list = SaveNewList(u"Groceries", u"Unfiled");
    ASSERT_TRUE(reasons.empty());

    FaultVfs::Arm(FaultVfs::Op::Write, 1, true, /*diskFull=*/true);
    list.name = u"Shopping";
    EXPECT_FALSE(list.SaveList());
    FaultVfs::Disarm();

    ASSERT_EQ(1u, reasons.size());
    EXPECT_FALSE(reasons[0].empty());
    ListRecord stored;
    ASSERT_TRUE(stored.LoadList(list.id));
    EXPECT_EQ(u"Groceries", stored.name);
}

TEST_F(WriteFailureTest, CompoundChangeIsReportedOnceHoweverManyStepsFail)
{
    ListRecord list = SaveNewList(u"Groceries", u"Unfiled");
    AddItems(list, {0, 0, 1, 0});
    reasons.clear();

    FaultVfs::Arm(FaultVfs::Op::Sync, 1, true);
    EXPECT_FALSE(ListStore::CheckAll(list));
    FaultVfs::Disarm();

    EXPECT_EQ(1u, reasons.size());
    ListRecord stored;
    ASSERT_TRUE(stored.LoadList(list.id));
    EXPECT_EQ(3, stored.uncheckedCount);
}

TEST_F(WriteFailureTest, ChangesAbandonedForTheirOwnReasonsAreNotReported)
{
    EXPECT_FALSE(ListRecord::DeleteListById(12345));
    EXPECT_FALSE(ListStore::DeleteChecklist(12345));
    ItemRecord orphan;
    orphan.name = u"No list";
    EXPECT_FALSE(orphan.SaveItem());
    EXPECT_TRUE(reasons.empty());
}

TEST_F(WriteFailureTest, StoreWorksAgainAndReportsNothingOnceTheFaultIsGone)
{
    ListRecord list = SaveNewList(u"Groceries", u"Unfiled");
    FaultVfs::Arm(FaultVfs::Op::Write, 1, false);
    list.note = u"first try";
    EXPECT_FALSE(list.SaveList());
    FaultVfs::Disarm();
    reasons.clear();

    list.note = u"second try";
    EXPECT_TRUE(list.SaveList());
    EXPECT_TRUE(reasons.empty());
}

TEST_F(WriteFailureTest, ReadOnlyStoreTellsWhyForEveryRefusedChange)
{
    ListRecord list = SaveNewList(u"Groceries", u"Unfiled");
    AddItems(list, {0, 1, 0});
    const std::string file = ObjectStore::StorePath();
    const std::string dir = file.substr(0, file.rfind('/'));
    ObjectStore::ResetConnection();
    if (geteuid() != 0 || std::system(("chattr +i '" + file + "' '" + dir + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "making the store immutable needs root and chattr";

    ListRecord stored;
    EXPECT_TRUE(stored.LoadList(list.id));
    EXPECT_FALSE(ListStore::CheckAll(stored));
    list.note = u"a note";
    EXPECT_FALSE(list.SaveList());
    std::system(("chattr -i '" + file + "' '" + dir + "'").c_str());

    // The reason is the file's, not the later steps' "an earlier step failed".
    ASSERT_EQ(2u, reasons.size());
    for (const std::u16string& reason : reasons)
        EXPECT_NE(std::u16string::npos, reason.find(u"read-only")) << std::string(reason.begin(), reason.end());
}

namespace
{
std::vector<std::u16string> CategoryNames()
{
    CategoryList stored;
    EXPECT_TRUE(stored.LoadCategories());
    std::vector<std::u16string> names;
    for (const CategoryRecord& c : stored)
        names.push_back(c.name);
    return names;
}

CategoryList WithTrips()
{
    CategoryList categories;
    EXPECT_TRUE(categories.LoadCategories());
    categories.push_back(CategoryRecord{u"Trips", 2});
    return categories;
}
}

TEST_F(WriteFailureTest, RefusedSaveCategoriesOnItsOwnIsOneNoticeAndChangesNothing)
{
    // No change around it, as when a category is added.
    FaultVfs::Arm(FaultVfs::Op::Write, 1, true);
    EXPECT_FALSE(WithTrips().SaveCategories());
    FaultVfs::Disarm();

    EXPECT_TRUE(messages.empty()) << std::string(messages[0].first.begin(), messages[0].first.end());
    ASSERT_EQ(1u, reasons.size());
    EXPECT_EQ(std::u16string::npos, reasons[0].find(u"earlier step"));
    EXPECT_EQ((std::vector<std::u16string>{u"Personal", u"Business"}), CategoryNames());
}

TEST_F(WriteFailureTest, SaveCategoriesOnAReadOnlyStoreNamesTheFileOnce)
{
    SaveNewList(u"Groceries", u"Business");
    ObjectStore::ResetConnection();
    ImmutableStore immutable;
    if (!immutable.Made())
        GTEST_SKIP() << "making the store immutable needs root and chattr";

    EXPECT_FALSE(WithTrips().SaveCategories());
    // Inside a change whose first step was refused already.
    {
        ListStore::Transaction tx;
        ListStore::MoveCategoryLists(u"Business", u"Unfiled");
        WithTrips().SaveCategories();
        EXPECT_FALSE(tx.Commit());
    }
    EXPECT_TRUE(messages.empty()) << std::string(messages[0].first.begin(), messages[0].first.end());
    ASSERT_EQ(2u, reasons.size());
    for (const std::u16string& reason : reasons)
        EXPECT_NE(std::u16string::npos, reason.find(u"read-only")) << std::string(reason.begin(), reason.end());
    EXPECT_EQ((std::vector<std::u16string>{u"Personal", u"Business"}), CategoryNames());
}

TEST_F(WriteFailureTest, SortingNothingOnAReadOnlyStoreIsNoFailure)
{
    ListRecord empty = SaveNewList(u"Empty", u"Unfiled");
    ObjectStore::ResetConnection();
    {
        ImmutableStore immutable;
        if (!immutable.Made())
            GTEST_SKIP() << "making the store immutable needs root and chattr";

        ListArray none;
        ASSERT_TRUE(none.LoadLists(u"Personal"));
        ASSERT_TRUE(none.empty());
        EXPECT_TRUE(none.SortListsByName());
        EXPECT_TRUE(none.SortListsByItemsLeft());
        // As the main view sorts: loading and sorting as one change.
        {
            ListStore::Transaction tx;
            ListArray all;
            all.LoadLists(u"");
            EXPECT_TRUE(all.SortListsByName()); // one checklist, already at 0
            EXPECT_TRUE(tx.Commit());
        }
        EXPECT_TRUE(empty.LoadItemsSorted(1));
        EXPECT_TRUE(empty.LoadItemsSorted(2));
        EXPECT_TRUE(reasons.empty());

        // Something to write is still refused, with the file's reason.
        empty.note = u"a note";
        EXPECT_FALSE(empty.SaveList());
    }
    ASSERT_EQ(1u, reasons.size());
    EXPECT_NE(std::u16string::npos, reasons[0].find(u"read-only"));
}
