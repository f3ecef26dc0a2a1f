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
