#include "sync/IcalMapping.h"

#include "sync/IcalText.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>

using IcalText::FromUtf8;
using IcalText::ToUtf8;

namespace IcalMapping
{
const char* const ProductId = "-//Tallyard//Tallyard 1.0//EN";

namespace
{
struct PropertyFree
{
    void operator()(icalproperty* p) const { icalproperty_free(p); }
};
using PropertyPtr = std::unique_ptr<icalproperty, PropertyFree>;

const std::u16string Unfiled = u"Unfiled";

std::string Upper(std::string s)
{
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

icaltimetype UtcTime(std::time_t t)
{
    return icaltime_from_timet_with_zone(t, 0, icaltimezone_get_utc_timezone());
}

std::u16string UtcText(icaltimetype t)
{
    if (icaltime_is_null_time(t))
        return {};
    if (t.zone && !icaltime_is_utc(t))
        t = icaltime_convert_to_zone(t, icaltimezone_get_utc_timezone());
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02dT%02d%02d%02dZ", t.year, t.month, t.day, t.is_date ? 0 : t.hour,
                  t.is_date ? 0 : t.minute, t.is_date ? 0 : t.second);
    return FromUtf8(buf);
}

bool IsParentLink(icalproperty* p)
{
    icalparameter* type = icalproperty_get_first_parameter(p, ICAL_RELTYPE_PARAMETER);
    return !type || icalparameter_get_reltype(type) == ICAL_RELTYPE_PARENT;
}

// Ordinal (among the RELATED-TO properties) of the parent link, or -1.
int ParentOrdinal(icalcomponent* c)
{
    int n = 0;
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_RELATEDTO_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_RELATEDTO_PROPERTY), ++n)
    {
        if (IsParentLink(p) && icalproperty_get_relatedto(p) && *icalproperty_get_relatedto(p))
            return n;
    }
    return -1;
}

std::string EscapedCategory(const std::string& value);

// Lines exactly as the mapping would write them for what they say need no
// keeping.
bool IsCanonical(const std::string& line, const std::string& name, const std::string& category)
{
    if (name == "STATUS")
        return line == "STATUS:COMPLETED" || line == "STATUS:NEEDS-ACTION";
    if (name == "PERCENT-COMPLETE")
        return line == "PERCENT-COMPLETE:100";
    if (name == "PRIORITY")
        return line.size() == 10 && line.compare(0, 9, "PRIORITY:") == 0 && std::strchr("13579", line[9]);
    if (name == "CATEGORIES")
        return line == "CATEGORIES:" + EscapedCategory(category);
    return false;
}

// The raw lines of `todo` that the mapping does not read for this kind, in
// file order, each ended by CRLF. `category` is the category read, if any.
std::u16string KeptLines(const Ical::Todo& todo, IcalStore::Kind kind, const std::string& category = {})
{
    static const char* const own[] = {"UID", "SUMMARY", "DESCRIPTION", "X-APPLE-SORT-ORDER", "DTSTAMP",
                                      "LAST-MODIFIED"};
    const int parent = kind == IcalStore::Kind::Item ? ParentOrdinal(todo.component) : -1;
    std::string kept;
    std::string name;
    int depth = 0;
    int related = 0;
    for (const std::string& line : todo.lines)
    {
        Ical::LineName(line.data(), line.size(), name);
        bool keep = true;
        if (depth == 0 && name != "BEGIN" && name != "END")
        {
            for (const char* m : own)
                keep = keep && name != m;
            if (name == "RELATED-TO")
                keep = related++ != parent;
            const bool mine = kind == IcalStore::Kind::Item ? name != "CATEGORIES" : name == "CATEGORIES";
            if (keep && mine && IsCanonical(line, name, category))
                keep = false;
        }
        if (name == "BEGIN" && line.size() > 5 && line[5] == ':')
            ++depth;
        else if (name == "END" && line.size() > 3 && line[3] == ':' && depth > 0)
            --depth;
        if (keep)
        {
            kept += line;
            kept += "\r\n";
        }
    }
    return FromUtf8(kept);
}

std::u16string TextOf(const char* text)
{
    return text ? FromUtf8(text) : std::u16string();
}

void ReadCommon(const Ical::Todo& todo, std::u16string& name, std::u16string& text, int16_t& position,
                IcalStore::Extra& extra)
{
    icalcomponent* c = todo.component;
    name = TextOf(icalcomponent_get_first_property(c, ICAL_SUMMARY_PROPERTY) ? icalcomponent_get_summary(c) : nullptr);
    text = TextOf(icalcomponent_get_first_property(c, ICAL_DESCRIPTION_PROPERTY) ? icalcomponent_get_description(c)
                                                                                  : nullptr);
    if (const auto order = SortOrder(todo); order && *order >= INT16_MIN && *order <= INT16_MAX)
        position = int16_t(*order);
    extra.uid = Uid(todo);
    extra.lastModified.clear();
    if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_LASTMODIFIED_PROPERTY))
        extra.lastModified = UtcText(icalproperty_get_lastmodified(p));
}

// The first value of each kept line named `name`, parsed by libical.
template <typename F>
void ForKept(const std::u16string& kept, const char* name, F f)
{
    const std::string text = ToUtf8(kept);
    int depth = 0;
    for (size_t pos = 0; pos < text.size();)
    {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 2;
        const std::string lineName = Ical::LineName(line);
        if (lineName == "BEGIN")
            ++depth;
        else if (lineName == "END")
            --depth;
        else if (depth == 0 && lineName == name)
        {
            PropertyPtr p(icalproperty_new_from_string(line.c_str()));
            f(line, p.get());
        }
    }
}

// TEXT escaping for a CATEGORIES value: libical leaves its commas bare,
// which would split one category into several.
std::string EscapedCategory(const std::string& value)
{
    std::string out;
    for (char ch : value)
    {
        if (ch == '\\' || ch == ',' || ch == ';')
            out.push_back('\\');
        if (ch == '\n')
            out += "\\n";
        else if (ch != '\r')
            out.push_back(ch);
    }
    return out;
}

// Splices folded raw lines in before the component's closing line.
std::string WithLines(std::string component, const std::string& lines)
{
    const size_t end = component.rfind("END:VTODO");
    if (end == std::string::npos || lines.empty())
        return component;
    component.insert(end, lines);
    return component;
}

// Serialises and frees a property made by libical.
std::string PropertyText(icalproperty* p)
{
    PropertyPtr owned(p);
    char* text = icalproperty_as_ical_string_r(p);
    std::string out = text ? text : "";
    icalmemory_free_buffer(text);
    return out;
}

std::string AsText(icalcomponent* c)
{
    char* text = icalcomponent_as_ical_string_r(c);
    std::string out = text ? text : "";
    icalmemory_free_buffer(text);
    return out;
}

// `unchanged`: the record is as it was when LAST-MODIFIED was taken.
void AddCommon(icalcomponent* c, const IcalStore::Extra& extra, const std::u16string& name, const std::u16string& text,
               int16_t position, bool unchanged, std::time_t stamp)
{
    icalcomponent_add_property(c, icalproperty_new_uid(ToUtf8(extra.uid).c_str()));
    icalcomponent_add_property(c, icalproperty_new_dtstamp(UtcTime(stamp)));
    if (unchanged)
    {
        const icaltimetype t = icaltime_from_string(ToUtf8(extra.lastModified).c_str());
        if (!icaltime_is_null_time(t))
            icalcomponent_add_property(c, icalproperty_new_lastmodified(t));
    }
    icalcomponent_add_property(c, icalproperty_new_summary(ToUtf8(name).c_str()));
    if (!text.empty())
        icalcomponent_add_property(c, icalproperty_new_description(ToUtf8(text).c_str()));
    icalproperty* order = icalproperty_new_x(std::to_string(position).c_str());
    icalproperty_set_x_name(order, "X-APPLE-SORT-ORDER");
    icalcomponent_add_property(c, order);
}

// Kept lines other than those named in `written`, folded.
std::string OtherKept(const std::u16string& kept, std::initializer_list<const char*> written)
{
    const std::string text = ToUtf8(kept);
    std::string out;
    int depth = 0;
    for (size_t pos = 0; pos < text.size();)
    {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 2;
        const std::string name = Ical::LineName(line);
        bool skip = false;
        if (depth == 0)
        {
            for (const char* w : written)
                skip = skip || name == w;
        }
        if (name == "BEGIN")
            ++depth;
        else if (name == "END" && depth > 0)
            --depth;
        if (!skip && !line.empty())
            out += Fold(line);
    }
    return out;
}

// FNV-1a over the UTF-8 form of what it is fed, without making that form.
class Hash
{
public:
    Hash& operator<<(char ch)
    {
        m_h ^= static_cast<unsigned char>(ch);
        m_h *= 1099511628211ull;
        return *this;
    }
    Hash& operator<<(const std::string& text)
    {
        for (char ch : text)
            *this << ch;
        return *this;
    }
    // As IcalText::ToUtf8 would write it.
    Hash& operator<<(const std::u16string& text)
    {
        for (size_t i = 0; i < text.size();)
            IcalText::PutUtf8(IcalText::NextCodePoint(text, i), [this](char ch) { *this << ch; });
        return *this;
    }
    Hash& operator<<(int n) { return *this << std::to_string(n); }

    std::u16string Text() const
    {
        static const char16_t hex[] = u"0123456789abcdef";
        std::u16string out(16, u'0');
        for (int i = 0; i < 16; ++i)
            out[size_t(i)] = hex[(m_h >> (60 - 4 * i)) & 0xF];
        return out;
    }

private:
    uint64_t m_h = 1469598103934665603ull;
};
}

std::u16string Uid(const Ical::Todo& todo)
{
    return TextOf(icalcomponent_get_first_property(todo.component, ICAL_UID_PROPERTY)
                      ? icalcomponent_get_uid(todo.component)
                      : nullptr);
}

std::u16string ParentUid(const Ical::Todo& todo)
{
    icalcomponent* c = todo.component;
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_RELATEDTO_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_RELATEDTO_PROPERTY))
    {
        const char* value = icalproperty_get_relatedto(p);
        if (IsParentLink(p) && value && *value)
            return FromUtf8(value);
    }
    return {};
}

std::optional<long long> SortOrder(const Ical::Todo& todo)
{
    icalcomponent* c = todo.component;
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_X_PROPERTY))
    {
        const char* name = icalproperty_get_x_name(p);
        const char* value = icalproperty_get_x(p);
        if (!name || !value || Upper(name) != "X-APPLE-SORT-ORDER")
            continue;
        char* end = nullptr;
        errno = 0;
        const long long n = std::strtoll(value, &end, 10);
        if (end != value && *end == '\0' && errno == 0)
            return n;
        return std::nullopt;
    }
    return std::nullopt;
}

void ReadChecklist(const Ical::Todo& todo, ListRecord& list, IcalStore::Extra& extra)
{
    extra.kind = IcalStore::Kind::Checklist;
    ReadCommon(todo, list.name, list.note, list.position, extra);
    list.category = Unfiled;
    if (icalproperty* p = icalcomponent_get_first_property(todo.component, ICAL_CATEGORIES_PROPERTY))
    {
        if (const char* value = icalproperty_get_categories(p); value && *value)
            list.category = FromUtf8(value);
    }
    int categoryLines = 0;
    for (icalproperty* p = icalcomponent_get_first_property(todo.component, ICAL_CATEGORIES_PROPERTY); p;
         p = icalcomponent_get_next_property(todo.component, ICAL_CATEGORIES_PROPERTY))
        ++categoryLines;
    // One category written as the mapping writes it needs no keeping.
    extra.kept = KeptLines(todo, extra.kind, categoryLines == 1 ? ToUtf8(list.category) : std::string("\n"));
    extra.fingerprint = Fingerprint(list);
}

void ReadItem(const Ical::Todo& todo, ItemRecord& item, IcalStore::Extra& extra)
{
    extra.kind = IcalStore::Kind::Item;
    icalcomponent* c = todo.component;
    ReadCommon(todo, item.name, item.details, item.position, extra);
    const icalproperty_status status = icalcomponent_get_status(c);
    bool checked = status == ICAL_STATUS_COMPLETED;
    if (!icalcomponent_get_first_property(c, ICAL_STATUS_PROPERTY))
    {
        icalproperty* percent = icalcomponent_get_first_property(c, ICAL_PERCENTCOMPLETE_PROPERTY);
        checked = icalcomponent_get_first_property(c, ICAL_COMPLETED_PROPERTY) ||
                  (percent && icalproperty_get_percentcomplete(percent) >= 100);
    }
    item.checked = checked ? 1 : 0;
    item.priority = 0;
    if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_PRIORITY_PROPERTY))
        item.priority = int16_t(PriorityFromIcal(icalproperty_get_priority(p)));
    extra.kept = KeptLines(todo, extra.kind);
    extra.fingerprint = Fingerprint(item, ParentUid(todo));
}

std::string WriteChecklist(const ListRecord& list, const IcalStore::Extra& extra, std::time_t stamp)
{
    Ical::ComponentPtr c(icalcomponent_new(ICAL_VTODO_COMPONENT));
    AddCommon(c.get(), extra, list.name, list.note, list.position,
              !extra.lastModified.empty() && (extra.fingerprint.empty() || extra.fingerprint == Fingerprint(list)), stamp);
    std::string lines;
    if (list.category != Unfiled)
    {
        bool keptSays = false;
        std::string keptLines;
        ForKept(extra.kept, "CATEGORIES", [&](const std::string& line, icalproperty* p) {
            if (keptLines.empty() && p && icalproperty_get_categories(p))
                keptSays = FromUtf8(icalproperty_get_categories(p)) == list.category;
            keptLines += Fold(line);
        });
        lines = keptSays ? keptLines : Fold("CATEGORIES:" + EscapedCategory(ToUtf8(list.category)));
    }
    lines += OtherKept(extra.kept, {"CATEGORIES"});
    return WithLines(AsText(c.get()), lines);
}

std::string WriteItem(const ItemRecord& item, const IcalStore::Extra& extra, const std::u16string& parentUid,
                      std::time_t stamp)
{
    Ical::ComponentPtr c(icalcomponent_new(ICAL_VTODO_COMPONENT));
    AddCommon(c.get(), extra, item.name, item.details, item.position,
              !extra.lastModified.empty() && (extra.fingerprint.empty() || extra.fingerprint == Fingerprint(item, parentUid)), stamp);
    icalproperty* link = icalproperty_new_relatedto(ToUtf8(parentUid).c_str());
    icalproperty_add_parameter(link, icalparameter_new_reltype(ICAL_RELTYPE_PARENT));
    icalcomponent_add_property(c.get(), link);

    const bool checked = item.checked != 0;
    if (extra.kept.empty())
    {
        // Nothing kept to write back: libical writes the made lines in the
        // same place, after RELATED-TO.
        icalcomponent_add_property(c.get(), icalproperty_new_status(checked ? ICAL_STATUS_COMPLETED
                                                                            : ICAL_STATUS_NEEDSACTION));
        if (checked)
        {
            icalcomponent_add_property(c.get(), icalproperty_new_completed(UtcTime(stamp)));
            icalcomponent_add_property(c.get(), icalproperty_new_percentcomplete(100));
        }
        if (PriorityToIcal(item.priority) != 0)
            icalcomponent_add_property(c.get(), icalproperty_new_priority(PriorityToIcal(item.priority)));
        return AsText(c.get());
    }
    std::string status, completed, percent, priority;
    ForKept(extra.kept, "STATUS", [&](const std::string& line, icalproperty* p) {
        if (status.empty() && p && (icalproperty_get_status(p) == ICAL_STATUS_COMPLETED) == checked)
            status = Fold(line);
    });
    ForKept(extra.kept, "COMPLETED", [&](const std::string& line, icalproperty*) {
        if (completed.empty() && checked)
            completed = Fold(line);
    });
    ForKept(extra.kept, "PERCENT-COMPLETE", [&](const std::string& line, icalproperty* p) {
        if (percent.empty() && p && (icalproperty_get_percentcomplete(p) >= 100) == checked)
            percent = Fold(line);
    });
    ForKept(extra.kept, "PRIORITY", [&](const std::string& line, icalproperty* p) {
        if (priority.empty() && p && PriorityFromIcal(icalproperty_get_priority(p)) == item.priority)
            priority = Fold(line);
    });
    // Made and kept lines go in the same place, so a re-export is the same.
    if (status.empty())
        status = PropertyText(icalproperty_new_status(checked ? ICAL_STATUS_COMPLETED : ICAL_STATUS_NEEDSACTION));
    if (checked && completed.empty())
        completed = PropertyText(icalproperty_new_completed(UtcTime(stamp)));
    if (checked && percent.empty())
        percent = PropertyText(icalproperty_new_percentcomplete(100));
    if (priority.empty() && PriorityToIcal(item.priority) != 0)
        priority = PropertyText(icalproperty_new_priority(PriorityToIcal(item.priority)));
    const std::string lines = status + completed + percent + priority +
                              OtherKept(extra.kept, {"STATUS", "COMPLETED", "PERCENT-COMPLETE", "PRIORITY"});
    return WithLines(AsText(c.get()), lines);
}

std::string WriteCalendar(const std::vector<std::string>& todos, const std::u16string& name)
{
    Ical::ComponentPtr cal(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    icalcomponent_add_property(cal.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(cal.get(), icalproperty_new_prodid(ProductId));
    if (!name.empty())
    {
        icalproperty* p = icalproperty_new_x(ToUtf8(name).c_str());
        icalproperty_set_x_name(p, "X-WR-CALNAME");
        icalcomponent_add_property(cal.get(), p);
    }
    std::string head = AsText(cal.get());
    const size_t end = head.rfind("END:VCALENDAR");
    std::string out = head.substr(0, end);
    size_t size = out.size() + 20;
    for (const std::string& t : todos)
        size += t.size();
    out.reserve(size);
    for (const std::string& t : todos)
        out += t;
    out += head.substr(end);
    return out;
}

std::u16string Fingerprint(const ListRecord& list)
{
    Hash h;
    h << list.name << '\x1F' << list.note << '\x1F' << list.category << '\x1F' << int(list.position);
    return h.Text();
}

std::u16string Fingerprint(const ItemRecord& item, const std::u16string& parentUid)
{
    Hash h;
    h << item.name << '\x1F' << item.details << '\x1F' << parentUid << '\x1F' << int(item.position) << '\x1F'
      << int(item.checked != 0) << '\x1F' << int(item.priority);
    return h.Text();
}

int PriorityToIcal(int priority)
{
    if (priority <= 0)
        return 0;
    return priority >= 5 ? 9 : 2 * priority - 1;
}

int PriorityFromIcal(int value)
{
    if (value <= 0)
        return 0;
    return value >= 9 ? 5 : (value + 1) / 2;
}

std::string Fold(const std::string& line)
{
    std::string out;
    out.reserve(line.size() + line.size() / 70 * 3 + 2);
    size_t width = 0;
    for (size_t i = 0; i < line.size();)
    {
        size_t len = 1;
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (c >= 0xF0)
            len = 4;
        else if (c >= 0xE0)
            len = 3;
        else if (c >= 0xC0)
            len = 2;
        len = std::min(len, line.size() - i);
        if (width + len > 75)
        {
            out += "\r\n ";
            width = 1;
        }
        out.append(line, i, len);
        width += len;
        i += len;
    }
    out += "\r\n";
    return out;
}
}
