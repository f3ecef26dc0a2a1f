#include "tests/reliability/StoreChanges.h"

#include <algorithm>

namespace
{
std::u16string Name(char16_t prefix, int n)
{
    std::u16string s(1, prefix);
    for (char c : std::to_string(n))
        s += static_cast<char16_t>(c);
    return s;
}

template <class T> T& Pick(std::vector<T>& v, std::mt19937& rng) { return v[rng() % v.size()]; }

std::vector<int> ListsWithItems(const StoreModel& m)
{
    std::vector<int> out;
    for (size_t i = 0; i < m.lists.size(); ++i)
        if (!m.lists[i].items.empty())
            out.push_back(static_cast<int>(i));
    return out;
}

int16_t Unchecked(const ItemArray& items)
{
    return static_cast<int16_t>(std::count_if(items.begin(), items.end(), [](auto& i) { return i.checked == 0; }));
}

bool Tick(ListRecord list, ItemRecord item)
{
    ListStore::Transaction t;
    item.checked = item.checked ? 0 : 1;
    bool ok = item.SaveItem();
    list.uncheckedCount = static_cast<int16_t>(list.uncheckedCount + (item.checked ? -1 : 1));
    ok = list.SaveList() && ok;
    return t.Commit() && ok;
}

bool AddItem(ListRecord list, ItemRecord item)
{
    ListStore::Transaction t;
    bool ok = item.SaveItem();
    ++list.itemCount;
    ++list.uncheckedCount;
    ok = list.SaveList() && ok;
    return t.Commit() && ok;
}

bool RenameCategory(CategoryList categories, size_t index, std::u16string to)
{
    ListStore::Transaction t;
    std::u16string from = categories[index].name;
    categories[index].name = to;
    bool ok = categories.SaveCategories();
    ok = ListStore::MoveCategoryLists(from, to) && ok;
    return t.Commit() && ok;
}
}

const std::vector<std::string>& ChangeKinds()
{
    static const std::vector<std::string> kinds = {"new",       "additem",   "tick",      "checkall", "uncheckall",
                                                   "invert",    "purge",     "copy",      "delete",   "sortlists",
                                                   "sortitems", "renamecat", "renamelist"};
    return kinds;
}

bool PlanChange(const std::string& kind, const StoreModel& now, std::mt19937& rng, int& counter, PlannedChange& out)
{
    out.kind = kind;
    out.expected = now;
    StoreModel& e = out.expected;
    const auto withItems = ListsWithItems(now);
    const size_t li = now.lists.empty() ? 0 : rng() % now.lists.size();

    if (kind == "new")
    {
        ListRecord r;
        r.name = Name('L', counter++);
        std::vector<std::u16string> cats{u"Unfiled"};
        for (auto& c : now.categories)
            cats.push_back(c.name);
        r.category = Pick(cats, rng);
        r.position = static_cast<int16_t>(now.lists.size());
        e.lists.push_back(r);
        out.run = [r]() mutable { return r.SaveList(); };
        return true;
    }
    if (kind == "renamelist" || kind == "additem")
    {
        if (now.lists.empty())
            return false;
        ListRecord& l = e.lists[li];
        if (kind == "renamelist")
        {
            l.name = Name('L', counter++);
            l.note = u"note " + Name('N', counter++) + u"\nline two";
            ListRecord r = l;
            out.run = [r]() mutable { return r.SaveList(); };
            return true;
        }
        ItemRecord it;
        it.listId = l.id;
        it.name = Name('I', counter++);
        it.details = u"details of " + it.name;
        it.position = l.itemCount;
        it.priority = static_cast<int16_t>(1 + rng() % 5);
        ListRecord before = now.lists[li];
        before.items.clear();
        l.items.push_back(it);
        ++l.itemCount;
        ++l.uncheckedCount;
        out.run = [before, it]() { return AddItem(before, it); };
        return true;
    }
    if (kind == "tick")
    {
        if (withItems.empty())
            return false;
        const int idx = withItems[rng() % withItems.size()];
        ListRecord& l = e.lists[idx];
        const size_t ii = rng() % l.items.size();
        ItemRecord item = now.lists[idx].items[ii];
        l.items[ii].checked = item.checked ? 0 : 1;
        l.uncheckedCount = static_cast<int16_t>(l.uncheckedCount + (item.checked ? 1 : -1));
        ListRecord before = now.lists[idx];
        before.items.clear();
        out.run = [before, item]() { return Tick(before, item); };
        return true;
    }
    if (kind == "checkall" || kind == "uncheckall" || kind == "invert" || kind == "purge")
    {
        if (withItems.empty())
            return false;
        const int idx = withItems[rng() % withItems.size()];
        ListRecord& l = e.lists[idx];
        if (kind == "purge")
            l.items.erase(std::remove_if(l.items.begin(), l.items.end(), [](auto& i) { return i.checked != 0; }),
                          l.items.end());
        for (ItemRecord& i : l.items)
            i.checked = kind == "checkall"     ? 1
                        : kind == "uncheckall" ? 0
                        : kind == "invert"     ? (i.checked ? 0 : 1)
                                               : i.checked;
        l.itemCount = static_cast<int16_t>(l.items.size());
        l.uncheckedCount = Unchecked(l.items);
        ListRecord before = now.lists[idx];
        before.items.clear();
        out.run = [before, kind]() mutable {
            if (kind == "checkall")
                return ListStore::CheckAll(before);
            if (kind == "uncheckall")
                return ListStore::UncheckAll(before);
            if (kind == "invert")
                return ListStore::InvertChecks(before);
            return ListStore::PurgeChecked(before);
        };
        return true;
    }
    if (kind == "copy")
    {
        if (now.lists.empty())
            return false;
        const ListRecord& src = now.lists[li];
        const auto filter = static_cast<ItemFilter>(rng() % 3);
        ListRecord copy;
        copy.name = Name('C', counter++);
        copy.category = src.category;
        copy.position = static_cast<int16_t>(now.lists.size());
        for (const ItemRecord& i : src.items)
            if (filter == FilterAll || (filter == FilterChecked) == (i.checked != 0))
                copy.items.push_back(i);
        copy.itemCount = static_cast<int16_t>(copy.items.size());
        copy.uncheckedCount = Unchecked(copy.items);
        e.lists.push_back(copy);
        const int32_t srcId = src.id;
        out.run = [srcId, filter, copy]() {
            ListRecord made;
            return ListStore::CopyChecklist(srcId, filter, copy.name, copy.category, copy.position, made);
        };
        return true;
    }
    if (kind == "delete")
    {
        if (now.lists.empty())
            return false;
        const int32_t id = now.lists[li].id;
        e.lists.erase(e.lists.begin() + li);
        out.run = [id]() { return ListStore::DeleteChecklist(id); };
        return true;
    }
    if (kind == "sortlists")
    {
        if (now.lists.size() < 2)
            return false;
        std::stable_sort(e.lists.begin(), e.lists.end(), [](auto& a, auto& b) { return a.name < b.name; });
        for (size_t i = 0; i < e.lists.size(); ++i)
            e.lists[i].position = static_cast<int16_t>(i);
        out.run = []() {
            ListArray all;
            bool ok = all.LoadLists(u"");
            return all.SortListsByName() && ok;
        };
        return true;
    }
    if (kind == "sortitems")
    {
        if (withItems.empty())
            return false;
        const int idx = withItems[rng() % withItems.size()];
        ListRecord& l = e.lists[idx];
        std::stable_sort(l.items.begin(), l.items.end(), [](auto& a, auto& b) { return a.name < b.name; });
        for (size_t i = 0; i < l.items.size(); ++i)
            l.items[i].position = static_cast<int16_t>(i);
        ListRecord before = now.lists[idx];
        before.items.clear();
        out.run = [before]() mutable { return before.LoadItemsSorted(1); };
        return true;
    }
    if (kind == "renamecat")
    {
        if (now.categories.empty())
            return false;
        const size_t ci = rng() % now.categories.size();
        const std::u16string from = now.categories[ci].name;
        const std::u16string to = Name('K', counter++);
        e.categories[ci].name = to;
        for (ListRecord& l : e.lists)
            if (l.category == from)
                l.category = to;
        CategoryList cats = now.categories;
        out.run = [cats, ci, to]() { return RenameCategory(cats, ci, to); };
        return true;
    }
    return false;
}

PlannedChange PlanRandomChange(const StoreModel& now, std::mt19937& rng, int& counter)
{
    size_t items = 0;
    for (auto& l : now.lists)
        items += l.items.size();
    std::vector<std::pair<std::string, int>> weights = {{"new", now.lists.size() < 8 ? 4 : 0},
                                                        {"additem", items < 40 ? 8 : 0},
                                                        {"tick", 8},
                                                        {"checkall", 2},
                                                        {"uncheckall", 2},
                                                        {"invert", 2},
                                                        {"purge", items > 20 ? 4 : 1},
                                                        {"copy", now.lists.size() < 8 ? 3 : 0},
                                                        {"delete", now.lists.size() > 5 ? 4 : 1},
                                                        {"sortlists", 2},
                                                        {"sortitems", 2},
                                                        {"renamecat", 2},
                                                        {"renamelist", 2}};
    for (;;)
    {
        int total = 0;
        for (auto& w : weights)
            total += w.second;
        int r = static_cast<int>(rng() % total);
        for (auto& w : weights)
        {
            if (r < w.second)
            {
                PlannedChange change;
                if (PlanChange(w.first, now, rng, counter, change))
                    return change;
                w.second = 0; // does not apply now
                break;
            }
            r -= w.second;
        }
    }
}

int NextCounter(const StoreModel& now)
{
    int best = 0;
    auto scan = [&](const std::u16string& s) {
        int n = 0;
        bool digits = false;
        for (char16_t c : s)
        {
            if (c >= '0' && c <= '9')
            {
                n = n * 10 + (c - '0');
                digits = true;
            }
            else if (digits)
                break;
        }
        best = std::max(best, n);
    };
    for (auto& c : now.categories)
        scan(c.name);
    for (auto& l : now.lists)
    {
        scan(l.name);
        scan(l.note);
        for (auto& i : l.items)
            scan(i.name);
    }
    return best + 1;
}

bool Populate(std::mt19937& rng, int& counter, int lists, int items)
{
    if (!ListStore::CreateDatabases())
        return false;
    StoreModel m;
    for (int i = 0; i < lists; ++i)
    {
        PlannedChange c;
        if (!m.Load() || !PlanChange("new", m, rng, counter, c) || !c.run())
            return false;
    }
    for (int i = 0; i < items * lists; ++i)
    {
        PlannedChange c;
        if (!m.Load() || !PlanChange(i % 3 == 2 ? "tick" : "additem", m, rng, counter, c) || !c.run())
            return false;
    }
    // Names out of position order, so that sorting by name moves something.
    if (!m.Load() || m.lists.empty())
        return false;
    ListRecord first = m.lists.front();
    first.name = Name('M', counter++); // after every L<n>
    ItemRecord item = first.items.empty() ? ItemRecord{} : first.items.front();
    item.name = Name('J', counter++);
    return first.SaveList() && (first.items.empty() || item.SaveItem()) && m.Load();
}
