// The sync algorithm with both sides in memory.
#include "sync/SyncEngine.h"
#include "sync/SyncMerge.h"
#include "tests/sync/MemorySides.h"

#include <gtest/gtest.h>

using namespace Sync;
using namespace Sync::Testing;

namespace
{
std::string Todo(const std::string& uid, const std::string& summary, const std::string& more = "")
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VTODO\r\nUID:" + uid +
           "\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:" + summary + "\r\n" + more + "END:VTODO\r\nEND:VCALENDAR\r\n";
}

std::string Item(const std::string& uid, const std::string& parent, const std::string& summary,
                 const std::string& more = "")
{
    return Todo(uid, summary, "RELATED-TO;RELTYPE=PARENT:" + parent + "\r\n" + more);
}

const char* const kEvent = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VEVENT\r\nUID:ev\r\n"
                           "DTSTAMP:20260101T000000Z\r\nDTSTART:20260102T100000Z\r\nSUMMARY:meet\r\nEND:VEVENT\r\n"
                           "END:VCALENDAR\r\n";

/// The value of a property of the VTODO text ("" when absent).
std::string Prop(const std::string& text, const std::string& name)
{
    size_t at = text.find("\n" + name);
    while (at != std::string::npos && text[at + 1 + name.size()] != ':' && text[at + 1 + name.size()] != ';')
        at = text.find("\n" + name, at + 1);
    if (at == std::string::npos)
        return {};
    size_t colon = text.find(':', at);
    std::string value = text.substr(colon + 1, text.find("\r\n", colon) - colon - 1);
    return value;
}

struct Sides
{
    MemoryLocal local;
    MemoryRemote remote;
    Report Sync() { return Engine(local, remote).Run(); }

    /// Both sides hold the same tasks, each once.
    void ExpectAgree()
    {
        size_t todos = 0;
        for (const auto& r : remote.resources)
        {
            std::string uid = TodoUid(r.second.text);
            if (uid.empty())
                continue;
            ++todos;
            ASSERT_TRUE(local.records.count(uid)) << uid;
            EXPECT_TRUE(SameTodo(local.records[uid].text, r.second.text)) << local.records[uid].text << "\n"
                                                                          << r.second.text;
            EXPECT_EQ(r.first, remote.HrefFor(uid));
        }
        EXPECT_EQ(todos, local.records.size());
    }
};
}

TEST(SyncEngine, FirstSyncCopiesEachSideToTheOtherAndTheNextDoesNothing)
{
    Sides s;
    s.local.Set(Todo("list", "Groceries"));
    s.local.Set(Item("milk", "list", "Milk"));
    s.remote.PutTodo(Todo("other", "Packing"));
    s.remote.PutTodo(Item("socks", "other", "Socks"));
    s.remote.Put("/c/ev.ics", kEvent);

    Report r = s.Sync();
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.uploaded, 2);
    EXPECT_EQ(r.downloaded, 2);
    s.ExpectAgree();
    EXPECT_EQ(s.local.records.size(), 4u);
    EXPECT_EQ(s.remote.resources.at("/c/ev.ics").text, kEvent);

    int writes = s.remote.writes;
    s.remote.requests = 0;
    r = s.Sync();
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(s.remote.writes, writes);
    EXPECT_EQ(s.remote.requests, 2); // open, changes
    EXPECT_EQ(r.downloaded + r.uploaded, 0);
}

TEST(SyncEngine, ChangesAndDeletionsMoveBothWays)
{
    Sides s;
    for (const char* uid : {"a", "b", "c", "d"})
        s.local.Set(Todo(uid, uid));
    ASSERT_TRUE(s.Sync().ok);

    s.local.Set(Todo("a", "a, renamed here"));
    s.remote.PutTodo(Todo("b", "b, renamed there"));
    s.local.records.erase("c");
    s.remote.Erase("/c/d.ics");
    Report r = s.Sync();
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.deletedRemote, 1);
    EXPECT_EQ(r.deletedLocal, 1);
    s.ExpectAgree();
    EXPECT_EQ(Prop(s.remote.resources["/c/a.ics"].text, "SUMMARY"), "a, renamed here");
    EXPECT_EQ(Prop(s.local.records["b"].text, "SUMMARY"), "b, renamed there");
    EXPECT_EQ(s.local.records.size(), 2u);
    EXPECT_TRUE(s.local.status.count("c") == 0 && s.local.status.count("d") == 0);
}

TEST(SyncEngine, DifferentFieldsChangedOnBothSidesBothStay)
{
    Sides s;
    s.local.Set(Item("i", "l", "Milk", "PRIORITY:5\r\nSTATUS:NEEDS-ACTION\r\n"));
    ASSERT_TRUE(s.Sync().ok);

    s.local.Set(Item("i", "l", "Oat milk", "PRIORITY:5\r\nSTATUS:NEEDS-ACTION\r\n"));
    s.remote.PutTodo(Item("i", "l", "Milk",
                          "PRIORITY:5\r\nSTATUS:COMPLETED\r\nCOMPLETED:20260105T100000Z\r\nPERCENT-COMPLETE:100\r\n"
                          "X-OTHER-APP:kept\r\n"));
    Report r = s.Sync();
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.merged, 1);
    EXPECT_EQ(r.conflicts, 0);
    s.ExpectAgree();
    const std::string& text = s.local.records["i"].text;
    EXPECT_EQ(Prop(text, "SUMMARY"), "Oat milk");
    EXPECT_EQ(Prop(text, "STATUS"), "COMPLETED");
    EXPECT_EQ(Prop(text, "PERCENT-COMPLETE"), "100");
    EXPECT_EQ(Prop(text, "X-OTHER-APP"), "kept");
    EXPECT_EQ(text.find(kChangedElsewhere), std::string::npos);
}

TEST(SyncEngine, SameFieldChangedOnBothSidesLaterWinsAndTheOtherStaysVisible)
{
    Sides s;
    s.local.Set(Todo("l", "Trip", "DESCRIPTION:pack light\r\n"));
    ASSERT_TRUE(s.Sync().ok);

    s.local.Set(Todo("l", "Trip to the sea", "DESCRIPTION:pack light\r\nLAST-MODIFIED:20260102T000000Z\r\n"));
    s.remote.PutTodo(Todo("l", "Trip to the hills", "DESCRIPTION:pack light\r\nLAST-MODIFIED:20260103T000000Z\r\n"));
    Report r = s.Sync();
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.conflicts, 1);
    s.ExpectAgree();
    const std::string& text = s.local.records["l"].text;
    EXPECT_EQ(Prop(text, "SUMMARY"), "Trip to the hills");
    EXPECT_EQ(Prop(text, "DESCRIPTION"), "pack light\\nChanged elsewhere: Trip to the sea");

    // The same conflict the other way round: the local change is later.
    s.local.Set(Todo("l", "Trip", "DESCRIPTION:mine\r\nLAST-MODIFIED:20260109T000000Z\r\n"));
    s.remote.PutTodo(Todo("l", "Trip", "DESCRIPTION:theirs\r\nLAST-MODIFIED:20260104T000000Z\r\n"));
    ASSERT_TRUE(s.Sync().ok);
    s.ExpectAgree();
    EXPECT_EQ(Prop(s.remote.resources["/c/l.ics"].text, "DESCRIPTION"), "mine\\nChanged elsewhere: theirs");
}

TEST(SyncEngine, AnEditBeatsADeleteOnEitherSide)
{
    Sides s;
    s.local.Set(Todo("x", "x"));
    s.local.Set(Todo("y", "y"));
    ASSERT_TRUE(s.Sync().ok);

    s.local.records.erase("x");
    s.remote.PutTodo(Todo("x", "x changed there"));
    s.local.Set(Todo("y", "y changed here"));
    s.remote.Erase("/c/y.ics");
    ASSERT_TRUE(s.Sync().ok);
    s.ExpectAgree();
    EXPECT_EQ(Prop(s.local.records["x"].text, "SUMMARY"), "x changed there");
    EXPECT_EQ(Prop(s.remote.resources["/c/y.ics"].text, "SUMMARY"), "y changed here");
}

TEST(SyncEngine, AChecklistDeletedOnOneSideComesBackWholeWhenSomethingOfItChangedOnTheOther)
{
    Sides s;
    auto fill = [&s] {
        s.local.Set(Todo("l", "Trip"));
        for (const char* uid : {"i1", "i2", "i3"})
            s.local.Set(Item(uid, "l", uid));
    };
    auto deleteHere = [&s] {
        for (const char* uid : {"l", "i1", "i2", "i3", "i4"})
            s.local.records.erase(uid);
    };
    fill();
    ASSERT_TRUE(s.Sync().ok);

    // Deleted here; there one item was edited and one added.
    deleteHere();
    s.remote.PutTodo(Item("i2", "l", "i2 changed there"));
    s.remote.PutTodo(Item("i4", "l", "i4 added there"));
    Report r = s.Sync();
    ASSERT_TRUE(r.ok) << r.error;
    s.ExpectAgree();
    EXPECT_EQ(s.local.records.size(), 5u);
    EXPECT_EQ(s.remote.resources.size(), 5u);
    EXPECT_EQ(Prop(s.local.records["i2"].text, "SUMMARY"), "i2 changed there");
    EXPECT_EQ(r.deletedRemote, 0);

    // Deleted there (the checklist and all but one item); here one item was
    // edited.
    for (const char* uid : {"l", "i1", "i2", "i4"})
        s.remote.Erase(s.remote.HrefFor(uid));
    s.local.Set(Item("i1", "l", "i1 changed here"));
    r = s.Sync();
    ASSERT_TRUE(r.ok) << r.error;
    s.ExpectAgree();
    EXPECT_EQ(s.remote.resources.size(), 5u);
    EXPECT_EQ(Prop(s.remote.resources[s.remote.HrefFor("i1")].text, "SUMMARY"), "i1 changed here");
    EXPECT_EQ(r.deletedLocal, 0);

    // Only the checklist's own note changed there: still the whole of it.
    deleteHere();
    s.remote.PutTodo(Todo("l", "Trip", "DESCRIPTION:noted there\r\n"));
    ASSERT_TRUE(s.Sync().ok);
    s.ExpectAgree();
    EXPECT_EQ(s.local.records.size(), 5u);

    // With nothing changed on the other side a delete is a delete.
    deleteHere();
    ASSERT_TRUE(s.Sync().ok);
    EXPECT_TRUE(s.remote.resources.empty());
    fill();
    ASSERT_TRUE(s.Sync().ok);
    for (const char* uid : {"l", "i1", "i2", "i3"})
        s.remote.Erase(s.remote.HrefFor(uid));
    ASSERT_TRUE(s.Sync().ok);
    EXPECT_TRUE(s.local.records.empty());
}

TEST(SyncEngine, AnUpdateCutOffBeforeItsAnswerWasKeptIsKnownAsOwnLater)
{
    for (bool otherEdits : {false, true})
    {
        SCOPED_TRACE(otherEdits ? "then another client changed another field" : "alone");
        Sides s;
        s.local.Set(Item("i", "l", "first", "DESCRIPTION:d\r\n"));
        ASSERT_TRUE(s.Sync().ok);

        // The server takes the rename; the process dies before it notes so.
        s.local.Set(Item("i", "l", "second", "DESCRIPTION:d\r\n"));
        int writes = 0;
        s.local.beforeWrite = [&] {
            if (++writes == 2)
                throw Killed();
        };
        EXPECT_THROW(s.Sync(), Killed);
        s.local.beforeWrite = nullptr;
        ASSERT_EQ(Prop(s.remote.resources[s.remote.HrefFor("i")].text, "SUMMARY"), "second");

        if (otherEdits)
            s.remote.PutTodo(Item("i", "l", "second", "DESCRIPTION:changed there\r\n"));
        s.local.Set(Item("i", "l", "third", "DESCRIPTION:d\r\n"));
        Report r = s.Sync();
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.conflicts, 0);
        s.ExpectAgree();
        EXPECT_EQ(Prop(s.local.records["i"].text, "SUMMARY"), "third");
        EXPECT_EQ(Prop(s.local.records["i"].text, "DESCRIPTION"), otherEdits ? "changed there" : "d");
    }
}

TEST(SyncEngine, WhatItCannotHoldIsNeverTouched)
{
    Sides s;
    s.remote.Put("/c/ev.ics", kEvent);
    s.remote.PutTodo(Todo("odd", "a task the store cannot hold", "X-ODD:1\r\n"));
    s.remote.Put("/c/two.ics", "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nBEGIN:VTODO\r\nUID:t1\r\nEND:VTODO\r\n"
                               "BEGIN:VTODO\r\nUID:t2\r\nEND:VTODO\r\nEND:VCALENDAR\r\n");
    s.remote.Put("/c/junk.ics", "not iCalendar at all");
    s.local.refuses = [](const std::string& text) { return text.find("X-ODD") != std::string::npos; };
    auto before = s.remote.resources;
    for (int i = 0; i < 2; ++i)
    {
        Report r = s.Sync();
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(s.remote.writes, 0);
        EXPECT_TRUE(s.local.records.empty());
    }
    for (const auto& r : before)
        EXPECT_EQ(s.remote.resources[r.first].text, r.second.text);
}

TEST(SyncEngine, AServerCopyChangedDuringTheSyncIsMergedNotOverwritten)
{
    Sides s;
    s.local.Set(Todo("a", "a", "PRIORITY:1\r\n"));
    ASSERT_TRUE(s.Sync().ok);

    s.local.Set(Todo("a", "a renamed", "PRIORITY:1\r\n"));
    bool once = true;
    s.remote.afterChanges = [&] {
        if (once)
            s.remote.PutTodo(Todo("a", "a", "PRIORITY:9\r\n"));
        once = false;
    };
    Report r = s.Sync();
    ASSERT_TRUE(r.ok) << r.error;
    s.ExpectAgree();
    EXPECT_EQ(Prop(s.local.records["a"].text, "SUMMARY"), "a renamed");
    EXPECT_EQ(Prop(s.local.records["a"].text, "PRIORITY"), "9");
}

TEST(SyncEngine, ALocalEditDuringTheSyncIsNotOverwritten)
{
    Sides s;
    s.local.Set(Todo("a", "a", "PRIORITY:1\r\n"));
    ASSERT_TRUE(s.Sync().ok);

    s.local.Set(Todo("a", "a here", "PRIORITY:1\r\n"));
    s.remote.PutTodo(Todo("a", "a", "PRIORITY:9\r\n"));
    s.local.afterGet = [&] {
        s.local.afterGet = nullptr;
        s.local.Set(Todo("a", "a here", "PRIORITY:1\r\nDESCRIPTION:typed during the sync\r\n"));
    };
    ASSERT_TRUE(s.Sync().ok);
    EXPECT_EQ(Prop(s.local.records["a"].text, "DESCRIPTION"), "typed during the sync");
    ASSERT_TRUE(s.Sync().ok);
    s.ExpectAgree();
    const std::string& text = s.local.records["a"].text;
    EXPECT_EQ(Prop(text, "DESCRIPTION"), "typed during the sync");
    EXPECT_EQ(Prop(text, "PRIORITY"), "9");
    EXPECT_EQ(Prop(text, "SUMMARY"), "a here");
}

TEST(SyncEngine, WithoutSyncTokensEtagsFindChangesAndDeletions)
{
    Sides s;
    s.remote.tokens = false;
    s.local.Set(Todo("a", "a"));
    s.local.Set(Todo("b", "b"));
    ASSERT_TRUE(s.Sync().ok);
    s.remote.Erase("/c/a.ics");
    s.remote.PutTodo(Todo("b", "b there"));
    ASSERT_TRUE(s.Sync().ok);
    s.ExpectAgree();
    EXPECT_EQ(s.local.records.count("a"), 0u);
    EXPECT_EQ(Prop(s.local.records["b"].text, "SUMMARY"), "b there");
}

namespace
{
/// Two stores' worth of changes on both sides since a first sync.
void MakeChanges(Sides& s)
{
    for (int i = 0; i < 6; ++i)
        s.local.Set(Todo("l" + std::to_string(i), "list " + std::to_string(i)));
    s.remote.PutTodo(Todo("r0", "remote list"));
    ASSERT_TRUE(s.Sync().ok);
    s.local.Set(Todo("l0", "renamed"));
    s.local.records.erase("l1");
    s.local.Set(Todo("n0", "new here"));
    s.local.Set(Item("n1", "n0", "new item here"));
    s.remote.PutTodo(Todo("l2", "renamed there"));
    s.remote.Erase("/c/l3.ics");
    s.remote.PutTodo(Todo("m0", "new there"));
    s.local.Set(Todo("l4", "both", "PRIORITY:1\r\n"));
    s.remote.PutTodo(Todo("l4", "l4", "DESCRIPTION:both\r\n"));
}
}

TEST(SyncEngine, CutOffAtAnyStepTheNextSyncCompletesWithoutDuplicates)
{
    Sides whole;
    MakeChanges(whole);
    ASSERT_TRUE(whole.Sync().ok);
    whole.ExpectAgree();

    int cuts = 0;
    for (int cut = 1;; ++cut)
    {
        for (bool onServer : {true, false})
        {
            Sides s;
            MakeChanges(s);
            int writes = 0;
            bool fired = false;
            auto kill = [&]() {
                if (++writes == cut)
                {
                    fired = true;
                    throw Killed();
                }
            };
            if (onServer)
                s.remote.beforeWrite = [&](int) {
                    kill();
                    return true;
                };
            else
                s.local.beforeWrite = kill;
            try
            {
                s.Sync();
            }
            catch (const Killed&)
            {
            }
            s.remote.beforeWrite = nullptr;
            s.local.beforeWrite = nullptr;
            if (!fired)
                continue;
            ++cuts;
            Report r = s.Sync();
            ASSERT_TRUE(r.ok) << r.error;
            SCOPED_TRACE("cut at write " + std::to_string(cut) + (onServer ? " on the server" : " locally"));
            s.ExpectAgree();
            ASSERT_EQ(s.local.records.size(), whole.local.records.size());
            for (const auto& rec : whole.local.records)
            {
                ASSERT_TRUE(s.local.records.count(rec.first)) << rec.first;
                EXPECT_EQ(Prop(s.local.records[rec.first].text, "SUMMARY"), Prop(rec.second.text, "SUMMARY"));
                EXPECT_EQ(Prop(s.local.records[rec.first].text, "PRIORITY"), Prop(rec.second.text, "PRIORITY"));
                EXPECT_EQ(Prop(s.local.records[rec.first].text, "DESCRIPTION"),
                          Prop(rec.second.text, "DESCRIPTION"));
            }
        }
        if (cut > 40)
            break;
    }
    EXPECT_GT(cuts, 10);
}

TEST(SyncMerge, RefusesWhatIsNotOneTask)
{
    EXPECT_FALSE(Merge3("", kEvent, Todo("a", "a")).ok);
    EXPECT_FALSE(Merge3("", "garbage", Todo("a", "a")).ok);
    EXPECT_EQ(TodoUid(kEvent), "");
    EXPECT_EQ(TodoParent(Item("i", "p", "x")), "p");
    EXPECT_EQ(TodoParent(Todo("i", "x", "RELATED-TO;RELTYPE=SIBLING:q\r\n")), "");
    EXPECT_TRUE(SameTodo(Todo("a", "a", "PRIORITY:1\r\nDESCRIPTION:d\r\n"), Todo("a", "a", "DESCRIPTION:d\r\nPRIORITY:1\r\n")));
    EXPECT_FALSE(SameTodo(Todo("a", "a"), Todo("a", "b")));
}
