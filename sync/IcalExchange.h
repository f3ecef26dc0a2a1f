#ifndef TALLYARD_SYNC_ICALEXCHANGE_H
#define TALLYARD_SYNC_ICALEXCHANGE_H

// Export of the store (or one category) to an iCalendar file and import of
// one, as the program's Tools menu and tallyard-cli do it.

#include <string>

namespace IcalExchange
{
/// The whole store as iCalendar text: every checklist, in the main view's
/// order, each followed by its items. A category name other than "" or
/// "All" exports only the checklists filed under it. Gives records without
/// a UID one first.
bool ExportText(const std::u16string& category, std::string& text, std::string& error);
/// Writes ExportText to `path` through a temporary file renamed into place:
/// on failure neither a half file nor a change to an existing one is left.
bool ExportFile(const std::string& path, const std::u16string& category, std::string& error);

struct ImportCounts
{
    int checklistsAdded = 0;
    int checklistsUpdated = 0;
    int itemsAdded = 0;
    int itemsUpdated = 0;
};

/// Imports iCalendar text in one transaction: all of it or, with a one-line
/// reason ("line 12: ..."), nothing. `fileName` names the checklist made of
/// a plain task list that has no X-WR-CALNAME (its extension dropped).
bool ImportText(const std::string& text, const std::string& fileName, ImportCounts& counts, std::string& error);
bool ImportFile(const std::string& path, ImportCounts& counts, std::string& error);

/// "2 checklists and 10 items added, 1 checklist and 3 items updated."
std::string Summary(const ImportCounts& counts);
}

#endif
