#ifndef TALLYARD_STORE_ICALSTORE_H
#define TALLYARD_STORE_ICALSTORE_H

// The iCalendar side of checklists and items: each record's UID, the
// properties of other programs that Tallyard does not map (kept as their
// raw iCalendar lines) and LAST-MODIFIED. One row per record in the
// database "KvTyIcal" of the store file, beside the three record databases,
// whose layout it leaves alone. No wxWidgets; strings are UTF-16.
//
// Rules the rest of the store keeps:
// - Deleting a checklist or an item deletes its row in the same transaction.
// - A record without a row (made by the program, or a copy) has no UID
//   until EnsureUids() gives it a fresh one; a copy therefore never shares
//   the UIDs of its source.
// - Every function joins the caller's ListStore::Transaction, if any, so a
//   record and its row change together.
//
// Typical use (export, sync): EnsureUids(); LoadAll(rows) or Load(kind, id,
// row) per record; on import: FindUid(uid, row) to find the record a VTODO
// updates, then Save(row) for the record written.

#include <cstdint>
#include <string>
#include <vector>

namespace IcalStore
{
enum class Kind : int16_t
{
    Checklist = 1,
    Item = 2
};

struct Extra
{
    Kind kind = Kind::Checklist;
    /// The checklist's or item's id.
    int32_t id = 0;
    /// Never empty in a stored row; unique across both kinds.
    std::u16string uid;
    /// Raw content lines (unfolded, each ended by CRLF) of the properties and
    /// components of the VTODO that Tallyard does not map, in file order.
    std::u16string kept;
    /// LAST-MODIFIED as "YYYYMMDDTHHMMSSZ", or empty when not known.
    std::u16string lastModified;
    /// What the mapped fields were when lastModified was taken; a record
    /// whose fields no longer match has been changed since (opaque text
    /// made by the mapping). Empty with lastModified set: the record was
    /// last changed here, at lastModified (see Touch).
    std::u16string fingerprint;
};

/// The row of one record; false when it has none.
bool Load(Kind kind, int32_t id, Extra& extra);
/// The row carrying this UID; false when no record has it.
bool FindUid(const std::u16string& uid, Extra& extra);
/// Adds or replaces the row of (extra.kind, extra.id). Refused (false) when
/// the UID is empty or belongs to another record.
bool Save(const Extra& extra);
/// Adds rows for records that have none, with UIDs no record has (neither
/// is checked: for bulk imports that made sure of both). Takes the rows'
/// texts.
bool AddRows(std::vector<Extra> extras);
/// Deletes the row of one record; true also when there was none.
bool Remove(Kind kind, int32_t id);
/// Every row, in no particular order.
bool LoadAll(std::vector<Extra>& extras);
/// Dates a change made here to a mapped field of the record: its row's
/// lastModified becomes now and its fingerprint empty. True also when the
/// record has no row (it has never been exported or synced).
bool Touch(Kind kind, int32_t id);

/// Gives every checklist and item that has no row a row with a fresh UID,
/// in one transaction. False when that could not be stored.
bool EnsureUids();
/// A fresh random UID (RFC 4122 version 4 form).
std::u16string NewUid();
}

#endif
