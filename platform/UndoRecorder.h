#ifndef TALLYARD_PLATFORM_UNDORECORDER_H
#define TALLYARD_PLATFORM_UNDORECORDER_H

// The changes of one transaction, as an SQLite changeset (internal to the
// store).

#include <sqlite3.h>

#include <string>
#include <vector>

namespace ObjectStore::detail
{
class UndoRecorder
{
public:
    /// Records every change of `db` from now on, until Stop.
    void Start(sqlite3* db);
    void Stop(sqlite3* db);
    /// The changeset of what was recorded; false when a change could not be.
    bool Take(std::string& changeset);
    /// Called by the pre-update hook.
    void Record(sqlite3* db, int op, const char* database, const char* table);

    /// Tables whose records are undone: all but the list of databases.
    static bool Recorded(const char* table);

private:
    struct Table
    {
        std::string name;
        std::string keyOrder; // per column: 0, or its place in the primary key
        bool keyed = false;
        std::string changes;
    };
    Table* FindTable(sqlite3* db, const char* name);
    void Clear();

    // Kept for the connection's life: a table's layout is read once.
    std::vector<Table> m_tables;
    bool m_failed = false;
};
}

#endif
