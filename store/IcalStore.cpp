#include "store/IcalStore.h"

#include "store/StoreDetail.h"

#include "platform/Random.h"

#include <cstring>
#include <ctime>
#include <set>
#include <utility>

using namespace StoreDetail;
using ObjectStore::Property;
using ObjectStore::PropertyList;

namespace
{
const std::u16string IcalDb = u"KvTyIcal";

// Rows: kind, record id, UID, kept lines, LAST-MODIFIED, fingerprint.
constexpr uint16_t RowKind = 0, RowId = 1, RowUid = 2, RowKept = 3, RowModified = 4, RowFingerprint = 5;
constexpr uint32_t RowIdSort = ObjectStore::MakePropId(RowId, ObjectStore::TypeInt32);
constexpr uint32_t RowUidSort = ObjectStore::MakePropId(RowUid, ObjectStore::TypeString);

IcalStore::Extra FromProps(const PropertyList& props)
{
    IcalStore::Extra e;
    e.kind = IcalStore::Kind(NumberOf(props, RowKind));
    e.id = NumberOf(props, RowId);
    e.uid = TextOf(props, RowUid);
    e.kept = TextOf(props, RowKept);
    e.lastModified = TextOf(props, RowModified);
    e.fingerprint = TextOf(props, RowFingerprint);
    return e;
}

// Takes the texts of `e` (a list made from braces would copy them).
PropertyList ToProps(IcalStore::Extra e)
{
    PropertyList props;
    props.reserve(6);
    props.push_back(Property::Int16(RowKind, int16_t(e.kind)));
    props.push_back(Property::Int32(RowId, e.id));
    props.push_back(Property::String(RowUid, std::move(e.uid)));
    props.push_back(Property::String(RowKept, std::move(e.kept)));
    props.push_back(Property::String(RowModified, std::move(e.lastModified)));
    props.push_back(Property::String(RowFingerprint, std::move(e.fingerprint)));
    return props;
}

// The database is made on the first write; stores from before have none.
bool OpenRows(ObjectStore::Database& db, uint32_t sort, bool create)
{
    if (db.Open(IcalDb, sort))
        return true;
    if (!create || ObjectStore::DatabaseExists(IcalDb))
        return false;
    return ObjectStore::CreateDatabase(IcalDb, 0, {{RowIdSort, 0}, {RowUidSort, 0}}) && db.Open(IcalDb, sort);
}

// Leaves `db` (opened on record ids) on the row of (kind, id).
bool SeekRow(ObjectStore::Database& db, IcalStore::Kind kind, int32_t id)
{
    for (bool more = db.SeekValue(Property::Int32(RowId, id)); more; more = db.SeekNextEqual())
    {
        PropertyList props;
        if (db.Read({ObjectStore::MakePropId(RowKind, ObjectStore::TypeInt16)}, props) &&
            NumberOf(props, RowKind) == int32_t(kind))
            return true;
    }
    return false;
}

// Ids of every record of one database (ident 0 is the id in both).
bool ReadIds(const std::u16string& database, std::vector<int32_t>& ids)
{
    ObjectStore::Database db;
    if (!db.Open(database))
        return false;
    for (bool more = db.SeekFirst(); more; more = db.SeekNext())
    {
        PropertyList props;
        if (!db.Read({ObjectStore::MakePropId(0, ObjectStore::TypeInt32)}, props))
            return false;
        ids.push_back(NumberOf(props, 0));
    }
    return true;
}
}

namespace IcalStore
{
bool Load(Kind kind, int32_t id, Extra& extra)
{
    ObjectStore::Database db;
    PropertyList props;
    if (!OpenRows(db, RowIdSort, false) || !SeekRow(db, kind, id) || !db.Read(props))
        return false;
    extra = FromProps(props);
    return true;
}

bool FindUid(const std::u16string& uid, Extra& extra)
{
    ObjectStore::Database db;
    PropertyList props;
    if (uid.empty() || !OpenRows(db, RowUidSort, false) || !db.SeekValue(Property::String(RowUid, uid)) ||
        !db.Read(props))
        return false;
    extra = FromProps(props);
    return true;
}

bool Save(const Extra& extra)
{
    if (extra.uid.empty())
        return Result(false);
    ObjectStore::Transaction tx;
    ObjectStore::Database byUid;
    if (!OpenRows(byUid, RowUidSort, true))
        return Result(false);
    for (bool more = byUid.SeekValue(Property::String(RowUid, extra.uid)); more; more = byUid.SeekNextEqual())
    {
        PropertyList props;
        if (!byUid.Read(props))
            return Result(false);
        const Extra other = FromProps(props);
        if (other.kind != extra.kind || other.id != extra.id)
            return Result(false);
    }
    ObjectStore::Database byId;
    if (!OpenRows(byId, RowIdSort, true))
        return Result(false);
    const bool ok = SeekRow(byId, extra.kind, extra.id) ? byId.Write(ToProps(extra)) : byId.Add(ToProps(extra));
    return Result(ok && tx.Commit());
}

bool AddRows(std::vector<Extra> extras)
{
    if (extras.empty())
        return true;
    ObjectStore::Transaction tx;
    ObjectStore::Database db;
    if (!OpenRows(db, ObjectStore::NoSortOrder, true))
        return Result(false);
    std::vector<PropertyList> records;
    records.reserve(extras.size());
    for (Extra& row : extras)
    {
        if (row.uid.empty())
            return Result(false);
        records.push_back(ToProps(std::move(row)));
    }
    return Result(db.AddAll(records) && tx.Commit());
}

bool Remove(Kind kind, int32_t id)
{
    ObjectStore::Database db;
    if (!OpenRows(db, RowIdSort, false) || !SeekRow(db, kind, id))
        return true;
    const ObjectStore::ObjectId oid = db.CurrentObjectId();
    return Result(oid != 0 && db.Delete(oid));
}

bool Touch(Kind kind, int32_t id)
{
    ObjectStore::Database db;
    PropertyList props;
    if (!OpenRows(db, RowIdSort, false) || !SeekRow(db, kind, id))
        return true;
    if (!db.Read(props))
        return Result(false);
    Extra extra = FromProps(props);
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char text[20];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &tm);
    extra.lastModified = std::u16string(text, text + std::strlen(text));
    extra.fingerprint.clear();
    return Result(db.Write(ToProps(extra)));
}

bool LoadAll(std::vector<Extra>& extras)
{
    extras.clear();
    ObjectStore::Database db;
    if (!OpenRows(db, ObjectStore::NoSortOrder, false))
        return !ObjectStore::DatabaseExists(IcalDb);
    for (bool more = db.SeekFirst(); more; more = db.SeekNext())
    {
        PropertyList props;
        if (!db.Read(props))
            return false;
        extras.push_back(FromProps(props));
    }
    return true;
}

bool EnsureUids()
{
    std::vector<int32_t> lists, items;
    std::vector<Extra> rows;
    if (!ReadIds(ChecklistsDb, lists) || !ReadIds(ItemsDb, items) || !LoadAll(rows))
        return false;
    std::set<std::pair<int, int32_t>> have;
    for (const Extra& row : rows)
        have.emplace(int(row.kind), row.id);
    std::vector<Extra> missing;
    for (int32_t id : lists)
        if (!have.count({int(Kind::Checklist), id}))
            missing.push_back({Kind::Checklist, id, NewUid(), {}, {}, {}});
    for (int32_t id : items)
        if (!have.count({int(Kind::Item), id}))
            missing.push_back({Kind::Item, id, NewUid(), {}, {}, {}});
    if (missing.empty())
        return true;
    ObjectStore::Transaction tx;
    ObjectStore::Database db;
    if (!OpenRows(db, ObjectStore::NoSortOrder, true))
        return Result(false);
    std::vector<PropertyList> records;
    records.reserve(missing.size());
    for (Extra& row : missing)
        records.push_back(ToProps(std::move(row)));
    return Result(db.AddAll(records) && tx.Commit());
}

std::u16string NewUid()
{
    uint32_t words[4];
    for (uint32_t& w : words)
        w = Random::Next32();
    words[1] = (words[1] & 0xFFFF0FFFu) | 0x00004000u; // version 4
    words[2] = (words[2] & 0x3FFFFFFFu) | 0x80000000u; // RFC 4122 variant
    static const char16_t hex[] = u"0123456789abcdef";
    std::u16string uid;
    for (int i = 0; i < 32; ++i)
    {
        if (i == 8 || i == 12 || i == 16 || i == 20)
            uid.push_back(u'-');
        uid.push_back(hex[(words[i / 8] >> (28 - 4 * (i % 8))) & 0xF]);
    }
    return uid;
}
}
