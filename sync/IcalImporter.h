#ifndef TALLYARD_SYNC_ICALIMPORTER_H
#define TALLYARD_SYNC_ICALIMPORTER_H

// The import of one parsed file (inside the sync library's import only).
//
// A VTODO whose UID the store knows updates that record and keeps its kind.
// Otherwise one whose RELATED-TO (parent) names a VTODO of the file or a
// record of the store is an item of that checklist (of the named item's
// checklist, for a sub-item), and any other is a checklist. A file in which
// nothing names anything, from another program, is one checklist of items.

#include "store/IcalStore.h"
#include "store/ListStore.h"
#include "sync/IcalExchange.h"
#include "sync/IcalMapping.h"
#include "sync/IcalParallel.h"
#include "sync/IcalReader.h"
#include "sync/IcalText.h"

#include <algorithm>
#include <climits>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <tuple>
#include <unordered_map>

namespace IcalExchange::detail
{
using IcalStore::Extra;
using IcalStore::Kind;
using IcalText::FromUtf8;
using IcalText::ToUtf8;

constexpr int MaxItems = 32767;

inline std::string At(int line, const std::string& what)
{
    return "line " + std::to_string(line) + ": " + what;
}

inline std::string Quoted(const std::u16string& text)
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
    /// Writing the store frees what `cal` holds.
    Importer(Ical::Calendar& cal, const std::string& fileName) : m_cal(cal), m_fileName(fileName) {}

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
        const size_t count = m_cal.todos.size();
        m_entries.resize(count);
        // Reading a VTODO's UID and link touches nothing but its component.
        IcalParallel::ForSlices(count, IcalParallel::Parts(count), [&](size_t, size_t first, size_t last) {
            for (size_t i = first; i < last; ++i)
            {
                m_entries[i].uid = IcalMapping::Uid(m_cal.todos[i]);
                m_entries[i].parent = IcalMapping::ParentUid(m_cal.todos[i]);
            }
        });
        std::unordered_map<std::u16string_view, int> seen; // into m_entries
        seen.reserve(count);
        for (size_t i = 0; i < count; ++i)
        {
            Entry& e = m_entries[i];
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
    // `orders` holds the X-APPLE-SORT-ORDER of every VTODO; `positions`,
    // indexed the same, gets the group's.
    static void AssignPositions(const std::vector<int>& group, int next,
                                const std::vector<std::optional<long long>>& orders,
                                std::vector<int16_t>& positions)
    {
        std::vector<std::pair<long long, int>> rest;
        for (int i : group)
        {
            const std::optional<long long>& order = orders[size_t(i)];
            if (order && *order >= INT16_MIN && *order <= INT16_MAX)
            {
                positions[size_t(i)] = int16_t(*order);
                next = std::max(next, int(*order) + 1);
            }
            else
                rest.emplace_back(order ? *order : LLONG_MAX, i);
        }
        std::stable_sort(rest.begin(), rest.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& r : rest)
            positions[size_t(r.second)] = int16_t(std::min(next++, int(INT16_MAX)));
    }

    bool Fail(std::string& error) const
    {
        error = "cannot write the store: " + ToUtf8(ListStore::LastError());
        return false;
    }

    bool Write(ImportCounts& counts, std::string& error);

    Ical::Calendar& m_cal;
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
}

#endif
