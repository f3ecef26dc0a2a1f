// Finding, making and checking the store file before a connection uses it.

#include "platform/ObjectStoreConnection.h"

#include "platform/Paths.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ObjectStore::detail
{
namespace
{
// "TYRD" in the header's application id marks a Tallyard store.
constexpr uint32_t ApplicationId = 0x54595244;
constexpr int SchemaVersion = 1;
// Older temporaries than this cannot belong to a store still being made.
constexpr long kStaleTemporarySeconds = 3600;

std::string Errno(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

std::string ColumnText(sqlite3_stmt* stmt, int col)
{
    const unsigned char* text = sqlite3_column_text(stmt, col);
    return text ? reinterpret_cast<const char*>(text) : "";
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
}

bool StoreWritable(const std::string& dir, const std::string& path)
{
    const std::string shm = path + "-shm";
    return IsWritable(path) && IsWritable(dir) && (::access(shm.c_str(), F_OK) != 0 || IsWritable(shm));
}

std::shared_ptr<Connection> OpenStore(const std::string& dir, const std::string& path)
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
    // A process killed while it made the store leaves its temporary behind.
    Paths::RemoveStaleFiles(dir, ".objectstore.db.", kStaleTemporarySeconds);
    const std::string notStore = path + " is not a Tallyard store; it is left as it is";
    bool walMode = false;
    if (!S_ISREG(st.st_mode) || st.st_size == 0 || !HasStoreHeader(path, walMode))
    {
        SetLastError(notStore);
        return nullptr;
    }

    auto c = std::make_shared<Connection>();
    c->path = path;
    c->readOnly = !StoreWritable(dir, path);
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
        c->Exec("PRAGMA cache_size=-65536");
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
