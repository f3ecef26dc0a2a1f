// Records the changes of one transaction as an SQLite changeset, from the
// connection's pre-update hook. A session object would do the same, but it
// prepares a table-info query and a select per table for every transaction,
// which costs more than the tick it records; the hook hands over the old
// and new values at no cost. The changesets are applied, inverted and
// merged by the session extension itself.
#include "platform/UndoRecorder.h"

#include <cstring>

namespace ObjectStore::detail
{
namespace
{
// Value types of the changeset format.
constexpr char kUndefined = 0x00, kInteger = 0x01, kReal = 0x02, kText = 0x03, kBlob = 0x04, kNull = 0x05;

void PutVarint(std::string& out, uint64_t v)
{
    // SQLite's varint: big-endian groups of 7 bits, the high bit set on all
    // but the last; values below 2^56 need no 9-byte form.
    char buf[10];
    int n = 0;
    do
    {
        buf[n++] = char(v & 0x7F);
        v >>= 7;
    } while (v && n < 8);
    for (int i = n - 1; i >= 0; --i)
        out.push_back(char(buf[i] | (i > 0 ? 0x80 : 0)));
}

void PutBigEndian(std::string& out, uint64_t v)
{
    for (int shift = 56; shift >= 0; shift -= 8)
        out.push_back(char((v >> shift) & 0xFF));
}

void PutValue(std::string& out, sqlite3_value* value)
{
    switch (sqlite3_value_type(value))
    {
    case SQLITE_INTEGER:
        out.push_back(kInteger);
        PutBigEndian(out, uint64_t(sqlite3_value_int64(value)));
        break;
    case SQLITE_FLOAT:
    {
        out.push_back(kReal);
        const double d = sqlite3_value_double(value);
        uint64_t bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        PutBigEndian(out, bits);
        break;
    }
    case SQLITE_TEXT:
    {
        const auto* text = sqlite3_value_text(value);
        const int size = sqlite3_value_bytes(value);
        out.push_back(kText);
        PutVarint(out, uint64_t(size));
        out.append(reinterpret_cast<const char*>(text), size_t(size));
        break;
    }
    case SQLITE_BLOB:
    {
        const void* blob = sqlite3_value_blob(value);
        const int size = sqlite3_value_bytes(value);
        out.push_back(kBlob);
        PutVarint(out, uint64_t(size));
        if (size > 0)
            out.append(static_cast<const char*>(blob), size_t(size));
        break;
    }
    default:
        out.push_back(kNull);
        break;
    }
}

bool SameValue(sqlite3_value* a, sqlite3_value* b)
{
    const int type = sqlite3_value_type(a);
    if (type != sqlite3_value_type(b))
        return false;
    switch (type)
    {
    case SQLITE_INTEGER:
        return sqlite3_value_int64(a) == sqlite3_value_int64(b);
    case SQLITE_FLOAT:
        return sqlite3_value_double(a) == sqlite3_value_double(b);
    case SQLITE_TEXT:
    case SQLITE_BLOB:
    {
        const int size = sqlite3_value_bytes(a);
        return size == sqlite3_value_bytes(b) &&
               (size == 0 || std::memcmp(sqlite3_value_blob(a), sqlite3_value_blob(b), size_t(size)) == 0);
    }
    default:
        return true;
    }
}

void OnPreupdate(void* context, sqlite3* db, int op, const char* database, const char* table, sqlite3_int64,
                 sqlite3_int64)
{
    static_cast<UndoRecorder*>(context)->Record(db, op, database, table);
}
}

bool UndoRecorder::Recorded(const char* table)
{
    return std::strcmp(table, "catalog") != 0 && std::strncmp(table, "sqlite_", 7) != 0;
}

void UndoRecorder::Start(sqlite3* db)
{
    Clear();
    sqlite3_preupdate_hook(db, OnPreupdate, this);
}

void UndoRecorder::Stop(sqlite3* db)
{
    sqlite3_preupdate_hook(db, nullptr, nullptr);
    Clear();
}

void UndoRecorder::Clear()
{
    for (Table& t : m_tables)
        t.changes.clear();
    m_failed = false;
}

UndoRecorder::Table* UndoRecorder::FindTable(sqlite3* db, const char* name)
{
    for (Table& t : m_tables)
    {
        if (t.name == name)
            return &t;
    }
    Table table;
    table.name = name;
    sqlite3_stmt* stmt = nullptr;
    char* sql = sqlite3_mprintf("PRAGMA main.table_info(%Q)", name);
    const int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    sqlite3_free(sql);
    if (rc != SQLITE_OK)
        return nullptr;
    bool anyKey = false;
    while (sqlite3_step(stmt) == SQLITE_ROW)
    {
        const int pk = sqlite3_column_int(stmt, 5);
        table.keyOrder.push_back(char(pk));
        anyKey = anyKey || pk > 0;
    }
    sqlite3_finalize(stmt);
    // Like the session extension, tables without a primary key are left out.
    table.keyed = anyKey;
    m_tables.push_back(std::move(table));
    return &m_tables.back();
}

void UndoRecorder::Record(sqlite3* db, int op, const char* database, const char* table)
{
    if (std::strcmp(database, "main") != 0 || !Recorded(table) || m_failed)
        return;
    Table* t = FindTable(db, table);
    if (!t)
    {
        m_failed = true;
        return;
    }
    if (!t->keyed)
        return;
    const int columns = sqlite3_preupdate_count(db);
    if (columns != int(t->keyOrder.size()))
    {
        m_failed = true; // the table changed shape since it was read
        return;
    }
    std::string& out = t->changes;
    sqlite3_value* value = nullptr;
    const auto putAll = [&](bool old) {
        for (int i = 0; i < columns; ++i)
        {
            if ((old ? sqlite3_preupdate_old(db, i, &value) : sqlite3_preupdate_new(db, i, &value)) != SQLITE_OK)
            {
                m_failed = true;
                return;
            }
            PutValue(out, value);
        }
    };
    if (op == SQLITE_INSERT || op == SQLITE_DELETE)
    {
        out.push_back(char(op));
        out.push_back(0); // direct
        putAll(op == SQLITE_DELETE);
        return;
    }
    // An update: the whole old row, so that any change made to the record
    // since refuses the undo; the new values of the changed columns.
    std::string old, fresh;
    bool changed = false, keyChanged = false;
    for (int i = 0; i < columns; ++i)
    {
        sqlite3_value* before = nullptr;
        sqlite3_value* after = nullptr;
        if (sqlite3_preupdate_old(db, i, &before) != SQLITE_OK || sqlite3_preupdate_new(db, i, &after) != SQLITE_OK)
        {
            m_failed = true;
            return;
        }
        PutValue(old, before);
        if (SameValue(before, after))
        {
            fresh.push_back(kUndefined);
            continue;
        }
        changed = true;
        keyChanged = keyChanged || t->keyOrder[size_t(i)] > 0;
        PutValue(fresh, after);
    }
    if (keyChanged)
    {
        // A new key is a different record: the old one goes, the new one comes.
        out.push_back(char(SQLITE_DELETE));
        out.push_back(0);
        out += old;
        out.push_back(char(SQLITE_INSERT));
        out.push_back(0);
        putAll(false);
        return;
    }
    if (!changed)
        return;
    out.push_back(char(SQLITE_UPDATE));
    out.push_back(0);
    out += old;
    out += fresh;
}

bool UndoRecorder::Take(std::string& changeset)
{
    changeset.clear();
    if (m_failed)
        return false;
    for (const Table& t : m_tables)
    {
        if (t.changes.empty())
            continue;
        changeset.push_back('T');
        PutVarint(changeset, t.keyOrder.size());
        changeset += t.keyOrder;
        changeset += t.name;
        changeset.push_back('\0');
        changeset += t.changes;
    }
    return true;
}
}
