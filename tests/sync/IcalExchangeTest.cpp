// Export of the store and import of iCalendar files.

#include "tests/sync/ExchangeSupport.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ExchangeSupport;
using IcalExchange::ImportCounts;

namespace
{
class IcalExchangeTest : public StoreTest
{
protected:
    static std::string Export(const std::u16string& category = u"")
    {
        std::string text, error;
        EXPECT_TRUE(IcalExchange::ExportText(category, text, error)) << error;
        return text;
    }
    static ImportCounts Import(const std::string& text, const std::string& name = "file.ics")
    {
        ImportCounts counts;
        std::string error;
        EXPECT_TRUE(IcalExchange::ImportText(text, name, counts, error)) << error;
        return counts;
    }
    // The refusal, which must leave the store exactly as it was.
    static std::string Refusal(const std::string& text)
    {
        const std::string before = Snapshot();
        ImportCounts counts;
        std::string error;
        EXPECT_FALSE(IcalExchange::ImportText(text, "bad.ics", counts, error));
        EXPECT_EQ(before, Snapshot()) << "a refused file changes nothing";
        EXPECT_EQ(0, counts.checklistsAdded + counts.itemsAdded + counts.checklistsUpdated + counts.itemsUpdated);
        EXPECT_EQ(std::string::npos, error.find('\n')) << "one line";
        return error;
    }
    static std::vector<ListRecord> Lists(const std::u16string& category = u"All")
    {
        ListArray lists;
        EXPECT_TRUE(lists.LoadLists(category));
        for (ListRecord& l : lists)
            EXPECT_TRUE(l.LoadItems(FilterAll));
        return std::vector<ListRecord>(lists.begin(), lists.end());
    }
    static const ListRecord* Named(const std::vector<ListRecord>& lists, const std::u16string& name)
    {
        for (const ListRecord& l : lists)
            if (l.name == name)
                return &l;
        return nullptr;
    }
    static void ExpectCountsMatchItems()
    {
        for (const ListRecord& l : Lists())
        {
            EXPECT_EQ(int(l.items.size()), l.itemCount) << IcalText::ToUtf8(l.name);
            EXPECT_EQ(int(std::count_if(l.items.begin(), l.items.end(),
                                        [](const ItemRecord& i) { return i.checked == 0; })),
                      l.uncheckedCount)
                << IcalText::ToUtf8(l.name);
        }
    }
    static std::string Todo(const std::string& uid, const std::string& more = "")
    {
        return "BEGIN:VTODO\r\nUID:" + uid + "\r\nSUMMARY:" + uid + "\r\n" + more + "END:VTODO\r\n";
    }
    static std::string Cal(const std::string& body)
    {
        return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//Test//EN\r\n" + body + "END:VCALENDAR\r\n";
    }
    // The lines of an export that do not carry the moment of the export.
    static std::string Timeless(const std::string& text)
    {
        std::string out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("DTSTAMP:", 0) != 0)
                out += line + "\n";
        return out;
    }
};
}

TEST_F(IcalExchangeTest, RoundTripIntoAnEmptyStoreGivesTheSameStore)
{
    CategoryList categories;
    ASSERT_TRUE(categories.LoadCategories());
    categories.push_back({u"Home, Garden; \\ \U0001F33B", 7});
    categories.push_back({u"All", 9});
    ASSERT_TRUE(categories.SaveCategories());

    const std::u16string odd = u"comma, semicolon; backslash\\ colon: quote\" line\nbreak \U0001F600 "
                               u"\u05E2\u05D1\u05E8\u05D9\u05EA \u0627\u0644\u0639\u0631\u0628\u064A\u0629\ttab";
    const std::u16string categoryNames[] = {u"Personal", u"Business", u"Unfiled", u"Home, Garden; \\ \U0001F33B",
                                            u"All", u"gone category"};
    const int16_t positions[] = {0, 5, 100, -3, 32767, 5};
    for (int n = 0; n < 6; ++n)
    {
        ListRecord list = SaveNewList(odd + u" #" + char16_t(u'0' + n), categoryNames[n], positions[n]);
        list.note = n % 2 ? std::u16string(5000, u'\u00E9') + odd : u"";
        for (int16_t k = 0; k < 12; ++k)
        {
            ItemRecord item;
            item.listId = list.id;
            item.name = k == 0 ? std::u16string(3000, u'x') : odd + char16_t(u'a' + k);
            item.details = k % 3 ? odd : u"";
            item.priority = int16_t(k % 6);
            item.checked = int16_t(k % 2);
            item.position = int16_t(k * 7 - 20);
            ASSERT_TRUE(item.SaveItem());
            ++list.itemCount;
            list.uncheckedCount = int16_t(list.uncheckedCount + (item.checked == 0));
        }
        ASSERT_TRUE(list.SaveList());
    }
    const std::string first = Export();
    const auto before = ByUid();
    ASSERT_EQ(6u + 6 * 12, before.size());
    ASSERT_TRUE(categories.LoadCategories());

    UseSecondStore();
    const ImportCounts counts = Import(first);
    EXPECT_EQ(6, counts.checklistsAdded);
    EXPECT_EQ(72, counts.itemsAdded);
    EXPECT_EQ(0, counts.checklistsUpdated + counts.itemsUpdated);
    EXPECT_EQ(before, ByUid()) << "the same records under the same UIDs";
    CategoryList imported;
    ASSERT_TRUE(imported.LoadCategories());
    // Unknown categories are added at the end, in the order the file names them.
    const std::vector<std::u16string> names = {u"Personal", u"Business", u"Home, Garden; \\ \U0001F33B",
                                               u"gone category", u"All"};
    EXPECT_EQ(names, Map(imported, [](const CategoryRecord& c) { return c.name; }));
    EXPECT_EQ(4, imported.back().order);
    const std::string second = Export();
    EXPECT_TRUE(Timeless(first) == Timeless(second)) << "exporting again writes the same file";
    if (Timeless(first) != Timeless(second))
    {
        std::ofstream(TempXdgListener::Root() + "/../first.ics") << Timeless(first);
        std::ofstream(TempXdgListener::Root() + "/../second.ics") << Timeless(second);
    }
}

TEST_F(IcalExchangeTest, ImportingTheSameFileTwiceAddsNothing)
{
    const std::string text = ReadFile(FixturePath("parent-child.ics"));
    const ImportCounts first = Import(text);
    EXPECT_EQ(2, first.checklistsAdded);
    EXPECT_EQ(4, first.itemsAdded);
    const std::string after = Snapshot();

    const ImportCounts second = Import(text);
    EXPECT_EQ(0, second.checklistsAdded + second.itemsAdded);
    EXPECT_EQ(2, second.checklistsUpdated);
    EXPECT_EQ(4, second.itemsUpdated);
    EXPECT_EQ(after, Snapshot());

    const std::string flat = ReadFile(FixturePath("flat-list.ics"));
    EXPECT_EQ(1, Import(flat).checklistsAdded);
    const ImportCounts again = Import(flat);
    EXPECT_EQ(0, again.checklistsAdded + again.itemsAdded);
    EXPECT_EQ(3, again.itemsUpdated);
    EXPECT_EQ(3u, Lists().size());
}

TEST_F(IcalExchangeTest, PlainTaskListBecomesOneChecklistKeepingWhatItHolds)
{
    const ImportCounts counts = Import(ReadFile(FixturePath("flat-list.ics")));
    EXPECT_EQ(1, counts.checklistsAdded);
    EXPECT_EQ(3, counts.itemsAdded);
    const auto lists = Lists();
    ASSERT_EQ(1u, lists.size());
    const ListRecord& list = lists[0];
    EXPECT_EQ(u"Groceries", list.name);
    EXPECT_EQ(u"Unfiled", list.category);
    ASSERT_EQ(3u, list.items.size());
    // Sort orders too large for a position keep their order.
    EXPECT_EQ(u"Bread, sourdough", list.items[0].name);
    EXPECT_EQ(u"From the bakery\non the corner", list.items[0].details);
    EXPECT_EQ(1, list.items[0].checked);
    EXPECT_EQ(u"Oat milk", list.items[1].name);
    EXPECT_EQ(1, list.items[1].priority);
    EXPECT_EQ(u"Coffee beans (the good ones; not the cheap ones) and a very long line to fold over two lines",
              list.items[2].name);
    EXPECT_EQ(3, list.items[2].priority);
    EXPECT_EQ(3, list.itemCount);
    EXPECT_EQ(2, list.uncheckedCount);

    const std::string out = Export();
    for (const char* kept : {"DUE;VALUE=DATE:20240315", "BEGIN:VALARM", "TRIGGER;VALUE=DATE-TIME:20240315T090000Z",
                             "UID:ALARM-1", "END:VALARM", "CREATED:20240310T101010Z", "COMPLETED:20240312T080000Z",
                             "DUE;TZID=Europe/Berlin:20240316T180000",
                             "X-APPLE-STRUCTURED-LOCATION;VALUE=URI;X-TITLE=Market:geo:52.52,13.40",
                             "LAST-MODIFIED:20240311T121314Z", "UID:8A7F1E2C-0001-4C55-9E7B-4D2C3B1A0F01"})
        EXPECT_NE(std::string::npos, out.find(std::string(kept) + "\r\n")) << kept;

    Import(ReadFile(FixturePath("Weekend chores.ics")), FixturePath("Weekend chores.ics"));
    EXPECT_NE(nullptr, Named(Lists(), u"Weekend chores")) << "named after the file without X-WR-CALNAME";
    ExpectCountsMatchItems();
}

TEST_F(IcalExchangeTest, ParentsAndChildrenBecomeChecklistsAndItems)
{
    Import(ReadFile(FixturePath("parent-child.ics")));
    const auto lists = Lists();
    ASSERT_EQ(2u, lists.size()) << "the VEVENT is ignored";
    const ListRecord* trip = Named(lists, u"Trip to the coast");
    ASSERT_NE(nullptr, trip);
    EXPECT_EQ(u"Pack light.", trip->note);
    EXPECT_EQ(u"Travel", trip->category) << "the first of several CATEGORIES";
    ASSERT_EQ(3u, trip->items.size()) << "the sub-item joins its parent's checklist";
    EXPECT_EQ(u"Tent", trip->items[0].name);
    EXPECT_EQ(5, trip->items[0].priority);
    EXPECT_EQ(u"Tent pegs", trip->items[1].name);
    EXPECT_EQ(u"Map", trip->items[2].name);
    EXPECT_EQ(1, trip->items[2].checked);
    EXPECT_EQ(2, trip->uncheckedCount);
    const ListRecord* books = Named(lists, u"Books to read");
    ASSERT_NE(nullptr, books);
    EXPECT_EQ(u"Personal", books->category);
    ASSERT_EQ(1u, books->items.size());
    EXPECT_EQ(u"\u05E9\u05DC\u05D5\u05DD \U0001F4DA", books->items[0].name);

    CategoryList categories;
    ASSERT_TRUE(categories.LoadCategories());
    ASSERT_EQ(3u, categories.size());
    EXPECT_EQ(u"Travel", categories[2].name);
    EXPECT_EQ(2, categories[2].order);

    const std::string out = Export();
    for (const char* kept : {"CATEGORIES:Travel,Summer", "CATEGORIES:Family", "X-ORGANIZER-COLOR:#ff8800",
                             "STATUS:IN-PROCESS", "PERCENT-COMPLETE:40", "PRIORITY:9", "DUE:20240601T120000Z",
                             "CATEGORIES:Hardware", "RELATED-TO;RELTYPE=SIBLING:trip-2024-tent@example.org",
                             "RELATED-TO;RELTYPE=PARENT:trip-2024@example.org"})
        EXPECT_NE(std::string::npos, out.find(std::string(kept) + "\r\n")) << kept;
    EXPECT_EQ(std::string::npos, out.find("VEVENT"));
    ExpectCountsMatchItems();
}

TEST_F(IcalExchangeTest, KnownUidUpdatesItsRecordAndMayMoveAnItem)
{
    ListRecord a = SaveNewList(u"A", u"Personal", 0);
    AddItems(a, {0, 1});
    ListRecord b = SaveNewList(u"B", u"Personal", 1);
    AddItems(b, {0});
    ASSERT_TRUE(IcalStore::EnsureUids());
    ASSERT_TRUE(a.LoadItems(FilterAll));
    IcalStore::Extra aRow, bRow, itemRow;
    ASSERT_TRUE(IcalStore::Load(IcalStore::Kind::Checklist, a.id, aRow));
    ASSERT_TRUE(IcalStore::Load(IcalStore::Kind::Checklist, b.id, bRow));
    ASSERT_TRUE(IcalStore::Load(IcalStore::Kind::Item, a.items[0].id, itemRow));
    const std::string item = IcalText::ToUtf8(itemRow.uid);

    // No RELATED-TO: the item stays where it is, with the file's values.
    ImportCounts counts = Import(Cal(Todo(item, "STATUS:COMPLETED\r\nX-KEEP:me\r\n")));
    EXPECT_EQ(1, counts.itemsUpdated);
    ItemRecord stored;
    ASSERT_TRUE(stored.LoadItem(a.items[0].id));
    EXPECT_EQ(a.id, stored.listId);
    EXPECT_EQ(IcalText::FromUtf8(item), stored.name);
    EXPECT_EQ(1, stored.checked);
    ExpectCountsMatchItems();

    // Naming another checklist of the store moves it there; the file's
    // VTODO replaces what was kept.
    Import(Cal(Todo(item, "RELATED-TO:" + IcalText::ToUtf8(bRow.uid) + "\r\n")));
    ASSERT_TRUE(stored.LoadItem(a.items[0].id));
    EXPECT_EQ(b.id, stored.listId);
    EXPECT_EQ(0, stored.checked);
    ASSERT_TRUE(IcalStore::Load(IcalStore::Kind::Item, a.items[0].id, itemRow));
    EXPECT_EQ(std::u16string::npos, itemRow.kept.find(u"X-KEEP")) << IcalText::ToUtf8(itemRow.kept);
    ExpectCountsMatchItems();
    const auto lists = Lists();
    EXPECT_EQ(1u, Named(lists, u"A")->items.size());
    EXPECT_EQ(2u, Named(lists, u"B")->items.size());

    // A new VTODO naming a checklist of the store is added to it.
    counts = Import(Cal(Todo("new-one", "RELATED-TO;RELTYPE=PARENT:" + IcalText::ToUtf8(aRow.uid) + "\r\n")));
    EXPECT_EQ(1, counts.itemsAdded);
    EXPECT_EQ(0, counts.checklistsAdded);
    EXPECT_EQ(2u, Named(Lists(), u"A")->items.size());
    ExpectCountsMatchItems();
}

TEST_F(IcalExchangeTest, BadFilesAreRefusedWholeSayingWhere)
{
    Import(ReadFile(FixturePath("parent-child.ics")));
    const struct
    {
        std::string text;
        const char* expected;
    } cases[] = {
        {"hello world\r\n", "line 1: not an iCalendar file"},
        {"", "line 1: not an iCalendar file"},
        {Cal(Todo("a")).substr(0, 60), "the file ends inside"},
        {Cal(Todo("ok") + "BEGIN:VTODO\r\nSUMMARY:no uid\r\nEND:VTODO\r\n"), "line 8: VTODO without a UID"},
        {Cal(Todo("twice") + Todo("x") + Todo("twice")), "line 12: UID \"twice\" repeats the VTODO of line 4"},
        {Cal(Todo("p", "RELATED-TO:q\r\n") + Todo("q", "RELATED-TO:r\r\n") + Todo("r", "RELATED-TO:p\r\n")),
         "RELATED-TO makes a cycle"},
        {Cal(Todo("me", "RELATED-TO:me\r\n")), "line 4: VTODO \"me\" is related to itself"},
        {Cal(Todo("u", "DESCRIPTION:bad \xC3\x28 byte\r\n")), "line 7: the text is not valid UTF-8"},
        {Cal(Todo("v", "SUMMARY:\xED\xA0\x80\r\n")), "line 7: the text is not valid UTF-8"},
        {Cal(Todo("w") + "END:VEVENT\r\n"), "line 8: END:VEVENT does not close BEGIN:VCALENDAR"},
        {Cal(Todo("y", "COMPLETED:2024\r\n")), "line 7: cannot read \"COMPLETED:2024\""},
        {std::string("BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:n\0ul\r\nEND:VTODO\r\nEND:VCALENDAR\r\n", 49),
         "line 3: the text holds a NUL byte"},
    };
    for (const auto& c : cases)
    {
        const std::string error = Refusal(c.text);
        EXPECT_NE(std::string::npos, error.find(c.expected)) << "got: " << error << "\nwanted: " << c.expected;
    }
}

TEST_F(IcalExchangeTest, ChecklistOfMoreThan32767ItemsIsRefused)
{
    std::string body = Todo("big");
    for (int i = 0; i < 32768; ++i)
        body += "BEGIN:VTODO\r\nUID:i" + std::to_string(i) + "\r\nRELATED-TO:big\r\nEND:VTODO\r\n";
    const std::string error = Refusal(Cal(body));
    EXPECT_NE(std::string::npos, error.find("line 4: more than 32,767 items")) << error;

    ListRecord list = SaveNewList(u"Small", u"Personal");
    AddItems(list, {0});
    ASSERT_TRUE(IcalStore::EnsureUids());
    IcalStore::Extra row;
    ASSERT_TRUE(IcalStore::Load(IcalStore::Kind::Checklist, list.id, row));
    std::string join;
    for (int i = 0; i < 32767; ++i)
        join += "BEGIN:VTODO\r\nUID:j" + std::to_string(i) + "\r\nRELATED-TO:" + IcalText::ToUtf8(row.uid) +
                "\r\nEND:VTODO\r\n";
    EXPECT_NE(std::string::npos, Refusal(Cal(join)).find("more than 32,767 items")) << "one is there already";
}

TEST_F(IcalExchangeTest, ExportOfOneCategoryAndAtomicFile)
{
    ListRecord a = SaveNewList(u"Home list", u"Personal");
    ListRecord b = SaveNewList(u"Work list", u"Business");
    const std::string personal = Export(u"Personal");
    EXPECT_NE(std::string::npos, personal.find("SUMMARY:Home list"));
    EXPECT_EQ(std::string::npos, personal.find("SUMMARY:Work list"));
    EXPECT_NE(std::string::npos, Export(u"All").find("SUMMARY:Work list"));

    const std::string path = TempXdgListener::Root() + "/out.ics";
    std::string error;
    ASSERT_TRUE(IcalExchange::ExportFile(path, u"", error)) << error;
    EXPECT_EQ(Timeless(Export()), Timeless(ReadFile(path)));

    // A path that cannot be replaced leaves what is there and no temporary.
    const std::string dir = TempXdgListener::Root() + "/taken";
    ASSERT_EQ(0, ::mkdir(dir.c_str(), 0700));
    ASSERT_EQ(0, ::mkdir((dir + "/inside").c_str(), 0700));
    EXPECT_FALSE(IcalExchange::ExportFile(dir, u"", error));
    EXPECT_NE(std::string::npos, error.find(dir)) << error;
    struct stat st;
    EXPECT_EQ(0, ::stat((dir + "/inside").c_str(), &st));
    EXPECT_FALSE(IcalExchange::ExportFile(TempXdgListener::Root() + "/missing/out.ics", u"", error));
    DIR* root = ::opendir(TempXdgListener::Root().c_str());
    ASSERT_NE(nullptr, root);
    for (dirent* e = ::readdir(root); e; e = ::readdir(root))
        EXPECT_TRUE(std::string(e->d_name).find(".ics.") == std::string::npos &&
                    std::string(e->d_name).find("taken.") == std::string::npos)
            << "temporary left: " << e->d_name;
    ::closedir(root);
    EXPECT_EQ("2 checklists and 1 item added, 0 checklists and 0 items updated.",
              IcalExchange::Summary({2, 0, 1, 0}));
}
