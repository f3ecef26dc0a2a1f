#ifndef TALLYARD_STORE_LISTSTORE_H
#define TALLYARD_STORE_LISTSTORE_H

// Records and collections of the three databases, each with its own load,
// save and delete operations. No wxWidgets here; strings are UTF-16.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// Which items LoadItems keeps. Any other value behaves as FilterAll.
enum ItemFilter : int
{
    FilterAll = 0,
    FilterChecked = 1,
    FilterUnchecked = 2
};

struct CategoryRecord
{
    std::u16string name;
    int16_t order = 0;
};

class CategoryList : public std::vector<CategoryRecord>
{
public:
    /// Reads every category, ordered by ascending order (stable).
    bool LoadCategories();
    /// Replaces the stored categories by this list, in one transaction.
    bool SaveCategories() const;
};

struct ItemRecord
{
    int32_t id = 0;
    int32_t listId = 0;
    std::u16string details;
    std::u16string name;
    int16_t position = 0;
    int16_t checked = 0;
    int16_t priority = 0;

    bool LoadItem(int32_t itemId);
    /// Updates the record with this id or adds it (id 0 gets a fresh id).
    bool SaveItem();
    bool DeleteItem();
    static bool DeleteItemById(int32_t itemId);
};

using ItemArray = std::vector<ItemRecord>;

struct ListRecord
{
    std::u16string note;
    int32_t id = 0;
    std::u16string name;
    int16_t itemCount = 0;
    int16_t uncheckedCount = 0;
    int16_t position = 0;
    std::u16string category;
    ItemArray items;

    bool LoadList(int32_t listId);
    bool SaveList();
    bool DeleteList();
    static bool DeleteListById(int32_t listId);

    bool LoadItems(ItemFilter filter);
    /// 0 keeps positions, 1 sorts by name, 2 by priority; always true.
    bool LoadItemsSorted(int order);
    void SortItemsByName();
    void SortItemsByPriority();
};

class ListArray : public std::vector<ListRecord>
{
public:
    int16_t totalCount = 0;

    /// "All" or an empty name loads every checklist.
    bool LoadLists(const std::u16string& category);
    bool SortListsByName();
    bool SortListsByItemsLeft();
};

namespace ListStore
{
/// True when all three databases exist afterwards.
bool CreateDatabases();

/// The two messages the store shows itself go through this hook; the
/// program installs its message box, tests capture the text and caption.
using MessageHook = std::function<void(const std::u16string& text, const std::u16string& caption)>;
void SetMessageHook(MessageHook hook);
}

#endif
