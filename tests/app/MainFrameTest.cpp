// The main window: its bars at the bottom, the Tools menu, the splash during
// creation and the routing of commands to the view.
#include "tests/browser/BrowserFixture.h"
#include "tests/reliability/FaultVfs.h"
#include "tests/support/TempXdg.h"

#include "app/CStartupSplash.h"
#include "app/CTallyardApp.h"
#include "controls/WxString.h"
#include "controls/GestureListCtrl.h"
#include "resources/ResourceIds.h"

#include <wx/combobox.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/stattext.h>
#include <wx/stopwatch.h>
#include <wx/toolbar.h>

#include "app/CToolStrip.h"
#include <wx/uiaction.h>
#include <wx/weakref.h>

#include <cstdlib>
#include <fstream>

using MainFrameTest = BrowserTest;

namespace
{
std::vector<std::pair<int, wxString>> MenuEntries(const wxMenu* menu)
{
    std::vector<std::pair<int, wxString>> entries;
    for (const wxMenuItem* item : menu->GetMenuItems())
        entries.emplace_back(item->IsSeparator() ? 0 : item->GetId(), item->GetItemLabelText());
    return entries;
}
}

TEST_F(MainFrameTest, BarsSitAtTheBottomInOrderBelowTheDeviceSizedView)
{
    Open();
    Pump(50);
    EXPECT_EQ(m_frame->FromDIP(wxSize(240, 320)), m_frame->GetClientSize());
    EXPECT_EQ("Tallyard", m_frame->GetTitle());

    wxPanel* reBar = m_frame->GetReBar();
    const wxRect bar = reBar->GetRect();
    EXPECT_EQ(m_frame->GetClientSize().y, bar.GetBottom() + 1);
    EXPECT_EQ(0, bar.x);
    EXPECT_EQ(m_frame->GetClientSize().x, bar.width);

    wxToolBar* commandBar = m_frame->GetCommandBar();
    CToolStrip* toolBar = m_frame->GetChecklistToolBar();
    wxWindow* dialogBar = m_frame->GetDialogBar();
    EXPECT_EQ(reBar, commandBar->GetParent());
    EXPECT_LT(commandBar->GetPosition().y, toolBar->GetPosition().y);
    EXPECT_LT(toolBar->GetPosition().y, dialogBar->GetPosition().y);
    EXPECT_EQ(m_frame->FromDIP(24), toolBar->GetSize().y);

    // The view's form fills the room above the bars, and its list the form.
    const wxRect form = m_view->GetForm()->GetRect();
    EXPECT_EQ(wxPoint(0, 0), form.GetPosition());
    EXPECT_EQ(bar.y, form.GetBottom() + 1);
    const wxRect list = m_list->GetRect();
    EXPECT_EQ(wxRect(wxPoint(0, 0), form.GetSize()), list);
    EXPECT_GE(list.width, m_list->GetColumnWidth(0) + m_list->GetColumnWidth(1));

    // Growing the window grows the list with it.
    m_frame->SetClientSize(m_frame->FromDIP(wxSize(400, 500)));
    Pump(50);
    EXPECT_EQ(m_view->GetForm()->GetSize(), m_list->GetSize());
    EXPECT_EQ(m_frame->GetClientSize().x, m_list->GetSize().x);

    // The dialog bar holds one empty right-aligned text.
    auto* text = wxDynamicCast(dialogBar->FindWindow(IDC_DIALOGBAR_TEXT), wxStaticText);
    ASSERT_NE(nullptr, text);
    EXPECT_TRUE(text->GetLabel().empty());
}

TEST_F(MainFrameTest, CommandBarHoldsToolsAndTheCategoryDropDown)
{
    Open();
    wxToolBar* commandBar = m_frame->GetCommandBar();
    ASSERT_EQ(2u, commandBar->GetToolsCount());
    EXPECT_EQ(ID_MENU_TOOLS, commandBar->GetToolByPos(0)->GetId());
    EXPECT_EQ("Tools", commandBar->GetToolByPos(0)->GetLabel());

    wxComboBox* combo = m_frame->GetCategorySelector();
    ASSERT_NE(nullptr, combo);
    EXPECT_EQ(combo, commandBar->GetToolByPos(1)->GetControl());
    EXPECT_EQ(IDC_CATEGORY, combo->GetId());
    EXPECT_TRUE(combo->HasFlag(wxCB_READONLY));
    // At least the device's 80 pixels; the rest of the bar beside Tools, so
    // the names are not cut to four letters by the toolkit's arrow.
    EXPECT_GE(combo->GetSize().x, m_frame->FromDIP(80));
    EXPECT_GT(combo->GetSize().x, m_frame->FromDIP(120));
    EXPECT_LE(combo->GetPosition().x + combo->GetSize().x, commandBar->GetSize().x);

    const std::vector<std::pair<int, wxString>> tools{
        {ID_APP_ABOUT, "About Tallyard..."}, {0, ""}, {ID_PREFERENCES, "Preferences..."}, {wxID_ANY, "Sort"},
        {0, ""}, {ID_EDIT_UNDO, "Undo"}, {ID_EDIT_REDO, "Redo"},
        {0, ""}, {ID_IMPORT, "Import..."}, {ID_EXPORT, "Export..."}};
    auto entries = MenuEntries(m_frame->GetToolsMenu());
    ASSERT_EQ(10u, entries.size());
    entries[3].first = wxID_ANY;
    EXPECT_EQ(tools, entries);
    const wxMenu* sort = m_frame->GetToolsMenu()->FindItemByPosition(3)->GetSubMenu();
    ASSERT_NE(nullptr, sort);
    const std::vector<std::pair<int, wxString>> sorts{{ID_SORT_ALPHA, "Alphabetically"},
                                                      {ID_SORT_ITEM_COUNT, "By Item Count"}};
    EXPECT_EQ(sorts, MenuEntries(sort));
}

TEST_F(MainFrameTest, ToolBarHasTheSevenChecklistButtonsWithTheirTips)
{
    Open();
    CToolStrip* toolBar = m_frame->GetChecklistToolBar();
    const int ids[] = {ID_NEW_CHECKLIST, ID_OPEN_CHECKLIST, ID_DELETE_CHECKLIST, ID_LIST_NOTE,
                       ID_COPY_LIST,     ID_MOVE_UP,        ID_MOVE_DOWN};
    const char* tips[] = {"New Checklist", "Open Checklist", "Delete Checklist", "List Note",
                          "Copy List",     "Move Up",        "Move Down"};
    ASSERT_EQ(7u, toolBar->GetToolsCount());
    for (size_t i = 0; i < 7; ++i)
    {
        EXPECT_EQ(ids[i], toolBar->GetToolId(i));
        EXPECT_EQ(tips[i], toolBar->GetToolShortHelp(ids[i]));
        const wxBitmap image = toolBar->GetToolBitmap(ids[i]);
        ASSERT_TRUE(image.IsOk()) << i;
        EXPECT_EQ(toolBar->FromDIP(wxSize(16, 16)), image.GetSize()) << i;
    }
}

TEST_F(MainFrameTest, ToolsMenuOpensFromTheCommandBarAndItsCommandsReachTheView)
{
    AddChecklist(u"b", u"Unfiled", 0);
    AddChecklist(u"A", u"Unfiled", 1);
    Open();
    wxToolBar* commandBar = m_frame->GetCommandBar();
    wxMenu* opened = nullptr;
    commandBar->Bind(wxEVT_MENU_OPEN, [&](wxMenuEvent& event) {
        event.Skip();
        if (opened || event.GetMenu() != m_frame->GetToolsMenu())
            return;
        opened = event.GetMenu();
        m_frame->CallAfter([menu = opened] {
            menu->SendEvent(ID_SORT_ALPHA);
            wxUIActionSimulator().Char(WXK_ESCAPE);
        });
    });
    wxCommandEvent click(wxEVT_TOOL, ID_MENU_TOOLS);
    click.SetEventObject(commandBar);
    commandBar->GetEventHandler()->ProcessEvent(click);
    Pump(50);
    EXPECT_EQ(m_frame->GetToolsMenu(), opened);
    EXPECT_EQ("1. A", m_list->GetItemText(0, 0).utf8_string());
    EXPECT_EQ(u"A", Stored()[0].name);
}

TEST_F(MainFrameTest, CreationShowsTheSplashAndWaitsWithItOnScreen)
{
    CMainFrame::SetStartupWaitForTest(CMainFrame::kStartupWaitMs);
    CStartupSplash::Enable(true);
    wxStopWatch watch;
    Open();
    const long elapsed = watch.Time();
    EXPECT_GE(elapsed, CMainFrame::kStartupWaitMs);
    EXPECT_NE(nullptr, CStartupSplash::Current());
    EXPECT_FALSE(CStartupSplash::IsEnabled());
    if (CStartupSplash::Current())
        CStartupSplash::Current()->Hide();
    Pump(30);
}

TEST_F(MainFrameTest, ClickingAToolRunsItsCommandOnlyWhenEnabled)
{
    AddChecklist(u"A", u"Unfiled", 0);
    AddChecklist(u"B", u"Unfiled", 1);
    Open();
    CToolStrip* toolBar = m_frame->GetChecklistToolBar();
    const wxPoint moveDown = toolBar->GetToolRect(ID_MOVE_DOWN).GetPosition() + toolBar->FromDIP(wxPoint(12, 12));
    const wxPoint moveUp = toolBar->GetToolRect(ID_MOVE_UP).GetPosition() + toolBar->FromDIP(wxPoint(12, 12));

    // Disabled without a selection: the click changes nothing.
    Pump(50);
    EXPECT_FALSE(toolBar->GetToolEnabled(ID_MOVE_DOWN));
    ClickAt(toolBar, moveDown);
    EXPECT_EQ("1. A", m_list->GetItemText(0, 0).utf8_string());

    Select(0);
    WaitFor([&] { return toolBar->GetToolEnabled(ID_MOVE_DOWN); }, 1000); // idle updates
    ClickAt(toolBar, moveDown);
    EXPECT_EQ("1. B", m_list->GetItemText(0, 0).utf8_string());
    EXPECT_EQ(1, m_view->SelectedRow());
    EXPECT_EQ(u"A", Stored()[1].name);

    ClickAt(toolBar, moveUp);
    EXPECT_EQ("1. A", m_list->GetItemText(0, 0).utf8_string());
    EXPECT_EQ(toolBar->GetToolShortHelp(ID_MOVE_UP), toolBar->GetToolTipText());
}

TEST_F(MainFrameTest, OpeningAFileShowsTheChecklistsAgainAndWritesNothing)
{
    AddChecklist(u"Groceries", u"Unfiled", 0);
    Open();
    const std::string path = TempXdgListener::Root() + "/some file.txt";
    const std::string content = "not a checklist file\n";
    {
        std::ofstream(path) << content;
    }
    ASSERT_NE(nullptr, m_manager->CreateDocument(path, wxDOC_SILENT));
    Pump(30);
    m_view = wxDynamicCast(m_manager->GetAnyUsableView(), CTallyardView);
    ASSERT_NE(nullptr, m_view);
    m_list = m_view->GetListCtrl();
    EXPECT_EQ(1u, m_manager->GetDocuments().GetCount());
    EXPECT_EQ("1. Groceries", m_list->GetItemText(0, 0).utf8_string());
    EXPECT_EQ("Tallyard", m_frame->GetTitle());

    // Closing the window saves nothing into the file.
    Close();
    std::ifstream in(path);
    EXPECT_EQ(content, std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
}

TEST_F(MainFrameTest, CtrlQClosesTheProgramAndOtherAcceleratorsDoNothing)
{
    AddChecklist(u"Groceries", u"Unfiled", 0);
    Open();
    m_list->SetFocus();
    Select(0);
    Pump(50);
    wxUIActionSimulator sim;
    // Copy, cut, paste, save and new are not the program's; with no step
    // made yet, undo has nothing to take back.
    for (int key : {'C', 'X', 'V', 'Z', 'S', 'N'})
    {
        sim.Char(key, wxMOD_CONTROL);
        Pump(50);
    }
    EXPECT_EQ(1u, Stored().size());
    EXPECT_EQ(0, m_view->SelectedRow());
    EXPECT_TRUE(m_frame->IsShown());

    wxWeakRef<wxFrame> frame(m_frame);
    sim.Char('Q', wxMOD_CONTROL);
    EXPECT_TRUE(WaitFor([&] { return !frame; }, 2000));
    if (!frame)
        m_frame = nullptr;
    EXPECT_EQ(1u, Stored().size());
    Pump(200); // the display drops the closed window before the next test looks
}

TEST(StoreMessages, ShowAsOwnerlessBoxesWithThePlatformCaptionWhenTheStoreGivesNone)
{
    CTallyardApp::InstallStoreMessageHook();
    ASSERT_TRUE(ListStore::CreateDatabases());
    ItemRecord orphan;
    orphan.name = u"no checklist";
    wxTEST_DIALOG(EXPECT_FALSE(orphan.SaveItem()), ExpectMessage("The checklist ID was not set Ixel!", "Error"));
    ListStore::SetMessageHook(nullptr);
}

TEST(StoreMessages, RefusedChangesAreToldOnceAfterTheHandler)
{
    FaultVfs::Install();
    CTallyardApp::InstallStoreMessageHook();
    ASSERT_TRUE(ListStore::CreateDatabases());
    ListRecord list;
    list.name = u"Groceries";
    ASSERT_TRUE(list.SaveList());

    FaultVfs::Arm(FaultVfs::Op::Write, 1, true, /*diskFull=*/true);
    list.name = u"Shopping";
    EXPECT_FALSE(list.SaveList());
    const std::u16string reason = ListStore::LastError();
    list.note = u"a note";
    EXPECT_FALSE(list.SaveList());
    FaultVfs::Disarm();
    ASSERT_FALSE(reason.empty());

    // Both refusals come to one notice, shown once the current handler is done.
    wxTEST_DIALOG(Pump(300), ExpectMessage(CTallyardApp::WriteFailureNotice(reason), AppTitle()));
    EXPECT_EQ("The change could not be stored.\n\n" + ToWx(reason), CTallyardApp::WriteFailureNotice(reason));
    ListStore::SetWriteFailureHook(nullptr);
    ListStore::SetMessageHook(nullptr);
}
