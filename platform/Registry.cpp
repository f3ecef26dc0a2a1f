#include "platform/Registry.h"

#include "platform/Paths.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

struct RegistryKey
{
    std::u16string path; // backslash-joined, no empty segments; empty for the root
    std::string file;    // the database this key lives in; empty for the root
    sqlite3* db = nullptr;
};

namespace
{
RegistryKey s_currentUser;

// "TyRg": marks a file as ours before anything is written to it.
constexpr int kApplicationId = 0x54795267;
constexpr int kSchemaVersion = 1;
constexpr int kBusyTimeoutMs = 5000;
constexpr size_t kMaxNameLength = 255;

struct DbCloser
{
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using DbPtr = std::unique_ptr<sqlite3, DbCloser>;

struct StmtFinalizer
{
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using StmtPtr = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

long MapError(int rc)
{
    switch (rc & 0xff)
    {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_FORMAT:
    case SQLITE_SCHEMA:
        return ERROR_BADDB;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
    case SQLITE_AUTH:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ERROR_ACCESS_DENIED;
    default:
        return ERROR_WRITE_FAULT;
    }
}

StmtPtr Prepare(sqlite3* db, const char* sql, int* rc)
{
    sqlite3_stmt* st = nullptr;
    *rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    return StmtPtr(st);
}

/// Runs a statement that returns one integer.
int QueryInt(sqlite3* db, const char* sql, int* value)
{
    int rc;
    StmtPtr st = Prepare(db, sql, &rc);
    if (rc != SQLITE_OK)
        return rc;
    rc = sqlite3_step(st.get());
    if (rc == SQLITE_ROW)
    {
        *value = sqlite3_column_int(st.get(), 0);
        return SQLITE_OK;
    }
    return rc == SQLITE_DONE ? SQLITE_NOTFOUND : rc;
}

/// Rolls back unless committed; every write goes through one.
class Transaction
{
public:
    explicit Transaction(sqlite3* db) : m_db(db)
    {
        m_rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    }
    ~Transaction()
    {
        if (m_rc == SQLITE_OK && !m_done)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    int BeginResult() const { return m_rc; }
    int Commit()
    {
        int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
        m_done = rc == SQLITE_OK;
        return rc;
    }

private:
    sqlite3* m_db;
    int m_rc;
    bool m_done = false;
};

/// ERROR_SUCCESS when the connection's file carries our mark and schema. Reads only.
long VerifyOurs(sqlite3* db)
{
    int appId = 0;
    int version = 0;
    int tables = 0;
    int rc = QueryInt(db, "PRAGMA application_id", &appId);
    if (rc == SQLITE_OK)
        rc = QueryInt(db, "PRAGMA user_version", &version);
    if (rc == SQLITE_OK)
        rc = QueryInt(db, "SELECT count(*) FROM sqlite_master WHERE type='table' AND name IN ('keys','vals')", &tables);
    if (rc != SQLITE_OK)
        return MapError(rc);
    if (appId != kApplicationId || version != kSchemaVersion || tables != 2)
        return ERROR_BADDB;
    // A damaged file is neither read nor written: damaged rows would be read
    // back as wrong values and writes would spread the damage. The file is small.
    StmtPtr st = Prepare(db, "PRAGMA integrity_check(1)", &rc);
    if (rc != SQLITE_OK)
        return MapError(rc);
    rc = sqlite3_step(st.get());
    if (rc != SQLITE_ROW)
        return MapError(rc);
    const unsigned char* verdict = sqlite3_column_text(st.get(), 0);
    return verdict && std::strcmp(reinterpret_cast<const char*>(verdict), "ok") == 0 ? ERROR_SUCCESS : ERROR_BADDB;
}

void SyncPath(const std::string& path, int flags)
{
    int fd = open(path.c_str(), flags | O_CLOEXEC);
    if (fd >= 0)
    {
        fsync(fd);
        close(fd);
    }
}

std::string ParentDir(const std::string& file)
{
    return file.substr(0, file.rfind('/'));
}

// A new registry is built in a private temporary file and linked into place
// only when complete, so no reader ever sees a half-made file and an existing
// file, whatever it holds, is never replaced.
bool CreateDatabase(const std::string& file)
{
    std::string dir = ParentDir(file);
    std::string temp = dir + "/.registry.db.XXXXXX";
    int fd = mkstemp(temp.data()); // mode 0600
    if (fd < 0)
        return false;
    close(fd);

    bool built = false;
    {
        sqlite3* raw = nullptr;
        int rc = sqlite3_open_v2(temp.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
        DbPtr db(raw);
        if (rc == SQLITE_OK)
        {
            const std::string sql = "PRAGMA journal_mode=WAL;"
                                    "PRAGMA synchronous=FULL;"
                                    "PRAGMA application_id=" + std::to_string(kApplicationId) + ";"
                                    "PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";"
                                    "BEGIN;"
                                    "CREATE TABLE keys(path TEXT PRIMARY KEY COLLATE NOCASE) WITHOUT ROWID;"
                                    "CREATE TABLE vals(key TEXT NOT NULL COLLATE NOCASE,"
                                    " name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL,"
                                    " data BLOB NOT NULL, PRIMARY KEY(key, name)) WITHOUT ROWID;"
                                    "COMMIT;";
            built = sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
        }
    }
    if (built)
    {
        SyncPath(temp, O_RDONLY);
        if (link(temp.c_str(), file.c_str()) != 0 && errno != EEXIST)
        {
            // File systems without hard links: rename, but never over an existing file.
            if (renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, file.c_str(), RENAME_NOREPLACE) != 0 && errno != EEXIST)
                built = false;
        }
        SyncPath(dir, O_RDONLY | O_DIRECTORY);
    }
    unlink(temp.c_str());
    unlink((temp + "-wal").c_str());
    unlink((temp + "-shm").c_str());
    return built;
}

long OpenDatabase(const std::string& file, DbPtr* result)
{
    if (!Paths::EnsureDir(ParentDir(file)))
        return ERROR_ACCESS_DENIED;
    // A process killed while it made the file leaves its temporary behind;
    // older ones than an hour cannot belong to a file still being made.
    static std::string s_swept;
    if (s_swept != ParentDir(file))
    {
        s_swept = ParentDir(file);
        Paths::RemoveStaleFiles(s_swept, ".registry.db.", 3600);
    }
    struct stat st;
    if (lstat(file.c_str(), &st) != 0)
    {
        if (errno != ENOENT)
            return ERROR_ACCESS_DENIED;
        if (!CreateDatabase(file))
            return ERROR_WRITE_FAULT;
    }

    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    DbPtr db(raw);
    if (rc != SQLITE_OK)
        return MapError(rc);
    // A foreign database's log must not be folded into it when we close.
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
    rc = sqlite3_exec(db.get(), "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return MapError(rc);
    if (long err = VerifyOurs(db.get()); err != ERROR_SUCCESS)
        return err;
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
    *result = std::move(db);
    return ERROR_SUCCESS;
}

bool IsKey(HKEY key)
{
    return key == &s_currentUser || (key && key->db);
}

/// The key's own connection, or one opened for this call on the root.
class Connection
{
public:
    explicit Connection(HKEY key)
    {
        if (key == &s_currentUser)
        {
            m_error = OpenDatabase(Registry::FilePath(), &m_owned);
            m_db = m_owned.get();
        }
        else
        {
            m_db = key->db;
        }
    }
    sqlite3* Get() const { return m_db; }
    long Error() const { return m_error; }

private:
    DbPtr m_owned;
    sqlite3* m_db = nullptr;
    long m_error = ERROR_SUCCESS;
};

std::u16string ToU16(const char16_t* text)
{
    return text ? std::u16string(text) : std::u16string();
}

void BindText(sqlite3_stmt* st, int index, const std::u16string& text)
{
    sqlite3_bind_text16(st, index, text.data(), static_cast<int>(text.size() * sizeof(char16_t)), SQLITE_TRANSIENT);
}

/// Appends the segments of `subkey` to `path`; false for an over-long segment.
bool JoinPath(std::u16string* path, const std::u16string& subkey)
{
    size_t start = 0;
    while (start <= subkey.size())
    {
        size_t end = subkey.find(u'\\', start);
        if (end == std::u16string::npos)
            end = subkey.size();
        if (end > start)
        {
            if (end - start > kMaxNameLength)
                return false;
            if (!path->empty())
                *path += u'\\';
            path->append(subkey, start, end - start);
        }
        start = end + 1;
    }
    return true;
}

/// Inserts `path` and each of its parents into the key table.
int InsertKeyRows(sqlite3* db, const std::u16string& path)
{
    int rc;
    StmtPtr st = Prepare(db, "INSERT OR IGNORE INTO keys(path) VALUES(?1)", &rc);
    if (rc != SQLITE_OK)
        return rc;
    for (size_t pos = 0; pos != std::u16string::npos;)
    {
        pos = path.find(u'\\', pos + 1);
        BindText(st.get(), 1, path.substr(0, pos));
        rc = sqlite3_step(st.get());
        if (rc != SQLITE_DONE)
            return rc;
        sqlite3_reset(st.get());
    }
    return SQLITE_OK;
}

long EnsureKey(sqlite3* db, const std::u16string& path)
{
    if (path.empty())
        return ERROR_SUCCESS;
    int rc;
    {
        StmtPtr st = Prepare(db, "SELECT 1 FROM keys WHERE path=?1", &rc);
        if (rc != SQLITE_OK)
            return MapError(rc);
        BindText(st.get(), 1, path);
        rc = sqlite3_step(st.get());
        if (rc == SQLITE_ROW)
            return ERROR_SUCCESS;
        if (rc != SQLITE_DONE)
            return MapError(rc);
    }
    Transaction tx(db);
    if (tx.BeginResult() != SQLITE_OK)
        return MapError(tx.BeginResult());
    if (long err = VerifyOurs(db); err != ERROR_SUCCESS)
        return err;
    rc = InsertKeyRows(db, path);
    if (rc == SQLITE_OK)
        rc = tx.Commit();
    return rc == SQLITE_OK ? ERROR_SUCCESS : MapError(rc);
}
}

const HKEY HKEY_CURRENT_USER = &s_currentUser;

long RegCreateKeyEx(HKEY root, const char16_t* subkey, HKEY* result)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (!IsKey(root))
        return ERROR_INVALID_HANDLE;

    auto key = std::make_unique<RegistryKey>();
    key->path = root->path;
    if (!JoinPath(&key->path, ToU16(subkey)))
        return ERROR_INVALID_PARAMETER;
    key->file = root == &s_currentUser ? Registry::FilePath() : root->file;

    DbPtr db;
    if (long err = OpenDatabase(key->file, &db); err != ERROR_SUCCESS)
        return err;
    if (long err = EnsureKey(db.get(), key->path); err != ERROR_SUCCESS)
        return err;
    key->db = db.release();
    *result = key.release();
    return ERROR_SUCCESS;
}

long RegQueryValueEx(HKEY key, const char16_t* name, uint32_t* type, void* data, uint32_t* size)
{
    if (!IsKey(key))
        return ERROR_INVALID_HANDLE;
    if (data && !size)
        return ERROR_INVALID_PARAMETER;
    Connection conn(key);
    if (conn.Error() != ERROR_SUCCESS)
        return conn.Error();

    int rc;
    StmtPtr st = Prepare(conn.Get(), "SELECT type, data FROM vals WHERE key=?1 AND name=?2", &rc);
    if (rc != SQLITE_OK)
        return MapError(rc);
    BindText(st.get(), 1, key->path);
    BindText(st.get(), 2, ToU16(name));
    rc = sqlite3_step(st.get());
    if (rc == SQLITE_DONE)
        return ERROR_FILE_NOT_FOUND;
    if (rc != SQLITE_ROW)
        return MapError(rc);

    if (type)
        *type = static_cast<uint32_t>(sqlite3_column_int64(st.get(), 0));
    const void* blob = sqlite3_column_blob(st.get(), 1);
    const auto needed = static_cast<uint32_t>(sqlite3_column_bytes(st.get(), 1));
    if (!data)
    {
        if (size)
            *size = needed;
        return ERROR_SUCCESS;
    }
    if (*size < needed)
    {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (needed)
        std::memcpy(data, blob, needed);
    *size = needed;
    return ERROR_SUCCESS;
}

long RegSetValueEx(HKEY key, const char16_t* name, uint32_t type, const void* data, uint32_t size)
{
    if (!IsKey(key))
        return ERROR_INVALID_HANDLE;
    if ((!data && size) || (type == REG_DWORD && size != sizeof(uint32_t)) || size > 0x7fffffffu)
        return ERROR_INVALID_PARAMETER;
    Connection conn(key);
    if (conn.Error() != ERROR_SUCCESS)
        return conn.Error();
    sqlite3* db = conn.Get();

    Transaction tx(db);
    if (tx.BeginResult() != SQLITE_OK)
        return MapError(tx.BeginResult());
    // The file may have been replaced or damaged since the key was opened.
    if (long err = VerifyOurs(db); err != ERROR_SUCCESS)
        return err;
    int rc = key->path.empty() ? SQLITE_OK : InsertKeyRows(db, key->path);
    if (rc == SQLITE_OK)
    {
        StmtPtr st = Prepare(db, "INSERT OR REPLACE INTO vals(key, name, type, data) VALUES(?1, ?2, ?3, ?4)", &rc);
        if (rc == SQLITE_OK)
        {
            BindText(st.get(), 1, key->path);
            BindText(st.get(), 2, ToU16(name));
            sqlite3_bind_int64(st.get(), 3, type);
            sqlite3_bind_blob(st.get(), 4, size ? data : "", static_cast<int>(size), SQLITE_TRANSIENT);
            rc = sqlite3_step(st.get());
            if (rc == SQLITE_DONE)
                rc = SQLITE_OK;
        }
    }
    if (rc == SQLITE_OK)
        rc = tx.Commit();
    return rc == SQLITE_OK ? ERROR_SUCCESS : MapError(rc);
}

long RegCloseKey(HKEY key)
{
    if (key == &s_currentUser)
        return ERROR_SUCCESS;
    if (!IsKey(key))
        return ERROR_INVALID_HANDLE;
    sqlite3_close_v2(key->db);
    delete key;
    return ERROR_SUCCESS;
}

namespace Registry
{
std::string FilePath()
{
    return Paths::ConfigDir() + "/registry.db";
}

bool QueryDurability(HKEY key, Durability* result)
{
    if (!IsKey(key) || !result)
        return false;
    Connection conn(key);
    if (conn.Error() != ERROR_SUCCESS)
        return false;
    int rc;
    StmtPtr st = Prepare(conn.Get(), "PRAGMA journal_mode", &rc);
    if (rc != SQLITE_OK || sqlite3_step(st.get()) != SQLITE_ROW)
        return false;
    const unsigned char* mode = sqlite3_column_text(st.get(), 0);
    result->journalMode = mode ? reinterpret_cast<const char*>(mode) : "";
    return QueryInt(conn.Get(), "PRAGMA synchronous", &result->synchronous) == SQLITE_OK &&
           QueryInt(conn.Get(), "PRAGMA busy_timeout", &result->busyTimeoutMs) == SQLITE_OK;
}
}
