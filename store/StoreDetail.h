#ifndef TALLYARD_STORE_STOREDETAIL_H
#define TALLYARD_STORE_STOREDETAIL_H

// Database names, property idents and helpers shared by the store's files.

#include "platform/ObjectStore.h"
#include "store/ListStore.h"

#include <optional>
#include <string>
#include <vector>

namespace StoreDetail
{
inline const std::u16string CategoriesDb = u"KvTyCategories";
inline const std::u16string ChecklistsDb = u"KvTyChecklists";
inline const std::u16string ItemsDb = u"KvTyItems";

using ObjectStore::MakePropId;
using ObjectStore::TypeInt16;
using ObjectStore::TypeInt32;
using ObjectStore::TypeString;

// Categories: name, order.
constexpr uint16_t CatName = 0, CatOrder = 1;
constexpr uint32_t CatOrderSort = MakePropId(CatOrder, TypeInt16);

// Checklists: id, name, category, position, itemCount, uncheckedCount, note.
constexpr uint16_t ListId = 0, ListName = 1, ListCategory = 2, ListPosition = 3, ListItemCount = 4,
                   ListUnchecked = 5, ListNote = 6;
constexpr uint32_t ListPositionSort = MakePropId(ListPosition, TypeInt16);
constexpr uint32_t ListIdSort = MakePropId(ListId, TypeInt32);

// Items: id, listId, name, details, priority, position, checked.
constexpr uint16_t ItemId = 0, ItemListId = 1, ItemName = 2, ItemDetails = 3, ItemPriority = 4, ItemPosition = 5,
                   ItemChecked = 6;
constexpr uint32_t ItemIdSort = MakePropId(ItemId, TypeInt32);
constexpr uint32_t ItemListIdSort = MakePropId(ItemListId, TypeInt32);

/// Passes `ok` through; a failure marks the transaction in progress failed.
bool Result(bool ok);

/// Refuses the change in progress for `reason`, as a refusal of the file is
/// refused and reported. Always false.
bool Refuse(const char* reason);
/// Stores `value` in `out` when it fits a 16-bit field; otherwise refuses
/// the change (nothing is stored wrapped).
bool FitCount(int value, int16_t& out);
/// Positions 0 to count - 1 fit a 16-bit field; otherwise refuses.
bool FitPositions(size_t count, const char* what);

int32_t NumberOf(const ObjectStore::PropertyList& props, uint16_t ident);
std::u16string TextOf(const ObjectStore::PropertyList& props, uint16_t ident);

void ListFromProps(const ObjectStore::PropertyList& props, ListRecord& list);
void ItemFromProps(const ObjectStore::PropertyList& props, ItemRecord& item);
/// A record's stored fields without its ids, with room for them.
ObjectStore::PropertyList ListProps(const ListRecord& list);
ObjectStore::PropertyList ItemProps(const ItemRecord& item);

/// A random id that no record of the handle's database (opened on its id
/// sort order, ident 0) carries yet; 0 when none could be found.
int32_t NewId(ObjectStore::Database& byId);
/// `count` such ids at once, none twice: for many new records of a small
/// database the stored ids are read once instead of looked up each time.
bool NewIds(ObjectStore::Database& byId, size_t count, std::vector<int32_t>& ids);

/// Adds `records` to the database `name` (its id sort order `idSort`) in
/// one transaction, under fresh ids that they take once it is done;
/// `propsOf(record, id)` gives a record's properties, ids included, or
/// nullopt to refuse the whole.
template <class Record, class PropsOf>
bool AddWithNewIds(const std::u16string& name, uint32_t idSort, std::vector<Record>& records, PropsOf propsOf)
{
    if (records.empty())
        return true;
    ObjectStore::Transaction tx;
    ObjectStore::Database db;
    std::vector<int32_t> ids;
    if (!db.Open(name, idSort) || !NewIds(db, records.size(), ids))
        return Result(false);
    std::vector<ObjectStore::PropertyList> all;
    all.reserve(records.size());
    for (size_t k = 0; k < records.size(); ++k)
    {
        std::optional<ObjectStore::PropertyList> props = propsOf(records[k], ids[k]);
        if (!props)
            return Result(false);
        all.push_back(std::move(*props));
    }
    if (!db.AddAll(all))
        return Result(false);
    for (size_t k = 0; k < records.size(); ++k)
        records[k].id = ids[k];
    return Result(tx.Commit());
}

/// Shows a message through the installed hook.
void ShowMessage(const std::u16string& text, const std::u16string& caption);

std::u16string FromUtf8(const std::string& text);
}

#endif
