// Many creates at once: their statuses saved in a few writes, and a sync cut
// off among them completed without writing any of them twice.
#include "sync/SyncEngine.h"
#include "tests/sync/MemorySides.h"

#include <gtest/gtest.h>

using namespace Sync;
using namespace Sync::Testing;

namespace
{
constexpr int kRecords = 600;

/// Counts the status writes, one entry or many at a time.
class CountingLocal : public MemoryLocal
{
public:
    int single = 0;
    int batches = 0;
    bool SaveStatus(const StatusEntry& entry) override
    {
        ++single;
        return MemoryLocal::SaveStatus(entry);
    }
    bool SaveStatuses(const std::vector<StatusEntry>& entries) override
    {
        ++batches;
        for (const StatusEntry& entry : entries)
            MemoryLocal::SaveStatus(entry);
        return true;
    }
};

std::string Todo(int i)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VTODO\r\nUID:r" + std::to_string(i) +
           "\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:record " + std::to_string(i) + "\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
}

void Fill(MemoryLocal& local)
{
    for (int i = 0; i < kRecords; ++i)
        local.Set(Todo(i));
}

/// Every record has a finished status naming its resource on the server.
void ExpectSettled(MemoryLocal& local, MemoryRemote& remote)
{
    ASSERT_EQ(remote.resources.size(), size_t(kRecords));
    ASSERT_EQ(local.status.size(), size_t(kRecords));
    for (const auto& entry : local.status)
    {
        const auto r = remote.resources.find(entry.second.href);
        ASSERT_NE(r, remote.resources.end()) << entry.first;
        EXPECT_EQ(entry.second.etag, r->second.etag) << entry.first;
        EXPECT_EQ(entry.second.localVersion, local.records[entry.first].version) << entry.first;
    }
}
}

TEST(SyncEngineBatches, ManyNewRecordsSaveTheirStatusesInAFewWrites)
{
    CountingLocal local;
    MemoryRemote remote;
    Fill(local);
    Report r = Engine(local, remote).Run();
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.uploaded, kRecords);
    EXPECT_EQ(local.single, 0);
    EXPECT_LE(local.batches, 4); // the pending ones, then a batch every 250 creates
    ExpectSettled(local, remote);

    remote.writes = 0;
    ASSERT_TRUE(Engine(local, remote).Run().ok);
    EXPECT_EQ(remote.writes, 0);
}

TEST(SyncEngineBatches, ASyncCutOffAmidItsCreatesIsCompletedWithoutWritingOneTwice)
{
    for (int cut : {1, 100, 251, 400, kRecords})
    {
        SCOPED_TRACE("cut at create " + std::to_string(cut));
        CountingLocal local;
        MemoryRemote remote;
        Fill(local);
        remote.beforeWrite = [cut](int write) {
            if (write == cut)
                throw Killed();
            return true;
        };
        EXPECT_THROW(Engine(local, remote).Run(), Killed);
        // Whatever the server holds, the store knows it was under way.
        for (const auto& resource : remote.resources)
        {
            const std::string uid = TodoUid(resource.second.text);
            ASSERT_TRUE(local.status.count(uid)) << uid;
            EXPECT_EQ(local.status[uid].href, resource.first);
        }

        remote.beforeWrite = nullptr;
        remote.writes = 0;
        Report r = Engine(local, remote).Run();
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(remote.writes, kRecords - (cut - 1));
        EXPECT_EQ(r.conflicts, 0);
        ExpectSettled(local, remote);
    }
}

namespace
{
std::string Titled(const std::string& uid, const std::string& summary, const std::string& parent = "")
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VTODO\r\nUID:" + uid +
           "\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:" + summary + "\r\n" +
           (parent.empty() ? "" : "RELATED-TO;RELTYPE=PARENT:" + parent + "\r\n") + "END:VTODO\r\nEND:VCALENDAR\r\n";
}

/// A checklist "l" of items "i1" to "i3" created on the server by a sync
/// killed before their statuses were noted; then a second sync killed once
/// it had noted the checklist's (checklists go first), so that its items
/// are still under way when the test changes them here.
void CreatedButNotNoted(MemoryLocal& local, MemoryRemote& remote)
{
    local.Set(Titled("l", "Trip"));
    for (const char* uid : {"i1", "i2", "i3"})
        local.Set(Titled(uid, uid, "l"));
    int writes = 0;
    local.beforeWrite = [&writes] {
        if (++writes == 5) // the four pending statuses, the creates, then this batch
            throw Killed();
    };
    EXPECT_THROW(Engine(local, remote).Run(), Killed);
    ASSERT_EQ(remote.resources.size(), 4u);
    for (const auto& entry : local.status)
        ASSERT_TRUE(entry.second.etag.empty()) << entry.first;
    local.beforeWrite = [&local] {
        for (const auto& entry : local.status)
            if (!entry.second.etag.empty())
                throw Killed();
    };
    EXPECT_THROW(Engine(local, remote).Run(), Killed);
    local.beforeWrite = nullptr;
    ASSERT_EQ(remote.resources.size(), 4u);
    ASSERT_FALSE(local.status["l"].etag.empty());
    ASSERT_TRUE(local.status["i1"].etag.empty());
}
}

TEST(SyncEngineBatches, ACreateThatLandedUnnotedIsNeitherBroughtBackNorDoubled)
{
    {
        SCOPED_TRACE("the checklist deleted here");
        MemoryLocal local;
        MemoryRemote remote;
        CreatedButNotNoted(local, remote);
        for (const char* uid : {"l", "i1", "i2", "i3"})
            local.records.erase(uid);
        Report r = Engine(local, remote).Run();
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_TRUE(remote.resources.empty());
        ASSERT_TRUE(Engine(local, remote).Run().ok);
        EXPECT_TRUE(local.records.empty());
        EXPECT_TRUE(local.status.empty());
    }
    {
        SCOPED_TRACE("one item deleted here, one renamed here, one changed there");
        MemoryLocal local;
        MemoryRemote remote;
        CreatedButNotNoted(local, remote);
        local.records.erase("i1");
        local.Set(Titled("i2", "i2 renamed here", "l"));
        remote.PutTodo(Titled("i3", "i3 renamed there", "l"));
        remote.writes = 0;
        Report r = Engine(local, remote).Run();
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.conflicts, 0);
        EXPECT_EQ(remote.writes, 2); // the delete and the rename
        ASSERT_TRUE(Engine(local, remote).Run().ok);
        EXPECT_EQ(remote.resources.size(), 3u);
        EXPECT_EQ(local.records.size(), 3u);
        EXPECT_FALSE(local.records.count("i1"));
        EXPECT_TRUE(SameTodo(remote.resources[remote.HrefFor("i2")].text, Titled("i2", "i2 renamed here", "l")));
        EXPECT_TRUE(SameTodo(local.records["i3"].text, Titled("i3", "i3 renamed there", "l")));
    }
    {
        SCOPED_TRACE("the checklist deleted here after an item changed there");
        MemoryLocal local;
        MemoryRemote remote;
        CreatedButNotNoted(local, remote);
        remote.PutTodo(Titled("i2", "i2 renamed there", "l"));
        for (const char* uid : {"l", "i1", "i2", "i3"})
            local.records.erase(uid);
        ASSERT_TRUE(Engine(local, remote).Run().ok);
        ASSERT_TRUE(Engine(local, remote).Run().ok);
        EXPECT_EQ(local.records.size(), 4u); // an edit beats a delete: back whole
        EXPECT_EQ(remote.resources.size(), 4u);
        EXPECT_TRUE(SameTodo(local.records["i2"].text, Titled("i2", "i2 renamed there", "l")));
    }
}

TEST(SyncEngineBatches, AnUpdateThatLandedUnnotedThenADeleteHereStaysDeleted)
{
    MemoryLocal local;
    MemoryRemote remote;
    local.Set(Titled("x", "first"));
    ASSERT_TRUE(Engine(local, remote).Run().ok);
    local.Set(Titled("x", "second"));
    int writes = 0;
    local.beforeWrite = [&writes] {
        if (++writes == 2) // the status after the server took it
            throw Killed();
    };
    EXPECT_THROW(Engine(local, remote).Run(), Killed);
    local.beforeWrite = nullptr;
    ASSERT_TRUE(SameTodo(remote.resources[remote.HrefFor("x")].text, Titled("x", "second")));

    local.records.erase("x");
    Report r = Engine(local, remote).Run();
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.deletedRemote, 1);
    ASSERT_TRUE(Engine(local, remote).Run().ok);
    EXPECT_TRUE(remote.resources.empty());
    EXPECT_TRUE(local.records.empty());
}

TEST(SyncEngineBatches, AChecklistDeletedThereAfterUnnotedCreatesHereLandedStaysDeletedUnlessOneNeverLanded)
{
    for (bool allLanded : {true, false})
    {
        SCOPED_TRACE(allLanded ? "both new items landed" : "one new item never landed");
        MemoryLocal local;
        MemoryRemote remote;
        local.Set(Titled("l", "Trip"));
        local.Set(Titled("i1", "i1", "l"));
        ASSERT_TRUE(Engine(local, remote).Run().ok);

        // Two items added here; the sync dies before their statuses are
        // noted, or before the second's create.
        local.Set(Titled("i2", "i2", "l"));
        local.Set(Titled("i3", "i3", "l"));
        remote.writes = 0;
        int writes = 0;
        if (allLanded)
            local.beforeWrite = [&writes] {
                if (++writes == 3) // two pending statuses, the creates, then the batch
                    throw Killed();
            };
        else
            remote.beforeWrite = [](int write) {
                if (write == 2)
                    throw Killed();
                return true;
            };
        EXPECT_THROW(Engine(local, remote).Run(), Killed);
        local.beforeWrite = nullptr;
        remote.beforeWrite = nullptr;
        ASSERT_EQ(remote.resources.size(), allLanded ? 4u : 3u);

        // Another client deletes the checklist and what it saw of it.
        for (const auto& r : std::map<std::string, MemoryRemote::Resource>(remote.resources))
            remote.Erase(r.first);
        Report r = Engine(local, remote).Run();
        ASSERT_TRUE(r.ok) << r.error;
        ASSERT_TRUE(Engine(local, remote).Run().ok);
        // An item it never saw is an edit that beats the delete: all back.
        EXPECT_EQ(local.records.size(), allLanded ? 0u : 4u);
        EXPECT_EQ(remote.resources.size(), allLanded ? 0u : 4u);
        EXPECT_EQ(local.status.size(), local.records.size());
    }
}
