#include "platform/ObjectStore.h"

#include "platform/ObjectStoreCursor.h"

#include <algorithm>

namespace ObjectStore
{
using detail::Connection;
using detail::Cursor;
using detail::SetLastError;
using detail::StepDone;
using detail::ValidSortOrders;

const Property* FindProp(const PropertyList& props, uint16_t ident)
{
    for (const Property& p : props)
    {
        if (p.Ident() == ident)
            return &p;
    }
    return nullptr;
}

bool DatabaseExists(const std::u16string& name)
{
    auto c = detail::Acquire();
    return c && c->Find(name, true) != nullptr;
}

bool CreateDatabase(const std::u16string& name, uint32_t type, const std::vector<SortOrder>& sortOrders)
{
    if (name.empty() || !ValidSortOrders(sortOrders))
    {
        SetLastError("Invalid name or sort orders");
        MarkTransactionFailed();
        return false;
    }
    auto c = detail::Acquire();
    return c && c->Create(name, type, sortOrders);
}

Database::Database() = default;
Database::~Database() = default;
Database::Database(Database&&) noexcept = default;
Database& Database::operator=(Database&&) noexcept = default;

bool Database::Open(const std::u16string& name, uint32_t sortPropId)
{
    m_cursor.reset();
    auto c = detail::Acquire();
    if (!c)
        return false;
    auto info = c->Find(name, false);
    if (!info)
        return false;
    int sort = -1;
    if (sortPropId != NoSortOrder)
    {
        const auto& orders = info->sortOrders;
        auto it = std::find_if(orders.begin(), orders.end(), [&](const SortOrder& s) { return s.propId == sortPropId; });
        if (it == orders.end())
        {
            SetLastError("The database has no such sort order");
            return false;
        }
        sort = int(it - orders.begin());
    }
    m_cursor = std::make_unique<Cursor>();
    m_cursor->conn = std::move(c);
    m_cursor->info = std::move(info);
    m_cursor->sort = sort;
    return true;
}

bool Database::IsOpen() const
{
    return m_cursor != nullptr;
}

void Database::Close()
{
    m_cursor.reset();
}

bool Database::SeekFirst()
{
    if (!m_cursor || !m_cursor->Usable())
        return false;
    Cursor& c = *m_cursor;
    c.hasCurrent = false;
    c.hasSeekKey = false;
    if (!c.Refetch(Cursor::RangeAll, true) || c.rows.empty())
        return false;
    c.SetCurrent(0);
    return true;
}

bool Database::SeekNext()
{
    if (!m_cursor || !m_cursor->Usable() || !m_cursor->hasCurrent)
        return false;
    Cursor& c = *m_cursor;
    if (c.Fresh() && c.pos + 1 < c.rows.size())
    {
        c.SetCurrent(c.pos + 1);
        return true;
    }
    if (c.Fresh() && c.range == Cursor::RangeAll && c.exhausted)
    {
        c.hasCurrent = false;
        return false;
    }
    if (!c.Refetch(Cursor::RangeAll, false) || c.rows.empty())
    {
        c.hasCurrent = false;
        return false;
    }
    c.SetCurrent(0);
    return true;
}

bool Database::SeekValue(const Property& value)
{
    if (!m_cursor || !m_cursor->Usable())
        return false;
    Cursor& c = *m_cursor;
    c.hasCurrent = false;
    if (c.sort < 0 || c.info->sortOrders[size_t(c.sort)].propId != value.id)
    {
        SetLastError("The value does not match the handle's sort order");
        return false;
    }
    c.seekKey = detail::KeyOfValue(value);
    c.hasSeekKey = true;
    if (!c.Refetch(Cursor::RangeEqual, true) || c.rows.empty())
        return false;
    c.SetCurrent(0);
    return true;
}

bool Database::SeekNextEqual()
{
    if (!m_cursor || !m_cursor->Usable())
        return false;
    Cursor& c = *m_cursor;
    if (!c.hasCurrent || !c.hasSeekKey || c.key != c.seekKey)
        return false;
    if (c.Fresh() && c.pos + 1 < c.rows.size())
    {
        if (c.rows[c.pos + 1].key != c.seekKey)
        {
            c.hasCurrent = false;
            return false;
        }
        c.SetCurrent(c.pos + 1);
        return true;
    }
    if (c.Fresh() && c.exhausted)
    {
        c.hasCurrent = false;
        return false;
    }
    if (!c.Refetch(Cursor::RangeEqual, false) || c.rows.empty())
    {
        c.hasCurrent = false;
        return false;
    }
    c.SetCurrent(0);
    return true;
}

bool Database::Read(PropertyList& props)
{
    props.clear();
    if (!m_cursor || !m_cursor->Usable())
        return false;
    if (!m_cursor->hasCurrent)
    {
        SetLastError("No record is current");
        return false;
    }
    return m_cursor->LoadProps(props);
}

bool Database::Read(const std::vector<uint32_t>& propIds, PropertyList& props)
{
    PropertyList all;
    if (!Read(all))
        return false;
    for (Property& p : all)
    {
        if (std::find(propIds.begin(), propIds.end(), p.id) != propIds.end())
            props.push_back(std::move(p));
    }
    return true;
}

bool Database::Write(const PropertyList& changes)
{
    if (!m_cursor || !m_cursor->Usable())
        return false;
    Cursor& c = *m_cursor;
    if (!c.hasCurrent || !detail::ValidProps(changes))
    {
        SetLastError(c.hasCurrent ? "Invalid properties" : "No record is current");
        MarkTransactionFailed();
        return false;
    }
    Connection& conn = *c.conn;
    return detail::InTransaction(conn, [&] {
        // Rows fetched inside this write transaction with no write since
        // are current; anything older is read again.
        PropertyList props;
        if (!c.LoadProps(props))
            return false;
        detail::Merge(props, changes);
        const std::vector<detail::Key> keys = c.KeysOf(props);
        const int n = int(keys.size());
        if (!c.info->update)
        {
            std::string sql = "UPDATE " + c.info->table + " SET ";
            for (int i = 0; i < n; ++i)
                sql += "k" + std::to_string(i) + " = ?" + std::to_string(i + 1) + ", ";
            sql += "props = ?" + std::to_string(n + 1) + " WHERE oid = ?" + std::to_string(n + 2);
            if (!conn.PrepareInto(c.info->update, sql))
                return false;
        }
        sqlite3_stmt* stmt = c.info->update;
        for (int i = 0; i < n; ++i)
            keys[size_t(i)].Bind(stmt, i + 1);
        const std::string blob = detail::Encode(props);
        sqlite3_bind_blob(stmt, n + 1, blob.data(), int(blob.size()), SQLITE_STATIC);
        sqlite3_bind_int64(stmt, n + 2, c.oid);
        ++conn.generation;
        if (!StepDone(conn, stmt, "Cannot write the record"))
            return false;
        if (sqlite3_changes(conn.db) != 1)
        {
            SetLastError("The record was deleted");
            return false;
        }
        return true;
    });
}

namespace
{
// Whether `props` can be stored; a refusal fails the transaction.
bool Storable(const PropertyList& props)
{
    if (detail::ValidProps(props))
        return true;
    SetLastError("Invalid properties");
    MarkTransactionFailed();
    return false;
}

// "INSERT INTO t(k0, k1, props) VALUES(?1, ?2, ?3), (?4, ?5, ?6), ..."
// Several rows to a statement would make SQLite keep a statement journal
// (every page the statement touches copied first, to undo just that
// statement on a failed constraint), which costs more than the statements
// saved. No row can fail a constraint (the object id is SQLite's, props
// always set), and a failure of the file fails the whole change anyway: OR
// FAIL, which undoes nothing of the statement, needs no journal.
std::string InsertSql(const detail::DbInfo& info, int rows)
{
    const int n = int(info.sortOrders.size());
    std::string cols;
    for (int i = 0; i < n; ++i)
        cols += "k" + std::to_string(i) + ", ";
    std::string sql = (rows > 1 ? "INSERT OR FAIL INTO " : "INSERT INTO ") + info.table + "(" + cols + "props) VALUES";
    for (int r = 0; r < rows; ++r)
    {
        sql += r ? ", (" : "(";
        for (int i = 0; i <= n; ++i)
            sql += "?" + std::to_string(r * (n + 1) + i + 1) + (i < n ? ", " : ")");
    }
    return sql;
}
}

bool Database::AddAll(const std::vector<PropertyList>& records)
{
    if (!m_cursor || !m_cursor->Usable())
        return false;
    Cursor& c = *m_cursor;
    for (const PropertyList& props : records)
        if (!Storable(props))
            return false;
    Connection& conn = *c.conn;
    return detail::InTransaction(conn, [&] {
        const int n = int(c.info->sortOrders.size());
        // SQLite makes an index from sorted keys in a fraction of the time
        // that inserting them one by one at random places takes, and packs
        // its pages: a table that grows to more than twice its size gets its
        // indexes made again, the same ones, once the records are in.
        bool rebuild = false;
        if (n > 0 && records.size() >= detail::RebuildIndexesFrom)
        {
            uint32_t stored = 0;
            if (!Count(stored))
                return false;
            rebuild = stored < records.size();
        }
        if (rebuild)
        {
            for (int i = 0; i < n; ++i)
                if (!conn.Exec(("DROP INDEX " + detail::IndexName(c.info->table, size_t(i))).c_str()))
                    return false;
            ++conn.generation;
        }
        std::vector<std::string> blobs;
        for (size_t done = 0; done < records.size();)
        {
            const int rows = records.size() - done >= size_t(detail::InsertBatchRows) ? detail::InsertBatchRows : 1;
            sqlite3_stmt*& slot = rows == 1 ? c.info->insert : c.info->insertBatch;
            if (!slot && !conn.PrepareInto(slot, InsertSql(*c.info, rows)))
                return false;
            blobs.clear();
            for (int r = 0; r < rows; ++r)
            {
                const PropertyList& props = records[done + size_t(r)];
                const std::vector<detail::Key> keys = c.KeysOf(props);
                const int base = r * (n + 1);
                for (int i = 0; i < n; ++i)
                    keys[size_t(i)].Bind(slot, base + i + 1);
                blobs.push_back(detail::Encode(props));
            }
            for (int r = 0; r < rows; ++r)
                sqlite3_bind_blob(slot, r * (n + 1) + n + 1, blobs[size_t(r)].data(), int(blobs[size_t(r)].size()),
                                  SQLITE_STATIC);
            ++conn.generation;
            if (!StepDone(conn, slot, "Cannot add the record"))
                return false;
            done += size_t(rows);
        }
        if (rebuild)
        {
            for (int i = 0; i < n; ++i)
                if (!conn.Exec(detail::IndexSql(c.info->table, size_t(i)).c_str()))
                    return false;
            ++conn.generation;
        }
        return true;
    });
}

bool Database::Add(const PropertyList& props, ObjectId* objectId)
{
    if (objectId)
        *objectId = 0;
    if (!m_cursor || !m_cursor->Usable())
        return false;
    Cursor& c = *m_cursor;
    if (!Storable(props))
        return false;
    Connection& conn = *c.conn;
    return detail::InTransaction(conn, [&] {
        const std::vector<detail::Key> keys = c.KeysOf(props);
        const int n = int(keys.size());
        if (!c.info->insert && !conn.PrepareInto(c.info->insert, InsertSql(*c.info, 1)))
            return false;
        sqlite3_stmt* stmt = c.info->insert;
        for (int i = 0; i < n; ++i)
            keys[size_t(i)].Bind(stmt, i + 1);
        const std::string blob = detail::Encode(props);
        sqlite3_bind_blob(stmt, n + 1, blob.data(), int(blob.size()), SQLITE_STATIC);
        ++conn.generation;
        if (!StepDone(conn, stmt, "Cannot add the record"))
            return false;
        if (objectId)
            *objectId = sqlite3_last_insert_rowid(conn.db);
        return true;
    });
}

ObjectId Database::CurrentObjectId() const
{
    return m_cursor && m_cursor->hasCurrent ? m_cursor->oid : 0;
}

bool Database::Delete(ObjectId objectId)
{
    if (!m_cursor || !m_cursor->Usable())
        return false;
    Cursor& c = *m_cursor;
    Connection& conn = *c.conn;
    return detail::InTransaction(conn, [&] {
        if (!conn.PrepareInto(c.info->remove, "DELETE FROM " + c.info->table + " WHERE oid = ?1"))
            return false;
        sqlite3_bind_int64(c.info->remove, 1, objectId);
        ++conn.generation;
        if (!StepDone(conn, c.info->remove, "Cannot delete the record"))
            return false;
        if (sqlite3_changes(conn.db) != 1)
        {
            SetLastError("No record has that object id");
            return false;
        }
        return true;
    });
}

bool Database::Count(uint32_t& count)
{
    count = 0;
    if (!m_cursor || !m_cursor->Usable())
        return false;
    Cursor& c = *m_cursor;
    if (!c.conn->PrepareInto(c.info->count, "SELECT count(*) FROM " + c.info->table))
        return false;
    sqlite3_stmt* stmt = c.info->count;
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW)
        count = uint32_t(sqlite3_column_int64(stmt, 0));
    sqlite3_reset(stmt);
    if (rc != SQLITE_ROW)
        return c.conn->Fail("Cannot count the records");
    return true;
}

Transaction::Transaction() : m_connection(detail::Acquire())
{
    if (m_connection)
    {
        m_connection->Begin(false);
        m_open = true;
    }
}

Transaction::~Transaction()
{
    if (m_open)
        m_connection->End(false);
}

bool Transaction::Commit()
{
    if (!m_open)
        return false;
    m_open = false;
    return m_connection->End(true);
}

void Transaction::MarkFailed()
{
    if (m_open)
        m_connection->txFailed = true;
}

bool Transaction::Failed() const
{
    return !m_open || m_connection->txFailed;
}

bool Transaction::Refused() const
{
    return m_open && m_connection->txFileFault;
}
}
