#include "store/ListStore.h"
#include "store/IcalStore.h"
#include "store/StoreDetail.h"

#include <algorithm>
#include <unordered_map>

using namespace StoreDetail;
using ObjectStore::Property;
using ObjectStore::PropertyList;

bool ItemRecord::LoadItem(int32_t itemId)
{
    ObjectStore::Database db;
    PropertyList props;
    if (!db.Open(ItemsDb, ItemIdSort) || !db.SeekValue(Property::Int32(ItemId, itemId)) || !db.Read(props))
        return Result(false);
    ItemFromProps(props, *this);
    id = itemId;
    return true;
}

bool ItemRecord::SaveItem()
{
    if (listId == 0)
    {
        ShowMessage(u"The checklist ID was not set Ixel!", u"");
        return Result(false);
    }
    PropertyList props = ItemProps(*this);
    ObjectStore::Transaction tx;
    ObjectStore::Database db;
    if (!db.Open(ItemsDb, ItemIdSort))
        return Result(false);
    // An existing record keeps the checklist it was added to.
    if (db.SeekValue(Property::Int32(ItemId, id)))
    {
        PropertyList was;
        ItemRecord old;
        if (!db.Read(was))
            return Result(false);
        ItemFromProps(was, old);
        const bool changed = old.name != name || old.details != details || old.position != position ||
                             (old.checked != 0) != (checked != 0) || old.priority != priority;
        return Result(db.Write(props) && (!changed || IcalStore::Touch(IcalStore::Kind::Item, id)) && tx.Commit());
    }

    const int32_t oldId = id;
    if (id == 0)
        id = NewId(db);
    props.push_back(Property::Int32(ItemListId, listId));
    props.push_back(Property::Int32(ItemId, id));
    if (id != 0 && db.Add(props) && tx.Commit())
        return true;
    id = oldId;
    return Result(false);
}

bool ListStore::AddItems(ItemArray& items)
{
    return AddWithNewIds(ItemsDb, ItemIdSort, items, [](const ItemRecord& item, int32_t id) {
        if (item.listId == 0)
            return std::optional<PropertyList>();
        PropertyList props = ItemProps(item);
        props.push_back(Property::Int32(ItemListId, item.listId));
        props.push_back(Property::Int32(ItemId, id));
        return std::optional<PropertyList>(std::move(props));
    });
}

bool ItemRecord::DeleteItemById(int32_t itemId)
{
    ObjectStore::Transaction tx;
    ObjectStore::Database db;
    if (!db.Open(ItemsDb, ItemIdSort) || !db.SeekValue(Property::Int32(ItemId, itemId)))
        return Result(false);
    const ObjectStore::ObjectId oid = db.CurrentObjectId();
    return Result(oid != 0 && db.Delete(oid) && IcalStore::Remove(IcalStore::Kind::Item, itemId) && tx.Commit());
}

bool ItemRecord::DeleteItem()
{
    return DeleteItemById(id);
}

bool ListRecord::LoadItems(ItemFilter filter)
{
    items.clear();
    ObjectStore::Database db;
    if (!db.Open(ItemsDb, ItemListIdSort))
        return Result(false);
    // Each record is read whole from this scan; ids are unique, so this is
    // what loading each one again by its id would give.
    for (bool more = db.SeekValue(Property::Int32(ItemListId, id)); more; more = db.SeekNextEqual())
    {
        PropertyList props;
        if (!db.Read(props))
            continue;
        ItemRecord item;
        ItemFromProps(props, item);
        item.id = NumberOf(props, ItemId);
        const bool isChecked = item.checked != 0;
        if ((filter == FilterChecked && !isChecked) || (filter == FilterUnchecked && isChecked))
            continue;
        items.push_back(std::move(item));
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const ItemRecord& a, const ItemRecord& b) { return a.position < b.position; });
    return true;
}

bool ListArray::LoadAllItems(size_t* others)
{
    std::unordered_map<int32_t, ListRecord*> byId;
    for (ListRecord& list : *this)
    {
        list.items.clear();
        byId.emplace(list.id, &list);
    }
    if (others)
        *others = 0;
    ObjectStore::Database db;
    if (!db.Open(ItemsDb, ItemListIdSort))
        return Result(false);
    // In the order of (checklist, addition), as each checklist's own scan.
    for (bool more = db.SeekFirst(); more; more = db.SeekNext())
    {
        PropertyList props;
        if (!db.Read(props))
            continue;
        auto it = byId.find(NumberOf(props, ItemListId));
        if (it == byId.end())
        {
            if (others)
                ++*others;
            continue;
        }
        ItemRecord item;
        ItemFromProps(props, item);
        item.id = NumberOf(props, ItemId);
        it->second->items.push_back(std::move(item));
    }
    for (ListRecord& list : *this)
        std::stable_sort(list.items.begin(), list.items.end(),
                         [](const ItemRecord& a, const ItemRecord& b) { return a.position < b.position; });
    return true;
}

namespace
{
// False when the new positions could not be saved (nothing is then changed);
// only the items whose position moves are written.
bool SaveItemPositions(ItemArray& items)
{
    if (!FitPositions(items.size(), "More than 32,768 items cannot be numbered in order."))
        return false;
    ListStore::Transaction tx;
    for (size_t i = 0; i < items.size(); ++i)
    {
        if (items[i].position == int16_t(i))
            continue;
        items[i].position = int16_t(i);
        items[i].SaveItem();
    }
    return tx.Commit();
}

bool SortByName(ItemArray& items)
{
    std::stable_sort(items.begin(), items.end(), [](const ItemRecord& a, const ItemRecord& b) { return a.name < b.name; });
    return SaveItemPositions(items);
}

bool SortByPriority(ItemArray& items)
{
    std::stable_sort(items.begin(), items.end(),
                     [](const ItemRecord& a, const ItemRecord& b) { return a.priority < b.priority; });
    return SaveItemPositions(items);
}
}

bool ListRecord::LoadItemsSorted(int order)
{
    LoadItems(FilterAll);
    if (order == 1)
        return SortByName(items);
    if (order == 2)
        return SortByPriority(items);
    return true;
}

void ListRecord::SortItemsByName()
{
    SortByName(items);
}

void ListRecord::SortItemsByPriority()
{
    SortByPriority(items);
}
