#ifndef TALLYARD_SYNC_SYNCMERGE_H
#define TALLYARD_SYNC_SYNCMERGE_H

// The three-way merge of one VTODO, field by field, on iCalendar text. Only
// what each side changed since the common copy is taken from it; a field
// both changed differently goes to the later change, and the other value is
// kept in sight as a "Changed elsewhere: <value>" line of the description.

#include <string>

namespace Sync
{
struct MergeResult
{
    bool ok = false;       ///< false when a side does not parse as one VTODO
    std::string text;      ///< the merged iCalendar object
    int conflicts = 0;     ///< fields both sides changed differently
};

/// `base` may be empty (no common copy: every differing field conflicts).
/// The later change is the one with the later LAST-MODIFIED (else DTSTAMP);
/// `localIsLater` breaks a tie. `sent`, when given, is the local copy as it
/// was when a write to the other side was cut off (landed or not): a field
/// the remote copy holds as `sent` has it is this side's, not a change there.
MergeResult Merge3(const std::string& base, const std::string& local, const std::string& remote,
                   bool localIsLater = true, const std::string& sent = {});

/// Whether two iCalendar objects hold the same VTODO, ignoring DTSTAMP and
/// the order of properties of different names.
bool SameTodo(const std::string& a, const std::string& b);

/// The UID of the object's VTODO; empty when it holds no single VTODO
/// (events, journals, several VTODOs, text that does not parse).
std::string TodoUid(const std::string& text);
/// The UID named by the VTODO's RELATED-TO with RELTYPE=PARENT (or none).
std::string TodoParent(const std::string& text);

extern const char* const kChangedElsewhere;
}

#endif
