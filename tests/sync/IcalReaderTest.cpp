// Reading iCalendar text in parts at once gives what reading it whole gives.

#include "sync/IcalReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{
std::string Serialised(icalcomponent* c)
{
    char* text = icalcomponent_as_ical_string_r(c);
    std::string out = text ? text : "";
    icalmemory_free_buffer(text);
    return out;
}

// A calendar of `count` checklists with an item each, shaped to catch a
// wrong cut: folded lines (one of them a folded BEGIN:VTODO), bare LF line
// ends, blank lines, nested VALARMs and VTODOs, and other components between.
struct Sample
{
    std::string text;
    std::vector<int> begins; // line of each top-level BEGIN:VTODO
    int line = 0;            // lines so far

    void Add(const std::string& physical)
    {
        text += physical;
        line += int(std::count(physical.begin(), physical.end(), '\n'));
    }
    void Todo(int n)
    {
        const std::string id = std::to_string(n);
        begins.push_back(line + 1);
        if (n == 700)
            Add("BEGIN:VTO\r\n DO\r\n");
        else
            Add("BEGIN:VTODO\r\n");
        Add("UID:list-" + id + "\r\n");
        Add("SUMMARY:Checklist " + id + " with a name long enough that it is folded over \xC3\xA9\xC3\xA9\r\n"
            " \xC3\xA9 two physical lines\r\n");
        Add(n % 3 ? "DESCRIPTION:plain\n" : "DESCRIPTION:with\\, commas\\; and more\r\n\r\n");
        if (n % 5 == 0)
            Add("BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n");
        if (n % 7 == 0)
            Add("BEGIN:VTODO\r\nUID:sub-" + id + "\r\nSUMMARY:nested\r\nEND:VTODO\r\n");
        Add("X-OTHER;X-P=\"a:b\":value " + id + "\r\n");
        Add("END:VTODO\r\n");
        begins.push_back(line + 1);
        Add("BEGIN:VTODO\r\nUID:item-" + id + "\r\nRELATED-TO;RELTYPE=PARENT:list-" + id +
            "\r\nSUMMARY:item\r\nSTATUS:COMPLETED\r\nEND:VTODO\r\n");
        if (n % 100 == 0)
            Add("BEGIN:VEVENT\r\nUID:event-" + id + "\r\nBEGIN:VTODO\r\nUID:in-event\r\nEND:VTODO\r\nEND:VEVENT\r\n");
    }
    explicit Sample(int count, int badAt = -1)
    {
        Add("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//Parts//EN\r\nX-WR-CALNAME:Named over\r\n  two lines\r\n");
        for (int n = 0; n < count; ++n)
        {
            if (n == badAt)
            {
                begins.push_back(line + 1);
                Add("BEGIN:VTODO\r\nUID:bad\r\n");
                bad = line + 1;
                Add("COMPLETED:2024\r\nEND:VTODO\r\n");
            }
            Todo(n);
        }
        Add("END:VCALENDAR\r\n");
    }
    int bad = 0; // line of the unreadable COMPLETED
};

struct Read
{
    Read(const std::string& text, size_t parts) { ok = Ical::ReadCalendar(text, calendar, error, parts); }
    Ical::Calendar calendar;
    std::string error;
    bool ok = false;
};
}

TEST(IcalReaderTest, PartsReadWhatTheWholeReads)
{
    const Sample sample(1500);
    const Read whole(sample.text, 1);
    ASSERT_TRUE(whole.ok) << whole.error;
    ASSERT_EQ(sample.begins.size(), whole.calendar.todos.size());
    EXPECT_EQ("Named over two lines", whole.calendar.name);
    EXPECT_EQ("-//Test//Parts//EN", whole.calendar.prodid);
    for (size_t parts : {2u, 3u, 7u})
    {
        const Read split(sample.text, parts);
        ASSERT_TRUE(split.ok) << split.error;
        ASSERT_EQ(whole.calendar.todos.size(), split.calendar.todos.size());
        EXPECT_EQ(whole.calendar.name, split.calendar.name);
        for (size_t i = 0; i < whole.calendar.todos.size(); ++i)
        {
            const Ical::Todo& a = whole.calendar.todos[i];
            const Ical::Todo& b = split.calendar.todos[i];
            ASSERT_EQ(sample.begins[i], b.line) << "VTODO " << i << " in " << parts << " parts";
            EXPECT_EQ(a.lines, b.lines) << i;
            ASSERT_EQ(Serialised(a.component), Serialised(b.component)) << i;
        }
    }
    const Ical::Todo& folded = whole.calendar.todos[1400];
    EXPECT_EQ(std::string("list-700"), icalcomponent_get_uid(folded.component));
    EXPECT_EQ("X-OTHER;X-P=\"a:b\":value 700", folded.lines.back());
    const Ical::Todo& nested = whole.calendar.todos[14];
    EXPECT_EQ(std::string("list-7"), icalcomponent_get_uid(nested.component));
    EXPECT_EQ(1, icalcomponent_count_components(nested.component, ICAL_VTODO_COMPONENT));
}

TEST(IcalReaderTest, RefusalNamesTheLineOfTheWholeFileWhateverThePart)
{
    const Sample sample(1500, 1300);
    ASSERT_GT(sample.bad, 10000);
    const std::string expected = "line " + std::to_string(sample.bad) + ": cannot read \"COMPLETED:2024\"";
    for (size_t parts : {1u, 2u, 5u})
    {
        const Read read(sample.text, parts);
        EXPECT_FALSE(read.ok);
        EXPECT_EQ(expected, read.error) << parts << " parts";
    }

    // The first fault of the file is the one named, of either kind.
    std::string later = sample.text;
    later.insert(later.rfind("END:VCALENDAR"), "END:VEVENT\r\n");
    EXPECT_EQ(expected, Read(later, 3).error);
    std::string earlier = sample.text;
    const size_t cut = earlier.find("BEGIN:VTODO\r\nUID:list-20\r\n");
    earlier.insert(cut + 13, "END:VALARM\r\n");
    const int line = sample.begins[40] + 1;
    EXPECT_EQ("line " + std::to_string(line) + ": END:VALARM does not close BEGIN:VTODO", Read(earlier, 3).error);
    EXPECT_NE(std::string::npos,
              Read(sample.text.substr(0, sample.text.size() / 2), 4).error.find("the file ends inside "));
}

TEST(IcalReaderTest, ByteRefusalsOfALargeTextComeBeforeItsOtherFaults)
{
    // Large enough for the bytes to be checked beside the first pass; a
    // fault of the nesting early on, a bad byte near the end.
    const Sample sample(4000);
    ASSERT_GE(sample.text.size(), size_t(1) << 20);
    std::string text = sample.text;
    text.insert(text.find("BEGIN:VTODO\r\nUID:list-20\r\n") + 13, "END:VALARM\r\n");
    const size_t end = text.rfind("END:VCALENDAR");
    const int last = int(std::count(text.begin(), text.begin() + std::ptrdiff_t(end), '\n')) + 1;
    std::string badByte = text, nul = text;
    badByte.insert(end + 5, "\xFF");
    nul.insert(end + 5, 1, '\0');
    EXPECT_EQ("line " + std::to_string(last) + ": the text is not valid UTF-8", Read(badByte, 0).error);
    EXPECT_EQ("line " + std::to_string(last) + ": the text holds a NUL byte", Read(nul, 0).error);
    badByte.insert(text.find("UID:list-30"), 1, '\0');
    EXPECT_EQ("line " + std::to_string(last) + ": the text is not valid UTF-8", Read(badByte, 2).error)
        << "bad UTF-8 before a NUL";
}
