#include "sync/SyncStore.h"

#include "store/ListStore.h"
#include "sync/IcalMapping.h"
#include "sync/IcalReader.h"
#include "sync/IcalText.h"
#include "sync/SyncStatus.h"

#include <climits>
#include <ctime>
#include <functional>

namespace Sync
{
namespace
{
using IcalStore::Extra;
using IcalStore::Kind;

std::string U8(const std::u16string& text) { return IcalText::ToUtf8(text); }
std::u16string U16(const std::string& text) { return IcalText::FromUtf8(text); }

std::string Version(const std::u16string& fingerprint, const std::u16string& kept)
{
    return U8(fingerprint) + ":" + std::to_string(std::hash<std::u16string>{}(kept));
}

std::u16string NowUtc()
{
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &tm);
    return U16(text);
}

/// The stored record of a row, with its parent's UID for an item.
struct Loaded
{
    Extra extra;
    ListRecord list;
    ItemRecord item;
    std::u16string parentUid;
    std::u16string fingerprint;
};

bool LoadRow(const Extra& row, Loaded& out)
{
    out.extra = row;
    if (row.kind == Kind::Checklist)
    {
        if (!out.list.LoadList(row.id))
            return false;
        out.fingerprint = IcalMapping::Fingerprint(out.list);
        return true;
    }
    Extra parent;
    if (!out.item.LoadItem(row.id) || !IcalStore::Load(Kind::Checklist, out.item.listId, parent))
        return false;
    out.parentUid = parent.uid;
    out.fingerprint = IcalMapping::Fingerprint(out.item, out.parentUid);
    return true;
}

/// The record's version now, "" when the UID names no record.
std::string CurrentVersion(const std::string& uid, Loaded& loaded, bool& found)
{
    Extra row;
    found = IcalStore::FindUid(U16(uid), row) && LoadRow(row, loaded);
    return found ? Version(loaded.fingerprint, loaded.extra.kept) : std::string();
}

/// Sets a checklist's counts to what its stored items say.
bool Recount(int32_t listId)
{
    ListRecord list;
    if (!list.LoadList(listId) || !list.LoadItems(FilterAll))
        return false;
    if (list.items.size() > size_t(INT16_MAX))
        return false;
    list.itemCount = int16_t(list.items.size());
    list.uncheckedCount = 0;
    for (const ItemRecord& item : list.items)
        list.uncheckedCount += item.checked ? 0 : 1;
    list.items.clear();
    return list.SaveList();
}

/// Adds a category the store does not know at the end of the list.
bool KnowCategory(const std::u16string& name)
{
    if (name.empty() || name == u"Unfiled" || name == u"All")
        return true;
    CategoryList categories;
    if (!categories.LoadCategories())
        return false;
    int16_t last = -1;
    for (const CategoryRecord& c : categories)
    {
        if (c.name == name)
            return true;
        last = std::max(last, c.order);
    }
    if (last == INT16_MAX)
        return false;
    categories.push_back({name, int16_t(last + 1)});
    return categories.SaveCategories();
}
}

std::string RecordVersion(const IcalStore::Extra& extra)
{
    Loaded loaded;
    return LoadRow(extra, loaded) ? Version(loaded.fingerprint, loaded.extra.kept) : std::string();
}

StoreSide::StoreSide(std::string collectionUrl) : m_url(std::move(collectionUrl)) {}

bool StoreSide::Fail(const std::string& what)
{
    std::string reason = U8(ListStore::LastError());
    m_error = reason.empty() ? what : what + ": " + reason;
    return false;
}

bool StoreSide::CountFromItems(int32_t listId)
{
    if (m_counted.count(listId) || m_counting.count(listId))
        return true;
    m_counting.insert(listId);
    return Recount(listId);
}

void StoreSide::Counted()
{
    m_counted.insert(m_counting.begin(), m_counting.end());
    m_counting.clear();
}

bool StoreSide::List(std::map<std::string, std::string>& versions)
{
    versions.clear();
    m_counted.clear();
    std::vector<Extra> rows;
    ListArray lists;
    if (!IcalStore::EnsureUids() || !IcalStore::LoadAll(rows) || !lists.LoadLists(u"All"))
        return Fail("could not read the store");
    std::map<int32_t, const Extra*> listRows, itemRows;
    for (const Extra& row : rows)
        (row.kind == Kind::Checklist ? listRows : itemRows)[row.id] = &row;
    for (ListRecord& list : lists)
    {
        auto listRow = listRows.find(list.id);
        if (listRow == listRows.end())
            continue; // added after the UIDs were given: the next sync has it
        versions[U8(listRow->second->uid)] = Version(IcalMapping::Fingerprint(list), listRow->second->kept);
        if (!list.LoadItems(FilterAll))
            return Fail("could not read the store");
        for (const ItemRecord& item : list.items)
        {
            auto itemRow = itemRows.find(item.id);
            if (itemRow != itemRows.end())
                versions[U8(itemRow->second->uid)] =
                    Version(IcalMapping::Fingerprint(item, listRow->second->uid), itemRow->second->kept);
        }
        list.items.clear();
    }
    return true;
}

bool StoreSide::Get(const std::string& uid, std::string& text)
{
    Loaded loaded;
    bool found = false;
    CurrentVersion(uid, loaded, found);
    if (!found)
        return Fail("a record to sync is no longer stored");
    Extra extra = loaded.extra;
    const bool datedHere = extra.fingerprint.empty() && !extra.lastModified.empty();
    if (extra.fingerprint != loaded.fingerprint && !datedHere)
        extra.lastModified = NowUtc(); // changed here, at an unknown time: now is the latest it can be
    extra.fingerprint = loaded.fingerprint;
    std::time_t now = std::time(nullptr);
    text = IcalMapping::WriteCalendar({extra.kind == Kind::Checklist
                                           ? IcalMapping::WriteChecklist(loaded.list, extra, now)
                                           : IcalMapping::WriteItem(loaded.item, extra, loaded.parentUid, now)});
    return true;
}

Outcome StoreSide::Put(const std::string& uid, const std::string& text, const std::string& expected,
                       StatusEntry& status)
{
    m_error.clear();
    m_counting.clear();
    Ical::Calendar calendar;
    std::string error;
    if (!Ical::ReadCalendar(text, calendar, error) || calendar.todos.size() != 1 ||
        U8(IcalMapping::Uid(calendar.todos[0])) != uid)
        return Outcome::Unsupported;
    const Ical::Todo& todo = calendar.todos[0];

    ListStore::Transaction tx;
    Loaded current;
    bool found = false;
    if (CurrentVersion(uid, current, found) != expected)
        return Outcome::Conflict;
    Extra extra = found ? current.extra : Extra{};
    extra.uid = U16(uid);
    const std::u16string parentUid = IcalMapping::ParentUid(todo);
    if (parentUid.empty())
    {
        if (found && extra.kind != Kind::Checklist)
            return Outcome::Unsupported;
        ListRecord list = found ? current.list : ListRecord{};
        if (!found)
        {
            ListArray all;
            if (!all.LoadLists(u"All"))
                return Fail("could not read the store"), Outcome::Failed;
            list.position = int16_t(std::min<size_t>(all.size(), INT16_MAX));
        }
        IcalMapping::ReadChecklist(todo, list, extra);
        if (!KnowCategory(list.category) || !list.SaveList())
            return Fail("could not save a checklist"), Outcome::Failed;
        extra.kind = Kind::Checklist;
        extra.id = list.id;
    }
    else
    {
        Extra parent;
        if ((found && extra.kind != Kind::Item) || !IcalStore::FindUid(parentUid, parent) ||
            parent.kind != Kind::Checklist)
            return Outcome::Unsupported; // its checklist is not here, or it is an item's item
        ItemRecord item = found ? current.item : ItemRecord{};
        const int32_t oldList = found ? item.listId : 0;
        const bool moved = oldList != parent.id;
        const int wasUnchecked = found && item.checked == 0 ? 1 : 0;
        ListRecord target;
        if (!CountFromItems(parent.id) || (oldList && moved && !CountFromItems(oldList)) ||
            !target.LoadList(parent.id))
            return Fail("could not count the items"), Outcome::Failed;
        // Counts and positions are 16-bit: the sync stops rather than
        // leave the item out or wrap a count.
        if (moved && target.itemCount >= INT16_MAX)
        {
            m_error = "the checklist \"" + U8(target.name) + "\" would hold more than 32,767 items";
            return Outcome::Failed;
        }
        if (!found)
            item.position = target.itemCount;
        IcalMapping::ReadItem(todo, item, extra);
        // A stored item keeps its checklist, so a move is a delete and an add.
        if (found && moved && !ItemRecord::DeleteItemById(item.id))
            return Fail("could not move an item"), Outcome::Failed;
        item.listId = parent.id;
        if (!item.SaveItem())
            return Fail("could not save an item"), Outcome::Failed;
        extra.kind = Kind::Item;
        extra.id = item.id;
        const int unchecked = item.checked == 0 ? 1 : 0;
        if (!ListStore::AdjustListCounts(parent.id, moved ? 1 : 0, unchecked - (moved ? 0 : wasUnchecked)) ||
            (oldList && moved && !ListStore::AdjustListCounts(oldList, -1, -wasUnchecked)))
            return Fail("could not count the items"), Outcome::Failed;
    }
    if (!IcalStore::Save(extra))
        return Fail("could not save a UID"), Outcome::Failed;
    status.localVersion = RecordVersion(extra);
    if (!SyncStatus::Save(status) || !tx.Commit())
        return Fail("could not save what the sync brought"), Outcome::Failed;
    Counted();
    return Outcome::Ok;
}

Outcome StoreSide::Remove(const std::string& uid, const std::string& expected)
{
    m_error.clear();
    m_counting.clear();
    ListStore::Transaction tx;
    Loaded current;
    bool found = false;
    std::string version = CurrentVersion(uid, current, found);
    if (!found)
        return SyncStatus::Drop(uid) && tx.Commit() ? Outcome::Gone : Outcome::Failed;
    if (version != expected)
        return Outcome::Conflict;
    bool ok = false;
    if (current.extra.kind == Kind::Checklist)
    {
        // Its items go with it, unless one was added or changed here since
        // the last sync: an edit beats a delete.
        std::vector<Extra> rows;
        if (!current.list.LoadItems(FilterAll) || !IcalStore::LoadAll(rows))
            return Fail("could not read the store"), Outcome::Failed;
        std::map<int32_t, const Extra*> itemRows;
        for (const Extra& row : rows)
            if (row.kind == Kind::Item)
                itemRows[row.id] = &row;
        for (const ItemRecord& item : current.list.items)
        {
            auto row = itemRows.find(item.id);
            StatusEntry entry;
            if (row == itemRows.end() || !SyncStatus::Find(U8(row->second->uid), entry) ||
                entry.localVersion != RecordVersion(*row->second))
                return Outcome::Conflict;
        }
        ok = ListStore::DeleteChecklist(current.list.id);
    }
    else
        ok = CountFromItems(current.item.listId) && ItemRecord::DeleteItemById(current.item.id) &&
             ListStore::AdjustListCounts(current.item.listId, -1, current.item.checked == 0 ? -1 : 0);
    if (!ok || !SyncStatus::Drop(uid) || !tx.Commit())
        return Fail("could not delete what the server deleted"), Outcome::Failed;
    Counted();
    return Outcome::Ok;
}

bool StoreSide::LoadStatus(std::map<std::string, StatusEntry>& entries, std::string& token)
{
    return SyncStatus::Load(m_url, entries, token) || Fail("could not read the sync status");
}

bool StoreSide::SaveStatus(const StatusEntry& entry)
{
    return SyncStatus::Save(entry) || Fail("could not save the sync status");
}

bool StoreSide::SaveStatuses(const std::vector<StatusEntry>& entries)
{
    return SyncStatus::SaveAll(entries) || Fail("could not save the sync status");
}

bool StoreSide::DropStatus(const std::string& uid)
{
    return SyncStatus::Drop(uid) || Fail("could not save the sync status");
}

bool StoreSide::SaveToken(const std::string& token)
{
    return SyncStatus::SaveToken(m_url, token) || Fail("could not save the sync status");
}
}
