#ifndef TALLYARD_SYNC_SYNCSTATUS_H
#define TALLYARD_SYNC_SYNCSTATUS_H

// The status of the last sync, kept in the store file beside the records
// (database "KvTySync"), so that a record and its status change in one
// transaction: per UID the server's href and etag, the record's version and
// the VTODO both sides had; and the collection's URL with its sync-token.
// Every function joins the caller's transaction, if any.

#include "sync/SyncSides.h"

#include <map>
#include <string>

namespace SyncStatus
{
/// The entries and token for the collection at `url`; a store that synced
/// with another collection before starts afresh (its old status dropped).
bool Load(const std::string& url, std::map<std::string, Sync::StatusEntry>& entries, std::string& token);
bool Save(const Sync::StatusEntry& entry);
/// Saves these entries in one transaction.
bool SaveAll(const std::vector<Sync::StatusEntry>& entries);
bool Drop(const std::string& uid);
bool SaveToken(const std::string& url, const std::string& token);
/// The entry of one UID; false when it has none.
bool Find(const std::string& uid, Sync::StatusEntry& entry);
}

#endif
