#include "store/ListStore.h"
#include "store/StoreDetail.h"

#include <algorithm>

using StoreDetail::FitCount;
using StoreDetail::Result;

namespace
{
// Runs a change over every item of `list` as one transaction; on failure
// the store and `list` are left as they were.
template <typename Change>
bool ChangeAllItems(ListRecord& list, Change change)
{
    const ListRecord before = list;
    ListStore::Transaction tx;
    // The counts move from the stored ones, not from the caller's copy.
    if (list.LoadList(list.id) && list.LoadItems(FilterAll) && change() && list.SaveList() && tx.Commit())
        return true;
    list = before;
    return Result(false);
}
}

namespace ListStore
{
bool DeleteChecklist(int32_t listId)
{
    Transaction tx;
    ListRecord list;
    if (!list.LoadList(listId) || !list.LoadItems(FilterAll))
        return Result(false);
    for (ItemRecord& item : list.items)
    {
        if (!item.DeleteItem())
            return Result(false);
    }
    return Result(list.DeleteList() && tx.Commit());
}

bool CopyChecklist(int32_t sourceId, ItemFilter filter, const std::u16string& name, const std::u16string& category,
                   int16_t position, ListRecord& copy)
{
    Transaction tx;
    ListRecord source;
    ListRecord result;
    if (!source.LoadList(sourceId) || !source.LoadItems(filter))
        return Result(false);
    // Refused before anything is written: the counts could not hold it.
    if (!FitCount(int(source.items.size()), result.itemCount))
        return false;
    result.name = name;
    result.category = category;
    result.position = position;
    if (!result.SaveList())
        return Result(false);
    int unchecked = 0;
    for (const ItemRecord& item : source.items)
    {
        ItemRecord added = item;
        added.id = 0; // SaveItem draws a fresh id
        added.listId = result.id;
        if (!added.SaveItem())
            return Result(false);
        if (added.checked == 0)
            ++unchecked;
        result.items.push_back(std::move(added));
    }
    if (!FitCount(int(result.items.size()), result.itemCount) || !FitCount(unchecked, result.uncheckedCount) ||
        !result.SaveList() || !tx.Commit())
        return Result(false);
    copy = std::move(result);
    return true;
}

bool UncheckAll(ListRecord& list)
{
    return ChangeAllItems(list, [&] {
        int changed = 0;
        for (ItemRecord& item : list.items)
        {
            if (item.checked == 0)
                continue;
            item.checked = 0;
            if (!item.SaveItem())
                return false;
            ++changed;
        }
        return FitCount(list.uncheckedCount + changed, list.uncheckedCount);
    });
}

bool CheckAll(ListRecord& list)
{
    return ChangeAllItems(list, [&] {
        for (ItemRecord& item : list.items)
        {
            if (item.checked != 0)
                continue;
            item.checked = 1;
            if (!item.SaveItem())
                return false;
        }
        list.uncheckedCount = 0;
        return true;
    });
}

bool InvertChecks(ListRecord& list)
{
    return ChangeAllItems(list, [&] {
        for (ItemRecord& item : list.items)
        {
            // Any non-zero value counts as checked, so it becomes 0, not 1 - value.
            item.checked = item.checked != 0 ? 0 : 1;
            if (!item.SaveItem())
                return false;
        }
        return FitCount(list.itemCount - list.uncheckedCount, list.uncheckedCount);
    });
}

bool PurgeChecked(ListRecord& list)
{
    return ChangeAllItems(list, [&] {
        int deleted = 0;
        for (const ItemRecord& item : list.items)
        {
            if (item.checked == 0)
                continue;
            if (!item.DeleteItemById(item.id))
                return false;
            ++deleted;
        }
        list.items.erase(std::remove_if(list.items.begin(), list.items.end(),
                                        [](const ItemRecord& item) { return item.checked != 0; }),
                         list.items.end());
        return FitCount(list.itemCount - deleted, list.itemCount);
    });
}

bool MoveCategoryLists(const std::u16string& from, const std::u16string& to)
{
    Transaction tx;
    ListArray lists;
    if (!lists.LoadLists(from))
        return Result(false);
    for (ListRecord& list : lists)
    {
        if (list.category != from)
            continue;
        list.category = to;
        if (!list.SaveList())
            return Result(false);
    }
    return Result(tx.Commit());
}
}
