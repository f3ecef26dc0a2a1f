// Import of iCalendar files into the store, whole or not at all.

#include "sync/IcalExchange.h"

#include "sync/IcalImporter.h"

#include <fstream>
#include <sstream>

namespace IcalExchange
{
bool ImportText(const std::string& text, const std::string& fileName, ImportCounts& counts, std::string& error)
{
    counts = ImportCounts();
    Ical::Calendar cal;
    if (!Ical::ReadCalendar(text, cal, error))
        return false;
    detail::Importer importer(cal, fileName);
    ImportCounts done;
    if (!importer.Run(done, error))
        return false;
    counts = done;
    return true;
}

bool ImportFile(const std::string& path, ImportCounts& counts, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        error = "cannot open " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
    {
        error = "cannot read " + path;
        return false;
    }
    return ImportText(text.str(), path, counts, error);
}

std::string Summary(const ImportCounts& c)
{
    auto n = [](int count, const char* one, const char* many) {
        return std::to_string(count) + " " + (count == 1 ? one : many);
    };
    return n(c.checklistsAdded, "checklist", "checklists") + " and " + n(c.itemsAdded, "item", "items") + " added, " +
           n(c.checklistsUpdated, "checklist", "checklists") + " and " + n(c.itemsUpdated, "item", "items") +
           " updated.";
}
}
