#include "sync/IcalReader.h"

#include "sync/IcalParallel.h"
#include "sync/IcalText.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>

// The text is read twice. A first pass takes libical's logical (unfolded)
// lines only to check the nesting and find where each top-level VTODO
// starts and ends; then each VTODO, from its BEGIN line to the line after
// its END, is parsed by libical with a parser of its own group, the groups
// at once, and the rest of the file (the VCALENDAR and its other
// components) by one more parser.

namespace Ical
{
namespace
{
// Whole logical lines of the text, from `begin` to `end`; `line` is the
// number of the physical line at `begin`.
struct Range
{
    size_t begin = 0;
    size_t end = 0;
    int line = 1;
};

// Hands libical one physical line (or the part of one that fits) per call,
// range after range, and remembers which line the latest piece started on
// and where that line starts. libical reads one line ahead to unfold, so
// when it returns a logical line the latest piece read is the start of the
// next one.
struct LineFeed
{
    const std::string* text = nullptr;
    const Range* ranges = nullptr;
    size_t count = 0;
    size_t range = 0;
    size_t pos = 0;
    int line = 0;
    size_t lineStart = 0;
    bool atLineStart = true;
    bool done = false;

    LineFeed(const std::string& t, const Range* r, size_t n) : text(&t), ranges(r), count(n)
    {
        if (count > 0)
            Enter(0);
        else
            done = true;
    }

    void Enter(size_t r)
    {
        range = r;
        pos = ranges[r].begin;
        line = ranges[r].line - 1;
        atLineStart = true;
    }

    static char* Next(char* s, size_t size, void* data)
    {
        auto* self = static_cast<LineFeed*>(data);
        if (self->done || size < 2)
            return nullptr;
        while (self->pos >= self->ranges[self->range].end)
        {
            if (self->range + 1 >= self->count)
            {
                self->done = true;
                self->lineStart = self->pos;
                return nullptr;
            }
            self->Enter(self->range + 1);
        }
        const size_t stop = self->ranges[self->range].end;
        if (self->atLineStart)
        {
            ++self->line;
            self->lineStart = self->pos;
        }
        const char* at = self->text->data() + self->pos;
        const void* nl = std::memchr(at, '\n', stop - self->pos);
        const size_t lineEnd = nl ? size_t(static_cast<const char*>(nl) - self->text->data()) + 1 : stop;
        const size_t n = std::min(lineEnd - self->pos, size - 1);
        std::memcpy(s, at, n);
        s[n] = '\0';
        self->pos += n;
        self->atLineStart = self->pos == lineEnd;
        return s;
    }
};

struct ParserFree
{
    void operator()(icalparser* p) const { icalparser_free(p); }
};
using ParserPtr = std::unique_ptr<icalparser, ParserFree>;

struct LineFree
{
    void operator()(char* p) const { std::free(p); }
};

// libical's logical lines over a feed, each with the physical line and the
// offset it starts at and the offset of the line after it.
class LogicalLines
{
public:
    LogicalLines(icalparser* parser, LineFeed& feed) : m_parser(parser), m_feed(feed)
    {
        icalparser_set_gen_data(parser, &feed);
        if (feed.count > 0)
        {
            m_next = feed.ranges[0].line;
            m_nextOffset = feed.ranges[0].begin;
        }
    }

    /// False at the end. `text`/`length` exclude the line end; blank lines
    /// are returned too (length 0).
    bool Next()
    {
        start = m_next;
        startOffset = m_nextOffset;
        raw.reset(icalparser_get_line(m_parser, &LineFeed::Next));
        if (!raw)
            return false;
        m_next = m_feed.line;
        m_nextOffset = m_feed.lineStart;
        length = std::strlen(raw.get());
        if (length > 0 && raw.get()[length - 1] == '\r')
            raw.get()[--length] = '\0';
        return true;
    }

    int NextLine() const { return m_next; }
    size_t NextOffset() const { return m_nextOffset; }
    int FeedLine() const { return m_feed.line; }

    std::unique_ptr<char, LineFree> raw;
    size_t length = 0;
    int start = 1;
    size_t startOffset = 0;

private:
    icalparser* m_parser;
    LineFeed& m_feed;
    int m_next = 1;
    size_t m_nextOffset = 0;
};

bool StartsWithNoCase(const char* s, size_t length, const char* prefix)
{
    const size_t n = std::strlen(prefix);
    if (length < n)
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
std::string Marker(const char* line, size_t length, const char* which)
{
    if (!StartsWithNoCase(line, length, which))
        return {};
    const size_t skip = std::strlen(which);
    size_t n = length - skip;
    while (n > 0 && (line[skip + n - 1] == ' ' || line[skip + n - 1] == '\t' || line[skip + n - 1] == '\r'))
        --n;
    return Upper(std::string(line + skip, n));
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

// The properties of a VTODO that the mapping always makes itself.
bool IsWrittenName(const std::string& name)
{
    static const char* const written[] = {"UID", "SUMMARY", "DESCRIPTION", "X-APPLE-SORT-ORDER", "DTSTAMP",
                                          "LAST-MODIFIED"};
    return std::any_of(std::begin(written), std::end(written), [&](const char* w) { return name == w; });
}

// The first refusal of a pass, by line.
struct Refusal
{
    int line = INT_MAX;
    std::string what;

    void Note(int at, std::string why)
    {
        if (at < line)
        {
            line = at;
            what = std::move(why);
        }
    }
    bool Any() const { return line != INT_MAX; }
};

// Where the VTODOs are, and the rest of the file.
struct Layout
{
    std::vector<Range> todos;
    std::vector<Range> rest;
    /// The last VTODO was cut short by the refusal; it is parsed up to there.
    bool lastOpen = false;
};

bool Scan(const std::string& text, Layout& layout, Refusal& refusal)
{
    ParserPtr parser(icalparser_new());
    const Range all{0, text.size(), 1};
    LineFeed feed(text, &all, 1);
    LogicalLines lines(parser.get(), feed);
    std::vector<std::string> stack; // open components
    Range rest{0, 0, 1};
    int lastLine = 1;
    while (lines.Next())
    {
        if (lines.length == 0)
            continue;
        const char* line = lines.raw.get();
        lastLine = lines.start;
        const char first = char(std::toupper(static_cast<unsigned char>(line[0])));
        const std::string begin = first == 'B' ? Marker(line, lines.length, "BEGIN:") : std::string();
        const std::string end = first == 'E' ? Marker(line, lines.length, "END:") : std::string();
        if (stack.empty() && begin != "VCALENDAR")
        {
            refusal.Note(lines.start, "not an iCalendar file (BEGIN:VCALENDAR expected)");
            break;
        }
        if (!begin.empty())
        {
            if (stack.size() == 1 && begin == "VTODO")
            {
                rest.end = lines.startOffset;
                layout.rest.push_back(rest);
                layout.todos.push_back({lines.startOffset, text.size(), lines.start});
                layout.lastOpen = true;
            }
            stack.push_back(begin);
        }
        else if (!end.empty())
        {
            if (stack.empty() || stack.back() != end)
            {
                refusal.Note(lines.start, "END:" + end + " does not close " +
                                              (stack.empty() ? std::string("anything") : "BEGIN:" + stack.back()));
                if (layout.lastOpen)
                    layout.todos.back().end = lines.startOffset;
                return false;
            }
            stack.pop_back();
            if (layout.lastOpen && stack.size() == 1)
            {
                layout.todos.back().end = lines.NextOffset();
                layout.lastOpen = false;
                rest = {lines.NextOffset(), 0, lines.NextLine()};
            }
        }
    }
    if (refusal.Any())
    {
        if (layout.lastOpen)
            layout.todos.back().end = lines.startOffset;
        return false;
    }
    if (!stack.empty())
    {
        refusal.Note(std::max(lastLine, lines.FeedLine()), "the file ends inside " + stack.back() + " (truncated?)");
        return false;
    }
    rest.end = text.size();
    layout.rest.push_back(rest);
    return true;
}

// Parses VTODOs [first, last) of the layout with one parser.
struct Group
{
    std::vector<ComponentPtr> components; // one per VTODO, null when none
    std::vector<std::vector<std::string>> lines;
    Refusal refusal;
};

void ParseTodos(const std::string& text, const std::vector<Range>& spans, size_t first, size_t last, Group& group)
{
    group.components.resize(last - first);
    group.lines.resize(last - first);
    if (first == last)
        return;
    ParserPtr parser(icalparser_new());
    LineFeed feed(text, spans.data() + first, last - first);
    LogicalLines lines(parser.get(), feed);
    size_t k = 0;  // VTODO of the group being read
    int depth = 0; // 1 inside the VTODO itself
    std::string name;
    while (lines.Next())
    {
        while (k + 1 < last - first && lines.startOffset >= spans[first + k + 1].begin)
            ++k;
        if (lines.length == 0)
            continue;
        const char* line = lines.raw.get();
        const char up = char(std::toupper(static_cast<unsigned char>(line[0])));
        const bool begin = up == 'B' && !Marker(line, lines.length, "BEGIN:").empty();
        const bool end = up == 'E' && !Marker(line, lines.length, "END:").empty();
        std::vector<std::string>& kept = group.lines[k];
        bool ownLine = false;
        if (begin)
        {
            if (depth > 0)
                kept.emplace_back(line, lines.length);
            ++depth;
        }
        else if (end)
        {
            --depth;
            if (depth > 0)
                kept.emplace_back(line, lines.length);
        }
        else
        {
            ownLine = depth == 1;
            LineName(line, lines.length, name);
            if (!ownLine || !IsWrittenName(name))
                kept.emplace_back(line, lines.length);
        }
        if (icalcomponent* done = icalparser_add_line(parser.get(), lines.raw.get()))
        {
            if (!group.components[k])
                group.components[k].reset(done);
            else
                icalcomponent_free(done);
        }
        if (ownLine && icalparser_get_state(parser.get()) == ICALPARSER_ERROR && IsMappedName(name))
        {
            group.refusal.Note(lines.start, "cannot read \"" + Shown(std::string(line, lines.length)) + "\"");
            return;
        }
    }
}

void ReadHeader(const icalcomponent* root, Calendar& calendar)
{
    auto* c = const_cast<icalcomponent*>(root);
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_ANY_PROPERTY))
    {
        const icalproperty_kind kind = icalproperty_isa(p);
        if (kind == ICAL_PRODID_PROPERTY && icalproperty_get_prodid(p))
            calendar.prodid = icalproperty_get_prodid(p);
        else if (kind == ICAL_X_PROPERTY && icalproperty_get_x_name(p) &&
                 Upper(icalproperty_get_x_name(p)) == "X-WR-CALNAME" && icalproperty_get_x(p))
            calendar.name = icalproperty_get_x(p);
    }
}
}

void LineName(const char* line, size_t length, std::string& name)
{
    size_t n = 0;
    while (n < length && (std::isalnum(static_cast<unsigned char>(line[n])) || line[n] == '-'))
        ++n;
    name.assign(line, n);
    for (char& c : name)
        c = char(std::toupper(static_cast<unsigned char>(c)));
}

std::string LineName(const std::string& line)
{
    std::string name;
    LineName(line.data(), line.size(), name);
    return name;
}

bool IsMappedName(const std::string& name)
{
    static const char* const mapped[] = {"UID",      "SUMMARY",   "DESCRIPTION", "CATEGORIES", "X-APPLE-SORT-ORDER",
                                         "DTSTAMP",  "LAST-MODIFIED", "RELATED-TO", "STATUS",   "COMPLETED",
                                         "PERCENT-COMPLETE", "PRIORITY"};
    return std::any_of(std::begin(mapped), std::end(mapped), [&](const char* m) { return name == m; });
}

bool ReadCalendar(const std::string& text, Calendar& calendar, std::string& error, size_t parts)
{
    calendar = Calendar();
    // The bytes are checked beside the first pass of a large text (which
    // reads any bytes); their refusals come first.
    size_t bad = std::string::npos, nul = std::string::npos;
    auto check = [&] {
        bad = IcalText::FirstInvalidUtf8(text);
        if (bad == std::string::npos)
            nul = text.find('\0');
    };
    const bool beside = text.size() >= (1u << 20);
    Layout layout;
    Refusal refusal;
    bool whole = false;
    {
        struct Joined
        {
            std::thread thread;
            ~Joined()
            {
                if (thread.joinable())
                    thread.join();
            }
        } checking;
        if (beside)
            checking.thread = std::thread(check);
        else
            check();
        if (beside || (bad == std::string::npos && nul == std::string::npos))
            whole = Scan(text, layout, refusal);
    }
    if (bad != std::string::npos)
    {
        error = At(LineOfOffset(text, bad), "the text is not valid UTF-8");
        return false;
    }
    if (nul != std::string::npos)
    {
        error = At(LineOfOffset(text, nul), "the text holds a NUL byte");
        return false;
    }

    // A line libical cannot read before the place the scan refused still
    // comes first.
    const size_t count = layout.todos.size();
    const size_t groups = parts ? std::min(parts, std::max<size_t>(count, 1)) : IcalParallel::Parts(count);
    std::vector<Group> parsed(groups);
    IcalParallel::ForSlices(count, groups, [&](size_t part, size_t first, size_t last) {
        ParseTodos(text, layout.todos, first, last, parsed[part]);
    });
    for (const Group& g : parsed)
        if (g.refusal.Any())
            refusal.Note(g.refusal.line, g.refusal.what);
    if (!whole || refusal.Any())
    {
        error = At(refusal.line, refusal.what);
        return false;
    }

    ParserPtr parser(icalparser_new());
    LineFeed feed(text, layout.rest.data(), layout.rest.size());
    LogicalLines lines(parser.get(), feed);
    while (lines.Next())
    {
        if (lines.length == 0)
            continue;
        if (icalcomponent* done = icalparser_add_line(parser.get(), lines.raw.get()))
            calendar.roots.emplace_back(done);
    }
    if (calendar.roots.empty())
    {
        error = At(1, "not an iCalendar file (no VCALENDAR)");
        return false;
    }
    if (icalcomponent_isa(calendar.roots.front().get()) == ICAL_VCALENDAR_COMPONENT)
        ReadHeader(calendar.roots.front().get(), calendar);

    calendar.todos.reserve(count);
    size_t k = 0;
    for (Group& g : parsed)
    {
        for (size_t i = 0; i < g.components.size(); ++i, ++k)
        {
            ComponentPtr& c = g.components[i];
            if (!c || icalcomponent_isa(c.get()) != ICAL_VTODO_COMPONENT)
            {
                error = At(layout.todos[k].line, "cannot read the VTODO components");
                calendar = Calendar();
                return false;
            }
            calendar.todos.push_back({layout.todos[k].line, c.get(), std::move(g.lines[i])});
            calendar.roots.push_back(std::move(c));
        }
    }
    return true;
}
}
