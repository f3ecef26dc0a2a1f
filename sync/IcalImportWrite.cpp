// The writing half of an import: every record of the file into the store,
// in one transaction.

#include "sync/IcalImporter.h"

#include "sync/IcalParallel.h"

#include <thread>

namespace IcalExchange::detail
{
namespace
{
// What the file says of one record, before it meets the store.
struct Mapped
{
    ListRecord list;
    ItemRecord item;
    Extra extra;
    /// X-APPLE-SORT-ORDER gives the position.
    bool orderFits = false;
};

void Map(const Ical::Todo& todo, bool checklist, Mapped& m, std::optional<long long>& order)
{
    order = IcalMapping::SortOrder(todo);
    m.orderFits = order && *order >= INT16_MIN && *order <= INT16_MAX;
    if (checklist)
        IcalMapping::ReadChecklist(todo, m.list, m.extra);
    else
        IcalMapping::ReadItem(todo, m.item, m.extra);
}

std::u16string FlatName(const Ical::Calendar& cal, const std::string& fileName)
{
    if (!cal.name.empty())
        return FromUtf8(cal.name);
    std::string base = fileName.substr(fileName.rfind('/') == std::string::npos ? 0 : fileName.rfind('/') + 1);
    if (const size_t dot = base.rfind('.'); dot != std::string::npos && dot > 0)
        base.erase(dot);
    return base.empty() ? u"Imported" : FromUtf8(base);
}

// The fields the file gives a record it updates.
void TakeFields(ListRecord& to, const ListRecord& from)
{
    to.name = from.name;
    to.note = from.note;
    to.category = from.category;
}

void TakeFields(ItemRecord& to, const ItemRecord& from)
{
    to.name = from.name;
    to.details = from.details;
    to.checked = from.checked;
    to.priority = from.priority;
}

bool Load(ListRecord& record, int32_t id)
{
    return record.LoadList(id);
}

bool Load(ItemRecord& record, int32_t id)
{
    return record.LoadItem(id);
}

// Stored record `id` with the file's values over it (its position too when
// the file's X-APPLE-SORT-ORDER fits).
template <typename Record>
bool LoadUpdated(int32_t id, const Record& file, bool orderFits, Record& record)
{
    if (!Load(record, id))
        return false;
    TakeFields(record, file);
    if (orderFits)
        record.position = file.position;
    return true;
}

bool SaveRow(Extra& extra, int32_t id, std::u16string fingerprint)
{
    extra.id = id;
    extra.fingerprint = std::move(fingerprint);
    return IcalStore::Save(extra);
}
}

bool Importer::Write(ImportCounts& counts, std::string& error)
{
    // Reading a VTODO into its record touches nothing but its own
    // component, so every VTODO is read first, on all cores.
    std::vector<Mapped> mapped(m_entries.size());
    std::vector<std::optional<long long>> orders(m_entries.size());
    IcalParallel::ForSlices(m_entries.size(), IcalParallel::Parts(m_entries.size()),
                            [&](size_t, size_t first, size_t last) {
                                for (size_t i = first; i < last; ++i)
                                    Map(TodoAt(int(i)), m_entries[i].checklist, mapped[i], orders[i]);
                            });
    // Nothing reads the parsed file from here on. A large one is freed
    // beside the commit, which waits on the disk: beside the writing, the
    // frees of so many blocks would hold up the allocations of the writing.
    std::thread release;
    struct Joined
    {
        std::thread& thread;
        ~Joined()
        {
            if (thread.joinable())
                thread.join();
        }
    } joined{release};

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
    std::vector<int16_t> positions(m_entries.size()); // of new records, by entry
    AssignPositions(listGroup, nextListPosition, orders, positions);

    // A new checklist is stored with the counts of the items that join it.
    std::vector<std::pair<int, int>> joining(m_entries.size()); // file checklist -> items, unchecked
    for (size_t i = 0; i < m_entries.size(); ++i)
    {
        const Entry& e = m_entries[i];
        if (!e.checklist && e.target.todo >= 0 && !m_entries[size_t(e.target.todo)].stored)
        {
            auto& count = joining[size_t(e.target.todo)];
            ++count.first;
            count.second += mapped[i].item.checked == 0 ? 1 : 0;
        }
    }

    std::vector<int32_t> listIds(m_entries.size()); // file checklist -> store id
    int32_t flatListId = 0;                         // the checklist of a plain task list
    std::set<int32_t> recount;                      // stored checklists whose items changed
    std::set<int32_t> fresh;                        // checklists this import adds
    std::map<int32_t, std::pair<int, int>> made; // the checklist of a plain task list -> items, unchecked
    std::map<int32_t, ListRecord> madeLists;
    std::vector<Extra> newRows; // of records the file adds: UIDs known to be free
    std::vector<ListRecord> newLists;
    std::vector<int> newListEntries;
    for (size_t i = 0; i < m_entries.size(); ++i)
    {
        const Entry& e = m_entries[i];
        if (!e.checklist)
            continue;
        Mapped& m = mapped[i];
        if (e.stored)
        {
            ListRecord list;
            if (!LoadUpdated(e.stored->id, m.list, m.orderFits, list))
                return Fail(error);
            recount.insert(list.id);
            fileUnder(list.category);
            if (!list.SaveList() || !SaveRow(m.extra, list.id, IcalMapping::Fingerprint(list)))
                return Fail(error);
            listIds[i] = list.id;
            m_listUids[list.id] = m.extra.uid;
            ++counts.checklistsUpdated;
            continue;
        }
        ListRecord& list = m.list;
        list.position = positions[i];
        list.itemCount = int16_t(joining[i].first);
        list.uncheckedCount = int16_t(joining[i].second);
        fileUnder(list.category);
        newLists.push_back(std::move(list));
        newListEntries.push_back(int(i));
        ++counts.checklistsAdded;
    }
    if (!ListStore::AddLists(newLists))
        return Fail(error);
    for (size_t k = 0; k < newLists.size(); ++k)
    {
        const int i = newListEntries[k];
        Extra& extra = mapped[size_t(i)].extra;
        extra.id = newLists[k].id;
        extra.fingerprint = IcalMapping::Fingerprint(newLists[k]);
        listIds[size_t(i)] = extra.id;
        m_listUids[extra.id] = extra.uid;
        fresh.insert(extra.id);
        newRows.push_back(std::move(extra));
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
        flatListId = list.id;
        m_listUids[list.id] = extra.uid;
        made[list.id] = {0, 0};
        madeLists[list.id] = list;
        fresh.insert(list.id);
        ++counts.checklistsAdded;
    }

    // Items, grouped by checklist for their positions. New items are added
    // in batches, in the order they would be saved one by one.
    ItemArray pending;
    std::vector<int> pendingEntries;
    auto flush = [&]() {
        if (!ListStore::AddItems(pending))
            return false;
        for (size_t k = 0; k < pending.size(); ++k)
        {
            Extra& extra = mapped[size_t(pendingEntries[k])].extra;
            extra.id = pending[k].id;
            newRows.push_back(std::move(extra));
        }
        pending.clear();
        pendingEntries.clear();
        return true;
    };
    std::map<int32_t, std::vector<int>> itemsOf;
    for (size_t i = 0; i < m_entries.size(); ++i)
    {
        const Entry& e = m_entries[i];
        if (e.checklist)
            continue;
        const int32_t listId = e.target.todo == -1   ? e.target.listId
                               : e.target.todo == -2 ? flatListId
                                                     : listIds[size_t(e.target.todo)];
        itemsOf[listId].push_back(int(i));
    }
    for (auto& [listId, group] : itemsOf)
    {
        const bool isNew = fresh.count(listId) != 0;
        ListRecord list;
        list.id = listId;
        if (!isNew && !list.LoadItems(FilterAll))
            return Fail(error);
        int next = 0;
        for (const ItemRecord& item : list.items)
            next = std::max(next, item.position + 1);
        std::vector<int> added;
        for (int i : group)
            if (!m_entries[size_t(i)].stored)
                added.push_back(i);
        AssignPositions(added, next, orders, positions);
        if (!isNew)
            recount.insert(listId);
        const std::u16string parentUid = ListUid(listId);
        for (int i : group)
        {
            const Entry& e = m_entries[size_t(i)];
            Mapped& m = mapped[size_t(i)];
            if (auto c = made.find(listId); c != made.end())
            {
                ++c->second.first;
                c->second.second += m.item.checked == 0 ? 1 : 0;
            }
            if (!e.stored)
            {
                m.item.position = positions[size_t(i)];
                m.item.listId = listId;
                m.extra.fingerprint = IcalMapping::Fingerprint(m.item, parentUid);
                pending.push_back(std::move(m.item));
                pendingEntries.push_back(i);
                ++counts.itemsAdded;
                continue;
            }
            if (!flush())
                return Fail(error);
            ItemRecord item;
            if (!LoadUpdated(e.stored->id, m.item, m.orderFits, item))
                return Fail(error);
            if (item.listId != listId)
            {
                // An item moves by being added again under its id.
                recount.insert(item.listId);
                if (!ItemRecord::DeleteItemById(item.id))
                    return Fail(error);
                item.listId = listId;
            }
            ++counts.itemsUpdated;
            if (!item.SaveItem() || !SaveRow(m.extra, item.id, IcalMapping::Fingerprint(item, parentUid)))
                return Fail(error);
        }
    }
    if (!flush())
        return Fail(error);
    if (!IcalStore::AddRows(std::move(newRows)))
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
    if (m_cal.todos.size() >= 1024)
        release = std::thread([roots = std::move(m_cal.roots), todos = std::move(m_cal.todos),
                               mapped = std::move(mapped)]() mutable {
            mapped.clear();
            todos.clear();
            roots.clear();
        });
    if (!tx.Commit())
        return Fail(error);
    return true;
}
}
