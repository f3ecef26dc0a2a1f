#ifndef TALLYARD_PLATFORM_OBJECTSTORERECORD_H
#define TALLYARD_PLATFORM_OBJECTSTORERECORD_H

// How records and sort keys are laid out in SQLite (internal to the store).

#include "platform/ObjectStore.h"

#include <sqlite3.h>

#include <cstdint>
#include <string>

namespace ObjectStore::detail
{
/// A sort key as stored in a key column. Integers stay integers; strings
/// become BLOBs of 0x00 + big-endian UTF-16, so memcmp orders them by code
/// unit. A record lacking the property gets the BLOB 0x01, which sorts after
/// every integer and every string.
struct Key
{
    bool isInt = false;
    int64_t number = 0;
    std::string bytes;

    static Key Missing() { return Key{false, 0, std::string(1, '\x01')}; }
    bool operator==(const Key& other) const
    {
        return isInt == other.isInt && (isInt ? number == other.number : bytes == other.bytes);
    }
    bool operator!=(const Key& other) const { return !(*this == other); }

    void Bind(sqlite3_stmt* stmt, int index) const;
    static Key FromColumn(sqlite3_stmt* stmt, int column);
};

/// The key of `props` under the sort order `propId`.
Key KeyOf(const PropertyList& props, uint32_t propId);
/// The key of one value of the sort order's property.
Key KeyOfValue(const Property& value);

/// True when every property has a supported type and no ident repeats.
bool ValidProps(const PropertyList& props);
/// Serialises a record into one BLOB.
std::string Encode(const PropertyList& props);
/// False when the BLOB is damaged.
bool Decode(const void* data, size_t size, PropertyList& props);
/// Replaces or appends each of `changes` in `props`.
void Merge(PropertyList& props, const PropertyList& changes);
}

#endif
