#include "sync/IcalReader.h"

#include "sync/IcalText.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace Ical
{
namespace
{
// Hands libical one physical line (or the part of one that fits) per call
// and remembers which line the latest piece started on. libical reads one
// line ahead to unfold, so when it returns a logical line the latest piece
// read is the start of the next one.
struct LineFeed
{
    const std::string* text = nullptr;
    size_t pos = 0;
    int line = 0;
    bool atLineStart = true;

    static char* Next(char* s, size_t size, void* data)
    {
        auto* self = static_cast<LineFeed*>(data);
        const std::string& t = *self->text;
        if (self->pos >= t.size() || size < 2)
            return nullptr;
        if (self->atLineStart)
            ++self->line;
        const size_t end = t.find('\n', self->pos);
        const size_t lineEnd = end == std::string::npos ? t.size() : end + 1;
        const size_t n = std::min(lineEnd - self->pos, size - 1);
        std::memcpy(s, t.data() + self->pos, n);
        s[n] = '\0';
        self->pos += n;
        self->atLineStart = self->pos == lineEnd;
        return s;
    }
};

// Frees what a parser left inside a component still holds; the result of
// icalparser_clean() must not be freed as well (libical frees it again).
struct ParserFree
{
    void operator()(icalparser* p) const { icalparser_free(p); }
};

bool StartsWithNoCase(const std::string& s, const char* prefix)
{
    const size_t n = std::strlen(prefix);
    if (s.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
    {
        if (std::toupper(static_cast<unsigned char>(s[i])) != prefix[i])
            return false;
    }
    return true;
}

std::string Upper(std::string s)
{
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// "BEGIN:VTODO" -> "VTODO"; "" when the line is no BEGIN (or END) line.
std::string Marker(const std::string& line, const char* which)
{
    if (!StartsWithNoCase(line, which))
        return {};
    std::string name = line.substr(std::strlen(which));
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t' || name.back() == '\r'))
        name.pop_back();
    return Upper(name);
}

std::string Shown(const std::string& line)
{
    return line.size() > 60 ? line.substr(0, 57) + "..." : line;
}

std::string At(int line, const std::string& what)
{
    return "line " + std::to_string(line) + ": " + what;
}

int LineOfOffset(const std::string& text, size_t offset)
{
    return 1 + int(std::count(text.begin(), text.begin() + std::ptrdiff_t(offset), '\n'));
}
}

std::string LineName(const std::string& line)
{
    size_t n = 0;
    while (n < line.size() && (std::isalnum(static_cast<unsigned char>(line[n])) || line[n] == '-'))
        ++n;
    return Upper(line.substr(0, n));
}

// The properties of a VTODO that the mapping always makes itself.
static bool IsWrittenName(const std::string& name)
{
    static const char* const written[] = {"UID", "SUMMARY", "DESCRIPTION", "X-APPLE-SORT-ORDER", "DTSTAMP",
                                          "LAST-MODIFIED"};
    return std::any_of(std::begin(written), std::end(written), [&](const char* w) { return name == w; });
}

bool IsMappedName(const std::string& name)
{
    static const char* const mapped[] = {"UID",      "SUMMARY",   "DESCRIPTION", "CATEGORIES", "X-APPLE-SORT-ORDER",
                                         "DTSTAMP",  "LAST-MODIFIED", "RELATED-TO", "STATUS",   "COMPLETED",
                                         "PERCENT-COMPLETE", "PRIORITY"};
    return std::any_of(std::begin(mapped), std::end(mapped), [&](const char* m) { return name == m; });
}

bool ReadCalendar(const std::string& text, Calendar& calendar, std::string& error)
{
    calendar = Calendar();
    if (const size_t bad = IcalText::FirstInvalidUtf8(text); bad != std::string::npos)
    {
        error = At(LineOfOffset(text, bad), "the text is not valid UTF-8");
        return false;
    }
    if (const size_t nul = text.find('\0'); nul != std::string::npos)
    {
        error = At(LineOfOffset(text, nul), "the text holds a NUL byte");
        return false;
    }

    std::unique_ptr<icalparser, ParserFree> parser(icalparser_new());
    LineFeed feed;
    feed.text = &text;
    icalparser_set_gen_data(parser.get(), &feed);

    std::vector<std::string> stack; // open components
    int todoIndex = -1;             // the VTODO being read, if any
    int next = 1;
    int lastLine = 1;
    struct LineFree
    {
        void operator()(char* p) const { std::free(p); }
    };
    for (;;)
    {
        const int start = next;
        std::unique_ptr<char, LineFree> raw(icalparser_get_line(parser.get(), &LineFeed::Next));
        if (!raw)
            break;
        next = feed.line;
        size_t length = std::strlen(raw.get());
        if (length > 0 && raw.get()[length - 1] == '\r')
            raw.get()[--length] = '\0';
        if (length == 0)
            continue;
        const std::string line(raw.get(), length);
        lastLine = start;

        const std::string begin = Marker(line, "BEGIN:");
        const std::string end = Marker(line, "END:");
        if (stack.empty() && begin != "VCALENDAR")
        {
            error = At(start, "not an iCalendar file (BEGIN:VCALENDAR expected)");
            return false;
        }
        bool ownLine = false; // a property of the VTODO itself
        if (!begin.empty())
        {
            if (stack.size() == 1 && begin == "VTODO")
            {
                calendar.todos.push_back({start, nullptr, {}});
                todoIndex = int(calendar.todos.size()) - 1;
            }
            else if (todoIndex >= 0)
                calendar.todos[size_t(todoIndex)].lines.push_back(line);
            stack.push_back(begin);
        }
        else if (!end.empty())
        {
            if (stack.empty() || stack.back() != end)
            {
                error = At(start, "END:" + end + " does not close " +
                                      (stack.empty() ? std::string("anything") : "BEGIN:" + stack.back()));
                return false;
            }
            stack.pop_back();
            if (todoIndex >= 0 && stack.size() == 1)
                todoIndex = -1;
            else if (todoIndex >= 0)
                calendar.todos[size_t(todoIndex)].lines.push_back(line);
        }
        std::string name;
        if (todoIndex >= 0 && begin.empty() && end.empty())
        {
            ownLine = stack.size() == 2;
            name = LineName(line);
            if (!ownLine || !IsWrittenName(name))
                calendar.todos[size_t(todoIndex)].lines.push_back(line);
        }

        if (icalcomponent* done = icalparser_add_line(parser.get(), raw.get()))
            calendar.roots.emplace_back(done);
        if (icalparser_get_state(parser.get()) == ICALPARSER_ERROR && ownLine && IsMappedName(name))
        {
            error = At(start, "cannot read \"" + Shown(line) + "\"");
            return false;
        }
    }
    if (!stack.empty())
    {
        error = At(std::max(lastLine, feed.line), "the file ends inside " + stack.back() + " (truncated?)");
        return false;
    }
    if (calendar.roots.empty())
    {
        error = At(1, "not an iCalendar file (no VCALENDAR)");
        return false;
    }

    size_t k = 0;
    for (const ComponentPtr& root : calendar.roots)
    {
        if (icalcomponent_isa(root.get()) != ICAL_VCALENDAR_COMPONENT)
            continue;
        if (root.get() == calendar.roots.front().get())
        {
            for (icalproperty* p = icalcomponent_get_first_property(root.get(), ICAL_ANY_PROPERTY); p;
                 p = icalcomponent_get_next_property(root.get(), ICAL_ANY_PROPERTY))
            {
                const icalproperty_kind kind = icalproperty_isa(p);
                if (kind == ICAL_PRODID_PROPERTY && icalproperty_get_prodid(p))
                    calendar.prodid = icalproperty_get_prodid(p);
                else if (kind == ICAL_X_PROPERTY && icalproperty_get_x_name(p) &&
                         Upper(icalproperty_get_x_name(p)) == "X-WR-CALNAME" && icalproperty_get_x(p))
                    calendar.name = icalproperty_get_x(p);
            }
        }
        for (icalcomponent* c = icalcomponent_get_first_component(root.get(), ICAL_VTODO_COMPONENT); c;
             c = icalcomponent_get_next_component(root.get(), ICAL_VTODO_COMPONENT))
        {
            if (k < calendar.todos.size())
                calendar.todos[k].component = c;
            ++k;
        }
    }
    if (k != calendar.todos.size())
    {
        error = At(calendar.todos.empty() ? 1 : calendar.todos.front().line, "cannot read the VTODO components");
        return false;
    }
    return true;
}
}
