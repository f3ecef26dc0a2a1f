#include "store/ListStore.h"
#include "store/StoreDetail.h"

#include "platform/Random.h"

#include <climits>
#include <cstdio>
#include <unordered_set>

using namespace StoreDetail;
using ObjectStore::Property;
using ObjectStore::PropertyList;

namespace
{
ListStore::MessageHook s_messageHook;

bool CreateOne(const std::u16string& name, const std::vector<ObjectStore::SortOrder>& sorts, bool& created)
{
    created = false;
    if (ObjectStore::DatabaseExists(name))
        return true;
    created = ObjectStore::CreateDatabase(name, 0, sorts);
    return created;
}
}

namespace StoreDetail
{
bool Result(bool ok)
{
    if (!ok)
        ObjectStore::MarkTransactionFailed();
    return ok;
}

bool Refuse(const char* reason)
{
    ObjectStore::RefuseChange(reason);
    return false;
}

bool FitCount(int value, int16_t& out)
{
    if (value < INT16_MIN || value > INT16_MAX)
        return Refuse("A checklist cannot hold more than 32,767 items.");
    out = int16_t(value);
    return true;
}

bool FitPositions(size_t count, const char* what)
{
    if (count <= size_t(INT16_MAX) + 1)
        return true;
    return Refuse(what);
}

int32_t NumberOf(const PropertyList& props, uint16_t ident)
{
    const Property* p = ObjectStore::FindProp(props, ident);
    return p ? p->number : 0;
}

std::u16string TextOf(const PropertyList& props, uint16_t ident)
{
    const Property* p = ObjectStore::FindProp(props, ident);
    return p ? p->text : std::u16string();
}

void ListFromProps(const PropertyList& props, ListRecord& list)
{
    list.category = TextOf(props, ListCategory);
    list.name = TextOf(props, ListName);
    list.position = int16_t(NumberOf(props, ListPosition));
    list.itemCount = int16_t(NumberOf(props, ListItemCount));
    list.uncheckedCount = int16_t(NumberOf(props, ListUnchecked));
    list.note = TextOf(props, ListNote);
}

void ItemFromProps(const PropertyList& props, ItemRecord& item)
{
    item.listId = NumberOf(props, ItemListId);
    item.checked = int16_t(NumberOf(props, ItemChecked));
    item.details = TextOf(props, ItemDetails);
    item.name = TextOf(props, ItemName);
    item.position = int16_t(NumberOf(props, ItemPosition));
    item.priority = int16_t(NumberOf(props, ItemPriority));
}

PropertyList ListProps(const ListRecord& list)
{
    PropertyList props;
    props.reserve(7);
    props = {Property::String(ListCategory, list.category), Property::String(ListName, list.name),
             Property::Int16(ListPosition, list.position),   Property::Int16(ListItemCount, list.itemCount),
             Property::Int16(ListUnchecked, list.uncheckedCount), Property::String(ListNote, list.note)};
    return props;
}

PropertyList ItemProps(const ItemRecord& item)
{
    PropertyList props;
    props.reserve(7);
    props = {Property::Int16(ItemChecked, item.checked), Property::String(ItemDetails, item.details),
             Property::String(ItemName, item.name), Property::Int16(ItemPosition, item.position),
             Property::Int16(ItemPriority, item.priority)};
    return props;
}

int32_t NewId(ObjectStore::Database& byId)
{
    // A collision would make a later save overwrite another record.
    for (int attempt = 0; attempt < 64; ++attempt)
    {
        const int32_t id = int32_t(Random::Next32());
        if (!byId.SeekValue(Property::Int32(0, id)))
            return id;
    }
    return 0;
}

bool NewIds(ObjectStore::Database& byId, size_t count, std::vector<int32_t>& ids)
{
    ids.clear();
    uint32_t stored = 0;
    if (!byId.Count(stored))
        return false;
    std::unordered_set<int32_t> taken;
    const bool readAll = stored <= count;
    for (bool more = readAll && byId.SeekFirst(); more; more = byId.SeekNext())
    {
        PropertyList props;
        if (!byId.Read({ObjectStore::MakePropId(0, ObjectStore::TypeInt32)}, props))
            return false;
        taken.insert(NumberOf(props, 0));
    }
    ids.reserve(count);
    for (size_t n = 0; n < count; ++n)
    {
        int32_t id = 0;
        for (int attempt = 0; attempt < 64 && id == 0; ++attempt)
        {
            const int32_t candidate = int32_t(Random::Next32());
            if (!taken.count(candidate) && (readAll || !byId.SeekValue(Property::Int32(0, candidate))))
                id = candidate;
        }
        if (id == 0)
            return false;
        taken.insert(id);
        ids.push_back(id);
    }
    return true;
}

void ShowMessage(const std::u16string& text, const std::u16string& caption)
{
    if (s_messageHook)
        s_messageHook(text, caption);
}

std::u16string FromUtf8(const std::string& text)
{
    std::u16string out;
    for (size_t i = 0; i < text.size();)
    {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        char32_t cp = len == 1 ? c : len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
        bool ok = len > 0 && i + size_t(len) <= text.size();
        for (int k = 1; ok && k < len; ++k)
        {
            const unsigned char cc = static_cast<unsigned char>(text[i + size_t(k)]);
            ok = (cc >> 6) == 2;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok)
        {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        i += size_t(len);
        if (cp >= 0x10000)
        {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        }
        else
            out.push_back(char16_t(cp));
    }
    return out;
}
}

namespace ListStore
{
bool CreateDatabases()
{
    using ObjectStore::DatabaseExists;
    // A complete store is left alone (it may be read-only).
    if (DatabaseExists(CategoriesDb) && DatabaseExists(ChecklistsDb) && DatabaseExists(ItemsDb))
        return true;

    // One transaction, so a second instance starting at the same moment
    // neither fails on nor doubles what this one creates.
    ObjectStore::Transaction tx;
    bool created = false;
    if (!CreateOne(CategoriesDb, {{CatOrderSort, 0}}, created))
        return false;
    if (created)
    {
        ObjectStore::Database db;
        if (db.Open(CategoriesDb))
        {
            db.Add({Property::String(CatName, u"Personal"), Property::Int16(CatOrder, 0)});
            db.Add({Property::String(CatName, u"Business"), Property::Int16(CatOrder, 1)});
        }
    }
    if (!CreateOne(ChecklistsDb, {{ListPositionSort, 0}, {ListIdSort, 0}}, created))
        return false;
    if (!CreateOne(ItemsDb, {{ItemIdSort, 0}, {ItemListIdSort, 0}}, created))
        return false;
    return tx.Commit();
}

void SetMessageHook(MessageHook hook)
{
    s_messageHook = std::move(hook);
}

Transaction::Transaction() : m_active(true), m_transaction(std::make_unique<ObjectStore::Transaction>())
{
}

Transaction::~Transaction() = default;

bool Transaction::Commit()
{
    if (!m_active)
        return false;
    m_active = false;
    return m_transaction->Commit();
}

std::u16string LastError()
{
    return FromUtf8(ObjectStore::LastError());
}

bool IsReadOnly()
{
    return ObjectStore::IsReadOnly();
}

void SetWriteFailureHook(WriteFailureHook hook)
{
    if (!hook)
    {
        ObjectStore::SetWriteFailureHook(nullptr);
        return;
    }
    ObjectStore::SetWriteFailureHook(
        [hook = std::move(hook)](const std::string& reason) { hook(FromUtf8(reason)); });
}
}
