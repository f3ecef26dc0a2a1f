#ifndef TALLYARD_PLATFORM_OBJECTSTORE_H
#define TALLYARD_PLATFORM_OBJECTSTORE_H

// Databases of typed-property records with sort orders, kept in one SQLite
// file, $XDG_DATA_HOME/tallyard/objectstore.db. No wxWidgets; strings are
// UTF-16 and compare by code unit.
//
// Every operation returns false on failure and leaves the reason in
// LastError(). A file at the store's path that is not a Tallyard store is
// never written to: every operation then fails.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ObjectStore
{
/// Type codes in the low 16 bits of a property id, as on the handheld.
enum PropType : uint16_t
{
    TypeInt16 = 2,
    TypeInt32 = 3,
    TypeString = 31
};

/// Property id: ident in the high 16 bits, type code in the low 16.
constexpr uint32_t MakePropId(uint16_t ident, uint16_t type) { return (uint32_t(ident) << 16) | type; }
constexpr uint16_t PropIdent(uint32_t propId) { return uint16_t(propId >> 16); }
constexpr uint16_t PropTypeOf(uint32_t propId) { return uint16_t(propId & 0xFFFF); }

/// One typed value. Integers of both widths live in `number`, strings in `text`.
struct Property
{
    uint32_t id = 0;
    int32_t number = 0;
    std::u16string text;

    static Property Int16(uint16_t ident, int16_t value) { return {MakePropId(ident, TypeInt16), value, {}}; }
    static Property Int32(uint16_t ident, int32_t value) { return {MakePropId(ident, TypeInt32), value, {}}; }
    static Property String(uint16_t ident, std::u16string value)
    {
        return {MakePropId(ident, TypeString), 0, std::move(value)};
    }
    uint16_t Ident() const { return PropIdent(id); }
    uint16_t Type() const { return PropTypeOf(id); }
};

using PropertyList = std::vector<Property>;

/// The property with this ident in `props`, or null.
const Property* FindProp(const PropertyList& props, uint16_t ident);

/// A sort order: ascending, case-sensitive by code unit, records lacking the
/// property last, equal keys in insertion order. Flags other than 0 are
/// refused.
struct SortOrder
{
    uint32_t propId = 0;
    uint32_t flags = 0;
};

/// At most this many sort orders per database.
constexpr size_t MaxSortOrders = 4;

/// Identifies a record within its database; 0 means none.
using ObjectId = int64_t;

/// Opens a handle on no sort order: records in insertion order.
constexpr uint32_t NoSortOrder = 0;

bool DatabaseExists(const std::u16string& name);
/// Fails when a database of that name exists already.
bool CreateDatabase(const std::u16string& name, uint32_t type, const std::vector<SortOrder>& sortOrders);

namespace detail
{
struct Connection;
struct Cursor;
}

/// A handle on one database with its own sort order and current record.
/// Several handles on the same database are independent. Closed on
/// destruction. A handle's next-seek continues after the record it was on
/// even when that record was changed or deleted meanwhile.
class Database
{
public:
    Database();
    ~Database();
    Database(Database&&) noexcept;
    Database& operator=(Database&&) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    /// `sortPropId` names one of the database's sort orders, or NoSortOrder.
    bool Open(const std::u16string& name, uint32_t sortPropId = NoSortOrder);
    bool IsOpen() const;
    void Close();

    /// Each returns whether a record is now current.
    bool SeekFirst();
    bool SeekNext();
    /// First record whose sorted property equals `value` (same property id as
    /// the handle's sort order); then SeekNextEqual for the following ones.
    bool SeekValue(const Property& value);
    bool SeekNextEqual();

    /// Reads the current record: all properties, or only those listed
    /// (missing ones are left out).
    bool Read(PropertyList& props);
    bool Read(const std::vector<uint32_t>& propIds, PropertyList& props);
    /// Replaces these properties of the current record, keeping the others.
    bool Write(const PropertyList& props);
    /// Adds a record; it does not become current.
    bool Add(const PropertyList& props, ObjectId* objectId = nullptr);
    /// Adds records in this order, as Add would one by one, several to a
    /// statement: for many records at once.
    bool AddAll(const std::vector<PropertyList>& records);

    /// 0 when no record is current.
    ObjectId CurrentObjectId() const;
    bool Delete(ObjectId objectId);
    /// Number of records; false when it could not be counted.
    bool Count(uint32_t& count);

private:
    std::unique_ptr<detail::Cursor> m_cursor;
};

/// Groups writes so that they land whole or not at all. Nests: only the
/// outermost commits. A failed write inside, or an inner transaction left
/// without Commit(), marks it failed; Commit() then rolls back and returns
/// false. Destroyed without Commit() it rolls back.
class Transaction
{
public:
    Transaction();
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool Commit();
    /// Marks the enclosing outermost transaction failed.
    void MarkFailed();
    bool Failed() const;
    /// True once the change in progress was refused (by the file, or by
    /// RefuseChange): the write-failure hook reports it when it ends.
    bool Refused() const;

private:
    std::shared_ptr<detail::Connection> m_connection;
    bool m_open = false;
};

/// Marks the transaction in progress (if any) failed.
void MarkTransactionFailed();

/// Refuses the change in progress for `reason`, as if the file had refused
/// it: it rolls back and the write-failure hook is told once, when the
/// outermost change ends (at once when no change is in progress).
void RefuseChange(const std::string& reason);

/// Why the last operation of this thread failed ("" after none).
std::string LastError();

/// Called once for each outermost change that the file refused (read-only,
/// damaged, locked by another program, an I/O error, a full disk), with the
/// reason, after the change was rolled back. A change abandoned for a reason
/// of its own (a record not found) does not call it.
using WriteFailureHook = std::function<void(const std::string& reason)>;
void SetWriteFailureHook(WriteFailureHook hook);
/// True when the store could be opened for reading only (read-only file or
/// folder). Opens the store if needed.
bool IsReadOnly();
/// True when a file at the store's path is not a usable Tallyard store.
bool IsUnusable();
/// Full path of the store file for the current environment.
std::string StorePath();
/// Drops the cached connection so the next operation reopens and re-checks
/// the file. Handles still open keep theirs until closed.
void ResetConnection();

/// While one lives, the store operations of the thread that made it use a
/// connection of that thread's own instead of the process's shared one: a
/// worker beside the user interface then never joins the other's
/// transactions. Nests; the connection closes with the outermost.
class ThreadConnection
{
public:
    ThreadConnection();
    ~ThreadConnection();
    ThreadConnection(const ThreadConnection&) = delete;
    ThreadConnection& operator=(const ThreadConnection&) = delete;
};
}

#endif
