// The sync of 1,000 checklists of 10 items (11,000 resources) with a
// Radicale of its own, each figure beside a bare libcurl client doing the
// least HTTP the same sync needs, in the same run: the first sync into an
// empty collection, a sync with nothing changed, one tick then a sync, and
// the editor's tick with automatic sync on against off. Requests are counted
// at a loopback relay in front of the server. Each measure ends in one
// line with its figures, its goal and whether it is met; those lines come
// again together at the end, with the machine's load. Run under a display.
#include "bench/BareCalDav.h"
#include "bench/BenchSupport.h"
#include "bench/CountingProxy.h"
#include "bench/SyncBench.h"

#include "store/IcalStore.h"
#include "sync/CalDavClient.h"
#include "sync/SyncRun.h"
#include "sync/SyncStatus.h"
#include "sync/SyncStore.h"
#include "tests/sync/RadicaleServer.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <fstream>
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

/// Processor time of the calling thread (the sync's, libcurl's included).
double ThreadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string LoadAverage()
{
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

const char* Verdict(bool met) { return met ? "met" : "NOT MET"; }

std::string SyncCollectionBody(const std::string& token)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><sync-collection xmlns=\"DAV:\"><sync-token>" + token +
           "</sync-token><sync-level>1</sync-level><prop><getetag/></prop></sync-collection>";
}

/// The one-line results, printed as they come and again at the end.
struct Figures
{
    bool allMet = true;
    std::vector<std::string> lines;

    void Add(bool met, const char* format, ...) __attribute__((format(printf, 3, 4)))
    {
        char text[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        allMet &= met;
        lines.push_back(std::string(text) + ": " + Verdict(met));
        std::printf("%s\n", lines.back().c_str());
        std::fflush(stdout);
    }
};
}

namespace
{
struct Bench
{
    CountingProxy& proxy;
    CalDav::Account account;
    std::string bareUrl;
    BareCalDav bare;
    Figures f;
};

/// The first sync into an empty collection; the bare client uploads the
/// same resources into another empty one, half before the sync and half
/// after it (the machine's load drifts, and the server's work for an upload
/// grows with what the collection holds).
bool FirstSync(Bench& b)
{
    // A first sync makes the store's UIDs; here they are made before the
    // bare client takes its texts, and their time counts for the sync.
    Clock::time_point start = Clock::now();
    if (!IcalStore::EnsureUids())
        return false;
    const double uidSeconds = SecondsSince(start);
    std::vector<std::pair<std::string, std::string>> uploads;
    start = Clock::now();
    if (!BareUploads(b.bareUrl, uploads))
        return false;
    const double prepareSeconds = SecondsSince(start);

    size_t created = 0, bareRequests = 0, bareConnections = 0;
    double bareSeconds = 0, bareCpu = 0;
    auto bareUpload = [&](size_t begin, size_t end) {
        b.proxy.Reset();
        const Clock::time_point start = Clock::now();
        const double cpu = ThreadCpuSeconds();
        for (size_t i = begin; i < end; ++i)
            created += b.bare.Put(uploads[i].first, uploads[i].second) == 201;
        bareSeconds += SecondsSince(start);
        bareCpu += ThreadCpuSeconds() - cpu;
        bareRequests += b.proxy.Requests();
        bareConnections += b.proxy.Connections();
    };
    bareUpload(0, uploads.size() / 2);

    b.proxy.Reset();
    start = Clock::now();
    const double cpu = ThreadCpuSeconds();
    const Sync::Report first = Sync::SyncOnce(b.account);
    const double syncSeconds = SecondsSince(start);
    const double syncCpu = ThreadCpuSeconds() - cpu;
    const size_t requests = b.proxy.Requests(), connections = b.proxy.Connections();
    std::map<std::string, Sync::StatusEntry> entries;
    std::string token;
    if (!first.ok || first.uploaded != kResources || !SyncStatus::Load(b.account.url, entries, token) ||
        entries.size() != size_t(kResources))
    {
        std::fprintf(stderr, "bench_sync: the first sync failed (%s; %d uploaded)\n", first.error.c_str(),
                     first.uploaded);
        return false;
    }
    bareUpload(uploads.size() / 2, uploads.size());
    if (created != uploads.size())
    {
        std::fprintf(stderr, "bench_sync: the bare client made %zu of %zu resources\n", created, uploads.size());
        return false;
    }
    std::printf("  first sync: %.2f s, its thread's processor time %.2f s, %zu requests on %zu connections; "
                "the store's UIDs made before it: %.2f s\n",
                syncSeconds, syncCpu, requests, connections, uidSeconds);
    std::printf("  bare uploads: %.2f s, processor time %.2f s, %zu requests on %zu connections (the server closes "
                "each after its answer); their texts taken before: %.2f s, in neither figure\n",
                bareSeconds, bareCpu, bareRequests, bareConnections, prepareSeconds);
    const double ours = syncSeconds + uidSeconds;
    const double ratio = ours / bareSeconds;
    b.f.Add(ratio <= 1.3, "first sync of %d resources into an empty collection: %.2f s with its UIDs, bare uploads "
            "%.2f s, %.2fx (goal 1.3x)",
            kResources, ours, bareSeconds, ratio);
    return true;
}

/// Nothing changed: the first sync after the upload still hears of the
/// uploads; the ones after it are measured beside one bare REPORT with the
/// same token, each run the bare client first.
bool QuietSyncs(Bench& b)
{
    b.proxy.Reset();
    Clock::time_point start = Clock::now();
    if (!Sync::SyncOnce(b.account).ok)
        return false;
    std::printf("  sync after the first (hears of its own uploads): %.2f s, %zu requests\n", SecondsSince(start),
                b.proxy.Requests());
    std::vector<double> ours, bare;
    size_t requests = 0, bareRequests = 0;
    for (int run = 0; run < kQuietRuns; ++run)
    {
        std::map<std::string, Sync::StatusEntry> entries;
        std::string token;
        if (!SyncStatus::Load(b.account.url, entries, token) || token.empty())
            return false;
        b.proxy.Reset();
        start = Clock::now();
        if (b.bare.Report(b.account.url, SyncCollectionBody(token)) != 207)
            return false;
        bare.push_back(SecondsSince(start));
        bareRequests = std::max(bareRequests, b.proxy.Requests());
        b.proxy.Reset();
        start = Clock::now();
        const Sync::Report report = Sync::SyncOnce(b.account);
        ours.push_back(SecondsSince(start));
        requests = std::max(requests, b.proxy.Requests());
        if (!report.ok || report.uploaded || report.downloaded)
            return false;
    }
    const double ratio = Median(ours) / Median(bare);
    b.f.Add(requests <= 2 && ratio <= 1.5, "sync with nothing changed: %zu requests (goal 2), median %.2f s, bare "
            "sync-collection REPORT %.2f s (%zu request), %.2fx (goal 1.5x), %d runs",
            requests, Median(ours), Median(bare), bareRequests, ratio, kQuietRuns);
    return true;
}

/// One tick of another item each run, then a sync.
bool TickSyncs(Bench& b)
{
    size_t requests = 0;
    std::vector<double> seconds;
    for (int run = 0; run < kTickRuns; ++run)
    {
        ListArray lists;
        if (!lists.LoadLists(u"All") || lists.size() <= size_t(run) || !lists[run].LoadItems(FilterAll) ||
            !ListStore::SetItemChecked(lists[run].items[run].id, true))
            return false;
        b.proxy.Reset();
        const Clock::time_point start = Clock::now();
        const Sync::Report report = Sync::SyncOnce(b.account);
        seconds.push_back(SecondsSince(start));
        requests = std::max(requests, b.proxy.Requests());
        if (!report.ok || report.uploaded != 1)
        {
            std::fprintf(stderr, "bench_sync: a tick did not sync (%s; %d uploaded)\n", report.error.c_str(),
                         report.uploaded);
            return false;
        }
    }
    b.f.Add(requests <= 3, "one tick, then a sync: %zu requests at most (goal 3), median %.2f s, %d runs", requests,
            Median(seconds), kTickRuns);
    return true;
}

/// The editor's tick while automatic syncs run, against sync off.
bool EditorTicksBeside(Bench& b, int argc, char** argv)
{
    EditorTicks ticks;
    if (!MeasureEditorTicks(argc, argv, b.account, [&b] { return b.proxy.Requests(); }, ticks))
    {
        std::fprintf(stderr, "bench_sync: the editor's ticks failed\n");
        return false;
    }
    std::printf("  the windows' thread in a tick: processor time median %.2f ms on, %.2f ms off; waiting for a core "
                "%.2f ms on, %.2f ms off; %d automatic syncs ran, %zu requests\n",
                ticks.cpuOn, ticks.cpuOff, ticks.queuedOn, ticks.queuedOff, ticks.syncs, ticks.syncRequests);
    const double ratio = ticks.syncOff > 0 ? ticks.syncOn / ticks.syncOff : 0;
    b.f.Add(ratio <= 1.1, "editor tick with automatic sync on, during a sync: median %.2f ms over %zu ticks, sync "
            "off %.2f ms over %zu ticks, %.2fx (goal 1.1x)",
            ticks.syncOn, ticks.onCount, ticks.syncOff, ticks.offCount, ratio);
    return true;
}
}

int main(int argc, char** argv)
{
    if (!std::getenv("XDG_DATA_HOME"))
        UseXdgRoot(MakeTempRoot());
    const std::string loadBefore = LoadAverage();
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
    Bench b{proxy, {base + "/tallyard/", RadicaleServer::User(), RadicaleServer::Password(), false},
            base + "/bare/", BareCalDav(RadicaleServer::User(), RadicaleServer::Password()), {}};
    if (!FillChecklists() || b.bare.Mkcalendar(b.account.url) != 201 || b.bare.Mkcalendar(b.bareUrl) != 201)
    {
        std::fprintf(stderr, "bench_sync: could not set up the store or the collections\n");
        return 1;
    }
    std::printf("%d checklists of %d items, %d resources; load average %s\n", kChecklists, kItemsEach, kResources,
                loadBefore.c_str());
    if (!FirstSync(b))
        return 2;
    if (!QuietSyncs(b))
        return 3;
    if (!TickSyncs(b))
        return 4;
    // The server stands in for another machine here: the windows come
    // first when both want a core.
    setpriority(PRIO_PROCESS, server.Pid(), 10);
    if (!EditorTicksBeside(b, argc, argv))
        return 5;

    std::printf("\n== bench_sync, %d resources (load average %s before, %s after)\n", kResources,
                loadBefore.c_str(), LoadAverage().c_str());
    for (const std::string& line : b.f.lines)
        std::printf("%s\n", line.c_str());
    std::printf("%s\n", b.f.allMet ? "all goals met" : "some goals NOT MET");
    return 0;
}
