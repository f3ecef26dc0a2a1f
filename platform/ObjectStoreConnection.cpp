#include "platform/ObjectStoreConnection.h"

#include "platform/ObjectStoreRecord.h"
#include "platform/Paths.h"

#include <cstdlib>
#include <mutex>

namespace ObjectStore::detail
{
namespace
{
thread_local std::string t_lastError;

std::mutex s_mutex;
std::shared_ptr<Connection> s_current;
std::map<std::string, std::weak_ptr<Connection>> s_open;

bool IsDamage(int code)
{
    const int primary = code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

std::string SortsText(const std::vector<SortOrder>& sorts)
{
    std::string text;
    for (const SortOrder& s : sorts)
        text += std::to_string(s.propId) + ":" + std::to_string(s.flags) + ";";
    return text;
}

std::string ColumnText(sqlite3_stmt* stmt, int col)
{
    const unsigned char* text = sqlite3_column_text(stmt, col);
    return text ? reinterpret_cast<const char*>(text) : "";
}

std::string NameToBlob(const std::u16string& name)
{
    std::string blob;
    for (char16_t c : name)
    {
        blob.push_back(char(c >> 8));
        blob.push_back(char(c & 0xFF));
    }
    return blob;
}
}

std::string IndexName(const std::string& table, size_t sort)
{
    return table + "_k" + std::to_string(sort);
}

std::string IndexSql(const std::string& table, size_t sort)
{
    const std::string k = "k" + std::to_string(sort);
    return "CREATE INDEX " + IndexName(table, sort) + " ON " + table + "(" + k + ", oid)";
}

bool ParseSorts(const std::string& text, std::vector<SortOrder>& sorts)
{
    sorts.clear();
    size_t pos = 0;
    while (pos < text.size())
    {
        const size_t colon = text.find(':', pos);
        const size_t semi = text.find(';', pos);
        if (colon == std::string::npos || semi == std::string::npos || colon > semi)
            return false;
        char* end = nullptr;
        const unsigned long id = std::strtoul(text.c_str() + pos, &end, 10);
        if (end != text.c_str() + colon)
            return false;
        const unsigned long flags = std::strtoul(text.c_str() + colon + 1, &end, 10);
        if (end != text.c_str() + semi)
            return false;
        sorts.push_back({uint32_t(id), uint32_t(flags)});
        pos = semi + 1;
    }
    return sorts.size() <= MaxSortOrders;
}

void SetLastError(std::string text)
{
    t_lastError = std::move(text);
}

namespace
{
ObjectStore::WriteFailureHook s_writeFailureHook;
}

void ReportWriteFailure(const std::string& reason)
{
    // A copy: the hook may replace itself while it runs.
    if (ObjectStore::WriteFailureHook hook = s_writeFailureHook)
        hook(reason);
}

void SetWriteFailureHookImpl(ObjectStore::WriteFailureHook hook)
{
    s_writeFailureHook = std::move(hook);
}

DbInfo::~DbInfo()
{
    for (auto& perSort : reads)
        for (sqlite3_stmt* s : perSort)
            sqlite3_finalize(s);
    sqlite3_finalize(insert);
    sqlite3_finalize(insertBatch);
    sqlite3_finalize(update);
    sqlite3_finalize(remove);
    sqlite3_finalize(count);
}

Connection::~Connection()
{
    EndRecording(*this, false, std::string());
    if (txBegun && db)
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    catalog.clear();
    for (auto& entry : statements)
        sqlite3_finalize(entry.second);
    statements.clear();
    sqlite3_close_v2(db);
}

sqlite3_stmt* Connection::Prepare(const std::string& sql)
{
    auto it = statements.find(sql);
    if (it != statements.end())
        return it->second;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK)
    {
        Fail("Cannot prepare a query");
        return nullptr;
    }
    statements.emplace(sql, stmt);
    return stmt;
}

bool Connection::PrepareInto(sqlite3_stmt*& slot, const std::string& sql)
{
    if (slot)
        return true;
    if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &slot, nullptr) != SQLITE_OK)
    {
        slot = nullptr;
        return Fail("Cannot prepare a query");
    }
    return true;
}

bool Connection::Exec(const char* sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        return Fail(std::string("Cannot run ") + sql);
    return true;
}

void Connection::NoteFileFault()
{
    // The first refusal is the reason; later steps only fail after it.
    if (!txFileFault)
        txFileFaultReason = t_lastError;
    txFileFault = true;
}

bool Connection::Fail(const std::string& what)
{
    const int code = sqlite3_extended_errcode(db);
    SetLastError(what + ": " + sqlite3_errmsg(db));
    if (IsDamage(code))
        broken = true;
    if (txDepth > 0)
    {
        txFailed = true;
        NoteFileFault();
    }
    return false;
}

std::shared_ptr<DbInfo> Connection::Find(const std::u16string& name, bool reread)
{
    if (!reread)
    {
        auto it = catalog.find(name);
        if (it != catalog.end())
            return it->second;
    }
    sqlite3_stmt* stmt = Prepare("SELECT id, sorts FROM catalog WHERE name = ?1");
    if (!stmt)
        return nullptr;
    const std::string blob = NameToBlob(name);
    sqlite3_bind_blob(stmt, 1, blob.data(), int(blob.size()), SQLITE_STATIC);
    std::shared_ptr<DbInfo> info;
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW)
    {
        info = std::make_shared<DbInfo>();
        info->tableId = sqlite3_column_int64(stmt, 0);
        info->table = "db" + std::to_string(info->tableId);
        if (!ParseSorts(ColumnText(stmt, 1), info->sortOrders))
            info.reset();
    }
    else if (rc != SQLITE_DONE)
        Fail("Cannot read the list of databases");
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (!info)
    {
        catalog.erase(name);
        if (rc == SQLITE_DONE)
            SetLastError("No database of that name");
        return nullptr;
    }
    auto it = catalog.find(name);
    if (it != catalog.end() && it->second->tableId == info->tableId)
        return it->second; // keep the prepared statements
    catalog[name] = info;
    return info;
}

bool Connection::Create(const std::u16string& name, uint32_t type, const std::vector<SortOrder>& sortOrders)
{
    return detail::InTransaction(*this, [&] {
        if (Find(name, true))
        {
            SetLastError("A database of that name exists already");
            return false;
        }
        sqlite3_stmt* stmt = Prepare("INSERT INTO catalog(name, type, sorts) VALUES(?1, ?2, ?3)");
        if (!stmt)
            return false;
        const std::string blob = NameToBlob(name), sorts = SortsText(sortOrders);
        sqlite3_bind_blob(stmt, 1, blob.data(), int(blob.size()), SQLITE_STATIC);
        sqlite3_bind_int64(stmt, 2, type);
        sqlite3_bind_text(stmt, 3, sorts.c_str(), -1, SQLITE_STATIC);
        const int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        if (rc != SQLITE_DONE)
            return Fail("Cannot create the database");
        const std::string table = "db" + std::to_string(sqlite3_last_insert_rowid(db));
        std::string sql = "CREATE TABLE " + table + "(oid INTEGER PRIMARY KEY AUTOINCREMENT";
        for (size_t i = 0; i < sortOrders.size(); ++i)
            sql += ", k" + std::to_string(i);
        sql += ", props BLOB NOT NULL);";
        for (size_t i = 0; i < sortOrders.size(); ++i)
            sql += IndexSql(table, i) + ";";
        if (!Exec(sql.c_str()))
            return false;
        ++generation;
        createdInTx.push_back(name);
        return Find(name, true) != nullptr;
    });
}

bool Connection::Begin(bool forWrite)
{
    const auto refuse = [this](std::string reason) {
        SetLastError(std::move(reason));
        txFailed = true;
        NoteFileFault();
        return false;
    };
    if (txDepth++ > 0)
    {
        if (txFailed)
        {
            // Keep the first refusal's reason for whoever shows it.
            SetLastError(txFileFault ? txFileFaultReason : std::string("An earlier step of this change failed"));
            return false;
        }
        if (forWrite && readOnly)
            return refuse(path + " is read-only");
        return true;
    }
    txFailed = false;
    txFileFault = false;
    txFileFaultReason.clear();
    if (broken)
        return refuse(path + " is damaged");
    if (readOnly)
    {
        // Nothing to write is not a failure: the change fails at its
        // first write.
        if (forWrite)
            return refuse(path + " is read-only");
        return true;
    }
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
    {
        Fail("Cannot start a change");
        txFailed = true;
        return false;
    }
    txBegun = true;
    ++generation;
    StartRecording(*this);
    return true;
}

bool Connection::End(bool commit)
{
    if (txDepth == 0)
        return false;
    if (!commit)
        txFailed = true;
    if (--txDepth > 0)
        return !txFailed;
    bool ok = !txFailed;
    std::string changes;
    if (ok && txBegun)
        TakeRecording(*this, changes);
    if (txBegun)
    {
        if (ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        {
            const std::string error = std::string("Cannot save the change: ") + sqlite3_errmsg(db);
            if (IsDamage(sqlite3_extended_errcode(db)))
                broken = true;
            SetLastError(error);
            NoteFileFault();
            ok = false;
        }
        if (!ok && !sqlite3_get_autocommit(db))
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    if (!ok)
    {
        // Databases made inside are gone again.
        for (const std::u16string& name : createdInTx)
            catalog.erase(name);
        ++generation;
    }
    EndRecording(*this, ok && txBegun, changes);
    createdInTx.clear();
    txBegun = false;
    txFailed = false;
    const bool report = !ok && txFileFault;
    const std::string reason = std::move(txFileFaultReason);
    txFileFault = false;
    txFileFaultReason.clear();
    if (report)
        ReportWriteFailure(reason);
    return ok;
}

namespace
{
// SQLite keeps the write-ahead log's index in memory mapped from the -shm
// file and writes into it when a read must move its mark in the log. Once
// the file is made immutable such a write faults (SIGBUS) instead of failing,
// so a connection whose mode no longer matches the files is replaced between
// changes, before it reads again: a read-only one maps the index read-only.
bool ModeStillHolds(const Connection& c, const std::string& dir)
{
    return c.txDepth > 0 || c.readOnly == !StoreWritable(dir, c.path);
}

void Retire(Connection& c)
{
    // Closing must not checkpoint: that writes the index too.
    if (c.db)
        sqlite3_db_config(c.db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}
}

thread_local int t_ownDepth = 0;
thread_local std::shared_ptr<Connection> t_own;

std::shared_ptr<Connection> Acquire()
{
    const std::string dir = Paths::DataDir();
    const std::string path = dir + "/objectstore.db";
    if (t_ownDepth > 0)
    {
        if (!t_own || t_own->path != path || t_own->broken)
            t_own = OpenStore(dir, path);
        return t_own;
    }
    std::lock_guard<std::mutex> lock(s_mutex);
    if (s_current && s_current->path == path && !s_current->broken)
    {
        if (ModeStillHolds(*s_current, dir))
            return s_current;
        Retire(*s_current);
        s_current.reset();
        s_open.erase(path);
    }
    auto it = s_open.find(path);
    if (it != s_open.end())
    {
        if (auto c = it->second.lock(); c && !c->broken && ModeStillHolds(*c, dir))
        {
            s_current = c;
            return c;
        }
        else if (c)
            Retire(*c);
        s_open.erase(it);
    }
    // Keep a connection that is in the middle of a transaction alive
    // through its Transaction object, not through s_current.
    s_current.reset();
    auto c = OpenStore(dir, path);
    if (!c)
        return nullptr;
    s_open[path] = c;
    s_current = c;
    return c;
}
}

namespace ObjectStore
{
ThreadConnection::ThreadConnection()
{
    ++detail::t_ownDepth;
}

ThreadConnection::~ThreadConnection()
{
    if (--detail::t_ownDepth == 0)
        detail::t_own.reset();
}

std::string LastError()
{
    return detail::t_lastError;
}

void SetWriteFailureHook(WriteFailureHook hook)
{
    detail::SetWriteFailureHookImpl(std::move(hook));
}

std::string StorePath()
{
    return Paths::DataDir() + "/objectstore.db";
}

bool IsReadOnly()
{
    auto c = detail::Acquire();
    return c && c->readOnly;
}

bool IsUnusable()
{
    return !detail::Acquire();
}

void ResetConnection()
{
    std::lock_guard<std::mutex> lock(detail::s_mutex);
    detail::s_current.reset();
    detail::s_open.clear();
}

void RefuseChange(const std::string& reason)
{
    detail::SetLastError(reason);
    std::shared_ptr<detail::Connection> c;
    {
        std::lock_guard<std::mutex> lock(detail::s_mutex);
        c = detail::s_current;
    }
    if (c && c->txDepth > 0)
    {
        c->txFailed = true;
        c->NoteFileFault();
        return;
    }
    detail::ReportWriteFailure(reason);
}

void MarkTransactionFailed()
{
    std::shared_ptr<detail::Connection> c;
    {
        std::lock_guard<std::mutex> lock(detail::s_mutex);
        c = detail::s_current;
    }
    if (c && c->txDepth > 0)
        c->txFailed = true;
}
}
