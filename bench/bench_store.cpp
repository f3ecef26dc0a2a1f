// The store's common operations beside plain SQLite doing the same work on
// the same data, on 10,000 checklists and 100,000 items. Prints the ratio of
// the medians after the runs.

#include "SyncCounter.h"

#include "platform/ObjectStore.h"
#include "platform/UndoHistory.h"
#include "store/ListStore.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>

namespace
{
constexpr int ListCount = 10000;
constexpr int ItemCount = 100000;
constexpr int BigListItems = 1000;

std::u16string Text(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

// The same records in a schema made for exactly these queries: UTF-16 text,
// integer keys, one index per query.
struct Plain
{
    sqlite3* db = nullptr;
    sqlite3_stmt* lists = nullptr;
    sqlite3_stmt* items = nullptr;
    sqlite3_stmt* setChecked = nullptr;
    sqlite3_stmt* setUnchecked = nullptr;
    sqlite3_stmt* setPosition = nullptr;

    void Exec(const char* sql)
    {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
    }
    sqlite3_stmt* Prepare(const char* sql)
    {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
        return stmt;
    }
};

struct Fixture
{
    Plain plain;
    int32_t bigListId = 0;
    ListRecord tickList;
    ItemRecord tickItem;
};

Fixture* g_fixture = nullptr;

void BindText(sqlite3_stmt* stmt, int index, const std::u16string& text)
{
    sqlite3_bind_text16(stmt, index, text.data(), int(text.size() * 2), SQLITE_TRANSIENT);
}

std::u16string ColumnText(sqlite3_stmt* stmt, int col)
{
    const auto* data = static_cast<const char16_t*>(sqlite3_column_text16(stmt, col));
    return data ? std::u16string(data, size_t(sqlite3_column_bytes16(stmt, col)) / 2) : std::u16string();
}

// Fills the store through its own operations and the plain database with
// the same records.
void Build(Fixture& f, const std::string& dir)
{
    if (!ListStore::CreateDatabases())
        throw std::runtime_error("cannot create the store: " + ObjectStore::LastError());
    ListStore::Transaction tx;
    std::vector<ListRecord> lists;
    lists.reserve(ListCount);
    static const char16_t* categories[] = {u"Personal", u"Business", u"Unfiled", u"Travel", u"Home"};
    unsigned seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 8) & 0xFFFFFF; };
    for (int i = 0; i < ListCount; ++i)
    {
        ListRecord l;
        l.name = Text("Checklist " + std::to_string(next() % 100000) + " of " + std::to_string(i));
        l.category = categories[i % 5];
        l.position = int16_t(i);
        l.note = i % 3 ? Text("A note for checklist " + std::to_string(i)) : std::u16string();
        if (!l.SaveList())
            throw std::runtime_error("cannot save a checklist");
        lists.push_back(std::move(l));
    }
    std::vector<ItemRecord> items;
    items.reserve(ItemCount);
    for (int i = 0; i < ItemCount; ++i)
    {
        ListRecord& owner = i < BigListItems ? lists[0] : lists[1 + size_t(i) % (ListCount - 1)];
        ItemRecord item;
        item.listId = owner.id;
        item.name = Text("Item " + std::to_string(next() % 1000000));
        item.details = i % 4 ? Text("Details of item " + std::to_string(i)) : std::u16string();
        item.position = owner.itemCount;
        item.checked = int16_t(next() % 2);
        item.priority = int16_t(1 + next() % 5);
        if (!item.SaveItem())
            throw std::runtime_error("cannot save an item");
        ++owner.itemCount;
        if (item.checked == 0)
            ++owner.uncheckedCount;
        items.push_back(std::move(item));
    }
    for (ListRecord& l : lists)
        l.SaveList();
    if (!tx.Commit())
        throw std::runtime_error("cannot commit: " + ObjectStore::LastError());

    Plain& p = f.plain;
    const std::string path = dir + "/plain.db";
    std::remove(path.c_str());
    if (sqlite3_open(path.c_str(), &p.db) != SQLITE_OK)
        throw std::runtime_error("cannot open plain.db");
    p.Exec("PRAGMA encoding='UTF-16le'; PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;"
           "CREATE TABLE lists(id INTEGER NOT NULL UNIQUE, name TEXT, category TEXT, position INTEGER,"
           " itemCount INTEGER, uncheckedCount INTEGER, note TEXT);"
           "CREATE TABLE items(id INTEGER NOT NULL UNIQUE, listId INTEGER, name TEXT, details TEXT,"
           " priority INTEGER, position INTEGER, checked INTEGER);"
           "BEGIN;");
    sqlite3_stmt* addList = p.Prepare("INSERT INTO lists VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    for (const ListRecord& l : lists)
    {
        sqlite3_bind_int(addList, 1, l.id);
        BindText(addList, 2, l.name);
        BindText(addList, 3, l.category);
        sqlite3_bind_int(addList, 4, l.position);
        sqlite3_bind_int(addList, 5, l.itemCount);
        sqlite3_bind_int(addList, 6, l.uncheckedCount);
        BindText(addList, 7, l.note);
        sqlite3_step(addList);
        sqlite3_reset(addList);
    }
    sqlite3_finalize(addList);
    sqlite3_stmt* addItem = p.Prepare("INSERT INTO items VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    for (const ItemRecord& i : items)
    {
        sqlite3_bind_int(addItem, 1, i.id);
        sqlite3_bind_int(addItem, 2, i.listId);
        BindText(addItem, 3, i.name);
        BindText(addItem, 4, i.details);
        sqlite3_bind_int(addItem, 5, i.priority);
        sqlite3_bind_int(addItem, 6, i.position);
        sqlite3_bind_int(addItem, 7, i.checked);
        sqlite3_step(addItem);
        sqlite3_reset(addItem);
    }
    sqlite3_finalize(addItem);
    p.Exec("CREATE INDEX lists_position ON lists(position); CREATE INDEX items_list ON items(listId, position);"
           "COMMIT;");
    p.lists = p.Prepare("SELECT id, name, category, position, itemCount, uncheckedCount, note FROM lists"
                        " ORDER BY position");
    p.items = p.Prepare("SELECT id, listId, details, name, position, checked, priority FROM items"
                        " WHERE listId = ?1 ORDER BY position");
    p.setChecked = p.Prepare("UPDATE items SET checked = ?1 WHERE id = ?2");
    p.setUnchecked = p.Prepare("UPDATE lists SET uncheckedCount = ?1 WHERE id = ?2");
    p.setPosition = p.Prepare("UPDATE lists SET position = ?1 WHERE id = ?2");

    f.bigListId = lists[0].id;
    f.tickList = lists[0];
    f.tickItem = items[0];
}

void StoreLoadLists(benchmark::State& state)
{
    ListArray lists;
    for (auto _ : state)
    {
        if (!lists.LoadLists(u"All") || lists.size() != ListCount)
            state.SkipWithError("LoadLists failed");
        benchmark::DoNotOptimize(lists.data());
    }
}

void PlainLoadLists(benchmark::State& state)
{
    Plain& p = g_fixture->plain;
    std::vector<ListRecord> lists;
    for (auto _ : state)
    {
        lists.clear();
        while (sqlite3_step(p.lists) == SQLITE_ROW)
        {
            ListRecord l;
            l.id = sqlite3_column_int(p.lists, 0);
            l.name = ColumnText(p.lists, 1);
            l.category = ColumnText(p.lists, 2);
            l.position = int16_t(sqlite3_column_int(p.lists, 3));
            l.itemCount = int16_t(sqlite3_column_int(p.lists, 4));
            l.uncheckedCount = int16_t(sqlite3_column_int(p.lists, 5));
            l.note = ColumnText(p.lists, 6);
            lists.push_back(std::move(l));
        }
        sqlite3_reset(p.lists);
        if (lists.size() != ListCount)
            state.SkipWithError("plain select failed");
        benchmark::DoNotOptimize(lists.data());
    }
}

void StoreLoadItems(benchmark::State& state)
{
    ListRecord list;
    list.id = g_fixture->bigListId;
    for (auto _ : state)
    {
        if (!list.LoadItems(FilterAll) || list.items.size() != BigListItems)
            state.SkipWithError("LoadItems failed");
        benchmark::DoNotOptimize(list.items.data());
    }
}

void PlainLoadItems(benchmark::State& state)
{
    Plain& p = g_fixture->plain;
    std::vector<ItemRecord> items;
    for (auto _ : state)
    {
        items.clear();
        sqlite3_bind_int(p.items, 1, g_fixture->bigListId);
        while (sqlite3_step(p.items) == SQLITE_ROW)
        {
            ItemRecord i;
            i.id = sqlite3_column_int(p.items, 0);
            i.listId = sqlite3_column_int(p.items, 1);
            i.details = ColumnText(p.items, 2);
            i.name = ColumnText(p.items, 3);
            i.position = int16_t(sqlite3_column_int(p.items, 4));
            i.checked = int16_t(sqlite3_column_int(p.items, 5));
            i.priority = int16_t(sqlite3_column_int(p.items, 6));
            items.push_back(std::move(i));
        }
        sqlite3_reset(p.items);
        if (items.size() != BigListItems)
            state.SkipWithError("plain select failed");
        benchmark::DoNotOptimize(items.data());
    }
}

// Ticks and unticks one item: the item and its checklist's count change.
void StoreTick(benchmark::State& state)
{
    ItemRecord& item = g_fixture->tickItem;
    ListRecord& list = g_fixture->tickList;
    const uint64_t syncsBefore = SyncCounter::Syncs();
    for (auto _ : state)
    {
        ListStore::Transaction tx;
        item.checked = item.checked ? 0 : 1;
        list.uncheckedCount = int16_t(list.uncheckedCount + (item.checked ? -1 : 1));
        if (!item.SaveItem() || !list.SaveList() || !tx.Commit())
            state.SkipWithError("tick failed");
    }
    state.counters["syncs_per_tick"] =
        benchmark::Counter(double(SyncCounter::Syncs() - syncsBefore) / double(state.iterations()));
}

// The same tick recorded as an undo step, as the program makes it.
void StoreTickUndo(benchmark::State& state)
{
    ItemRecord& item = g_fixture->tickItem;
    ListRecord& list = g_fixture->tickList;
    ObjectStore::Undo::Clear();
    const uint64_t syncsBefore = SyncCounter::Syncs();
    for (auto _ : state)
    {
        ObjectStore::UndoStep step(u"Tick");
        ListStore::Transaction tx;
        item.checked = item.checked ? 0 : 1;
        list.uncheckedCount = int16_t(list.uncheckedCount + (item.checked ? -1 : 1));
        if (!item.SaveItem() || !list.SaveList() || !tx.Commit())
            state.SkipWithError("tick failed");
    }
    state.counters["syncs_per_tick"] =
        benchmark::Counter(double(SyncCounter::Syncs() - syncsBefore) / double(state.iterations()));
    state.counters["undo_steps"] = benchmark::Counter(double(ObjectStore::Undo::UndoCount()));
    ObjectStore::Undo::Clear();
}

void PlainTick(benchmark::State& state)
{
    Plain& p = g_fixture->plain;
    int checked = 0, unchecked = 100;
    const uint64_t syncsBefore = SyncCounter::Syncs();
    for (auto _ : state)
    {
        checked = !checked;
        unchecked += checked ? -1 : 1;
        p.Exec("BEGIN IMMEDIATE");
        sqlite3_bind_int(p.setChecked, 1, checked);
        sqlite3_bind_int(p.setChecked, 2, g_fixture->tickItem.id);
        sqlite3_step(p.setChecked);
        sqlite3_reset(p.setChecked);
        sqlite3_bind_int(p.setUnchecked, 1, unchecked);
        sqlite3_bind_int(p.setUnchecked, 2, g_fixture->tickList.id);
        sqlite3_step(p.setUnchecked);
        sqlite3_reset(p.setUnchecked);
        p.Exec("COMMIT");
    }
    state.counters["syncs_per_tick"] =
        benchmark::Counter(double(SyncCounter::Syncs() - syncsBefore) / double(state.iterations()));
}

// Sorts every checklist by name, storing the new positions. Between runs
// the loaded array is put back in its stored order.
void StoreSortByName(benchmark::State& state)
{
    ListArray loaded;
    if (!loaded.LoadLists(u"All"))
        state.SkipWithError("LoadLists failed");
    for (auto _ : state)
    {
        state.PauseTiming();
        ListArray lists = loaded;
        state.ResumeTiming();
        lists.SortListsByName();
    }
}

void PlainSortByName(benchmark::State& state)
{
    Plain& p = g_fixture->plain;
    ListArray loaded;
    if (!loaded.LoadLists(u"All"))
        state.SkipWithError("LoadLists failed");
    for (auto _ : state)
    {
        state.PauseTiming();
        ListArray lists = loaded;
        state.ResumeTiming();
        std::stable_sort(lists.begin(), lists.end(),
                         [](const ListRecord& a, const ListRecord& b) { return a.name < b.name; });
        p.Exec("BEGIN IMMEDIATE");
        for (size_t i = 0; i < lists.size(); ++i)
        {
            sqlite3_bind_int(p.setPosition, 1, int(i));
            sqlite3_bind_int(p.setPosition, 2, lists[i].id);
            sqlite3_step(p.setPosition);
            sqlite3_reset(p.setPosition);
        }
        p.Exec("COMMIT");
    }
}

// Keeps the median of each benchmark for the closing ratios.
class MedianReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
        {
            if (run.aggregate_name == "median")
                medians[run.run_name.function_name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
        }
        ConsoleReporter::ReportRuns(runs);
    }
    struct Times
    {
        double real;
        double cpu;
    };
    std::map<std::string, Times> medians;
};
}

int main(int argc, char** argv)
{
    SyncCounter::Install();
    std::string dir;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        dir = data;
    else
    {
        char templ[] = "/tmp/tallyard-bench-XXXXXX";
        if (!mkdtemp(templ))
            return 1;
        dir = templ;
        setenv("XDG_DATA_HOME", templ, 1);
    }
    Fixture fixture;
    g_fixture = &fixture;
    try
    {
        Build(fixture, dir);
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "bench_store: %s\n", e.what());
        return 1;
    }

    const struct
    {
        const char* name;
        void (*fn)(benchmark::State&);
        benchmark::TimeUnit unit;
    } cases[] = {
        {"LoadLists_All", StoreLoadLists, benchmark::kMillisecond},
        {"Plain_LoadLists_All", PlainLoadLists, benchmark::kMillisecond},
        {"LoadItems_1000", StoreLoadItems, benchmark::kMicrosecond},
        {"Plain_LoadItems_1000", PlainLoadItems, benchmark::kMicrosecond},
        {"Tick_Durable", StoreTick, benchmark::kMicrosecond},
        {"Plain_Tick_Durable", PlainTick, benchmark::kMicrosecond},
        {"Tick_Durable_Undo", StoreTickUndo, benchmark::kMicrosecond},
        {"SortListsByName_10000", StoreSortByName, benchmark::kMillisecond},
        {"Plain_SortListsByName_10000", PlainSortByName, benchmark::kMillisecond},
    };
    for (const auto& c : cases)
        benchmark::RegisterBenchmark(c.name, c.fn)->Unit(c.unit)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime();

    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nMedians, store vs plain SQLite on the same data (real time; CPU time):\n");
    for (const char* name : {"LoadLists_All", "LoadItems_1000", "Tick_Durable", "SortListsByName_10000"})
    {
        const auto ours = reporter.medians.find(name);
        const auto plain = reporter.medians.find(std::string("Plain_") + name);
        if (ours == reporter.medians.end() || plain == reporter.medians.end() || plain->second.real <= 0 ||
            plain->second.cpu <= 0)
            continue;
        const auto& a = ours->second;
        const auto& b = plain->second;
        std::printf("  %-22s real %9.3f vs %9.3f  ratio %.2f;  cpu %9.3f vs %9.3f  ratio %.2f\n", name, a.real,
                    b.real, a.real / b.real, a.cpu, b.cpu, a.cpu / b.cpu);
    }
    const auto tick = reporter.medians.find("Tick_Durable");
    const auto undo = reporter.medians.find("Tick_Durable_Undo");
    if (tick != reporter.medians.end() && undo != reporter.medians.end() && tick->second.real > 0)
        std::printf("  Tick with undo recording vs without: real %9.3f vs %9.3f  ratio %.2f\n", undo->second.real,
                    tick->second.real, undo->second.real / tick->second.real);
    benchmark::Shutdown();
    sqlite3_close_v2(fixture.plain.db);
    return 0;
}
