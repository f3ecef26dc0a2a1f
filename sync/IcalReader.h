#ifndef TALLYARD_SYNC_ICALREADER_H
#define TALLYARD_SYNC_ICALREADER_H

// Reads iCalendar text through libical, keeping for every VTODO the line it
// starts on and its raw content lines, so that what Tallyard does not map
// can be kept exactly and refusals can say where.

#include <libical/ical.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace Ical
{
struct ComponentFree
{
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentFree>;

/// One VTODO that is a direct child of a VCALENDAR (parsed on its own, so
/// its component has no parent).
struct Todo
{
    /// Line of its BEGIN:VTODO (1-based, physical lines).
    int line = 0;
    /// Parsed by libical; owned by the Calendar's roots.
    icalcomponent* component = nullptr;
    /// Its content lines, unfolded and without line ends, in file order,
    /// nested components (VALARM, ...) included, its own BEGIN/END not, nor
    /// the lines the mapping always writes itself (UID, SUMMARY, DESCRIPTION,
    /// X-APPLE-SORT-ORDER, DTSTAMP, LAST-MODIFIED of the VTODO).
    std::vector<std::string> lines;
};

struct Calendar
{
    std::vector<ComponentPtr> roots;
    std::vector<Todo> todos;
    /// X-WR-CALNAME and PRODID of the first VCALENDAR ("" when absent).
    std::string name;
    std::string prodid;
};

/// Parses `text`. False, with "line N: why" in `error`, for text that is not
/// iCalendar, is truncated, is not UTF-8, holds NUL bytes, has unbalanced
/// BEGIN/END, or has a line libical cannot read among the properties that
/// Tallyard maps (other lines of a VTODO are kept as they are). The VTODOs
/// are parsed in `parts` groups at once (0: as many as the cores and the
/// file's size make worth it); the result does not depend on it.
bool ReadCalendar(const std::string& text, Calendar& calendar, std::string& error, size_t parts = 0);

/// The property name of a content line, in capitals ("X-FOO" of "x-foo;A=1:v").
std::string LineName(const std::string& line);
/// The same into `name`, whose buffer is reused.
void LineName(const char* line, size_t length, std::string& name);
/// True for the properties that the mapping reads.
bool IsMappedName(const std::string& name);
}

#endif
