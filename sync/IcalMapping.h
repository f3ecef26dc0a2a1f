#ifndef TALLYARD_SYNC_ICALMAPPING_H
#define TALLYARD_SYNC_ICALMAPPING_H

// Checklists and items <-> VTODO, one record at a time, as pure functions.
//
// A checklist is a VTODO with UID, SUMMARY = name, DESCRIPTION = note (none
// when empty), CATEGORIES = category (none for "Unfiled"),
// X-APPLE-SORT-ORDER = position, DTSTAMP, LAST-MODIFIED when known, no
// STATUS. An item adds RELATED-TO;RELTYPE=PARENT:<checklist UID>, STATUS
// (COMPLETED with COMPLETED and PERCENT-COMPLETE:100 when checked, else
// NEEDS-ACTION) and PRIORITY (1..5 written 1, 3, 5, 7, 9; 0 written as none).
//
// What a VTODO holds beyond that is kept in IcalStore::Extra::kept as raw
// lines and written back unchanged. Kept lines of the properties the mapping
// writes itself (a checklist's CATEGORIES; an item's STATUS, COMPLETED,
// PERCENT-COMPLETE, PRIORITY) are written back instead of the made ones
// while they still say what the record says (CATEGORIES:Home,Errands while
// the category is "Home", PRIORITY:2 while the priority is 1), and dropped
// once the record says otherwise.
//
// Use (sync, one resource): Ical::ReadCalendar(text, cal, error), then for
// cal.todos[0]: ParentUid() tells checklist from item; ReadChecklist or
// ReadItem fill the record and its Extra (kind, uid, kept, lastModified,
// fingerprint; not id). Writing: WriteCalendar({WriteChecklist(...)}).

#include "store/IcalStore.h"
#include "store/ListStore.h"
#include "sync/IcalReader.h"

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace IcalMapping
{
/// The UID of the VTODO ("" when it has none).
std::u16string Uid(const Ical::Todo& todo);
/// The first RELATED-TO with RELTYPE=PARENT or no RELTYPE ("" when none).
std::u16string ParentUid(const Ical::Todo& todo);
/// X-APPLE-SORT-ORDER as a number, when it is one.
std::optional<long long> SortOrder(const Ical::Todo& todo);

/// Fill name, note, category ("Unfiled" when none) and, when
/// X-APPLE-SORT-ORDER fits, position. Ids and counts are left alone.
void ReadChecklist(const Ical::Todo& todo, ListRecord& list, IcalStore::Extra& extra);
/// Fill name, details, checked, priority and, when it fits, position.
void ReadItem(const Ical::Todo& todo, ItemRecord& item, IcalStore::Extra& extra);

/// "BEGIN:VTODO ... END:VTODO" with CRLF line ends, folded. `stamp` is the
/// DTSTAMP (and COMPLETED of a checked item that has no kept one).
std::string WriteChecklist(const ListRecord& list, const IcalStore::Extra& extra, std::time_t stamp);
std::string WriteItem(const ItemRecord& item, const IcalStore::Extra& extra, const std::u16string& parentUid,
                      std::time_t stamp);
/// A VCALENDAR around VTODO texts; `name` becomes X-WR-CALNAME when not empty.
std::string WriteCalendar(const std::vector<std::string>& todos, const std::u16string& name = {});

/// What the mapped fields of a record are; Extra::fingerprint holds it from
/// the moment LAST-MODIFIED was taken.
std::u16string Fingerprint(const ListRecord& list);
std::u16string Fingerprint(const ItemRecord& item, const std::u16string& parentUid);

/// Tallyard priority <-> iCalendar PRIORITY.
int PriorityToIcal(int priority);
int PriorityFromIcal(int value);

/// Folds one content line (no line end) at 75 octets, never inside a UTF-8
/// sequence, and ends every part with CRLF.
std::string Fold(const std::string& line);

/// The PRODID Tallyard writes.
extern const char* const ProductId;
}

#endif
