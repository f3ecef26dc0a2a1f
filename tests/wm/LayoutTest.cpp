// How the windows are laid out at the sizes a user gives them: the main
// view, the bars, the full-screen dialogs and what the toolkit prints.
#include "tests/browser/BrowserFixture.h"
#include "tests/resources/ScreenGrab.h"
#include "tests/support/WindowManager.h"
#include "tests/wm/WmFixture.h"
#include "tests/wm/ScreenChecks.h"

#include "app/CToolStrip.h"
#include "app/FramePlacement.h"
#include "app/SettingsKey.h"
#include "dialogs/DialogLayout.h"
#include "controls/GestureListCtrl.h"
#include "dialogs/CCategoriesDlg.h"
#include "dialogs/CCategoryNameDlg.h"
#include "dialogs/CListNameDlg.h"
#include "dialogs/CNoteDlg.h"
#include "dialogs/CPreferencesDlg.h"
#include "dialogs/CSyncSettingsDlg.h"
#include "editor/CCopyListDlg.h"
#include "editor/CItemDlg.h"
#include "editor/CListDlg.h"
#include "resources/ResourceIds.h"

#include <wx/app.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/panel.h>
#include <wx/settings.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/toolbar.h>

#include <gtk/gtk.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace
{
// What the process writes to its standard error while it lives.
class StderrCapture
{
public:
    StderrCapture()
    {
        std::fflush(stderr);
        m_saved = dup(2);
        std::FILE* file = std::tmpfile();
        m_fd = dup(fileno(file));
        std::fclose(file);
        dup2(m_fd, 2);
    }
    ~StderrCapture() { Stop(); }
    std::string Stop()
    {
        if (m_saved >= 0)
        {
            std::fflush(stderr);
            dup2(m_saved, 2);
            close(m_saved);
            m_saved = -1;
            lseek(m_fd, 0, SEEK_SET);
            char buffer[4096];
            ssize_t n;
            while ((n = read(m_fd, buffer, sizeof buffer)) > 0)
                m_text.append(buffer, static_cast<size_t>(n));
            close(m_fd);
        }
        return m_text;
    }

private:
    int m_saved = -1;
    int m_fd = -1;
    std::string m_text;
};

class LayoutTest : public PlacedBrowserTest
{
protected:
    void ResizeClient(const wxSize& size)
    {
        m_frame->SetClientSize(size);
        WaitFor([&] { return ServerClientRect(m_frame).GetSize() == size; });
        Settle();
    }

    // The list fills the room above the bars; the count column ends at the
    // right edge of the rows' area, never under a scroll bar.
    void ExpectListFillsTheRoom(const std::string& where)
    {
        KeepShot(GrabScreen(ServerClientRect(m_frame)), ("main_" + where).c_str());
        const wxRect form = m_view->GetForm()->GetRect();
        EXPECT_EQ(wxPoint(0, 0), form.GetPosition()) << where;
        EXPECT_EQ(m_frame->GetClientSize().x, form.width) << where;
        EXPECT_EQ(m_frame->GetReBar()->GetPosition().y, form.GetBottom() + 1) << where;
        EXPECT_EQ(wxRect(wxPoint(0, 0), form.GetSize()), m_list->GetRect()) << where;
        const int rows = m_list->GetMainWindow()->GetClientSize().x;
        const int right = m_list->GetColumnWidth(0) + m_list->GetColumnWidth(1);
        EXPECT_LE(right, rows) << where << ": the scroll bar covers the counts";
        EXPECT_GE(right, rows - m_list->FromDIP(3)) << where << ": the counts are not at the right edge";
        EXPECT_EQ(m_list->FromDIP(40), m_list->GetColumnWidth(1)) << where;
        for (wxWindow* bar : {static_cast<wxWindow*>(m_frame->GetCommandBar()),
                              static_cast<wxWindow*>(m_frame->GetChecklistToolBar()), m_frame->GetDialogBar()})
            EXPECT_GE(bar->GetSize().x, m_frame->GetClientSize().x - m_frame->FromDIP(4)) << where;
    }

};
}

TEST_F(LayoutTest, DropDownShowsCategoryNamesWhole)
{
    AddCategories({u"Personal", u"Business"});
    OpenPlaced();
    wxComboBox* combo = m_frame->GetCategorySelector();
    GtkWidget* entry = gtk_bin_get_child(GTK_BIN(combo->GetHandle()));
    ASSERT_TRUE(entry && GTK_IS_ENTRY(entry));
    GdkRectangle text;
    gtk_entry_get_text_area(GTK_ENTRY(entry), &text);
    for (const char* name : {"All", "Personal", "Business", "Unfiled", "Edit..."})
        EXPECT_LE(combo->GetTextExtent(name).x, text.width) << name << " in " << text.width << " pixels";
}

TEST_F(LayoutTest, CountsAreNeverCoveredByTheScrollBar)
{
    OpenPlaced();
    for (int count = 1; count <= 20; ++count)
    {
        AddChecklist(u"List " + std::u16string(1, static_cast<char16_t>(u'a' + count)), u"Unfiled", count);
        if (count < 9)
            continue;
        m_view->RefreshList();
        Pump(120);
        const int rows = m_list->GetMainWindow()->GetClientSize().x;
        EXPECT_LE(m_list->GetColumnWidth(0) + m_list->GetColumnWidth(1), rows) << count << " checklists";
    }
}

TEST_F(LayoutTest, ListFillsTheRoomAtPhoneDesktopAndMaximisedSizes)
{
    for (int i = 0; i < 30; ++i)
        AddChecklist(u"Checklist", u"Unfiled", i, i % 4);
    OpenPlaced();
    ExpectListFillsTheRoom("240 x 320");
    ResizeClient(m_frame->FromDIP(wxSize(360, 720)));
    ExpectListFillsTheRoom("360 x 720");
    m_frame->Maximize();
    WaitFor([&] { return ServerClientRect(m_frame).width > 1000; });
    Settle();
    EXPECT_GT(m_frame->GetClientSize().x, 1000);
    ExpectListFillsTheRoom("maximised");
    m_frame->Maximize(false);
    Settle();
}

TEST_F(LayoutTest, MainWindowIsResizableAndReopensAtTheSizeAndPlaceLeft)
{
    OpenPlaced();
    EXPECT_EQ(m_frame->FromDIP(wxSize(240, 320)), m_frame->GetClientSize());
    EXPECT_TRUE(m_frame->HasFlag(wxRESIZE_BORDER));
    const wxRect screen(0, 0, 1280, 800);
    const wxRect first = ManagedFrameRect(m_frame);
    EXPECT_NEAR(screen.width / 2, first.x + first.width / 2, 3) << "first start in the middle";

    m_frame->SetClientSize(m_frame->FromDIP(wxSize(360, 600)));
    m_frame->Move(100, 60);
    Settle();
    const wxRect left = ServerClientRect(m_frame);
    Close();
    Open();
    wxTheApp->SetTopWindow(m_frame);
    Settle();
    EXPECT_EQ(left, ServerClientRect(m_frame));
    EXPECT_EQ(m_frame->FromDIP(wxSize(360, 600)), m_frame->GetClientSize());
}

TEST_F(LayoutTest, DamagedOrOffScreenPlacementFallsBackToTheDefault)
{
    for (const char16_t* stored : {u"garbage", u"4000,3000,300,400,0", u"10,10,-5,400,0", u"10,10,99999,400,0",
                                   u"10,10,300,400,7", u"1,2,3"})
    {
        {
            SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
            ASSERT_TRUE(key.WriteString(kWindowPlacementValue, stored));
        }
        OpenPlaced();
        EXPECT_EQ(m_frame->FromDIP(wxSize(240, 320)), m_frame->GetClientSize()) << Describe(ServerClientRect(m_frame));
        const wxRect placed = ManagedFrameRect(m_frame);
        EXPECT_TRUE(wxRect(0, 0, 1280, 800).Contains(placed)) << Describe(placed);
        Close();
    }
}

TEST_F(LayoutTest, FullScreenDialogCoversTheContentWithOneTitleBarAndFollowsTheWindow)
{
    OpenPlaced();
    EXPECT_TRUE(HasManagerCaption(m_frame)) << "the main window keeps its frame";
    CNoteDlg note;
    WhileShown<CNoteDlg>(note, [&](CNoteDlg& d) {
        EXPECT_EQ(ServerClientRect(m_frame), ServerClientRect(&d));
        EXPECT_FALSE(HasManagerCaption(&d)) << "a second title bar above the dialog's own";
        wxWindow* title = d.FindWindow(IDC_TITLE_BAR);
        ASSERT_NE(nullptr, title);
        EXPECT_EQ(d.GetClientSize().x, title->GetSize().x);
        // The main window grows and moves: the dialog goes with it.
        m_frame->SetClientSize(m_frame->FromDIP(wxSize(360, 720)));
        m_frame->Move(200, 40);
        EXPECT_TRUE(WaitFor([&] { return ServerClientRect(m_frame) == ServerClientRect(&d); }, 3000))
            << "main " << Describe(ServerClientRect(m_frame)) << " dialog " << Describe(ServerClientRect(&d));
        EXPECT_EQ(d.GetClientSize().x, title->GetSize().x);
        // The note field takes the width and the height left.
        auto* field = wxDynamicCast(d.FindWindow(IDC_NOTE), wxTextCtrl);
        ASSERT_NE(nullptr, field);
        const wxRect r = field->GetRect();
        EXPECT_GE(r.GetRight(), d.GetClientSize().x - d.FromDIP(12));
        EXPECT_GE(r.GetBottom(), d.GetClientSize().y - d.FromDIP(12));
    });
}

TEST_F(LayoutTest, EveryFullScreenDialogCoversTheContentAtPhoneSizeWithEveryControlReachable)
{
    AddCategories({u"Personal", u"Business", u"Travel"});
    const ListRecord list = AddChecklist(u"Groceries", u"Personal", 0, 2);
    OpenPlaced();
    ResizeClient(m_frame->FromDIP(wxSize(360, 720)));
    const wxRect content = ServerClientRect(m_frame);
    auto check = [&](wxDialog& d, const char* name) {
        EXPECT_EQ(content, ServerClientRect(&d)) << name;
        EXPECT_FALSE(HasManagerCaption(&d)) << name;
        KeepShot(GrabScreen(content), (std::string("phone_") + name).c_str());
        ExpectEveryControlReachable(&d, name);
        // Nothing reaches past the right edge; text fields take the width.
        for (wxWindow* child : d.GetChildren())
        {
            EXPECT_LE(child->GetRect().GetRight(), d.GetClientSize().x) << name;
            if (auto* text = dynamic_cast<wxTextCtrl*>(child))
            {
                EXPECT_GE(text->GetRect().GetRight(), d.GetClientSize().x - d.FromDIP(12)) << name;
            }
        }
    };
    CListNameDlg name;
    WhileShown<CListNameDlg>(name, [&](CListNameDlg& d) { check(d, "name"); });
    CPreferencesDlg preferences;
    WhileShown<CPreferencesDlg>(preferences, [&](CPreferencesDlg& d) { check(d, "preferences"); });
    CItemDlg item;
    item.SetListId(list.id);
    WhileShown<CItemDlg>(item, [&](CItemDlg& d) { check(d, "item"); });
    CCategoryNameDlg categoryName;
    WhileShown<CCategoryNameDlg>(categoryName, [&](CCategoryNameDlg& d) { check(d, "category name"); });
    CNoteDlg note;
    WhileShown<CNoteDlg>(note, [&](CNoteDlg& d) { check(d, "note"); });
    CCategoriesDlg categories;
    WhileShown<CCategoriesDlg>(categories, [&](CCategoriesDlg& d) { check(d, "categories"); });
    CSyncSettingsDlg sync;
    WhileShown<CSyncSettingsDlg>(sync, [&](CSyncSettingsDlg& d) { check(d, "sync settings"); });
    CListDlg editor;
    editor.SetListId(list.id);
    WhileShown<CListDlg>(editor, [&](CListDlg& d) {
        EXPECT_EQ(content, ServerClientRect(&d));
        EXPECT_FALSE(HasManagerCaption(&d));
        KeepShot(GrabScreen(content), "phone_editor");
        ExpectEveryControlReachable(&d, "editor");
    });
    ExpectEveryControlReachable(m_frame, "main window");
}

TEST_F(LayoutTest, EditorCategoryBoxIsADropDownList)
{
    const ListRecord list = AddChecklist(u"Groceries", u"Personal", 0, 2);
    OpenPlaced();
    CListDlg editor;
    editor.SetListId(list.id);
    WhileShown<CListDlg>(editor, [&](CListDlg& d) {
        wxWindow* box = d.FindWindow(IDC_CATEGORY);
        ASSERT_NE(nullptr, box);
        ASSERT_TRUE(GTK_IS_COMBO_BOX(box->GetHandle()));
        EXPECT_FALSE(gtk_combo_box_get_has_entry(GTK_COMBO_BOX(box->GetHandle()))) << "an editable field";
    });
}

TEST_F(LayoutTest, ItemDetailsBoxLeavesThePriorityDropDownWhole)
{
    const ListRecord list = AddChecklist(u"Groceries", u"Personal", 0, 2);
    OpenPlaced();
    for (const wxSize& size : {wxSize(240, 320), wxSize(360, 720)})
    {
        ResizeClient(m_frame->FromDIP(size));
        CItemDlg item;
        item.SetListId(list.id);
        WhileShown<CItemDlg>(item, [&](CItemDlg& d) {
            const wxRect priority = d.FindWindow(IDC_PRIORITY)->GetRect();
            const wxRect details = d.FindWindow(IDC_DETAILS)->GetRect();
            EXPECT_GT(details.y, priority.GetBottom()) << "priority " << Describe(priority) << " details "
                                                       << Describe(details);
            EXPECT_LE(details.GetBottom(), d.GetClientSize().y);
        });
    }
}

TEST_F(LayoutTest, ToolbarButtonIsNotLeftFramedAfterItsDialogCloses)
{
    OpenPlaced();
    CToolStrip* tools = m_frame->GetChecklistToolBar();
    const wxRect strip = tools->GetScreenRect();
    const wxPoint newButton = strip.GetPosition() + wxPoint(tools->FromDIP(10), strip.height / 2);
    bool closed = false;
    // The name dialog New opens is closed with its cancel disc, away from the bar.
    wxTimer timer;
    timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        CListNameDlg* dlg = nullptr;
        WaitFor([&] {
            for (wxWindow* w : wxTopLevelWindows)
                if ((dlg = dynamic_cast<CListNameDlg*>(w)) && dlg->IsShownOnScreen())
                    return true;
            return false;
        });
        ASSERT_NE(nullptr, dlg);
        Pump(200);
        wxWindow* title = dlg->FindWindow(IDC_TITLE_BAR);
        RootClick(title->ClientToScreen(wxPoint(title->GetClientSize().x - dlg->FromDIP(48), dlg->FromDIP(10))));
        closed = !dlg->IsModal();
    });
    timer.StartOnce(500);
    RootClick(newButton);
    WaitFor([&] { return closed; });
    Pump(300);
    const wxColour frame = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);
    const wxImage shot = GrabScreen(wxRect(strip.GetPosition(), wxSize(tools->FromDIP(28), strip.height)));
    int framePixels = 0;
    for (int x = 0; x < shot.GetWidth(); ++x)
        for (int y = 0; y < shot.GetHeight(); ++y)
            framePixels += shot.GetRed(x, y) == frame.Red() && shot.GetGreen(x, y) == frame.Green() &&
                           shot.GetBlue(x, y) == frame.Blue();
    EXPECT_EQ(0, framePixels) << "the hover frame stayed";
}

TEST_F(LayoutTest, OpeningTheDialogsPrintsNoToolkitWarnings)
{
    const ListRecord list = AddChecklist(u"Groceries", u"Personal", 0, 2, 1);
    OpenPlaced();
    StderrCapture capture;
    CPreferencesDlg preferences;
    WhileShown<CPreferencesDlg>(preferences, [](CPreferencesDlg&) {});
    CCopyListDlg copy;
    WhileShown<CCopyListDlg>(copy, [](CCopyListDlg&) {});
    CItemDlg item;
    item.SetListId(list.id);
    WhileShown<CItemDlg>(item, [](CItemDlg&) {});
    CListDlg editor;
    editor.SetListId(list.id);
    WhileShown<CListDlg>(editor, [](CListDlg&) {});
    CNoteDlg note;
    WhileShown<CNoteDlg>(note, [](CNoteDlg&) {});
    const std::string text = capture.Stop();
    EXPECT_EQ(std::string::npos, text.find("Gtk-")) << text;
    EXPECT_EQ(std::string::npos, text.find("for_size")) << text;
    EXPECT_EQ(std::string::npos, text.find("CRITICAL")) << text;
}

TEST_F(LayoutTest, PhoneSizeMainWindowAndEditorShowEveryControl)
{
    AddCategories({u"Personal", u"Business", u"Travel"});
    const ListRecord groceries = AddChecklist(u"Groceries", u"Personal", 0, 6, 3);
    AddChecklist(u"Weekend trip packing", u"Travel", 1, 12, 2);
    AddChecklist(u"Quarterly report", u"Business", 2, 4, 5);
    AddChecklist(u"Garden", u"Personal", 3, 2);
    AddChecklist(u"Birthday party", u"Personal", 4, 7, 1);
    OpenPlaced();
    ResizeClient(m_frame->FromDIP(wxSize(360, 720)));
    ExpectListFillsTheRoom("phone");
    KeepShot(GrabScreen(ServerClientRect(m_frame)), "main-window");
    CListDlg editor;
    editor.SetListId(groceries.id);
    WhileShown<CListDlg>(editor, [&](CListDlg& d) {
        Pump(200);
        const wxRect content = ServerClientRect(&d);
        KeepShot(GrabScreen(content), "editor");
        // Every control lies inside the screen and none is empty of room.
        for (wxWindow* child : d.GetChildren())
        {
            if (!child->IsShown() || child->IsTopLevel())
                continue;
            const wxRect r = child->GetRect();
            EXPECT_TRUE(wxRect(d.GetClientSize()).Contains(r)) << Describe(r);
            EXPECT_GT(r.width, 0);
            EXPECT_GT(r.height, 0);
        }
    });
}

TEST(StretchLayout, ListTakingTheHeightKeepsTheButtonsBelowItAtTheBottom)
{
    // The categories template: a list, three buttons under it, a field beside.
    const std::vector<LaidControl> controls = {
        {nullptr, wxRect(5, 20, 130, 80), Stretch::Both},
        {nullptr, wxRect(10, 105, 40, 20), Stretch::None},
        {nullptr, wxRect(55, 105, 40, 20), Stretch::None},
        {nullptr, wxRect(5, 130, 100, 20), Stretch::Width},
    };
    const std::vector<wxRect> rects = StretchedRects(controls, wxSize(360, 720), 0, 3);
    // Everything below the list moves down by what the list grows.
    const int grow = 717 - 150;
    EXPECT_EQ(wxRect(5, 20, 352, 80 + grow), rects[0]);
    EXPECT_EQ(wxRect(10, 105 + grow, 40, 20), rects[1]);
    EXPECT_EQ(wxRect(55, 105 + grow, 40, 20), rects[2]);
    EXPECT_EQ(wxRect(5, 130 + grow, 352, 20), rects[3]);
    for (size_t i = 1; i < rects.size(); ++i)
        EXPECT_FALSE(rects[0].Intersects(rects[i])) << i;
    // Too little room to grow: the template's rectangles stay.
    const std::vector<wxRect> small = StretchedRects(controls, wxSize(140, 120), 0, 3);
    EXPECT_EQ(wxRect(5, 20, 132, 80), small[0]);
    EXPECT_EQ(wxRect(10, 105, 40, 20), small[1]);
    // A toolbar's room at the bottom stays free.
    const std::vector<wxRect> reserved = StretchedRects(controls, wxSize(360, 720), 40, 3);
    EXPECT_EQ(717 - 40, reserved[3].GetBottom() + 1);
}
