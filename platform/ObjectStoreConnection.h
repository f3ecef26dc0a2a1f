#ifndef TALLYARD_PLATFORM_OBJECTSTORECONNECTION_H
#define TALLYARD_PLATFORM_OBJECTSTORECONNECTION_H

// The process's one SQLite connection per store file (internal to the store).

#include "platform/ObjectStore.h"

#include <sqlite3.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ObjectStore::detail
{
class UndoRecorder;

/// Statements of one database table, per sort order.
enum StmtKind
{
    StmtFirst,     // first rows in order
    StmtEqualFrom, // rows with key = ?1 and oid > ?2
    StmtAfter,     // rows with key > ?1
    StmtByOid,     // props of oid ?1
    StmtKindCount
};

/// Records one insert statement adds at most (Database::AddAll).
constexpr int InsertBatchRows = 64;

/// One database: its table and sort orders, with its cached statements.
struct DbInfo
{
    int64_t tableId = 0;
    std::vector<SortOrder> sortOrders;
    std::string table;
    // [sort order + 1][kind]; index 0 is "no sort order".
    std::array<std::array<sqlite3_stmt*, StmtKindCount>, MaxSortOrders + 1> reads{};
    sqlite3_stmt* insert = nullptr;
    sqlite3_stmt* insertBatch = nullptr; // InsertBatchRows records at once
    sqlite3_stmt* update = nullptr;
    sqlite3_stmt* remove = nullptr;
    sqlite3_stmt* count = nullptr;

    DbInfo() = default;
    DbInfo(const DbInfo&) = delete;
    DbInfo& operator=(const DbInfo&) = delete;
    ~DbInfo();
};

struct Connection
{
    sqlite3* db = nullptr;
    std::string path;
    bool readOnly = false;
    /// Set when SQLite reports the file damaged: the connection is not reused.
    bool broken = false;
    /// Bumped by every write, begin and rollback: rows read before are stale.
    uint64_t generation = 1;
    int txDepth = 0;
    bool txFailed = false;
    /// The file refused a step of the change in progress, and why.
    bool txFileFault = false;
    std::string txFileFaultReason;
    bool txBegun = false;
    std::map<std::u16string, std::shared_ptr<DbInfo>> catalog;
    std::vector<std::u16string> createdInTx;
    std::map<std::string, sqlite3_stmt*> statements;
    /// Records the outermost transaction for the undo step in progress.
    std::shared_ptr<UndoRecorder> recorder;
    bool recording = false;

    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();

    /// Prepared once per connection, then reused.
    sqlite3_stmt* Prepare(const std::string& sql);
    /// Prepares `slot` on first use.
    bool PrepareInto(sqlite3_stmt*& slot, const std::string& sql);
    bool Exec(const char* sql);

    /// Null when no database has that name (the catalog is re-read on a miss).
    std::shared_ptr<DbInfo> Find(const std::u16string& name, bool reread);
    bool Create(const std::u16string& name, uint32_t type, const std::vector<SortOrder>& sortOrders);

    /// Starts a change, or a step of the one in progress. A change begun
    /// on a read-only file fails only at its first write (`forWrite`), so
    /// one that writes nothing succeeds.
    bool Begin(bool forWrite);
    bool End(bool commit);
    bool InTransaction() const { return txDepth > 0; }

    /// Records SQLite's error for `what`; marks the transaction failed and,
    /// for a damaged file, the connection broken. Always false.
    bool Fail(const std::string& what);
    /// Records that the file refused a step of the change in progress.
    void NoteFileFault();
};

/// Opens the store file at `path`, making it when missing; null when the
/// file cannot be used (nothing is then written to it).
std::shared_ptr<Connection> OpenStore(const std::string& dir, const std::string& path);

/// Whether the store file, its folder and its shared-memory index can be
/// written now (an immutable file cannot, even by root).
bool StoreWritable(const std::string& dir, const std::string& path);

/// The index of a table's sort order, and the statement that makes it (the
/// same whenever it is made).
std::string IndexName(const std::string& table, size_t sort);
std::string IndexSql(const std::string& table, size_t sort);

/// Records one AddAll adds at the least for it to drop a table's indexes and
/// make them again afterwards, when the table holds fewer records than that.
constexpr size_t RebuildIndexesFrom = 4096;

/// Reads the catalog's text form of a database's sort orders.
bool ParseSorts(const std::string& text, std::vector<SortOrder>& sorts);

/// The connection of the current store path, opened and checked on first use.
/// Null when the store cannot be used; LastError() says why.
std::shared_ptr<Connection> Acquire();

void SetLastError(std::string text);

/// Undo recording of one outermost transaction (UndoHistory.cpp): started
/// after it begins, its changes taken before it commits, ended after.
void StartRecording(Connection& c);
void TakeRecording(Connection& c, std::string& changes);
void EndRecording(Connection& c, bool committed, const std::string& changes);
/// Tells the write-failure hook (if any) that a change was refused.
void ReportWriteFailure(const std::string& reason);
void SetWriteFailureHookImpl(ObjectStore::WriteFailureHook hook);

/// Runs `body` inside a transaction of `c`; a failure of body marks it
/// failed. Returns whether everything landed (or, nested, did not fail).
template <typename F>
bool InTransaction(Connection& c, F&& body)
{
    if (!c.Begin(true))
    {
        c.End(false);
        return false;
    }
    const bool ok = body();
    if (!ok)
        c.txFailed = true;
    return c.End(ok);
}
}

#endif
