// Undo and redo of every kind of change, compared over the whole store file.

#include "platform/UndoHistory.h"
#include "tests/reliability/Child.h"
#include "tests/store/StoreTestSupport.h"

#include <sqlite3.h>

#include <functional>

using ObjectStore::UndoOutcome;
using ObjectStore::UndoStep;
namespace Undo = ObjectStore::Undo;

namespace
{
// Every row of every table but SQLite's own, in key order, as text.
std::string Snapshot()
{
    sqlite3* db = nullptr;
    std::string out;
    if (sqlite3_open_v2(ObjectStore::StorePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
    {
        sqlite3_close(db);
        ADD_FAILURE() << "cannot open the store";
        return out;
    }
    std::vector<std::string> tables;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' "
                           "ORDER BY name",
                       -1, &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW)
        tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    for (const std::string& table : tables)
    {
        out += "[" + table + "]\n";
        sqlite3_prepare_v2(db, ("SELECT * FROM " + table + " ORDER BY 1").c_str(), -1, &stmt, nullptr);
        while (sqlite3_step(stmt) == SQLITE_ROW)
        {
            for (int i = 0; i < sqlite3_column_count(stmt); ++i)
            {
                const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(stmt, i));
                static const char hex[] = "0123456789abcdef";
                for (int k = 0; k < sqlite3_column_bytes(stmt, i); ++k)
                    out += {hex[bytes[k] >> 4], hex[bytes[k] & 15]};
                out += sqlite3_column_type(stmt, i) == SQLITE_NULL ? "null|" : "|";
            }
            out += "\n";
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return out;
}

ListRecord Stored(int32_t id)
{
    ListRecord list;
    EXPECT_TRUE(list.LoadList(id));
    return list;
}

ListRecord WithItems(int32_t id)
{
    ListRecord list = Stored(id);
    EXPECT_TRUE(list.LoadItems(FilterAll));
    return list;
}

class UndoTest : public StoreTest
{
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        Undo::Clear();
        Undo::SetMemoryLimit(Undo::kDefaultMemoryLimit);
        CategoryList categories;
        ASSERT_TRUE(categories.LoadCategories());
        categories.push_back({u"Home", 2});
        ASSERT_TRUE(categories.SaveCategories());
        // Out of order by name and by items left, so that each sort moves them.
        trip = SaveNewList(u"Trip", u"Personal", 1);
        AddItems(trip, {1, 0, 1, 0, 1});
        work = SaveNewList(u"Work", u"Business", 0);
        AddItems(work, {0, 1});
        ASSERT_EQ(0u, Undo::UndoCount()) << "changes outside a step are not recorded";
    }
    void TearDown() override
    {
        Undo::Clear();
        StoreTest::TearDown();
    }

    /// Makes the change of that kind, outside or inside a step.
    void Change(const std::u16string& name);
    static void Record(const std::u16string& name, const std::function<void()>& change)
    {
        UndoStep step(name);
        change();
    }

    ListRecord trip;
    ListRecord work;
};

struct Kind
{
    std::u16string name;
    std::function<void(const ListRecord& trip, const ListRecord& work)> change;
};

void SaveCategories(const std::function<void(CategoryList&)>& edit)
{
    CategoryList categories;
    ASSERT_TRUE(categories.LoadCategories());
    edit(categories);
    ASSERT_TRUE(categories.SaveCategories());
}

// What the program does for each kind of change, as its handlers call the store.
const std::vector<Kind>& Kinds()
{
    static const std::vector<Kind> kinds = {
        {u"New Checklist",
         [](const ListRecord&, const ListRecord&) {
             ListRecord list;
             list.name = u"Fresh";
             list.category = u"Unfiled";
             list.position = 2;
             ASSERT_TRUE(list.SaveList());
         }},
        {u"Rename Checklist",
         [](const ListRecord& trip, const ListRecord&) {
             ListRecord list = trip;
             ASSERT_TRUE(list.LoadList(trip.id));
             list.name = u"Journey";
             ASSERT_TRUE(list.SaveList());
         }},
        {u"Delete Checklist", [](const ListRecord& trip, const ListRecord&) { ASSERT_TRUE(ListStore::DeleteChecklist(trip.id)); }},
        {u"Copy List",
         [](const ListRecord& trip, const ListRecord&) {
             ListRecord copy;
             ASSERT_TRUE(ListStore::CopyChecklist(trip.id, FilterUnchecked, u"Trip 2", u"Personal", 2, copy));
         }},
        {u"List Note",
         [](const ListRecord& trip, const ListRecord&) {
             ListRecord list;
             ASSERT_TRUE(list.LoadList(trip.id));
             list.note = u"Passports\r\nTickets";
             ASSERT_TRUE(list.SaveList());
         }},
        {u"Move Down",
         [](const ListRecord& trip, const ListRecord& work) {
             ListStore::Transaction tx;
             ListRecord a, b;
             ASSERT_TRUE(a.LoadList(trip.id));
             ASSERT_TRUE(b.LoadList(work.id));
             std::swap(a.position, b.position);
             a.SaveList();
             b.SaveList();
             ASSERT_TRUE(tx.Commit());
         }},
        {u"Change Category",
         [](const ListRecord& trip, const ListRecord&) {
             ListRecord list;
             ASSERT_TRUE(list.LoadList(trip.id));
             list.category = u"Home";
             ASSERT_TRUE(list.SaveList());
         }},
        {u"Sort Alphabetically",
         [](const ListRecord&, const ListRecord&) {
             ListArray lists;
             ASSERT_TRUE(lists.LoadLists(u""));
             ASSERT_TRUE(lists.SortListsByName());
         }},
        {u"Sort by Item Count",
         [](const ListRecord&, const ListRecord&) {
             ListArray lists;
             ASSERT_TRUE(lists.LoadLists(u""));
             ASSERT_TRUE(lists.SortListsByItemsLeft());
         }},
        {u"New Item",
         [](const ListRecord& trip, const ListRecord&) {
             // The item dialog stores the item, then the editor the counts.
             ItemRecord item;
             item.listId = trip.id;
             item.name = u"Map";
             item.priority = 2;
             item.position = 5;
             ASSERT_TRUE(item.SaveItem());
             ListRecord list;
             ASSERT_TRUE(list.LoadList(trip.id));
             ++list.itemCount;
             ++list.uncheckedCount;
             ASSERT_TRUE(list.SaveList());
         }},
        {u"Edit Item",
         [](const ListRecord& trip, const ListRecord&) {
             ItemRecord item = WithItems(trip.id).items[1];
             item.name = u"Sun cream";
             item.details = u"factor 50";
             item.priority = 5;
             ASSERT_TRUE(item.SaveItem());
         }},
        {u"Delete Item",
         [](const ListRecord& trip, const ListRecord&) {
             ListRecord list = WithItems(trip.id);
             ListStore::Transaction tx;
             ASSERT_TRUE(list.items[0].DeleteItem());
             --list.itemCount;
             ASSERT_TRUE(list.SaveList());
             ASSERT_TRUE(tx.Commit());
         }},
        {u"Tick",
         [](const ListRecord& trip, const ListRecord&) {
             ListRecord list = WithItems(trip.id);
             ListStore::Transaction tx;
             list.items[1].checked = 1;
             ASSERT_TRUE(list.items[1].SaveItem());
             --list.uncheckedCount;
             ASSERT_TRUE(list.SaveList());
             ASSERT_TRUE(tx.Commit());
         }},
        {u"Move Item Up",
         [](const ListRecord& trip, const ListRecord&) {
             ListRecord list = WithItems(trip.id);
             ListStore::Transaction tx;
             std::swap(list.items[2].position, list.items[3].position);
             ASSERT_TRUE(list.items[2].SaveItem());
             ASSERT_TRUE(list.items[3].SaveItem());
             ASSERT_TRUE(tx.Commit());
         }},
        {u"Check All",
         [](const ListRecord& trip, const ListRecord&) {
             ListRecord list = Stored(trip.id);
             ASSERT_TRUE(ListStore::CheckAll(list));
         }},
        {u"Uncheck All",
         [](const ListRecord& trip, const ListRecord&) {
             ListRecord list = Stored(trip.id);
             ASSERT_TRUE(ListStore::UncheckAll(list));
         }},
        {u"Invert Checks",
         [](const ListRecord& trip, const ListRecord&) {
             ListRecord list = Stored(trip.id);
             ASSERT_TRUE(ListStore::InvertChecks(list));
         }},
        {u"Purge Checked Items",
         [](const ListRecord& trip, const ListRecord&) {
             ListRecord list = Stored(trip.id);
             ASSERT_TRUE(ListStore::PurgeChecked(list));
         }},
        {u"Sort by Priority",
         [](const ListRecord& trip, const ListRecord&) {
             ItemRecord item = WithItems(trip.id).items[4];
             item.priority = 1; // so that the sort moves something
             ASSERT_TRUE(item.SaveItem());
             ListRecord list = Stored(trip.id);
             ASSERT_TRUE(list.LoadItemsSorted(2));
         }},
        {u"Sort Items Alphabetically",
         [](const ListRecord&, const ListRecord& work) {
             ListRecord list = Stored(work.id);
             ASSERT_TRUE(list.LoadItems(FilterAll));
             list.items[0].name = u"zebra";
             ASSERT_TRUE(list.items[0].SaveItem());
             ASSERT_TRUE(list.LoadItemsSorted(1));
         }},
        {u"New Category", [](const ListRecord&, const ListRecord&) {
             SaveCategories([](CategoryList& c) { c.push_back({u"Garden", int16_t(c.size())}); });
         }},
        {u"Rename Category",
         [](const ListRecord&, const ListRecord&) {
             ListStore::Transaction tx;
             ASSERT_TRUE(ListStore::MoveCategoryLists(u"Personal", u"Private"));
             SaveCategories([](CategoryList& c) { c[0].name = u"Private"; });
             ASSERT_TRUE(tx.Commit());
         }},
        {u"Merge Categories",
         [](const ListRecord&, const ListRecord&) {
             ListStore::Transaction tx;
             ASSERT_TRUE(ListStore::MoveCategoryLists(u"Business", u"Personal"));
             SaveCategories([](CategoryList& c) { c.erase(c.begin() + 1); });
             ASSERT_TRUE(tx.Commit());
         }},
        {u"Delete Category",
         [](const ListRecord&, const ListRecord&) {
             ListStore::Transaction tx;
             ASSERT_TRUE(ListStore::MoveCategoryLists(u"Personal", u"Unfiled"));
             SaveCategories([](CategoryList& c) { c.erase(c.begin()); });
             ASSERT_TRUE(tx.Commit());
         }},
    };
    return kinds;
}

void UndoTest::Change(const std::u16string& name)
{
    for (const Kind& kind : Kinds())
    {
        if (kind.name == name)
            return kind.change(trip, work);
    }
    FAIL() << "no such kind";
}

TEST_F(UndoTest, EveryKindOfStepUndoesToTheStoreBeforeAndRedoesToTheStoreAfter)
{
    for (const Kind& kind : Kinds())
    {
        SCOPED_TRACE(std::string(kind.name.begin(), kind.name.end()));
        Undo::Clear();
        const std::string before = Snapshot();
        Record(kind.name, [&] { kind.change(trip, work); });
        const std::string after = Snapshot();
        ASSERT_NE(before, after) << "the change changed nothing";
        ASSERT_EQ(kind.name, Undo::UndoName());
        EXPECT_FALSE(Undo::CanRedo());

        ASSERT_EQ(UndoOutcome::Done, Undo::UndoLast());
        EXPECT_EQ(before, Snapshot());
        EXPECT_FALSE(Undo::CanUndo());
        EXPECT_EQ(kind.name, Undo::RedoName());

        ASSERT_EQ(UndoOutcome::Done, Undo::RedoLast());
        EXPECT_EQ(after, Snapshot());
        EXPECT_FALSE(Undo::CanRedo());

        // Back to the start for the next kind.
        ASSERT_EQ(UndoOutcome::Done, Undo::UndoLast());
        ASSERT_EQ(before, Snapshot());
    }
}

TEST_F(UndoTest, DeletedChecklistComesBackWithItsIdsItemsAndCounts)
{
    const ListRecord original = WithItems(trip.id);
    Record(u"Delete Checklist", [&] { ASSERT_TRUE(ListStore::DeleteChecklist(trip.id)); });
    ASSERT_FALSE(ListRecord().LoadList(trip.id));
    ASSERT_EQ(UndoOutcome::Done, Undo::UndoLast());
    const ListRecord back = WithItems(trip.id);
    EXPECT_EQ(original.name, back.name);
    EXPECT_EQ(original.itemCount, back.itemCount);
    EXPECT_EQ(original.uncheckedCount, back.uncheckedCount);
    ASSERT_EQ(original.items.size(), back.items.size());
    for (size_t i = 0; i < back.items.size(); ++i)
    {
        EXPECT_EQ(original.items[i].id, back.items[i].id);
        EXPECT_EQ(original.items[i].checked, back.items[i].checked);
        EXPECT_EQ(original.items[i].position, back.items[i].position);
    }
    // The store's handles see the records again, sorted as before.
    ListArray all;
    ASSERT_TRUE(all.LoadLists(u"All"));
    ASSERT_EQ(2u, all.size());
    EXPECT_EQ(trip.id, all[1].id);
}

TEST_F(UndoTest, TenMixedStepsUndoAndRedoInTurn)
{
    const std::vector<std::u16string> chain = {u"Tick",           u"New Item",         u"Rename Checklist",
                                               u"Purge Checked Items", u"Sort Alphabetically", u"Rename Category",
                                               u"Copy List",      u"Invert Checks",    u"New Category",
                                               u"Delete Checklist"};
    std::vector<std::string> states{Snapshot()};
    for (const std::u16string& name : chain)
    {
        Record(name, [&] { Change(name); });
        states.push_back(Snapshot());
        ASSERT_NE(states[states.size() - 2], states.back());
    }
    ASSERT_EQ(10u, Undo::UndoCount());
    for (size_t i = chain.size(); i-- > 0;)
    {
        EXPECT_EQ(chain[i], Undo::UndoName());
        ASSERT_EQ(UndoOutcome::Done, Undo::UndoLast()) << "step " << i;
        EXPECT_EQ(states[i], Snapshot()) << "after undoing step " << i;
    }
    EXPECT_EQ(UndoOutcome::Nothing, Undo::UndoLast());
    for (size_t i = 0; i < chain.size(); ++i)
    {
        EXPECT_EQ(chain[i], Undo::RedoName());
        ASSERT_EQ(UndoOutcome::Done, Undo::RedoLast()) << "step " << i;
        EXPECT_EQ(states[i + 1], Snapshot()) << "after redoing step " << i;
    }
    EXPECT_EQ(UndoOutcome::Nothing, Undo::RedoLast());

    // Half way back, a new change drops what was left to redo.
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(UndoOutcome::Done, Undo::UndoLast());
    EXPECT_EQ(5u, Undo::RedoCount());
    Record(u"List Note", [&] { Change(u"List Note"); });
    EXPECT_EQ(0u, Undo::RedoCount());
    EXPECT_EQ(6u, Undo::UndoCount());
}

TEST_F(UndoTest, StepsThatChangeNothingAreNotKept)
{
    Record(u"Check All", [&] { Change(u"Check All"); });
    ASSERT_EQ(UndoOutcome::Done, Undo::UndoLast());
    {
        UndoStep step(u"Nothing");
    }
    {
        // A change that fails and rolls back leaves no step either.
        UndoStep step(u"Failed");
        ListStore::Transaction tx;
        ListRecord list;
        ASSERT_TRUE(list.LoadList(work.id));
        list.name = u"never stored";
        list.SaveList();
        ListStore::DeleteChecklist(12345); // not stored: fails the change
        EXPECT_FALSE(tx.Commit());
    }
    EXPECT_EQ(0u, Undo::UndoCount());
    EXPECT_EQ(1u, Undo::RedoCount()) << "no change, so the redo step stays";
    EXPECT_EQ(u"Check All", Undo::RedoName());
}

TEST_F(UndoTest, NestedStepsAndSeveralTransactionsMakeOneStep)
{
    {
        UndoStep outer(u"Copy List");
        Change(u"Copy List");
        UndoStep inner(u"Tick");
        Change(u"Tick");
    }
    EXPECT_EQ(1u, Undo::UndoCount());
    EXPECT_EQ(u"Copy List", Undo::UndoName());
}

TEST_F(UndoTest, UnrecordedChangesInsideAStepAreNotUndone)
{
    {
        UndoStep step(u"List Note");
        Change(u"List Note");
        ObjectStore::UnrecordedChanges sync;
        ListRecord list;
        ASSERT_TRUE(list.LoadList(work.id));
        list.name = u"Synced";
        ASSERT_TRUE(list.SaveList());
    }
    ASSERT_EQ(UndoOutcome::Done, Undo::UndoLast());
    EXPECT_EQ(u"Synced", Stored(work.id).name);
    EXPECT_TRUE(Stored(trip.id).note.empty());
}

TEST_F(UndoTest, KeepsAThousandStepsAndForgetsTheOldestBeyondTheMemoryLimit)
{
    ListRecord list = WithItems(work.id);
    for (int i = 0; i < 1000; ++i)
    {
        UndoStep step(u"Tick");
        ListStore::Transaction tx;
        list.items[0].checked = int16_t(1 - list.items[0].checked);
        ASSERT_TRUE(list.items[0].SaveItem());
        list.uncheckedCount = int16_t(list.uncheckedCount + (list.items[0].checked ? -1 : 1));
        ASSERT_TRUE(list.SaveList());
        ASSERT_TRUE(tx.Commit());
    }
    EXPECT_EQ(1000u, Undo::UndoCount());
    const size_t used = Undo::MemoryUsed();
    std::printf("1000 ticks keep %zu bytes of undo steps\n", used);
    EXPECT_LT(used, size_t(1) << 20);

    Undo::SetMemoryLimit(used / 2);
    EXPECT_LE(Undo::MemoryUsed(), used / 2);
    EXPECT_GT(Undo::UndoCount(), 400u);
    EXPECT_LT(Undo::UndoCount(), 600u);
    const int16_t checked = WithItems(work.id).items[0].checked;
    ASSERT_EQ(UndoOutcome::Done, Undo::UndoLast());
    EXPECT_NE(checked, WithItems(work.id).items[0].checked);
}

// Another process changes the store while this one keeps its steps.
void InAnotherInstance(const std::function<void()>& change)
{
    ObjectStore::ResetConnection();
    const ChildResult result = RunInChild([&] {
        change();
        return std::string(testing::Test::HasFailure() ? "failed" : "ok");
    });
    ASSERT_EQ("ok", result.output) << result.Describe();
}

TEST_F(UndoTest, UndoIsRefusedWhenAnotherInstanceChangedARecordOfTheStep)
{
    Record(u"Tick", [&] { Change(u"Tick"); });
    InAnotherInstance([&] {
        ListRecord list;
        ASSERT_TRUE(list.LoadList(trip.id));
        list.note = u"from elsewhere";
        ASSERT_TRUE(list.SaveList());
    });
    const std::string now = Snapshot();
    EXPECT_EQ(UndoOutcome::ChangedSince, Undo::UndoLast());
    EXPECT_EQ(now, Snapshot()) << "nothing changed";
    EXPECT_EQ(u"Tick", Undo::UndoName()) << "the step is still there";
    EXPECT_FALSE(Undo::CanRedo());
}

TEST_F(UndoTest, UndoOfAPurgeIsRefusedWhenAnotherInstanceDeletedTheChecklist)
{
    // The purged items cannot go back into a checklist that is gone.
    Record(u"Purge Checked Items", [&] { Change(u"Purge Checked Items"); });
    InAnotherInstance([&] { ASSERT_TRUE(ListStore::DeleteChecklist(trip.id)); });
    const std::string now = Snapshot();
    EXPECT_EQ(UndoOutcome::ChangedSince, Undo::UndoLast());
    EXPECT_EQ(now, Snapshot());
}

TEST_F(UndoTest, UndoSucceedsWhenAnotherInstanceChangedOnlyOtherRecords)
{
    const std::string before = Snapshot();
    Record(u"Purge Checked Items", [&] { Change(u"Purge Checked Items"); });
    InAnotherInstance([&] {
        ListRecord list = WithItems(work.id);
        list.items[0].checked = 1;
        ListStore::Transaction tx;
        ASSERT_TRUE(list.items[0].SaveItem());
        --list.uncheckedCount;
        ASSERT_TRUE(list.SaveList());
        ASSERT_TRUE(tx.Commit());
    });
    const ListRecord otherAfter = WithItems(work.id);
    ASSERT_EQ(UndoOutcome::Done, Undo::UndoLast());
    const ListRecord back = WithItems(trip.id);
    EXPECT_EQ(5u, back.items.size());
    EXPECT_EQ(5, back.itemCount);
    EXPECT_EQ(0, WithItems(work.id).uncheckedCount) << "the other instance's change stays";
    EXPECT_EQ(otherAfter.items[0].checked, WithItems(work.id).items[0].checked);

    // Redo is refused in turn once another instance changed the checklist.
    InAnotherInstance([&] {
        ListRecord list;
        ASSERT_TRUE(list.LoadList(trip.id));
        list.name = u"Renamed elsewhere";
        ASSERT_TRUE(list.SaveList());
    });
    const std::string now = Snapshot();
    EXPECT_EQ(UndoOutcome::ChangedSince, Undo::RedoLast());
    EXPECT_EQ(now, Snapshot());
    EXPECT_NE(before, now);
}

TEST_F(UndoTest, StepsOfAnotherStoreFileAreNotOffered)
{
    Record(u"Tick", [&] { Change(u"Tick"); });
    const std::string first = getenv("XDG_DATA_HOME");
    setenv("XDG_DATA_HOME", (first + "/other").c_str(), 1);
    ASSERT_TRUE(ListStore::CreateDatabases());
    EXPECT_FALSE(Undo::CanUndo());
    EXPECT_EQ(UndoOutcome::Nothing, Undo::UndoLast());
    setenv("XDG_DATA_HOME", first.c_str(), 1);
    EXPECT_EQ(u"Tick", Undo::UndoName());
    EXPECT_EQ(UndoOutcome::Done, Undo::UndoLast());
}
}
