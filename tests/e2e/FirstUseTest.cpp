// A new user's first two sessions with the built program: real clicks and
// keys from outside the program, results read back from the store and from
// what the program shows.
#include "tests/e2e/ProgramDriver.h"
#include "tests/support/GuiTest.h"
#include "tests/support/TempXdg.h"

#include "app/SettingsKey.h"
#include "controls/WxString.h"
#include "resources/ResourceIds.h"
#include "store/ListStore.h"

#include <wx/frame.h>
#include <wx/time.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace
{
// Generous: a loaded two-core machine may take seconds for a start or a step.
constexpr int kStartMs = 30000;
constexpr int kStepMs = 15000;
// The device screen's width; the picture's main window has it times the scale.
constexpr double kScreenWidth = 240.0;

using Pred = std::function<bool(const ShownScreen&)>;

const ShownWindow& Main(const ShownScreen& screen)
{
    static const ShownWindow none;
    const ShownWindow* main = screen.Window("CMainFrame");
    return main ? *main : none;
}

// The main window alone, splash gone, its list and toolbar in place.
bool MainReady(const ShownScreen& screen)
{
    for (const ShownWindow& window : screen.windows)
        if (window.name != "CMainFrame")
            return false;
    const ShownWindow& main = Main(screen);
    return main.Control(IDC_CHECKLISTS, "list") && main.Tool(ID_NEW_CHECKLIST) && main.Control(IDC_CATEGORY, "combo");
}

// Each row of a list as "column 0|column 1".
std::vector<std::string> RowTexts(const ShownWindow& window, int listId)
{
    std::vector<std::string> texts;
    for (const ShownRow& row : window.RowsOf(listId))
        texts.push_back(row.column0 + "|" + row.column1);
    return texts;
}

std::string ControlText(const ShownWindow* window, int id, const char* kind)
{
    const ShownControl* control = window ? window->Control(id, kind) : nullptr;
    return control ? control->text : "<no control>";
}

wxPoint Centre(const wxRect& rect)
{
    return wxPoint(rect.x + rect.width / 2, rect.y + rect.height / 2);
}

ListArray StoredLists(const std::u16string& category = u"All")
{
    ListArray lists;
    lists.LoadLists(category);
    return lists;
}

// A checklist and all its items as stored now.
ListRecord Stored(int32_t id)
{
    ListRecord list;
    list.LoadList(id);
    list.id = id;
    list.LoadItems(FilterAll);
    return list;
}

std::vector<std::u16string> ItemNames(const ListRecord& list)
{
    std::vector<std::u16string> names;
    for (const ItemRecord& item : list.items)
        names.push_back(item.name);
    return names;
}

std::vector<int> ItemChecks(const ListRecord& list)
{
    std::vector<int> checks;
    for (const ItemRecord& item : list.items)
        checks.push_back(item.checked);
    return checks;
}

std::string Describe(const ListArray& lists)
{
    std::string text;
    for (const ListRecord& list : lists)
        text += "  " + std::string(ToWx(list.name).utf8_str()) + " [" + std::string(ToWx(list.category).utf8_str()) +
                "] items " + std::to_string(list.itemCount) + ", unchecked " + std::to_string(list.uncheckedCount) +
                "\n";
    return text.empty() ? "  (none)\n" : text;
}

class FirstUse : public testing::Test
{
protected:
    void SetUp() override
    {
        m_program = std::make_unique<Program>(TempXdgListener::Root());
        ASSERT_TRUE(m_x.IsOpen()) << "no X display";
        // The input simulator reads the display's scale from a realized top
        // window of this process: a speck far from the program's windows,
        // shown once and hidden again.
        m_scaleSource = new wxFrame(nullptr, wxID_ANY, "input", wxPoint(1590, 1190), wxSize(1, 1),
                                    wxFRAME_NO_TASKBAR | wxBORDER_NONE);
        m_scaleSource->Show();
        Pump(20);
        m_scaleSource->Hide();
    }

    void TearDown() override
    {
        m_program.reset();
        if (m_scaleSource)
            m_scaleSource->Destroy();
        Pump(20);
    }

    testing::AssertionResult Await(const char* what, const Pred& pred, ShownScreen& seen, int ms = kStepMs)
    {
        if (m_program->WaitForScreen(pred, ms, &seen))
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << "the program did not show " << what << " (waited up to " << ms
                                           << " ms; a message box ends the wait).\nIt showed:\n"
                                           << seen.text << "Stored checklists:\n"
                                           << Describe(StoredLists()) << "Its output:\n"
                                           << m_program->Output();
    }

    /// Waits for the modal dialog `name` to show where it stays (full-screen
    /// ones over the main window: the toolkit may first centre them).
    testing::AssertionResult AwaitDialog(const char* name, bool fullScreen, ShownScreen& seen,
                                         const Pred& more = Pred())
    {
        const Pred shown = [&](const ShownScreen& screen) {
            const ShownWindow* dialog = screen.Window(name);
            return dialog && dialog->modal && (!fullScreen || dialog->rect == m_mainRect) && (!more || more(screen));
        };
        const wxLongLong end = wxGetLocalTimeMillis() + kStepMs;
        for (;;)
        {
            testing::AssertionResult result = Await(name, shown, seen);
            if (!result)
                return result;
            const wxRect rect = seen.Window(name)->rect;
            Pump(250);
            const ShownScreen again = m_program->Look();
            if (again.complete && shown(again) && again.Window(name)->rect == rect)
            {
                seen = again;
                return testing::AssertionSuccess();
            }
            if (wxGetLocalTimeMillis() > end)
                return testing::AssertionFailure() << name << " kept moving:\n" << again.text;
        }
    }

    testing::AssertionResult AwaitStore(const char* what, const std::function<bool()>& pred)
    {
        if (WaitFor(pred, kStepMs))
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << "the store did not get " << what << ". Stored checklists:\n"
                                           << Describe(StoredLists()) << "The program showed:\n"
                                           << m_program->Look().text;
    }

    int Scaled(int devicePixels) const { return static_cast<int>(std::lround(devicePixels * m_scale)); }

    /// A tap on the ok disc of a dialog's title bar (control `titleId`).
    void TapOk(const ShownWindow& dialog, int titleId)
    {
        const ShownControl* title = dialog.Control(titleId, "title");
        ASSERT_NE(nullptr, title) << dialog.name << " has no title bar " << titleId;
        UserInput::Click(wxPoint(title->rect.GetRight() + 1 - Scaled(24), title->rect.y + Scaled(10)));
    }

    void ClickControl(const ShownWindow& window, int id, const char* kind)
    {
        const ShownControl* control = window.Control(id, kind);
        ASSERT_NE(nullptr, control) << window.name << " has no " << kind << " " << id;
        ASSERT_TRUE(control->enabled) << window.name << ": " << kind << " " << id << " is disabled";
        UserInput::Click(Centre(control->rect));
    }

    void ClickTool(const ShownWindow& main, int id)
    {
        const ShownTool* tool = main.Tool(id);
        ASSERT_NE(nullptr, tool) << "no toolbar button " << id;
        UserInput::Click(Centre(tool->rect));
    }

    /// Opens a drop-down with a click on its arrow and answers it with keys,
    /// as far from the current entry as `moves` (negative: up), then Enter.
    void ChooseInDropDown(const ShownWindow& window, int moves)
    {
        const ShownControl* combo = window.Control(IDC_CATEGORY, "combo");
        ASSERT_NE(nullptr, combo) << window.name << " has no category box";
        const wxPoint arrow(combo->rect.GetRight() - Scaled(12), combo->rect.y + combo->rect.height / 2);
        const std::vector<unsigned long> before = m_x.Popups();
        UserInput::Click(arrow);
        unsigned long popup = 0;
        ASSERT_TRUE(WaitFor([&] { return (popup = m_x.NewPopup(before, combo->rect.height)) != 0; }, kStepMs))
            << "the drop-down of " << window.name << " did not open at " << arrow.x << "," << arrow.y << ":\n"
            << m_x.DescribePopups() << "The program showed:\n"
            << m_program->Look().text;
        Pump(200);
        for (int i = 0; i < std::abs(moves); ++i)
            UserInput::Key(moves < 0 ? WXK_UP : WXK_DOWN);
        UserInput::Key(WXK_RETURN);
        EXPECT_TRUE(WaitFor([&] { return !m_x.IsMapped(popup); }, kStepMs)) << "the drop-down stayed open";
    }

    /// Closes the main window as a window manager's close button does and
    /// expects the program to end cleanly.
    void CloseProgram()
    {
        ASSERT_TRUE(m_x.Close("Tallyard")) << "no window titled Tallyard";
        int status = -1;
        ASSERT_TRUE(m_program->WaitForExit(kStepMs, &status)) << "the program did not end after its window closed";
        EXPECT_TRUE(WIFEXITED(status)) << "status " << status;
        EXPECT_EQ(0, WEXITSTATUS(status)) << m_program->Output();
    }

    testing::AssertionResult StartProgram(ShownScreen& seen, const Pred& more)
    {
        if (!m_program->Start())
            return testing::AssertionFailure() << "cannot start the program";
        testing::AssertionResult ready = Await(
            "its main window", [&](const ShownScreen& s) { return MainReady(s) && more(s); }, seen, kStartMs);
        if (ready)
        {
            m_mainRect = Main(seen).rect;
            m_scale = m_mainRect.width / kScreenWidth;
        }
        return ready;
    }

    XWindows m_x;
    std::unique_ptr<Program> m_program;
    wxFrame* m_scaleSource = nullptr; // owned by wx once created
    wxRect m_mainRect;
    double m_scale = 1.0;
};
}

TEST_F(FirstUse, ChecklistKeptAcrossARestartAndCopyFiledUnderBusiness)
{
    ShownScreen s;
    const auto rows = [](const ShownScreen& screen) { return RowTexts(Main(screen), IDC_CHECKLISTS); };

    // First start on an empty store: no rows, every category shown.
    ASSERT_TRUE(StartProgram(s, [](const ShownScreen&) { return true; }));
    EXPECT_EQ(kScreenWidth * m_scale, m_mainRect.width);
    EXPECT_TRUE(rows(s).empty());
    EXPECT_EQ("All", ControlText(&Main(s), IDC_CATEGORY, "combo"));
    EXPECT_TRUE(StoredLists().empty());

    // New: the name dialog takes the typed name; its ok opens the editor.
    ClickTool(Main(s), ID_NEW_CHECKLIST);
    ASSERT_TRUE(AwaitDialog("CListNameDlg", true, s));
    EXPECT_EQ("New Checklist", ControlText(s.Window("CListNameDlg"), IDC_TITLE_BAR, "title"));
    UserInput::Type("Groceries");
    ASSERT_TRUE(Await("the typed name", [](const ShownScreen& screen) {
        return ControlText(screen.Window("CListNameDlg"), IDC_LIST_NAME, "text") == "Groceries";
    }, s));
    TapOk(*s.Window("CListNameDlg"), IDC_TITLE_BAR);
    ASSERT_TRUE(AwaitDialog("CListDlg", true, s));
    EXPECT_EQ("Groceries", ControlText(s.Window("CListDlg"), IDC_TITLE_BAR, "title"));
    EXPECT_EQ("Unfiled", ControlText(s.Window("CListDlg"), IDC_CATEGORY, "combo"));

    ListArray lists = StoredLists();
    ASSERT_EQ(1u, lists.size());
    const int32_t sourceId = lists[0].id;
    EXPECT_EQ(u"Groceries", lists[0].name);
    EXPECT_EQ(u"Unfiled", lists[0].category);
    EXPECT_EQ(0, lists[0].itemCount);

    // Three items through the editor's New button and the item dialog.
    const char* const names[] = {"Bread", "Milk", "Eggs"};
    for (int i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(names[i]);
        ClickControl(*s.Window("CListDlg"), ID_NEW_ITEM, "button");
        ASSERT_TRUE(AwaitDialog("CItemDlg", true, s));
        UserInput::Type(names[i]);
        ASSERT_TRUE(Await("the typed item name", [&](const ShownScreen& screen) {
            return ControlText(screen.Window("CItemDlg"), IDC_ITEM_NAME, "text") == names[i];
        }, s));
        TapOk(*s.Window("CItemDlg"), IDC_TITLE_BAR);
        ASSERT_TRUE(AwaitDialog("CListDlg", true, s, [&](const ShownScreen& screen) {
            const std::vector<ShownRow> items = screen.Window("CListDlg")->RowsOf(IDC_ITEMS);
            return !screen.Has("CItemDlg") && items.size() == static_cast<size_t>(i + 1) &&
                   items.back().column0 == names[i];
        }));
    }
    ListRecord source = Stored(sourceId);
    EXPECT_EQ((std::vector<std::u16string>{u"Bread", u"Milk", u"Eggs"}), ItemNames(source));
    EXPECT_EQ((std::vector<int>{0, 0, 0}), ItemChecks(source));
    EXPECT_EQ(3, source.itemCount);
    EXPECT_EQ(3, source.uncheckedCount);

    // A tap on Milk's check box ticks it in the store at once.
    {
        const ShownRow milk = s.Window("CListDlg")->RowsOf(IDC_ITEMS).at(1);
        UserInput::Click(wxPoint(milk.rect.x + Scaled(11), milk.rect.y + milk.rect.height / 2));
    }
    ASSERT_TRUE(AwaitStore("Milk ticked", [&] { return Stored(sourceId).uncheckedCount == 2; }));
    source = Stored(sourceId);
    EXPECT_EQ((std::vector<int>{0, 1, 0}), ItemChecks(source));
    EXPECT_EQ(3, source.itemCount);
    ASSERT_TRUE(Await("Milk's tick", [](const ShownScreen& screen) {
        const ShownWindow* editor = screen.Window("CListDlg");
        if (!editor || editor->RowsOf(IDC_ITEMS).size() != 3)
            return false;
        const std::vector<ShownRow> items = editor->RowsOf(IDC_ITEMS);
        return !items[0].checked && items[1].checked && !items[2].checked;
    }, s));

    // The editor's ok: the main window lists the checklist with 2 unchecked.
    TapOk(*s.Window("CListDlg"), IDC_TITLE_BAR);
    ASSERT_TRUE(Await("the checklist's row", [&](const ShownScreen& screen) {
        return MainReady(screen) && rows(screen) == std::vector<std::string>{"1. Groceries|(2)"};
    }, s));
    CloseProgram();
    ASSERT_FALSE(HasFatalFailure());

    // Second start: the checklist is still there, still with 2 unchecked.
    ASSERT_TRUE(StartProgram(s, [&](const ShownScreen& screen) { return !rows(screen).empty(); }));
    EXPECT_EQ((std::vector<std::string>{"1. Groceries|(2)"}), rows(s));
    EXPECT_EQ("All", ControlText(&Main(s), IDC_CATEGORY, "combo"));

    // Copy List with "Unchecked", under the name offered.
    UserInput::Click(Centre(Main(s).RowsOf(IDC_CHECKLISTS).at(0).rect));
    ASSERT_TRUE(Await("the row selected and Copy List enabled", [](const ShownScreen& screen) {
        const ShownTool* copy = Main(screen).Tool(ID_COPY_LIST);
        const std::vector<ShownRow> shown = Main(screen).RowsOf(IDC_CHECKLISTS);
        return copy && copy->enabled && shown.size() == 1 && shown[0].selected;
    }, s));
    ClickTool(Main(s), ID_COPY_LIST);
    ASSERT_TRUE(AwaitDialog("CCopyListDlg", false, s));
    EXPECT_EQ("1", ControlText(s.Window("CCopyListDlg"), IDC_COPY_ALL, "radio"));
    ClickControl(*s.Window("CCopyListDlg"), IDC_COPY_UNCHECKED, "radio");
    ASSERT_TRUE(Await("\"Unchecked\" chosen", [](const ShownScreen& screen) {
        return ControlText(screen.Window("CCopyListDlg"), IDC_COPY_UNCHECKED, "radio") == "1";
    }, s));
    TapOk(*s.Window("CCopyListDlg"), IDC_COPY_TITLE);
    ASSERT_TRUE(AwaitDialog("CListNameDlg", true, s, [](const ShownScreen& screen) {
        return !screen.Has("CCopyListDlg");
    }));
    EXPECT_EQ("Checklist Name", ControlText(s.Window("CListNameDlg"), IDC_TITLE_BAR, "title"));
    EXPECT_EQ("Groceries", ControlText(s.Window("CListNameDlg"), IDC_LIST_NAME, "text"));
    TapOk(*s.Window("CListNameDlg"), IDC_TITLE_BAR);
    ASSERT_TRUE(Await("the copy's row", [&](const ShownScreen& screen) {
        return MainReady(screen) && rows(screen).size() == 2;
    }, s));
    EXPECT_EQ((std::vector<std::string>{"1. Groceries|(2)", "2. Groceries|(2)"}), rows(s));

    // The copy holds the two unchecked items under new ids; the source is as it was.
    lists = StoredLists();
    ASSERT_EQ(2u, lists.size());
    const size_t copyRow = lists[0].id == sourceId ? 1 : 0;
    const int32_t copyId = lists[copyRow].id;
    ASSERT_NE(sourceId, copyId);
    ListRecord copy = Stored(copyId);
    EXPECT_EQ(u"Groceries", copy.name);
    EXPECT_EQ(u"Unfiled", copy.category);
    EXPECT_EQ((std::vector<std::u16string>{u"Bread", u"Eggs"}), ItemNames(copy));
    EXPECT_EQ((std::vector<int>{0, 0}), ItemChecks(copy));
    EXPECT_EQ(2, copy.itemCount);
    EXPECT_EQ(2, copy.uncheckedCount);
    source = Stored(sourceId);
    for (const ItemRecord& item : copy.items)
    {
        EXPECT_EQ(copyId, item.listId);
        for (const ItemRecord& original : source.items)
            EXPECT_NE(original.id, item.id);
    }
    EXPECT_EQ(3, source.itemCount);
    EXPECT_EQ(2, source.uncheckedCount);

    // Open the copy and file it under "Business" in the editor's category
    // box ("Business" sits just above "Unfiled").
    UserInput::Click(Centre(Main(s).RowsOf(IDC_CHECKLISTS).at(copyRow).rect));
    ASSERT_TRUE(Await("the copy's row selected", [&](const ShownScreen& screen) {
        const ShownTool* open = Main(screen).Tool(ID_OPEN_CHECKLIST);
        const std::vector<ShownRow> shown = Main(screen).RowsOf(IDC_CHECKLISTS);
        return open && open->enabled && shown.size() == 2 && shown[copyRow].selected;
    }, s));
    ClickTool(Main(s), ID_OPEN_CHECKLIST);
    ASSERT_TRUE(AwaitDialog("CListDlg", true, s));
    EXPECT_EQ((std::vector<std::string>{"Bread|", "Eggs|"}), RowTexts(*s.Window("CListDlg"), IDC_ITEMS));
    EXPECT_EQ("Unfiled", ControlText(s.Window("CListDlg"), IDC_CATEGORY, "combo"));
    ChooseInDropDown(*s.Window("CListDlg"), -1);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(AwaitStore("the copy filed under Business", [&] { return Stored(copyId).category == u"Business"; }));
    ASSERT_TRUE(Await("Business in the editor's box", [](const ShownScreen& screen) {
        return ControlText(screen.Window("CListDlg"), IDC_CATEGORY, "combo") == "Business";
    }, s));
    EXPECT_EQ(u"Unfiled", Stored(sourceId).category);

    TapOk(*s.Window("CListDlg"), IDC_TITLE_BAR);
    ASSERT_TRUE(Await("the main window again", [&](const ShownScreen& screen) {
        return MainReady(screen) && rows(screen).size() == 2;
    }, s));

    // "Business" in the main window's drop-down ("All", "Personal", "Business"):
    // only the copy is listed, and the choice is remembered.
    ChooseInDropDown(Main(s), 2);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(Await("only the copy", [&](const ShownScreen& screen) {
        return MainReady(screen) && ControlText(&Main(screen), IDC_CATEGORY, "combo") == "Business" &&
               rows(screen) == std::vector<std::string>{"1. Groceries|(2)"};
    }, s));
    const ListArray business = StoredLists(u"Business");
    ASSERT_EQ(1u, business.size());
    EXPECT_EQ(copyId, business[0].id);
    {
        SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
        EXPECT_EQ(u"Business", key.ReadString(u"LastCategory", u"<missing>"));
    }
    CloseProgram();
}
