#ifndef TALLYARD_PLATFORM_OBJECTSTORECURSOR_H
#define TALLYARD_PLATFORM_OBJECTSTORECURSOR_H

// The state behind a Database handle (internal to the store).

#include "platform/ObjectStoreConnection.h"
#include "platform/ObjectStoreRecord.h"

#include <memory>
#include <string>
#include <vector>

namespace ObjectStore::detail
{
struct Row
{
    ObjectId oid = 0;
    Key key;
    std::string props;
};

// A handle's state. Rows are fetched a batch at a time and stay usable
// while the connection's generation is unchanged; after any write the
// cursor seeks again strictly after the (key, object id) it was on.
struct Cursor
{
    enum Range
    {
        RangeAll,
        RangeEqual
    };

    std::shared_ptr<Connection> conn;
    std::shared_ptr<DbInfo> info;
    int sort = -1;

    bool hasCurrent = false;
    ObjectId oid = 0;
    Key key;

    bool hasSeekKey = false;
    Key seekKey;

    std::vector<Row> rows;
    size_t pos = 0;
    uint64_t generation = 0;
    Range range = RangeAll;
    bool exhausted = false;
    // The last fetch stopped at the byte limit, not at its end.
    bool full = false;
    size_t bytes = 0;
    int batch = 8;

    bool Fresh() const { return generation == conn->generation && pos < rows.size(); }
    std::string KeyColumn() const { return sort < 0 ? "oid" : "k" + std::to_string(sort); }
    sqlite3_stmt* Stmt(StmtKind kind);
    bool Fetch(sqlite3_stmt* stmt, int limit, size_t& added);
    bool Usable();
    void SetCurrent(size_t index);
    bool Refetch(Range newRange, bool first);
    bool LoadProps(PropertyList& props);
    std::vector<Key> KeysOf(const PropertyList& props) const;
};

/// Steps a statement that returns no rows.
bool StepDone(Connection& c, sqlite3_stmt* stmt, const char* what);
bool ValidSortOrders(const std::vector<SortOrder>& sorts);
}

#endif
