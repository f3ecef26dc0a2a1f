// The requests a sync sends, counted by the client and at a relay in front
// of a real Radicale: a sync with nothing changed asks twice, one tick then
// a sync three times.
#include "bench/CountingProxy.h"
#include "sync/SyncCalDav.h"
#include "sync/SyncEngine.h"
#include "sync/SyncStore.h"
#include "tests/sync/StoreFixture.h"

#include <gtest/gtest.h>

namespace
{
const std::string kStream = "GET /a HTTP/1.1\r\nHost: x\r\n\r\n"
                            "PUT /b HTTP/1.1\r\nContent-Length: 14\r\n\r\nbody\r\n\r\nmore\r\n"
                            "REPORT /c HTTP/1.1\r\ncontent-length:3\r\nDepth: 1\r\n\r\n<a>"
                            "\r\nDELETE /d HTTP/1.1\r\nIf-Match: \"1\"\r\n\r\n";

size_t Feed(RequestSplitter& splitter, const std::string& stream, size_t chunk)
{
    size_t count = 0;
    for (size_t at = 0; at < stream.size(); at += chunk)
        count += splitter.Feed(stream.data() + at, std::min(chunk, stream.size() - at));
    return count;
}

class RequestCountTest : public StoreSyncTest
{
protected:
    /// One sync through the relay; the client's own count and the relay's.
    std::pair<size_t, size_t> Sync(CountingProxy& proxy, Sync::Report& report)
    {
        CalDav::Account account = Account();
        account.url = "http://127.0.0.1:" + std::to_string(proxy.Port()) + "/" + RadicaleServer::User() + "/tasks/";
        proxy.Reset();
        Sync::CalDavSide remote(account);
        Sync::StoreSide local(account.url);
        report = Sync::Engine(local, remote).Run();
        return {remote.Client().RequestCount(), proxy.Requests()};
    }
};
}

TEST(RequestSplitter, CountsRequestsHoweverTheReadsCutThem)
{
    for (size_t chunk : {kStream.size(), size_t(1), size_t(3), size_t(7), size_t(40)})
    {
        RequestSplitter splitter;
        EXPECT_EQ(Feed(splitter, kStream, chunk), 4u) << "chunks of " << chunk;
        EXPECT_FALSE(splitter.SawChunked());
    }
    RequestSplitter chunked;
    const std::string head = "PUT / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n";
    EXPECT_EQ(chunked.Feed(head.data(), head.size()), 1u);
    EXPECT_TRUE(chunked.SawChunked());
}

TEST_F(RequestCountTest, NothingChangedAsksTwiceAndOneTickThreeTimes)
{
    Fill();
    CountingProxy proxy(m_server.Port());
    Sync::Report report;
    std::pair<size_t, size_t> first = Sync(proxy, report);
    ASSERT_TRUE(report.ok) << report.error;
    ASSERT_EQ(report.uploaded, 15);
    // Looking, making the collection, looking again, listing, 15 creates.
    EXPECT_EQ(first, std::make_pair(size_t(19), size_t(19)));
    ASSERT_TRUE(Sync(proxy, report).second > 0 && report.ok); // hears of its own creates

    EXPECT_EQ(Sync(proxy, report), std::make_pair(size_t(2), size_t(2)));
    EXPECT_TRUE(report.ok && report.uploaded == 0 && report.downloaded == 0) << report.error;

    const ItemRecord item = FindItem(u"Packing", u"Packing item b");
    ASSERT_NE(item.id, 0);
    ASSERT_TRUE(ListStore::SetItemChecked(item.id, !item.checked));
    EXPECT_EQ(Sync(proxy, report), std::make_pair(size_t(3), size_t(3)));
    EXPECT_TRUE(report.ok && report.uploaded == 1) << report.error;
    EXPECT_EQ(proxy.Connections(), 3u); // the server closes each connection after its answer
}
