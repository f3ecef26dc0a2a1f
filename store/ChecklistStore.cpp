#include "store/ListStore.h"
#include "store/IcalStore.h"
#include "store/StoreDetail.h"

#include <algorithm>
#include <climits>

using namespace StoreDetail;
using ObjectStore::Property;
using ObjectStore::PropertyList;

bool ListRecord::LoadList(int32_t listId)
{
    if (listId == 0)
        return Result(false);
    ObjectStore::Database db;
    PropertyList props;
    if (!db.Open(ChecklistsDb, ListIdSort) || !db.SeekValue(Property::Int32(ListId, listId)) || !db.Read(props))
        return Result(false);
    ListFromProps(props, *this);
    id = listId;
    return true;
}

bool ListRecord::SaveList()
{
    PropertyList props = ListProps(*this);
    // The lookup and the write form one transaction, so no other instance
    // can add the same id in between.
    ObjectStore::Transaction tx;
    ObjectStore::Database db;
    if (!db.Open(ChecklistsDb, ListIdSort))
        return Result(false);
    if (db.SeekValue(Property::Int32(ListId, id)))
    {
        // Counts are no field of its own in iCalendar: changing them alone
        // leaves the checklist's change time.
        PropertyList was;
        ListRecord old;
        if (!db.Read(was))
            return Result(false);
        ListFromProps(was, old);
        const bool changed =
            old.name != name || old.note != note || old.category != category || old.position != position;
        return Result(db.Write(props) && (!changed || IcalStore::Touch(IcalStore::Kind::Checklist, id)) &&
                      tx.Commit());
    }

    const int32_t oldId = id;
    if (id == 0)
        id = NewId(db);
    props.push_back(Property::Int32(ListId, id));
    if (id != 0 && db.Add(props) && tx.Commit())
        return true;
    id = oldId;
    return Result(false);
}

bool ListStore::AddLists(std::vector<ListRecord>& lists)
{
    return AddWithNewIds(ChecklistsDb, ListIdSort, lists, [](const ListRecord& list, int32_t id) {
        PropertyList props = ListProps(list);
        props.push_back(Property::Int32(ListId, id));
        return std::optional<PropertyList>(std::move(props));
    });
}

bool ListRecord::DeleteListById(int32_t listId)
{
    if (listId == 0)
        return Result(false);
    // The record and its UID row go together.
    ObjectStore::Transaction tx;
    ObjectStore::Database db;
    if (!db.Open(ChecklistsDb, ListIdSort) || !db.SeekValue(Property::Int32(ListId, listId)))
        return Result(false);
    const ObjectStore::ObjectId oid = db.CurrentObjectId();
    return Result(oid != 0 && db.Delete(oid) && IcalStore::Remove(IcalStore::Kind::Checklist, listId) && tx.Commit());
}

bool ListRecord::DeleteList()
{
    return DeleteListById(id);
}

bool ListArray::LoadLists(const std::u16string& category)
{
    const bool every = category.empty() || category == u"All";
    ObjectStore::Database db;
    uint32_t count = 0;
    if (!db.Open(ChecklistsDb, ListPositionSort) || !db.Count(count))
        return Result(false);
    totalCount = int16_t(std::min<uint32_t>(count, INT16_MAX));
    clear();
    // The scan reads each whole record at once; ids are unique, so this is
    // what loading each one again by its id would give.
    for (bool more = db.SeekFirst(); more; more = db.SeekNext())
    {
        PropertyList props;
        if (!db.Read(props))
            continue;
        if (!every && TextOf(props, ListCategory) != category)
            continue;
        ListRecord record;
        ListFromProps(props, record);
        record.id = NumberOf(props, ListId);
        push_back(std::move(record));
    }
    std::stable_sort(begin(), end(), [](const ListRecord& a, const ListRecord& b) { return a.position < b.position; });
    return true;
}

namespace
{
// Rewrites positions 0..n-1 in array order as one change, saving the
// entries whose position moves. False when it could not be saved (nothing
// is then changed), so a sort that did not land is not reported as done;
// one with nothing to write is done.
bool SavePositions(ListArray& lists)
{
    if (!FitPositions(lists.size(), "More than 32,768 checklists cannot be numbered in order."))
        return false;
    ListStore::Transaction tx;
    for (size_t i = 0; i < lists.size(); ++i)
    {
        if (lists[i].position == int16_t(i))
            continue;
        lists[i].position = int16_t(i);
        lists[i].SaveList();
    }
    return tx.Commit();
}
}

bool ListArray::SortListsByName()
{
    std::stable_sort(begin(), end(), [](const ListRecord& a, const ListRecord& b) { return a.name < b.name; });
    return SavePositions(*this);
}

bool ListArray::SortListsByItemsLeft()
{
    std::stable_sort(begin(), end(),
                     [](const ListRecord& a, const ListRecord& b) { return a.uncheckedCount > b.uncheckedCount; });
    return SavePositions(*this);
}
