#include "platform/ObjectStoreConnection.h"

#include "platform/ObjectStoreRecord.h"
#include "platform/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace ObjectStore::detail
{
namespace
{
// "TYRD" in the header's application id marks a Tallyard store.
constexpr uint32_t ApplicationId = 0x54595244;
constexpr int SchemaVersion = 1;

thread_local std::string t_lastError;

std::mutex s_mutex;
std::shared_ptr<Connection> s_current;
std::map<std::string, std::weak_ptr<Connection>> s_open;

std::string Errno(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

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

void ConfigureHandle(sqlite3* db)
{
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 10000);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
}

bool FsyncPath(const std::string& path, bool directory)
{
    const int fd = ::open(path.c_str(), (directory ? O_RDONLY | O_DIRECTORY : O_RDWR) | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Builds an empty store in a private temporary file and links it into place,
// so no half-made store is ever seen at `path` and an existing file is never
// replaced.
bool CreateStoreFile(const std::string& dir, const std::string& path)
{
    std::string temp = dir + "/.objectstore.db.XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
    {
        SetLastError(Errno("Cannot create the store in " + dir));
        return false;
    }
    ::fchmod(fd, 0600);
    ::close(fd);
    struct TempGuard
    {
        std::string path;
        ~TempGuard()
        {
            ::unlink(path.c_str());
            ::unlink((path + "-wal").c_str());
            ::unlink((path + "-shm").c_str());
        }
    } guard{temp};

    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(temp.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK)
    {
        ConfigureHandle(db);
        const std::string sql = "PRAGMA journal_mode=WAL;"
                                "PRAGMA application_id=" + std::to_string(ApplicationId) + ";"
                                "BEGIN;"
                                "PRAGMA user_version=" + std::to_string(SchemaVersion) + ";"
                                "CREATE TABLE catalog(id INTEGER PRIMARY KEY, name BLOB NOT NULL UNIQUE,"
                                " type INTEGER NOT NULL, sorts TEXT NOT NULL);"
                                "COMMIT;";
        rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK)
        SetLastError(std::string("Cannot create the store: ") + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
    // Closing the last connection checkpoints the WAL into the file.
    if (sqlite3_close(db) != SQLITE_OK && rc == SQLITE_OK)
        rc = SQLITE_ERROR;
    if (rc != SQLITE_OK)
        return false;
    if (!FsyncPath(temp, false))
    {
        SetLastError(Errno("Cannot write the store"));
        return false;
    }
    if (::link(temp.c_str(), path.c_str()) != 0 && errno != EEXIST)
    {
        SetLastError(Errno("Cannot create " + path));
        return false;
    }
    FsyncPath(dir, true);
    return true;
}

// Reads the 100-byte header: a SQLite file carrying our application id.
bool HasStoreHeader(const std::string& path, bool& walMode)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char header[100];
    const ssize_t got = ::read(fd, header, sizeof header);
    ::close(fd);
    if (got != ssize_t(sizeof header) || std::memcmp(header, "SQLite format 3", 16) != 0)
        return false;
    const uint32_t appId = (uint32_t(header[68]) << 24) | (header[69] << 16) | (header[70] << 8) | header[71];
    walMode = header[18] == 2 && header[19] == 2;
    return appId == ApplicationId;
}

bool IsWritable(const std::string& path)
{
    return ::access(path.c_str(), W_OK) == 0;
}

// Checks what the file holds before anything is written to it.
bool CheckSchema(Connection& c)
{
    sqlite3_stmt* stmt = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(c.db, "PRAGMA user_version", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        version = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    if (version != SchemaVersion)
        return false;

    std::map<std::string, std::string> tables;
    bool ok = sqlite3_prepare_v2(c.db, "SELECT type, name, tbl_name FROM sqlite_master", -1, &stmt, nullptr) ==
              SQLITE_OK;
    int rc = SQLITE_DONE;
    while (ok && (rc = sqlite3_step(stmt)) == SQLITE_ROW)
    {
        const std::string type = ColumnText(stmt, 0), name = ColumnText(stmt, 1), table = ColumnText(stmt, 2);
        if (type == "table")
            tables[name] = name;
        else if (type != "index" || (table.rfind("db", 0) != 0 && table != "catalog"))
            ok = false; // views and triggers have no place here
    }
    sqlite3_finalize(stmt);
    if (!ok || rc != SQLITE_DONE || !tables.count("catalog"))
        return false;

    ok = sqlite3_prepare_v2(c.db, "SELECT id, name, sorts FROM catalog", -1, &stmt, nullptr) == SQLITE_OK;
    while (ok && (rc = sqlite3_step(stmt)) == SQLITE_ROW)
    {
        std::vector<SortOrder> sorts;
        const std::string table = "db" + std::to_string(sqlite3_column_int64(stmt, 0));
        if (!tables.count(table) || !ParseSorts(ColumnText(stmt, 2), sorts))
            ok = false;
    }
    sqlite3_finalize(stmt);
    return ok && rc == SQLITE_DONE;
}

bool IntegrityOk(sqlite3* db)
{
    sqlite3_stmt* stmt = nullptr;
    // integrity_check, not quick_check: a sort-order index that lost a row
    // hides that record from seeks, and writing on would spread the damage.
    bool ok = sqlite3_prepare_v2(db, "PRAGMA integrity_check(1)", -1, &stmt, nullptr) == SQLITE_OK &&
              sqlite3_step(stmt) == SQLITE_ROW && ColumnText(stmt, 0) == "ok";
    sqlite3_finalize(stmt);
    return ok;
}

std::shared_ptr<Connection> Open(const std::string& dir, const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
    {
        if (errno != ENOENT)
        {
            SetLastError(Errno("Cannot reach " + path));
            return nullptr;
        }
        if (!Paths::EnsureDir(dir))
        {
            SetLastError(Errno("Cannot create the folder " + dir));
            return nullptr;
        }
        if (!CreateStoreFile(dir, path))
            return nullptr;
        if (::stat(path.c_str(), &st) != 0)
        {
            SetLastError(Errno("Cannot reach " + path));
            return nullptr;
        }
    }
    const std::string notStore = path + " is not a Tallyard store; it is left as it is";
    bool walMode = false;
    if (!S_ISREG(st.st_mode) || st.st_size == 0 || !HasStoreHeader(path, walMode))
    {
        SetLastError(notStore);
        return nullptr;
    }

    auto c = std::make_shared<Connection>();
    c->path = path;
    c->readOnly = !IsWritable(path) || !IsWritable(dir);
    const int flags = c->readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    int rc = sqlite3_open_v2(path.c_str(), &c->db, flags, nullptr);
    if (rc == SQLITE_OK)
        ConfigureHandle(c->db);
    bool schemaOk = rc == SQLITE_OK && CheckSchema(*c);
    if (!schemaOk && c->readOnly && walMode && rc == SQLITE_OK &&
        ((sqlite3_errcode(c->db) & 0xFF) == SQLITE_CANTOPEN || (sqlite3_errcode(c->db) & 0xFF) == SQLITE_READONLY) &&
        ::access((path + "-wal").c_str(), F_OK) != 0)
    {
        // A read-only folder cannot hold the WAL index; with no WAL left
        // behind the file alone is complete and can be read as immutable.
        sqlite3_close(c->db);
        c->db = nullptr;
        char* uri = sqlite3_mprintf("file:%s?immutable=1", path.c_str());
        rc = sqlite3_open_v2(uri, &c->db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
        sqlite3_free(uri);
        if (rc == SQLITE_OK)
            ConfigureHandle(c->db);
        schemaOk = rc == SQLITE_OK && CheckSchema(*c);
    }
    if (rc != SQLITE_OK)
    {
        SetLastError("Cannot open " + path + ": " + (c->db ? sqlite3_errmsg(c->db) : sqlite3_errstr(rc)));
        return nullptr;
    }
    if (!schemaOk)
    {
        const int code = sqlite3_errcode(c->db) & 0xFF;
        if (code == SQLITE_BUSY || code == SQLITE_CANTOPEN || code == SQLITE_IOERR || code == SQLITE_NOMEM)
            SetLastError("Cannot read " + path + ": " + sqlite3_errmsg(c->db));
        else
            SetLastError(notStore);
        return nullptr;
    }
    if (!IntegrityOk(c->db))
    {
        SetLastError(path + " is damaged; it is left as it is");
        return nullptr;
    }
    if (!c->readOnly)
    {
        if (!walMode && !c->Exec("PRAGMA journal_mode=WAL"))
            return nullptr;
        sqlite3_stmt* stmt = nullptr;
        bool durable = c->Exec("PRAGMA synchronous=FULL") &&
                       sqlite3_prepare_v2(c->db, "PRAGMA synchronous", -1, &stmt, nullptr) == SQLITE_OK &&
                       sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_int(stmt, 0) == 2;
        sqlite3_finalize(stmt);
        stmt = nullptr;
        durable = durable && sqlite3_prepare_v2(c->db, "PRAGMA journal_mode", -1, &stmt, nullptr) == SQLITE_OK &&
                  sqlite3_step(stmt) == SQLITE_ROW && ColumnText(stmt, 0) == "wal";
        sqlite3_finalize(stmt);
        if (!durable)
        {
            SetLastError("Cannot make " + path + " durable");
            return nullptr;
        }
    }
    return c;
}
}

void SetLastError(std::string text)
{
    t_lastError = std::move(text);
}

DbInfo::~DbInfo()
{
    for (auto& perSort : reads)
        for (sqlite3_stmt* s : perSort)
            sqlite3_finalize(s);
    sqlite3_finalize(insert);
    sqlite3_finalize(update);
    sqlite3_finalize(remove);
    sqlite3_finalize(count);
}

Connection::~Connection()
{
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

bool Connection::Fail(const std::string& what)
{
    const int code = sqlite3_extended_errcode(db);
    SetLastError(what + ": " + sqlite3_errmsg(db));
    if (IsDamage(code))
        broken = true;
    if (txDepth > 0)
        txFailed = true;
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
        {
            const std::string k = "k" + std::to_string(i);
            sql += "CREATE INDEX " + table + "_" + k + " ON " + table + "(" + k + ", oid);";
        }
        if (!Exec(sql.c_str()))
            return false;
        ++generation;
        createdInTx.push_back(name);
        return Find(name, true) != nullptr;
    });
}

bool Connection::Begin()
{
    if (txDepth++ > 0)
    {
        if (txFailed)
            SetLastError("An earlier step of this change failed");
        return !txFailed;
    }
    txFailed = false;
    if (broken)
    {
        SetLastError(path + " is damaged");
        txFailed = true;
        return false;
    }
    if (readOnly)
    {
        SetLastError(path + " is read-only");
        txFailed = true;
        return false;
    }
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
    {
        Fail("Cannot start a change");
        txFailed = true;
        return false;
    }
    txBegun = true;
    ++generation;
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
    if (txBegun)
    {
        if (ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        {
            const std::string error = std::string("Cannot save the change: ") + sqlite3_errmsg(db);
            if (IsDamage(sqlite3_extended_errcode(db)))
                broken = true;
            SetLastError(error);
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
    createdInTx.clear();
    txBegun = false;
    txFailed = false;
    return ok;
}

std::shared_ptr<Connection> Acquire()
{
    const std::string dir = Paths::DataDir();
    const std::string path = dir + "/objectstore.db";
    std::lock_guard<std::mutex> lock(s_mutex);
    if (s_current && s_current->path == path && !s_current->broken)
        return s_current;
    auto it = s_open.find(path);
    if (it != s_open.end())
    {
        if (auto c = it->second.lock(); c && !c->broken)
        {
            s_current = c;
            return c;
        }
        s_open.erase(it);
    }
    // Keep a connection that is in the middle of a transaction alive
    // through its Transaction object, not through s_current.
    s_current.reset();
    auto c = Open(dir, path);
    if (!c)
        return nullptr;
    s_open[path] = c;
    s_current = c;
    return c;
}
}

namespace ObjectStore
{
std::string LastError()
{
    return detail::t_lastError;
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
