#include "platform/ObjectStoreCursor.h"

#include <algorithm>

namespace ObjectStore::detail
{
bool StepDone(Connection& c, sqlite3_stmt* stmt, const char* what)
{
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE)
        return c.Fail(what);
    return true;
}

bool ValidSortOrders(const std::vector<SortOrder>& sorts)
{
    if (sorts.size() > MaxSortOrders)
        return false;
    for (const SortOrder& s : sorts)
    {
        const uint16_t type = PropTypeOf(s.propId);
        if (s.flags != 0 || (type != TypeInt16 && type != TypeInt32 && type != TypeString))
            return false;
    }
    return true;
}

sqlite3_stmt* Cursor::Stmt(StmtKind kind)
{
    sqlite3_stmt*& slot = info->reads[size_t(sort + 1)][kind];
    if (slot)
        return slot;
    const std::string k = KeyColumn(), t = info->table;
    const std::string cols = "SELECT oid, " + k + ", props FROM " + t;
    std::string sql;
    switch (kind)
    {
    case StmtFirst:
        sql = cols + " ORDER BY " + k + ", oid LIMIT ?3";
        break;
    case StmtEqualFrom:
        sql = cols + " WHERE " + k + " = ?1 AND oid > ?2 ORDER BY oid LIMIT ?3";
        break;
    case StmtAfter:
        sql = cols + " WHERE " + k + " > ?1 ORDER BY " + k + ", oid LIMIT ?3";
        break;
    default:
        sql = "SELECT props FROM " + t + " WHERE oid = ?1";
        break;
    }
    conn->PrepareInto(slot, sql);
    return slot;
}

bool Cursor::Fetch(sqlite3_stmt* stmt, int limit, size_t& added)
{
    // Large records end a batch early, so a handle holds about a megabyte.
    constexpr size_t MaxBatchBytes = 1 << 20;
    added = 0;
    full = false;
    sqlite3_bind_int(stmt, 3, limit);
    int rc = SQLITE_DONE;
    while (!full && (rc = sqlite3_step(stmt)) == SQLITE_ROW)
    {
        Row row;
        row.oid = sqlite3_column_int64(stmt, 0);
        row.key = Key::FromColumn(stmt, 1);
        const void* data = sqlite3_column_blob(stmt, 2);
        row.props.assign(static_cast<const char*>(data), size_t(sqlite3_column_bytes(stmt, 2)));
        bytes += row.props.size();
        rows.push_back(std::move(row));
        ++added;
        full = bytes > MaxBatchBytes;
    }
    sqlite3_reset(stmt);
    if (!full && rc != SQLITE_DONE)
        return conn->Fail("Cannot read the database");
    return true;
}

bool Cursor::Usable()
{
    if (!conn)
    {
        SetLastError("The database is not open");
        return false;
    }
    if (conn->broken)
    {
        SetLastError(conn->path + " is damaged");
        return false;
    }
    return true;
}

void Cursor::SetCurrent(size_t index)
{
    pos = index;
    hasCurrent = true;
    oid = rows[index].oid;
    key = rows[index].key;
}

// Fills the buffer from the start (first) or from just after the current
// record, over every record or only those equal to the seek key.
bool Cursor::Refetch(Range newRange, bool first)
{
    rows.clear();
    bytes = 0;
    pos = 0;
    range = newRange;
    generation = conn->generation;
    batch = first ? 8 : std::min(batch * 2, 256);
    size_t added = 0;
    if (first && newRange == RangeAll)
    {
        sqlite3_stmt* stmt = Stmt(StmtFirst);
        if (!stmt || !Fetch(stmt, batch, added))
            return false;
        exhausted = !full && int(added) < batch;
        return true;
    }
    const Key& from = first ? seekKey : key;
    const ObjectId after = first ? 0 : oid;
    if (sort >= 0)
    {
        sqlite3_stmt* stmt = Stmt(StmtEqualFrom);
        if (!stmt)
            return false;
        from.Bind(stmt, 1);
        sqlite3_bind_int64(stmt, 2, after);
        if (!Fetch(stmt, batch, added))
            return false;
        if (newRange == RangeEqual || int(added) == batch || full)
        {
            exhausted = !full && int(added) < batch;
            return true;
        }
    }
    sqlite3_stmt* stmt = Stmt(StmtAfter);
    if (!stmt)
        return false;
    from.Bind(stmt, 1);
    const int rest = batch - int(rows.size());
    size_t more = 0;
    if (!Fetch(stmt, rest, more))
        return false;
    exhausted = !full && int(more) < rest;
    return true;
}

bool Cursor::LoadProps(PropertyList& props)
{
    if (Fresh())
    {
        const Row& row = rows[pos];
        if (!Decode(row.props.data(), row.props.size(), props))
        {
            SetLastError("A record is damaged");
            return false;
        }
        return true;
    }
    sqlite3_stmt* stmt = Stmt(StmtByOid);
    if (!stmt)
        return false;
    sqlite3_bind_int64(stmt, 1, oid);
    const int rc = sqlite3_step(stmt);
    bool ok = false;
    if (rc == SQLITE_ROW)
    {
        ok = Decode(sqlite3_column_blob(stmt, 0), size_t(sqlite3_column_bytes(stmt, 0)), props);
        if (!ok)
            SetLastError("A record is damaged");
    }
    else if (rc == SQLITE_DONE)
        SetLastError("The record was deleted");
    sqlite3_reset(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        return conn->Fail("Cannot read the record");
    return ok;
}

std::vector<Key> Cursor::KeysOf(const PropertyList& props) const
{
    std::vector<Key> keys;
    keys.reserve(info->sortOrders.size());
    for (const SortOrder& s : info->sortOrders)
        keys.push_back(KeyOf(props, s.propId));
    return keys;
}
}
