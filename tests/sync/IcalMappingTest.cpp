// One checklist or item <-> one VTODO.

#include "sync/IcalMapping.h"
#include "sync/IcalText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using IcalStore::Extra;

namespace
{
const std::u16string OddText = u"a, b; c\\ d\nsecond line \U0001F600 \u05E9\u05DC\u05D5\u05DD \"q\" :x: "
                               u"and a long tail of text so that the line has to be folded \U0001F600\U0001F600";

std::string Unfold(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text.compare(i, 3, "\r\n ") == 0)
        {
            i += 2;
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> out;
    const std::string flat = Unfold(text);
    for (size_t pos = 0; pos < flat.size();)
    {
        const size_t end = flat.find("\r\n", pos);
        out.push_back(flat.substr(pos, end - pos));
        pos = end == std::string::npos ? flat.size() : end + 2;
    }
    return out;
}

bool Has(const std::string& text, const std::string& line)
{
    for (const std::string& l : Lines(text))
        if (l == line)
            return true;
    return false;
}

bool HasName(const std::string& text, const std::string& name)
{
    for (const std::string& l : Lines(text))
        if (Ical::LineName(l) == name)
            return true;
    return false;
}

// Parses a calendar of VTODO texts; the first VTODO is `todo`.
struct Parsed
{
    explicit Parsed(const std::string& text)
    {
        std::string error;
        ok = Ical::ReadCalendar(text, calendar, error);
        EXPECT_TRUE(ok) << error;
    }
    const Ical::Todo& todo() const { return calendar.todos.at(0); }
    Ical::Calendar calendar;
    bool ok = false;
};

std::string Calendar(const std::string& todo)
{
    return IcalMapping::WriteCalendar({todo});
}

Extra WithUid(const std::u16string& uid)
{
    Extra e;
    e.uid = uid;
    return e;
}
}

TEST(IcalMappingTest, ChecklistRoundTripsOddTextExactly)
{
    ListRecord list;
    list.name = OddText;
    list.note = u"note;with,all\\kinds\nof\n\nbreaks";
    list.category = u"Home, Garden; \u05D1\u05D9\u05EA";
    list.position = -7;
    const std::string text = IcalMapping::WriteChecklist(list, WithUid(u"list-1"), 1700000000);

    for (const std::string& line : Lines(text))
        EXPECT_FALSE(HasName(line, "STATUS"));
    EXPECT_TRUE(Has(text, "X-APPLE-SORT-ORDER:-7"));
    EXPECT_TRUE(Has(text, "DTSTAMP:20231114T221320Z"));
    EXPECT_FALSE(HasName(text, "LAST-MODIFIED")) << "not known";
    for (size_t pos = 0; pos < text.size();)
    {
        const size_t end = text.find("\r\n", pos);
        ASSERT_NE(std::string::npos, end) << "every line ends with CRLF";
        EXPECT_LE(end - pos, 75u);
        EXPECT_TRUE(IcalText::FirstInvalidUtf8(text.substr(pos, end - pos)) == std::string::npos)
            << "no fold inside a character";
        pos = end + 2;
    }

    Parsed parsed(Calendar(text));
    ASSERT_TRUE(parsed.ok);
    ListRecord back;
    Extra extra;
    IcalMapping::ReadChecklist(parsed.todo(), back, extra);
    EXPECT_EQ(list.name, back.name);
    EXPECT_EQ(list.note, back.note);
    EXPECT_EQ(list.category, back.category);
    EXPECT_EQ(list.position, back.position);
    EXPECT_EQ(u"list-1", extra.uid);
    EXPECT_TRUE(extra.kept.empty()) << IcalText::ToUtf8(extra.kept);
    EXPECT_TRUE(IcalMapping::ParentUid(parsed.todo()).empty());
}

TEST(IcalMappingTest, UnfiledAndEmptyNoteWriteNothing)
{
    ListRecord list;
    list.name = u"Plain";
    list.category = u"Unfiled";
    const std::string text = IcalMapping::WriteChecklist(list, WithUid(u"u"), 0);
    EXPECT_FALSE(HasName(text, "CATEGORIES"));
    EXPECT_FALSE(HasName(text, "DESCRIPTION"));

    Parsed parsed(Calendar(text));
    ListRecord back;
    Extra extra;
    back.category = u"Business";
    IcalMapping::ReadChecklist(parsed.todo(), back, extra);
    EXPECT_EQ(u"Unfiled", back.category);
    EXPECT_TRUE(back.note.empty());
}

TEST(IcalMappingTest, ItemStatusPriorityAndParent)
{
    const int written[] = {0, 1, 3, 5, 7, 9};
    for (int16_t priority = 0; priority <= 5; ++priority)
    {
        for (int16_t checked = 0; checked <= 1; ++checked)
        {
            ItemRecord item;
            item.name = OddText;
            item.details = u"details";
            item.priority = priority;
            item.checked = checked;
            item.position = 12;
            const std::string text = IcalMapping::WriteItem(item, WithUid(u"item-1"), u"list-1", 1700000000);
            EXPECT_TRUE(Has(text, "RELATED-TO;RELTYPE=PARENT:list-1"));
            EXPECT_EQ(priority != 0, Has(text, "PRIORITY:" + std::to_string(written[priority])));
            EXPECT_EQ(priority != 0, HasName(text, "PRIORITY"));
            EXPECT_TRUE(Has(text, checked ? "STATUS:COMPLETED" : "STATUS:NEEDS-ACTION"));
            EXPECT_EQ(checked == 1, Has(text, "COMPLETED:20231114T221320Z"));
            EXPECT_EQ(checked == 1, Has(text, "PERCENT-COMPLETE:100"));

            Parsed parsed(Calendar(text));
            ItemRecord back;
            Extra extra;
            IcalMapping::ReadItem(parsed.todo(), back, extra);
            EXPECT_EQ(item.name, back.name);
            EXPECT_EQ(item.details, back.details);
            EXPECT_EQ(priority, back.priority);
            EXPECT_EQ(checked, back.checked);
            EXPECT_EQ(12, back.position);
            EXPECT_EQ(u"list-1", IcalMapping::ParentUid(parsed.todo()));
            // Only the time it was done is worth keeping.
            EXPECT_EQ(checked ? "COMPLETED:20231114T221320Z\r\n" : "", IcalText::ToUtf8(extra.kept));
        }
    }
    const int expected[] = {0, 1, 1, 2, 2, 3, 3, 4, 4, 5};
    for (int v = 0; v <= 9; ++v)
        EXPECT_EQ(expected[v], IcalMapping::PriorityFromIcal(v)) << v;
}

TEST(IcalMappingTest, CompletionReadFromWhatOtherProgramsWrite)
{
    const char* cases[][2] = {{"STATUS:COMPLETED", "1"},     {"STATUS:NEEDS-ACTION", "0"},
                              {"STATUS:IN-PROCESS", "0"},    {"COMPLETED:20240101T000000Z", "1"},
                              {"PERCENT-COMPLETE:100", "1"}, {"PERCENT-COMPLETE:40", "0"},
                              {"X-NOTHING:1", "0"}};
    for (const auto& c : cases)
    {
        Parsed parsed("BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:x\r\n" + std::string(c[0]) +
                      "\r\nEND:VTODO\r\nEND:VCALENDAR\r\n");
        ItemRecord item;
        Extra extra;
        IcalMapping::ReadItem(parsed.todo(), item, extra);
        EXPECT_EQ(c[1][0] - '0', item.checked) << c[0];
    }
}

TEST(IcalMappingTest, ForeignPropertiesAreKeptAndWrittenBackUnchanged)
{
    const std::vector<std::string> foreign = {
        "DUE;VALUE=DATE:20240101",
        "X-FOO;A=1;X-B=\"q;u\":x,y\\,z\\;w",
        "FOO-BAR:an unknown property",
        "RELATED-TO;RELTYPE=SIBLING:zz",
        "CATEGORIES:Work,Errands",
        "ATTACH;FMTTYPE=text/plain;ENCODING=BASE64;VALUE=BINARY:aGVsbG8=",
        "BEGIN:VALARM",
        "ACTION:DISPLAY",
        "TRIGGER;RELATED=END:-PT15M",
        "DESCRIPTION:Reminder",
        "END:VALARM",
        "X-LONG:" + std::string(200, 'x'),
    };
    std::string todo = "BEGIN:VTODO\r\nUID:item-9\r\nSUMMARY:Buy milk\r\nRELATED-TO:list-9\r\n";
    for (const std::string& line : foreign)
        todo += IcalMapping::Fold(line);
    todo += "END:VTODO\r\n";
    Parsed parsed("BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + todo + "END:VCALENDAR\r\n");
    ItemRecord item;
    Extra extra;
    IcalMapping::ReadItem(parsed.todo(), item, extra);
    EXPECT_EQ(u"Buy milk", item.name);
    EXPECT_EQ(u"list-9", IcalMapping::ParentUid(parsed.todo()));

    std::string expectedKept;
    for (const std::string& line : foreign)
        expectedKept += line + "\r\n";
    EXPECT_EQ(expectedKept, IcalText::ToUtf8(extra.kept));

    item.name = u"Buy oat milk";
    const std::string out = IcalMapping::WriteItem(item, extra, u"list-9", 0);
    const std::vector<std::string> lines = Lines(out);
    auto at = std::find(lines.begin(), lines.end(), foreign.front());
    ASSERT_NE(lines.end(), at);
    EXPECT_EQ(foreign, std::vector<std::string>(at, at + std::ptrdiff_t(foreign.size())))
        << "in their order, VALARM whole";
    EXPECT_TRUE(Has(out, "SUMMARY:Buy oat milk"));
    EXPECT_EQ(1, std::count_if(lines.begin(), lines.end(),
                               [](const std::string& l) { return l.rfind("DESCRIPTION", 0) == 0; }))
        << "only the alarm's DESCRIPTION; the item has no details";
}

TEST(IcalMappingTest, KeptMappedPropertiesStayWhileTheRecordAgrees)
{
    Parsed item("BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:i\r\nRELATED-TO:l\r\nPRIORITY:2\r\nSTATUS:COMPLETED\r\n"
                "COMPLETED:20200202T020202Z\r\nPERCENT-COMPLETE:100\r\nEND:VTODO\r\nEND:VCALENDAR\r\n");
    ItemRecord record;
    Extra extra;
    IcalMapping::ReadItem(item.todo(), record, extra);
    ASSERT_EQ(1, record.priority);
    ASSERT_EQ(1, record.checked);
    std::string out = IcalMapping::WriteItem(record, extra, u"l", 1700000000);
    EXPECT_TRUE(Has(out, "PRIORITY:2"));
    EXPECT_FALSE(Has(out, "PRIORITY:1"));
    EXPECT_TRUE(Has(out, "COMPLETED:20200202T020202Z")) << "the time it was done, not the export's";
    const std::vector<std::string> lines = Lines(out);
    EXPECT_EQ(1, std::count_if(lines.begin(), lines.end(),
                               [](const std::string& l) { return Ical::LineName(l) == "COMPLETED"; }));

    record.priority = 4;
    record.checked = 0;
    out = IcalMapping::WriteItem(record, extra, u"l", 1700000000);
    EXPECT_TRUE(Has(out, "PRIORITY:7"));
    EXPECT_FALSE(Has(out, "PRIORITY:2"));
    EXPECT_TRUE(Has(out, "STATUS:NEEDS-ACTION"));
    EXPECT_FALSE(HasName(out, "COMPLETED"));
    EXPECT_FALSE(HasName(out, "PERCENT-COMPLETE"));

    Parsed list("BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:l\r\nCATEGORIES:Home,Errands\r\nEND:VTODO\r\nEND:VCALENDAR\r\n");
    ListRecord checklist;
    IcalMapping::ReadChecklist(list.todo(), checklist, extra);
    ASSERT_EQ(u"Home", checklist.category);
    EXPECT_TRUE(Has(IcalMapping::WriteChecklist(checklist, extra, 0), "CATEGORIES:Home,Errands"));
    checklist.category = u"Business";
    out = IcalMapping::WriteChecklist(checklist, extra, 0);
    EXPECT_TRUE(Has(out, "CATEGORIES:Business"));
    EXPECT_FALSE(Has(out, "CATEGORIES:Home,Errands"));
}

TEST(IcalMappingTest, LastModifiedOnlyWhileTheRecordIsUnchanged)
{
    Parsed parsed("BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:l\r\nSUMMARY:Trip\r\n"
                  "LAST-MODIFIED:20210304T050607Z\r\nEND:VTODO\r\nEND:VCALENDAR\r\n");
    ListRecord list;
    Extra extra;
    IcalMapping::ReadChecklist(parsed.todo(), list, extra);
    EXPECT_EQ(u"20210304T050607Z", extra.lastModified);
    EXPECT_TRUE(Has(IcalMapping::WriteChecklist(list, extra, 0), "LAST-MODIFIED:20210304T050607Z"));
    list.name = u"Trip 2";
    EXPECT_FALSE(HasName(IcalMapping::WriteChecklist(list, extra, 0), "LAST-MODIFIED"));
}

TEST(IcalMappingTest, FoldKeepsCharactersWhole)
{
    const std::string line = "SUMMARY:" + IcalText::ToUtf8(std::u16string(100, u'\u05E9') + u"\U0001F600x");
    const std::string folded = IcalMapping::Fold(line);
    EXPECT_EQ(line + "\r\n", Unfold(folded));
    for (size_t pos = 0; pos < folded.size();)
    {
        const size_t end = folded.find("\r\n", pos);
        EXPECT_LE(end - pos, 75u);
        EXPECT_EQ(std::string::npos, IcalText::FirstInvalidUtf8(folded.substr(pos, end - pos)));
        pos = end + 2;
    }
}

// Exported text and stored fingerprints both take this form.
TEST(IcalMappingTest, Utf8FormOfEveryKindOfCodeUnit)
{
    const std::u16string text = u"a\u00E9\u20AC\U0001F600" + std::u16string(u"\xD83D") + u"b" +
                                std::u16string(1, u'\0') + u"\xDE00" + u"\xD83D\xD83D\xDE00" + u"\xD83D";
    EXPECT_EQ("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"
              "\xEF\xBF\xBD"
              "b"
              "\xEF\xBF\xBD\xEF\xBF\xBD"
              "\xEF\xBF\xBD\xF0\x9F\x98\x80"
              "\xEF\xBF\xBD",
              IcalText::ToUtf8(text));
}

// Rows stored before hold FNV-1a of the UTF-8 form of the fields; a record
// unchanged since must still match its row, or its LAST-MODIFIED is lost.
TEST(IcalMappingTest, FingerprintsMatchTheFormStoredRowsHold)
{
    auto stored = [](const std::string& text) {
        uint64_t h = 1469598103934665603ull;
        for (unsigned char ch : text)
            h = (h ^ ch) * 1099511628211ull;
        char buf[20];
        std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
        return IcalText::FromUtf8(buf);
    };
    ListRecord list;
    list.name = OddText + u"\xD83D";                   // a lone high surrogate at the end
    list.note = std::u16string(u"n\0te", 4) + u"\xDE00"; // NUL, a lone low surrogate
    list.category = u"Home, Garden \U0001F33B";
    list.position = -32768;
    EXPECT_EQ(stored(IcalText::ToUtf8(list.name + u'\x1F' + list.note + u'\x1F' + list.category) + '\x1F' +
                     std::to_string(list.position)),
              IcalMapping::Fingerprint(list));
    ItemRecord item;
    item.name = u"\xDE00" + OddText;
    item.details = u"\u05E9\u05DC\u05D5\u05DD";
    item.position = 32767;
    item.checked = 7;
    item.priority = 5;
    const std::u16string parent = u"0c0d8e2a-1b2c-4d5e-8f90-a1b2c3d4e5f6";
    EXPECT_EQ(stored(IcalText::ToUtf8(item.name + u'\x1F' + item.details + u'\x1F' + parent) + '\x1F' +
                     std::to_string(item.position) + '\x1F' + std::to_string(item.checked != 0) + '\x1F' +
                     std::to_string(item.priority)),
              IcalMapping::Fingerprint(item, parent));
    item.checked = 0;
    EXPECT_NE(IcalMapping::Fingerprint(item, parent), IcalMapping::Fingerprint(item, parent + u"x"));
}
