// Export and import of 10,000 checklists with 100,000 items, beside libical
// alone writing and parsing the same components in memory, in the same run.
// Prints the medians of a few timed runs (wall clock, and the processor time
// of all threads), their ratios and whether each goal is met: within 3x of
// libical alone and under 2 s. Tallyard spreads the libical work over the
// cores; libical alone runs on one thread, as a program calling it plainly.

#include "BenchSupport.h"

#include "platform/ObjectStore.h"
#include "store/ListStore.h"
#include "sync/IcalExchange.h"

#include <libical/ical.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace
{
// TALLYARD_BENCH_LISTS scales the run down for profiling.
const int ListCount = std::getenv("TALLYARD_BENCH_LISTS") ? std::atoi(std::getenv("TALLYARD_BENCH_LISTS")) : 10000;
constexpr int ItemsPerList = 10;
// TALLYARD_BENCH_RUNS sets the number of timed runs (3).
const int Runs = std::getenv("TALLYARD_BENCH_RUNS") ? std::max(1, std::atoi(std::getenv("TALLYARD_BENCH_RUNS"))) : 3;
constexpr int GoalLists = 10000;
constexpr double GoalRatio = 3.0;
constexpr double GoalSeconds = 2.0;

std::u16string Text(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

struct Timing
{
    double wall = 0;
    double cpu = 0;
};

Timing Seconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    work();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            double(std::clock() - cpuStart) / CLOCKS_PER_SEC};
}

void UseStore(const std::string& dir)
{
    ::setenv("XDG_DATA_HOME", dir.c_str(), 1);
    ObjectStore::ResetConnection();
    if (!ListStore::CreateDatabases())
        std::exit(1);
}

bool Fill()
{
    ListStore::Transaction tx;
    for (int l = 0; l < ListCount; ++l)
    {
        ListRecord list;
        list.name = BenchName16(l);
        list.category = l % 3 ? u"Personal" : u"Business";
        list.note = l % 4 ? u"" : u"A note, with a comma; and more";
        list.position = int16_t(l);
        list.itemCount = ItemsPerList;
        if (!list.SaveList())
            return false;
        for (int i = 0; i < ItemsPerList; ++i)
        {
            ItemRecord item;
            item.listId = list.id;
            item.name = Text("Item " + std::to_string(i) + " of list " + std::to_string(l));
            item.details = i % 3 ? u"" : u"Some details";
            item.position = int16_t(i);
            item.checked = int16_t(i % 2);
            item.priority = int16_t(i % 6);
            if (!item.SaveItem())
                return false;
        }
        list.uncheckedCount = ItemsPerList / 2;
        if (!list.SaveList())
            return false;
    }
    return tx.Commit();
}

icaltimetype Utc(std::time_t t)
{
    return icaltime_from_timet_with_zone(t, 0, icaltimezone_get_utc_timezone());
}

// The same components built and written by libical alone.
std::string LibicalWrite()
{
    icalcomponent* cal = icalcomponent_new(ICAL_VCALENDAR_COMPONENT);
    icalcomponent_add_property(cal, icalproperty_new_version("2.0"));
    icalcomponent_add_property(cal, icalproperty_new_prodid("-//Bench//EN"));
    const std::time_t now = std::time(nullptr);
    char uid[64];
    for (int l = 0; l < ListCount; ++l)
    {
        icalcomponent* list = icalcomponent_new(ICAL_VTODO_COMPONENT);
        std::snprintf(uid, sizeof uid, "00000000-0000-4000-8000-%012d", l);
        icalcomponent_add_property(list, icalproperty_new_uid(uid));
        icalcomponent_add_property(list, icalproperty_new_dtstamp(Utc(now)));
        icalcomponent_add_property(list, icalproperty_new_summary(("Checklist " + std::to_string(l)).c_str()));
        if (l % 4 == 0)
            icalcomponent_add_property(list, icalproperty_new_description("A note, with a comma; and more"));
        icalproperty* order = icalproperty_new_x(std::to_string(l).c_str());
        icalproperty_set_x_name(order, "X-APPLE-SORT-ORDER");
        icalcomponent_add_property(list, order);
        icalcomponent_add_property(list, icalproperty_new_categories(l % 3 ? "Personal" : "Business"));
        icalcomponent_add_component(cal, list);
        const std::string parent = uid;
        for (int i = 0; i < ItemsPerList; ++i)
        {
            icalcomponent* item = icalcomponent_new(ICAL_VTODO_COMPONENT);
            std::snprintf(uid, sizeof uid, "00000000-0000-4000-9000-%06d%06d", l, i);
            icalcomponent_add_property(item, icalproperty_new_uid(uid));
            icalcomponent_add_property(item, icalproperty_new_dtstamp(Utc(now)));
            icalcomponent_add_property(
                item, icalproperty_new_summary(("Item " + std::to_string(i) + " of list " + std::to_string(l)).c_str()));
            if (i % 3 == 0)
                icalcomponent_add_property(item, icalproperty_new_description("Some details"));
            icalproperty* pos = icalproperty_new_x(std::to_string(i).c_str());
            icalproperty_set_x_name(pos, "X-APPLE-SORT-ORDER");
            icalcomponent_add_property(item, pos);
            icalproperty* link = icalproperty_new_relatedto(parent.c_str());
            icalproperty_add_parameter(link, icalparameter_new_reltype(ICAL_RELTYPE_PARENT));
            icalcomponent_add_property(item, link);
            const bool checked = i % 2;
            icalcomponent_add_property(item,
                                       icalproperty_new_status(checked ? ICAL_STATUS_COMPLETED : ICAL_STATUS_NEEDSACTION));
            if (checked)
            {
                icalcomponent_add_property(item, icalproperty_new_completed(Utc(now)));
                icalcomponent_add_property(item, icalproperty_new_percentcomplete(100));
            }
            if (i % 6)
                icalcomponent_add_property(item, icalproperty_new_priority(2 * (i % 6) - 1));
            icalcomponent_add_component(cal, item);
        }
    }
    char* text = icalcomponent_as_ical_string_r(cal);
    std::string out = text;
    icalmemory_free_buffer(text);
    icalcomponent_free(cal);
    return out;
}

void LibicalParse(const std::string& text)
{
    icalcomponent* cal = icalparser_parse_string(text.c_str());
    if (!cal || icalcomponent_count_components(cal, ICAL_VTODO_COMPONENT) != ListCount * (ItemsPerList + 1))
        std::exit(1);
    icalcomponent_free(cal);
}

struct Row
{
    const char* what;
    std::vector<double> ours, oursCpu, plain;

    void Add(const Timing& mine, const Timing& libical)
    {
        ours.push_back(mine.wall);
        oursCpu.push_back(mine.cpu);
        plain.push_back(libical.wall);
    }
};

const char* Met(bool met)
{
    return met ? "met" : "NOT met";
}

// False when a goal is not met.
bool Print(const Row& row)
{
    const double a = Median(row.ours), b = Median(row.plain), cpu = Median(row.oursCpu);
    const bool ratio = a / b <= GoalRatio, fast = a < GoalSeconds;
    std::printf("%-36s %8.0f ms %8.0f ms %8.0f ms %6.2f   %-7s  %s\n", row.what, a * 1000, cpu * 1000, b * 1000,
                a / b, Met(ratio), ListCount == GoalLists ? Met(fast) : "(scaled)");
    return ratio && (ListCount != GoalLists || fast);
}
}

int main()
{
    const char* base = std::getenv("XDG_DATA_HOME");
    const std::string root = base ? base : "/tmp";
    UseStore(root + "/source");
    if (!Fill())
    {
        std::fprintf(stderr, "cannot fill the store\n");
        return 1;
    }
    // UIDs are given once; later exports only read them.
    std::string text, error;
    if (!IcalExchange::ExportText(u"", text, error))
    {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    Row exportRow{"Export (store to iCalendar text)", {}, {}, {}};
    Row importRow{"Import (text into an empty store)", {}, {}, {}};
    for (int run = 0; run < Runs; ++run)
    {
        UseStore(root + "/source");
        const Timing exported = Seconds([&] {
            if (!IcalExchange::ExportText(u"", text, error))
                std::exit(1);
        });
        exportRow.Add(exported, Seconds([&] { LibicalWrite(); }));

        UseStore(root + "/target" + std::to_string(run));
        IcalExchange::ImportCounts counts;
        const Timing imported = Seconds([&] {
            if (!IcalExchange::ImportText(text, "bench.ics", counts, error))
            {
                std::fprintf(stderr, "%s\n", error.c_str());
                std::exit(1);
            }
        });
        if (counts.checklistsAdded != ListCount || counts.itemsAdded != ListCount * ItemsPerList)
            return 1;
        importRow.Add(imported, Seconds([&] { LibicalParse(text); }));
    }
    std::printf("%d checklists, %d items, %zu bytes of iCalendar; medians of %d runs; %u cores\n", ListCount,
                ListCount * ItemsPerList, text.size(), Runs, std::max(1u, std::thread::hardware_concurrency()));
    std::printf("%-36s %11s %11s %11s %6s   %-7s  %s\n", "", "Tallyard", "(cpu)", "libical", "ratio", "<= 3x",
                "< 2 s");
    const bool exportMet = Print(exportRow);
    const bool importMet = Print(importRow);
    std::printf("goals %s\n", exportMet && importMet ? "met" : "NOT met");
    return 0;
}
