#include "sync/SyncStatus.h"

#include "platform/ObjectStore.h"
#include "sync/IcalText.h"

using ObjectStore::Property;
using ObjectStore::PropertyList;

namespace
{
const std::u16string StatusDb = u"KvTySync";

// Rows: kind (entry or the collection's row), UID, href, etag, version, text,
// sent. The collection's row keeps its URL in `href` and the token in `etag`.
constexpr uint16_t RowKind = 0, RowUid = 1, RowHref = 2, RowEtag = 3, RowVersion = 4, RowText = 5, RowSent = 6;
constexpr int16_t KindEntry = 1, KindCollection = 2;
constexpr uint32_t RowUidSort = ObjectStore::MakePropId(RowUid, ObjectStore::TypeString);

std::u16string U16(const std::string& text) { return IcalText::FromUtf8(text); }
std::string U8(const std::u16string& text) { return IcalText::ToUtf8(text); }

std::string TextOf(const PropertyList& props, uint16_t ident)
{
    const Property* p = ObjectStore::FindProp(props, ident);
    return p ? U8(p->text) : std::string();
}

int NumberOf(const PropertyList& props, uint16_t ident)
{
    const Property* p = ObjectStore::FindProp(props, ident);
    return p ? p->number : 0;
}

PropertyList ToProps(int16_t kind, const Sync::StatusEntry& e)
{
    return {Property::Int16(RowKind, kind),          Property::String(RowUid, U16(e.uid)),
            Property::String(RowHref, U16(e.href)),  Property::String(RowEtag, U16(e.etag)),
            Property::String(RowVersion, U16(e.localVersion)), Property::String(RowText, U16(e.text)),
            Property::String(RowSent, U16(e.sent))};
}

Sync::StatusEntry FromProps(const PropertyList& props)
{
    return {TextOf(props, RowUid),     TextOf(props, RowHref), TextOf(props, RowEtag),
            TextOf(props, RowVersion), TextOf(props, RowText), TextOf(props, RowSent)};
}

bool Open(ObjectStore::Database& db, bool create)
{
    if (db.Open(StatusDb, RowUidSort))
        return true;
    if (!create || ObjectStore::DatabaseExists(StatusDb))
        return false;
    return ObjectStore::CreateDatabase(StatusDb, 0, {{RowUidSort, 0}}) && db.Open(StatusDb, RowUidSort);
}

/// Leaves `db` on the row of this kind and UID.
bool Seek(ObjectStore::Database& db, int16_t kind, const std::string& uid)
{
    for (bool more = db.SeekValue(Property::String(RowUid, U16(uid))); more; more = db.SeekNextEqual())
    {
        PropertyList props;
        if (db.Read({ObjectStore::MakePropId(RowKind, ObjectStore::TypeInt16)}, props) &&
            NumberOf(props, RowKind) == kind)
            return true;
    }
    return false;
}

bool Put(int16_t kind, const std::vector<Sync::StatusEntry>& entries)
{
    ObjectStore::Transaction tx;
    ObjectStore::Database db;
    if (!Open(db, true))
    {
        tx.MarkFailed();
        return false;
    }
    for (const Sync::StatusEntry& entry : entries)
        if (!(Seek(db, kind, entry.uid) ? db.Write(ToProps(kind, entry)) : db.Add(ToProps(kind, entry))))
        {
            tx.MarkFailed();
            break;
        }
    return tx.Commit();
}

bool Put(int16_t kind, const Sync::StatusEntry& entry) { return Put(kind, std::vector<Sync::StatusEntry>{entry}); }
}

namespace SyncStatus
{
bool Load(const std::string& url, std::map<std::string, Sync::StatusEntry>& entries, std::string& token)
{
    entries.clear();
    token.clear();
    ObjectStore::Database db;
    if (!Open(db, false))
        return !ObjectStore::DatabaseExists(StatusDb) && Put(KindCollection, {"", url, "", "", ""});
    std::string storedUrl;
    bool haveCollection = false;
    for (bool more = db.SeekFirst(); more; more = db.SeekNext())
    {
        PropertyList props;
        if (!db.Read(props))
            return false;
        if (NumberOf(props, RowKind) == KindCollection)
        {
            haveCollection = true;
            storedUrl = TextOf(props, RowHref);
            token = TextOf(props, RowEtag);
        }
        else
        {
            Sync::StatusEntry e = FromProps(props);
            entries[e.uid] = std::move(e);
        }
    }
    if (haveCollection && storedUrl == url)
        return true;
    // Another collection (or none recorded): what was synced there says
    // nothing about this one.
    entries.clear();
    token.clear();
    ObjectStore::Transaction tx;
    for (bool more = db.SeekFirst(); more; more = db.SeekNext())
    {
        ObjectStore::ObjectId oid = db.CurrentObjectId();
        if (oid == 0 || !db.Delete(oid))
        {
            tx.MarkFailed();
            return false;
        }
    }
    return Put(KindCollection, {"", url, "", "", ""}) && tx.Commit();
}

bool Save(const Sync::StatusEntry& entry) { return Put(KindEntry, entry); }

bool SaveAll(const std::vector<Sync::StatusEntry>& entries) { return Put(KindEntry, entries); }

bool Drop(const std::string& uid)
{
    ObjectStore::Database db;
    if (!Open(db, false) || !Seek(db, KindEntry, uid))
        return true;
    ObjectStore::ObjectId oid = db.CurrentObjectId();
    if (oid == 0 || !db.Delete(oid))
    {
        ObjectStore::MarkTransactionFailed();
        return false;
    }
    return true;
}

bool SaveToken(const std::string& url, const std::string& token) { return Put(KindCollection, {"", url, token, "", ""}); }

bool Find(const std::string& uid, Sync::StatusEntry& entry)
{
    ObjectStore::Database db;
    PropertyList props;
    if (!Open(db, false) || !Seek(db, KindEntry, uid) || !db.Read(props))
        return false;
    entry = FromProps(props);
    return true;
}
}
