#ifndef TALLYARD_STORE_LISTSTORE_H
#define TALLYARD_STORE_LISTSTORE_H

// Records and collections of the three databases, each with its own load,
// save and delete operations. No wxWidgets here; strings are UTF-16.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ObjectStore
{
class Transaction;
}

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
    /// 0 keeps positions, 1 sorts by name, 2 by priority. False only when
    /// the sorted positions could not be saved.
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
    /// Fills every checklist's items as LoadItems(FilterAll) would, from
    /// one pass over the items. `others`, when given, takes the number of
    /// items whose checklist is not in this array.
    bool LoadAllItems(size_t* others = nullptr);
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

/// A compound change that lands whole or not at all. Nests: only the
/// outermost one commits. Every store operation inside it that fails marks
/// it failed; Commit() then rolls back and returns false. Destroyed without
/// Commit() it rolls back.
class Transaction
{
public:
    Transaction();
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool Commit();

private:
    bool m_active = false;
    std::unique_ptr<ObjectStore::Transaction> m_transaction;
};

/// Why the last store operation failed, for the user ("" after none).
std::u16string LastError();
/// True when the store can only be read (read-only file or folder).
bool IsReadOnly();

/// Called once for every change the store file refused (read-only, damaged,
/// locked, an I/O error, a full disk), with the reason; the change did not
/// land. The program installs a notice, so no edit is dropped silently.
using WriteFailureHook = std::function<void(const std::u16string& reason)>;
void SetWriteFailureHook(WriteFailureHook hook);

// The compound changes of the program, each atomic.

/// Deletes every item of the checklist, then the checklist. False (and
/// nothing changed) when the checklist is not stored or a step fails.
bool DeleteChecklist(int32_t listId);

/// Copies the items of checklist `sourceId` that pass `filter` into a new
/// checklist named `name`, filed under `category` at `position`, with the
/// counts of what was copied. On success `copy` holds the new checklist
/// (id set, items filled).
bool CopyChecklist(int32_t sourceId, ItemFilter filter, const std::u16string& name, const std::u16string& category,
                   int16_t position, ListRecord& copy);

/// Bulk changes over every item of `list` whatever filter is shown: each
/// loads all items into list.items, changes them, keeps itemCount and
/// uncheckedCount and saves the checklist.
bool UncheckAll(ListRecord& list);
bool CheckAll(ListRecord& list);
bool InvertChecks(ListRecord& list);
/// Deletes the checked items.
bool PurgeChecked(ListRecord& list);

// Changes of one thing of a stored record: each reads the record afresh by
// id and changes only that thing, as one change. False, with nothing
// stored, when the record is not stored or the change does not land.

/// Lets `change` alter checklist `listId` as stored and saves it (not when
/// `change` returns false). `stored`, when given, takes the saved fields.
bool ChangeList(int32_t listId, const std::function<bool(ListRecord&)>& change, ListRecord* stored = nullptr);
bool SetListName(int32_t listId, const std::u16string& name);
bool SetListNote(int32_t listId, const std::u16string& note);
bool SetListCategory(int32_t listId, const std::u16string& category);
/// Moves the stored itemCount and uncheckedCount by these amounts; refused
/// when a count would not fit its 16 bits.
bool AdjustListCounts(int32_t listId, int items, int unchecked, ListRecord* stored = nullptr);
/// Whether the stored counts of the checklist can take `count` more items;
/// when not, the change is refused with the usual notice.
bool HasRoomForItems(int32_t listId, int count);
/// Gives each checklist (by id) its new position.
bool SetListPositions(const std::vector<std::pair<int32_t, int16_t>>& positions);
/// Sets the stored item's checked state and moves its checklist's
/// uncheckedCount with it (not when the item already had that state).
bool SetItemChecked(int32_t itemId, bool checked);
/// Deletes the item and lowers its checklist's counts as its stored state
/// says.
bool DeleteItemCounted(int32_t itemId);
/// Where a new item of the checklist goes: after the highest stored
/// position (0 for an empty checklist).
int16_t NextItemPosition(int32_t listId);

/// Add checklists (or items, each naming its checklist) that are not stored
/// yet, each under a fresh id that is set in the record, through one handle:
/// for imports of many records. Counts are stored as given. Join the
/// caller's transaction; on failure the ids set are not to be used.
bool AddLists(std::vector<ListRecord>& lists);
bool AddItems(ItemArray& items);

/// Re-files every checklist whose category is exactly `from` under `to`
/// ("All" as `from` moves only checklists filed under "All").
bool MoveCategoryLists(const std::u16string& from, const std::u16string& to);
}

#endif
