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
