// Changes of one thing of a stored checklist or item. Each reads the record
// afresh by id inside its own change, so a window's older copy of the record
// (or another instance's change meanwhile) is never written back.
#include "store/ListStore.h"
#include "store/StoreDetail.h"

#include <algorithm>
#include <climits>

using StoreDetail::Result;

namespace ListStore
{
bool ChangeList(int32_t listId, const std::function<bool(ListRecord&)>& change, ListRecord* stored)
{
    Transaction tx;
    ListRecord list;
    if (!list.LoadList(listId) || !change(list) || !list.SaveList() || !tx.Commit())
        return Result(false);
    if (stored)
    {
        // The caller's items stay; only the stored fields are taken.
        ItemArray items = std::move(stored->items);
        *stored = std::move(list);
        stored->items = std::move(items);
    }
    return true;
}

bool SetListName(int32_t listId, const std::u16string& name)
{
    return ChangeList(listId, [&](ListRecord& list) {
        list.name = name;
        return true;
    });
}

bool SetListNote(int32_t listId, const std::u16string& note)
{
    return ChangeList(listId, [&](ListRecord& list) {
        list.note = note;
        return true;
    });
}

bool SetListCategory(int32_t listId, const std::u16string& category)
{
    return ChangeList(listId, [&](ListRecord& list) {
        list.category = category;
        return true;
    });
}

bool AdjustListCounts(int32_t listId, int items, int unchecked, ListRecord* stored)
{
    return ChangeList(
        listId,
        [&](ListRecord& list) {
            return StoreDetail::FitCount(list.itemCount + items, list.itemCount) &&
                   StoreDetail::FitCount(list.uncheckedCount + unchecked, list.uncheckedCount);
        },
        stored);
}

bool HasRoomForItems(int32_t listId, int count)
{
    ListRecord list;
    int16_t fits = 0;
    return !list.LoadList(listId) || StoreDetail::FitCount(list.itemCount + count, fits);
}

bool SetListPositions(const std::vector<std::pair<int32_t, int16_t>>& positions)
{
    Transaction tx;
    for (const auto& [id, position] : positions)
    {
        const int16_t to = position;
        if (!ChangeList(id, [to](ListRecord& list) {
                list.position = to;
                return true;
            }))
            return Result(false);
    }
    return Result(tx.Commit());
}

bool SetItemChecked(int32_t itemId, bool checked)
{
    Transaction tx;
    ItemRecord item;
    if (!item.LoadItem(itemId))
        return Result(false);
    // Already so in the store (another instance ticked it): nothing to count.
    if ((item.checked != 0) == checked)
        return Result(tx.Commit());
    item.checked = checked ? 1 : 0;
    return Result(item.SaveItem() && AdjustListCounts(item.listId, 0, checked ? -1 : 1) && tx.Commit());
}

bool DeleteItemCounted(int32_t itemId)
{
    Transaction tx;
    ItemRecord item;
    if (!item.LoadItem(itemId))
        return Result(false);
    return Result(item.DeleteItem() && AdjustListCounts(item.listId, -1, item.checked == 0 ? -1 : 0) &&
                  tx.Commit());
}

int16_t NextItemPosition(int32_t listId)
{
    ListRecord list;
    list.id = listId;
    if (!list.LoadItems(FilterAll) || list.items.empty())
        return 0;
    int highest = INT16_MIN;
    for (const ItemRecord& item : list.items)
        highest = std::max<int>(highest, item.position);
    // At the top of the range the new item ties with the last one and still
    // loads after it: equal positions keep the order the items were added.
    return int16_t(std::min(highest + 1, int(INT16_MAX)));
}
}
