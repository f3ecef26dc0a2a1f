// Import of iCalendar files into the store, whole or not at all.
//
// A VTODO whose UID the store knows updates that record and keeps its kind.
// Otherwise one whose RELATED-TO (parent) names a VTODO of the file or a
// record of the store is an item of that checklist (of the named item's
// checklist, for a sub-item), and any other is a checklist. A file in which
// nothing names anything, from another program, is one checklist of items.

#include "sync/IcalExchange.h"

#include "store/IcalStore.h"
#include "store/ListStore.h"
#include "sync/IcalMapping.h"
#include "sync/IcalReader.h"
#include "sync/IcalText.h"

#include <algorithm>
#include <climits>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <tuple>
#include <unordered_map>

namespace IcalExchange
{
namespace
{
using IcalStore::Extra;
using IcalStore::Kind;
using IcalText::FromUtf8;
using IcalText::ToUtf8;

constexpr int MaxItems = 32767;

std::string At(int line, const std::string& what)
{
    return "line " + std::to_string(line) + ": " + what;
}

std::string Quoted(const std::u16string& text)
{
    std::string s = ToUtf8(text);
    if (s.size() > 40)
        s = s.substr(0, 37) + "...";
    return "\"" + s + "\"";
}

// Where an item goes: a checklist of the file (by index) or of the store.
struct Target
{
    int todo = -1;
    int32_t listId = 0;
    bool operator<(const Target& o) const { return std::tie(todo, listId) < std::tie(o.todo, o.listId); }
};

struct Entry
{
    std::u16string uid;
    std::u16string parent;
    std::optional<Extra> stored; // the record the store knows under this UID
    int parentTodo = -1;         // the file VTODO the parent link names
    bool checklist = false;
    Target target;               // items only
};

class Importer
{
public:
    Importer(const Ical::Calendar& cal, const std::string& fileName) : m_cal(cal), m_fileName(fileName) {}

    bool Run(ImportCounts& counts, std::string& error)
    {
        return Identify(error) && Classify(error) && Place(error) && Write(counts, error);
    }

private:
    const Ical::Todo& TodoAt(int i) const { return m_cal.todos[size_t(i)]; }

    bool Identify(std::string& error)
    {
        std::vector<Extra> rows;
        if (!IcalStore::LoadAll(rows))
        {
            error = "cannot read the store: " + ToUtf8(ListStore::LastError());
            return false;
        }
        for (Extra& row : rows)
        {
            std::u16string uid = row.uid;
            m_stored.emplace(std::move(uid), std::move(row));
        }
        m_entries.resize(m_cal.todos.size());
        std::unordered_map<std::u16string, int> seen;
        for (size_t i = 0; i < m_cal.todos.size(); ++i)
        {
            Entry& e = m_entries[i];
            e.uid = IcalMapping::Uid(m_cal.todos[i]);
            if (e.uid.empty())
            {
                error = At(m_cal.todos[i].line, "VTODO without a UID");
                return false;
            }
            const auto [at, fresh] = seen.emplace(e.uid, int(i));
            if (!fresh)
            {
                error = At(m_cal.todos[i].line, "UID " + Quoted(e.uid) + " repeats the VTODO of line " +
                                                    std::to_string(TodoAt(at->second).line));
                return false;
            }
            if (auto it = m_stored.find(e.uid); it != m_stored.end())
            {
                // A row whose record is gone (left by an older program) does not count.
                const Extra& row = it->second;
                if (row.kind == Kind::Item ? StoredListOf(row.id) != 0 : ListRecord().LoadList(row.id))
                    e.stored = row;
                else
                {
                    m_stale.push_back(row);
                    m_stored.erase(it);
                }
            }
        }
        for (size_t i = 0; i < m_entries.size(); ++i)
        {
            Entry& e = m_entries[i];
            e.parent = IcalMapping::ParentUid(m_cal.todos[i]);
            if (e.parent.empty())
                continue;
            if (e.parent == e.uid)
            {
                error = At(m_cal.todos[i].line, "VTODO " + Quoted(e.uid) + " is related to itself");
                return false;
            }
            if (auto it = seen.find(e.parent); it != seen.end())
                e.parentTodo = it->second;
        }
        return NoCycle(error);
    }

    bool NoCycle(std::string& error) const
    {
        // 0 unvisited, 1 on the current path, 2 done.
        std::vector<char> state(m_entries.size(), 0);
        for (size_t start = 0; start < m_entries.size(); ++start)
        {
            std::vector<int> path;
            int i = int(start);
            while (i >= 0 && state[size_t(i)] == 0)
            {
                state[size_t(i)] = 1;
                path.push_back(i);
                i = m_entries[size_t(i)].parentTodo;
            }
            if (i >= 0 && state[size_t(i)] == 1)
            {
                error = At(TodoAt(i).line, "RELATED-TO makes a cycle through VTODO " + Quoted(m_entries[size_t(i)].uid));
                return false;
            }
            for (int p : path)
                state[size_t(p)] = 2;
        }
        return true;
    }

    bool LinksResolve(const Entry& e) const
    {
        return e.parentTodo >= 0 || (!e.parent.empty() && m_stored.count(e.parent));
    }

    bool Classify(std::string&)
    {
        const bool ours = m_cal.prodid.find("//Tallyard//") != std::string::npos;
        bool linked = false;
        bool storedChecklist = false;
        for (const Entry& e : m_entries)
        {
            linked = linked || LinksResolve(e);
            storedChecklist = storedChecklist || (e.stored && e.stored->kind == Kind::Checklist);
        }
        m_flat = !m_entries.empty() && !ours && !linked && !storedChecklist;
        for (Entry& e : m_entries)
        {
            if (e.stored)
                e.checklist = e.stored->kind == Kind::Checklist;
            else
                e.checklist = !m_flat && !LinksResolve(e);
        }
        return true;
    }

    int32_t StoredListOf(int32_t itemId)
    {
        auto it = m_itemLists.find(itemId);
        if (it != m_itemLists.end())
            return it->second;
        ItemRecord item;
        const int32_t listId = item.LoadItem(itemId) ? item.listId : 0;
        m_itemLists.emplace(itemId, listId);
        return listId;
    }

    // The checklist the item entry `i` belongs in; parents are resolved
    // before their children by walking up first.
    Target Resolve(int i)
    {
        std::vector<int> chain;
        for (int j = i; j >= 0 && !m_entries[size_t(j)].checklist && !m_resolved[size_t(j)];
             j = m_entries[size_t(j)].parentTodo)
            chain.push_back(j);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        {
            Entry& e = m_entries[size_t(*it)];
            if (e.parentTodo >= 0)
            {
                const Entry& p = m_entries[size_t(e.parentTodo)];
                e.target = p.checklist ? Target{e.parentTodo, 0} : p.target;
            }
            else if (auto s = e.parent.empty() ? m_stored.end() : m_stored.find(e.parent); s != m_stored.end())
                e.target = s->second.kind == Kind::Checklist ? Target{-1, s->second.id}
                                                             : Target{-1, StoredListOf(s->second.id)};
            else if (e.stored)
                e.target = {-1, StoredListOf(e.stored->id)};
            else
                e.target = {-2, 0}; // the checklist made of a plain task list
            m_resolved[size_t(*it)] = true;
        }
        return m_entries[size_t(i)].target;
    }

    int StoredCount(int32_t listId)
    {
        auto it = m_storedCounts.find(listId);
        if (it != m_storedCounts.end())
            return it->second;
        ListRecord list;
        list.id = listId;
        list.LoadItems(FilterAll);
        return m_storedCounts[listId] = int(list.items.size());
    }

    bool Place(std::string& error)
    {
        m_resolved.assign(m_entries.size(), false);
        if (m_flat)
        {
            // A plain task list already imported goes on in its checklist.
            for (const Entry& e : m_entries)
            {
                if (e.stored)
                {
                    m_flatList = StoredListOf(e.stored->id);
                    break;
                }
            }
        }
        std::map<Target, int> incoming; // items that are not in it yet
        std::map<int32_t, int> leaving;
        for (size_t i = 0; i < m_entries.size(); ++i)
        {
            if (m_entries[i].checklist)
                continue;
            Target t = Resolve(int(i));
            if (t.todo == -2 && m_flatList != 0)
                t = m_entries[i].target = {-1, m_flatList};
            const Entry& e = m_entries[i];
            const int32_t from = e.stored ? StoredListOf(e.stored->id) : 0;
            if (e.stored && t.todo < 0 && t.listId == from)
                continue;
            if (e.stored && from != 0)
                ++leaving[from];
            if (++incoming[t] + (t.todo < 0 && t.listId != 0 ? StoredCount(t.listId) - leaving[t.listId] : 0) >
                MaxItems)
            {
                const int line = t.todo >= 0 ? TodoAt(t.todo).line : TodoAt(int(i)).line;
                error = At(line, "more than 32,767 items in one checklist");
                return false;
            }
        }
        return true;
    }

    // Positions of the records of one group (checklists, or the items of one
    // checklist): their X-APPLE-SORT-ORDER when that fits, else after the
    // others, in the order of their sort orders and then of the file.
    void AssignPositions(const std::vector<int>& group, int next, std::map<int, int16_t>& positions) const
    {
        std::vector<std::pair<long long, int>> rest;
        for (int i : group)
        {
            const auto order = IcalMapping::SortOrder(TodoAt(i));
            if (order && *order >= INT16_MIN && *order <= INT16_MAX)
            {
                positions[i] = int16_t(*order);
                next = std::max(next, int(*order) + 1);
            }
            else
                rest.emplace_back(order ? *order : LLONG_MAX, i);
        }
        std::stable_sort(rest.begin(), rest.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& r : rest)
            positions[r.second] = int16_t(std::min(next++, int(INT16_MAX)));
    }

    bool Fail(std::string& error) const
    {
        error = "cannot write the store: " + ToUtf8(ListStore::LastError());
        return false;
    }

    bool Write(ImportCounts& counts, std::string& error);

    const Ical::Calendar& m_cal;
    std::string m_fileName;
    std::unordered_map<std::u16string, Extra> m_stored;
    std::vector<Entry> m_entries;
    std::vector<bool> m_resolved;
    std::unordered_map<int32_t, int32_t> m_itemLists;
    std::unordered_map<int32_t, int> m_storedCounts;
    std::u16string ListUid(int32_t listId)
    {
        if (auto it = m_listUids.find(listId); it != m_listUids.end())
            return it->second;
        Extra row;
        return m_listUids[listId] = IcalStore::Load(Kind::Checklist, listId, row) ? row.uid : std::u16string();
    }

    std::vector<Extra> m_stale;
    std::unordered_map<int32_t, std::u16string> m_listUids;
    bool m_flat = false;
    int32_t m_flatList = 0;
};

std::u16string FlatName(const Ical::Calendar& cal, const std::string& fileName)
{
    if (!cal.name.empty())
        return FromUtf8(cal.name);
    std::string base = fileName.substr(fileName.rfind('/') == std::string::npos ? 0 : fileName.rfind('/') + 1);
    if (const size_t dot = base.rfind('.'); dot != std::string::npos && dot > 0)
        base.erase(dot);
    return base.empty() ? u"Imported" : FromUtf8(base);
}

bool Importer::Write(ImportCounts& counts, std::string& error)
{
    ListStore::Transaction tx;
    for (const Extra& row : m_stale)
    {
        if (!IcalStore::Remove(row.kind, row.id))
            return Fail(error);
    }
    // Every checklist an item may join has a UID to name it by.
    if (!IcalStore::EnsureUids())
        return Fail(error);
    CategoryList categories;
    if (!categories.LoadCategories())
        return Fail(error);
    const size_t knownCategories = categories.size();
    auto fileUnder = [&](const std::u16string& category) {
        if (category == u"Unfiled")
            return;
        for (const CategoryRecord& c : categories)
            if (c.name == category)
                return;
        int16_t order = 0;
        for (const CategoryRecord& c : categories)
            order = std::max<int16_t>(order, int16_t(c.order + 1));
        categories.push_back({category, order});
    };

    ListArray all;
    if (!all.LoadLists(u""))
        return Fail(error);
    int nextListPosition = 0;
    for (const ListRecord& l : all)
        nextListPosition = std::max(nextListPosition, l.position + 1);

    // Checklists first, so that items know their checklist's id and UID.
    std::vector<int> listGroup;
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].checklist && !m_entries[i].stored)
            listGroup.push_back(int(i));
    std::map<int, int16_t> positions;
    AssignPositions(listGroup, nextListPosition, positions);

    std::map<Target, int32_t> listIds;          // file checklist -> store id
    std::set<int32_t> recount;                  // stored checklists whose items changed
    std::map<int32_t, std::pair<int, int>> made; // new checklist -> items, unchecked
    std::map<int32_t, ListRecord> madeLists;
    std::vector<Extra> newRows; // of records the file adds: UIDs known to be free
    for (size_t i = 0; i < m_entries.size(); ++i)
    {
        const Entry& e = m_entries[i];
        if (!e.checklist)
            continue;
        ListRecord list;
        Extra extra;
        if (e.stored && !list.LoadList(e.stored->id))
            return Fail(error);
        const int16_t oldPosition = list.position;
        IcalMapping::ReadChecklist(TodoAt(int(i)), list, extra);
        if (e.stored)
        {
            const auto order = IcalMapping::SortOrder(TodoAt(int(i)));
            if (!order || *order < INT16_MIN || *order > INT16_MAX)
                list.position = oldPosition;
            recount.insert(list.id);
        }
        else
            list.position = positions[int(i)];
        fileUnder(list.category);
        if (!list.SaveList())
            return Fail(error);
        extra.id = list.id;
        extra.fingerprint = IcalMapping::Fingerprint(list);
        listIds[{int(i), 0}] = list.id;
        m_listUids[list.id] = extra.uid;
        if (e.stored)
        {
            if (!IcalStore::Save(extra))
                return Fail(error);
        }
        else
        {
            newRows.push_back(std::move(extra));
            made[list.id] = {0, 0};
            madeLists[list.id] = std::move(list);
        }
        ++(e.stored ? counts.checklistsUpdated : counts.checklistsAdded);
    }

    // The checklist of a plain task list.
    if (m_flat && m_flatList == 0 &&
        std::any_of(m_entries.begin(), m_entries.end(), [](const Entry& e) { return e.target.todo == -2; }))
    {
        ListRecord list;
        list.name = FlatName(m_cal, m_fileName);
        list.category = u"Unfiled";
        list.position = int16_t(std::min(nextListPosition, int(INT16_MAX)));
        Extra extra;
        extra.kind = Kind::Checklist;
        extra.uid = IcalStore::NewUid();
        if (!list.SaveList())
            return Fail(error);
        extra.id = list.id;
        if (!IcalStore::Save(extra))
            return Fail(error);
        listIds[{-2, 0}] = list.id;
        m_listUids[list.id] = extra.uid;
        made[list.id] = {0, 0};
        madeLists[list.id] = list;
        ++counts.checklistsAdded;
    }

    // Items, grouped by checklist for their positions.
    std::map<int32_t, std::vector<int>> itemsOf;
    for (size_t i = 0; i < m_entries.size(); ++i)
    {
        const Entry& e = m_entries[i];
        if (e.checklist)
            continue;
        const Target t = e.target.todo == -1 ? e.target : Target{e.target.todo, 0};
        const int32_t listId = t.todo == -1 ? t.listId : listIds[t];
        itemsOf[listId].push_back(int(i));
    }
    for (auto& [listId, group] : itemsOf)
    {
        const bool isNew = made.count(listId) != 0;
        ListRecord list;
        list.id = listId;
        if (!isNew && !list.LoadItems(FilterAll))
            return Fail(error);
        int next = 0;
        for (const ItemRecord& item : list.items)
            next = std::max(next, item.position + 1);
        std::vector<int> fresh;
        for (int i : group)
            if (!m_entries[size_t(i)].stored)
                fresh.push_back(i);
        std::map<int, int16_t> itemPositions;
        AssignPositions(fresh, next, itemPositions);
        if (!isNew)
            recount.insert(listId);
        const std::u16string parentUid = ListUid(listId);
        for (int i : group)
        {
            const Entry& e = m_entries[size_t(i)];
            ItemRecord item;
            Extra extra;
            if (e.stored)
            {
                if (!item.LoadItem(e.stored->id))
                    return Fail(error);
                const int16_t oldPosition = item.position;
                IcalMapping::ReadItem(TodoAt(i), item, extra);
                const auto order = IcalMapping::SortOrder(TodoAt(i));
                if (!order || *order < INT16_MIN || *order > INT16_MAX)
                    item.position = oldPosition;
                if (item.listId != listId)
                {
                    // An item moves by being added again under its id.
                    recount.insert(item.listId);
                    if (!ItemRecord::DeleteItemById(item.id))
                        return Fail(error);
                    item.listId = listId;
                }
                ++counts.itemsUpdated;
            }
            else
            {
                IcalMapping::ReadItem(TodoAt(i), item, extra);
                item.position = itemPositions[i];
                item.listId = listId;
                ++counts.itemsAdded;
            }
            if (!item.SaveItem())
                return Fail(error);
            if (isNew)
            {
                ++made[listId].first;
                made[listId].second += item.checked == 0 ? 1 : 0;
            }
            extra.id = item.id;
            extra.fingerprint = IcalMapping::Fingerprint(item, parentUid);
            if (e.stored)
            {
                if (!IcalStore::Save(extra))
                    return Fail(error);
            }
            else
                newRows.push_back(std::move(extra));
        }
    }
    if (!IcalStore::AddRows(newRows))
        return Fail(error);

    // Counts always match the items stored.
    for (const auto& [listId, count] : made)
    {
        if (count.first == 0)
            continue;
        ListRecord& list = madeLists[listId];
        list.itemCount = int16_t(count.first);
        list.uncheckedCount = int16_t(count.second);
        if (!list.SaveList())
            return Fail(error);
    }
    for (int32_t listId : recount)
    {
        ListRecord list;
        if (listId == 0 || !list.LoadList(listId))
            continue;
        if (!list.LoadItems(FilterAll))
            return Fail(error);
        const int unchecked = int(std::count_if(list.items.begin(), list.items.end(),
                                                [](const ItemRecord& item) { return item.checked == 0; }));
        if (list.itemCount != int(list.items.size()) || list.uncheckedCount != unchecked)
        {
            list.itemCount = int16_t(list.items.size());
            list.uncheckedCount = int16_t(unchecked);
            if (!list.SaveList())
                return Fail(error);
        }
    }
    if (categories.size() != knownCategories && !categories.SaveCategories())
        return Fail(error);
    if (!tx.Commit())
        return Fail(error);
    return true;
}
}

bool ImportText(const std::string& text, const std::string& fileName, ImportCounts& counts, std::string& error)
{
    counts = ImportCounts();
    Ical::Calendar cal;
    if (!Ical::ReadCalendar(text, cal, error))
        return false;
    Importer importer(cal, fileName);
    ImportCounts done;
    if (!importer.Run(done, error))
        return false;
    counts = done;
    return true;
}

bool ImportFile(const std::string& path, ImportCounts& counts, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        error = "cannot open " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
    {
        error = "cannot read " + path;
        return false;
    }
    return ImportText(text.str(), path, counts, error);
}

std::string Summary(const ImportCounts& c)
{
    auto n = [](int count, const char* one, const char* many) {
        return std::to_string(count) + " " + (count == 1 ? one : many);
    };
    return n(c.checklistsAdded, "checklist", "checklists") + " and " + n(c.itemsAdded, "item", "items") + " added, " +
           n(c.checklistsUpdated, "checklist", "checklists") + " and " + n(c.itemsUpdated, "item", "items") +
           " updated.";
}
}
