// The sync of 1,000 checklists of 10 items (11,000 resources) with a
// Radicale of its own, each figure beside a bare libcurl client doing the
// least HTTP the same sync needs, in the same run: the first sync into an
// empty collection, a sync with nothing changed, one tick then a sync, and
// the editor's tick with automatic sync on against off. Requests are counted
// at a loopback relay in front of the server. Run under a display.
#include "bench/BareCalDav.h"
#include "bench/BenchSupport.h"
#include "bench/CountingProxy.h"
#include "bench/SyncBench.h"

#include "sync/CalDavClient.h"
#include "sync/SyncRun.h"
#include "sync/SyncStatus.h"
#include "sync/SyncStore.h"
#include "tests/sync/RadicaleServer.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <sys/resource.h>

namespace
{
constexpr int kItemsEach = 10;
// TALLYARD_BENCH_CHECKLISTS sets another count for a quick look.
const int kChecklists =
    std::getenv("TALLYARD_BENCH_CHECKLISTS") ? std::atoi(std::getenv("TALLYARD_BENCH_CHECKLISTS")) : 1000;
const int kResources = kChecklists * (kItemsEach + 1);
constexpr int kQuietRuns = 5;
constexpr int kTickRuns = 3;

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool FillChecklists()
{
    if (!ListStore::CreateDatabases())
        return false;
    ListStore::Transaction transaction;
    for (int i = 0; i < kChecklists; ++i)
    {
        ListRecord list;
        list.name = BenchName16(i);
        list.category = u"Unfiled";
        list.position = static_cast<int16_t>(i);
        list.itemCount = kItemsEach;
        list.uncheckedCount = kItemsEach;
        if (!list.SaveList())
            return false;
        for (int j = 0; j < kItemsEach; ++j)
        {
            ItemRecord item;
            item.listId = list.id;
            item.name = BenchName16(j);
            item.details = u"Details of the item";
            item.priority = static_cast<int16_t>(1 + j % 5);
            item.position = static_cast<int16_t>(j);
            if (!item.SaveItem())
                return false;
        }
    }
    return transaction.Commit();
}

/// What the bare client uploads: the texts the program would upload for
/// the store, taken without a sync (the UIDs it makes stay for the sync).
bool BareUploads(const std::string& collection, std::vector<std::pair<std::string, std::string>>& uploads)
{
    Sync::StoreSide store(collection);
    CalDav::Client names({collection, "", "", false});
    std::map<std::string, std::string> versions;
    if (!store.List(versions))
        return false;
    for (const auto& entry : versions)
    {
        std::string text;
        if (!store.Get(entry.first, text))
            return false;
        const std::string href = names.HrefFor(entry.first);
        uploads.emplace_back(collection + href.substr(href.rfind('/') + 1), text);
    }
    return true;
}

const char* Verdict(bool met) { return met ? "met" : "NOT MET"; }

std::string SyncCollectionBody(const std::string& token)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><sync-collection xmlns=\"DAV:\"><sync-token>" + token +
           "</sync-token><sync-level>1</sync-level><prop><getetag/></prop></sync-collection>";
}

struct Figures
{
    bool allMet = true;
};

void Print(Figures& f, const char* what, double ours, double bare, double limit, size_t requests, size_t bareRequests)
{
    const double ratio = bare > 0 ? ours / bare : 0;
    const bool met = ratio <= limit;
    f.allMet &= met;
    std::printf("%s: %.2f s, bare %.2f s, %.2fx (limit %.1fx): %s; %zu requests, bare %zu\n", what, ours, bare, ratio,
                limit, Verdict(met), requests, bareRequests);
}

void PrintCount(Figures& f, const char* what, size_t requests, size_t limit)
{
    const bool met = requests <= limit;
    f.allMet &= met;
    std::printf("%s: %zu requests (limit %zu): %s\n", what, requests, limit, Verdict(met));
}
}

int main(int argc, char** argv)
{
    if (!std::getenv("XDG_DATA_HOME"))
        UseXdgRoot(MakeTempRoot());
    // The server's files in memory: Radicale fsyncs every file it writes,
    // which on this disk would make its own time all there is to see.
    RadicaleServer server("/dev/shm");
    server.UseStorage("indexed_storage", TALLYARD_BENCH_SOURCE_DIR);
    if (!server.Start())
    {
        std::fprintf(stderr, "bench_sync: Radicale did not start\n");
        return 1;
    }
    CountingProxy proxy(server.Port());
    const std::string base = "http://127.0.0.1:" + std::to_string(proxy.Port()) + "/" + RadicaleServer::User();
    const std::string ours = base + "/tallyard/";
    const std::string bareUrl = base + "/bare/";
    const CalDav::Account account{ours, RadicaleServer::User(), RadicaleServer::Password(), false};
    BareCalDav bare(RadicaleServer::User(), RadicaleServer::Password());
    if (!FillChecklists() || bare.Mkcalendar(ours) != 201 || bare.Mkcalendar(bareUrl) != 201)
    {
        std::fprintf(stderr, "bench_sync: could not set up the store or the collections\n");
        return 1;
    }
    Figures f;

    // The first sync into an empty collection; the bare client uploads the
    // same resources into another empty one, half before the sync and half
    // after it (the machine's load drifts).
    std::vector<std::pair<std::string, std::string>> uploads;
    Clock::time_point start = Clock::now();
    if (!BareUploads(bareUrl, uploads))
        return 2;
    const double prepareSeconds = SecondsSince(start);
    size_t created = 0;
    double bareFirstSeconds = 0;
    auto bareUpload = [&](size_t begin, size_t end) {
        const Clock::time_point start = Clock::now();
        for (size_t i = begin; i < end; ++i)
            created += bare.Put(uploads[i].first, uploads[i].second) == 201;
        bareFirstSeconds += SecondsSince(start);
    };
    proxy.Reset();
    bareUpload(0, uploads.size() / 2);
    size_t bareRequests = proxy.Requests();
    size_t bareConnections = proxy.Connections();

    proxy.Reset();
    start = Clock::now();
    Sync::Report first = Sync::SyncOnce(account);
    const double firstSeconds = SecondsSince(start);
    const size_t firstRequests = proxy.Requests();
    const size_t firstConnections = proxy.Connections();
    std::map<std::string, Sync::StatusEntry> entries;
    std::string token;
    if (!first.ok || first.uploaded != kResources || !SyncStatus::Load(ours, entries, token) ||
        entries.size() != size_t(kResources))
    {
        std::fprintf(stderr, "bench_sync: the first sync failed (%s; %d uploaded)\n", first.error.c_str(),
                     first.uploaded);
        return 2;
    }
    proxy.Reset();
    bareUpload(uploads.size() / 2, uploads.size());
    bareRequests += proxy.Requests();
    bareConnections += proxy.Connections();
    if (created != uploads.size())
    {
        std::fprintf(stderr, "bench_sync: the bare client made %zu of %zu resources\n", created, uploads.size());
        return 2;
    }
    const std::string what = "first sync of " + std::to_string(kResources) + " resources into an empty collection";
    Print(f, what.c_str(), firstSeconds, bareFirstSeconds, 1.3, firstRequests, bareRequests);
    std::printf("  connections: %zu for the sync, %zu for the bare uploads (the server closes each after its "
                "answer)\n",
                firstConnections, bareConnections);
    std::printf("  the store's UIDs made and the bare client's texts taken before: %.2f s, in neither figure\n",
                prepareSeconds);

    // Nothing changed: the first sync after the upload still hears of the
    // uploads; the ones after it are measured beside one bare REPORT.
    proxy.Reset();
    start = Clock::now();
    if (!Sync::SyncOnce(account).ok)
        return 3;
    std::printf("  sync after the first: %.2f s, %zu requests\n", SecondsSince(start), proxy.Requests());
    std::vector<double> quiet, bareQuiet;
    size_t quietRequests = 0;
    for (int run = 0; run < kQuietRuns; ++run)
    {
        if (!SyncStatus::Load(ours, entries, token))
            return 3;
        start = Clock::now();
        if (bare.Report(ours, SyncCollectionBody(token)) != 207)
            return 3;
        bareQuiet.push_back(SecondsSince(start));
        proxy.Reset();
        start = Clock::now();
        Sync::Report report = Sync::SyncOnce(account);
        quiet.push_back(SecondsSince(start));
        quietRequests = std::max(quietRequests, proxy.Requests());
        if (!report.ok || report.uploaded || report.downloaded)
            return 3;
    }
    Print(f, "sync with nothing changed (median)", Median(quiet), Median(bareQuiet), 1.5, quietRequests, 1);
    PrintCount(f, "  requests of a sync with nothing changed", quietRequests, 2);

    // One tick, then a sync.
    size_t tickRequests = 0;
    std::vector<double> tickSyncs;
    for (int run = 0; run < kTickRuns; ++run)
    {
        ListArray lists;
        if (!lists.LoadLists(u"All") || lists.empty() || !lists[run].LoadItems(FilterAll) ||
            !ListStore::SetItemChecked(lists[run].items[run].id, true))
            return 4;
        proxy.Reset();
        start = Clock::now();
        Sync::Report report = Sync::SyncOnce(account);
        tickSyncs.push_back(SecondsSince(start));
        tickRequests = std::max(tickRequests, proxy.Requests());
        if (!report.ok || report.uploaded != 1)
        {
            std::fprintf(stderr, "bench_sync: a tick did not sync (%s; %d uploaded)\n", report.error.c_str(),
                         report.uploaded);
            return 4;
        }
    }
    std::printf("one tick, then a sync: median %.2f s over %d runs\n", Median(tickSyncs), kTickRuns);
    PrintCount(f, "  requests of one tick then a sync", tickRequests, 3);

    // The editor's tick while automatic syncs run, against sync off.
    // The server stands in for another machine here: the windows come
    // first when both want a core.
    setpriority(PRIO_PROCESS, server.Pid(), 10);
    EditorTicks ticks;
    if (!MeasureEditorTicks(argc, argv, account, [&proxy] { return proxy.Requests(); }, ticks))
    {
        std::fprintf(stderr, "bench_sync: the editor's ticks failed\n");
        return 5;
    }
    const double ratio = ticks.syncOff > 0 ? ticks.syncOn / ticks.syncOff : 0;
    const bool met = ratio <= 1.1;
    f.allMet &= met;
    std::printf("editor tick, automatic sync on (during %d syncs): median %.2f ms over %zu ticks; off: %.2f ms over "
                "%zu ticks; %.2fx (limit 1.1x): %s\n",
                ticks.syncs, ticks.syncOn, ticks.onCount, ticks.syncOff, ticks.offCount, ratio, Verdict(met));
    std::printf("  the windows' thread's own CPU in a tick: median %.2f ms on, %.2f ms off; %zu requests in those %d "
                "syncs\n",
                ticks.cpuOn, ticks.cpuOff, ticks.syncRequests, ticks.syncs);
    std::printf("%s\n", f.allMet ? "all figures met" : "some figures NOT MET");
    return 0;
}
