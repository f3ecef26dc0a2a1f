// The windows under a dark theme (GTK_THEME=Adwaita:dark): every text, the
// title bar and the pictures keep their contrast against what they are
// drawn on, measured in what the display shows.
#include "tests/browser/BrowserFixture.h"
#include "tests/resources/ScreenGrab.h"
#include "tests/support/WindowManager.h"
#include "tests/wm/ScreenChecks.h"
#include "tests/wm/WmFixture.h"

#include "app/CToolStrip.h"
#include "controls/GestureListCtrl.h"
#include "controls/TitleBar.h"
#include "dialogs/CNoteDlg.h"
#include "editor/CItemDlg.h"
#include "editor/CListDlg.h"
#include "resources/ResourceIds.h"

#include <wx/app.h>
#include <wx/combobox.h>
#include <wx/settings.h>
#include <wx/toolbar.h>

#include <algorithm>
#include <vector>

namespace
{
// WCAG's least contrast for text, and for the parts of a picture.
constexpr double kTextContrast = 4.5;
constexpr double kPictureContrast = 3.0;
// Below this a pixel hardly differs from what it is drawn on.
constexpr double kFaintContrast = 1.5;
// A picture reads when this much of it reaches kPictureContrast; the rest
// are its smoothed edges, many in a 16-pixel picture of thin strokes.
constexpr double kVisibleShare = 0.4;

wxColour At(const wxImage& img, int x, int y)
{
    return wxColour(img.GetRed(x, y), img.GetGreen(x, y), img.GetBlue(x, y));
}

// The text in `r` (client coordinates of `win`) against its background, the
// colour most of the region has.
double TextContrast(wxWindow* win, const wxRect& r, const std::string& name)
{
    const wxImage shot = GrabScreen(wxRect(win->ClientToScreen(r.GetPosition()), r.GetSize()));
    KeepShot(shot, ("dark_" + name).c_str());
    return StrongestContrast(shot, CommonestColour(shot));
}

// The share of a picture's drawn pixels (all that differ from `back` at all
// visibly, not the faint rims of its smoothed edges) that stand out from it
// by at least kPictureContrast; a picture drawn dark on dark has few.
double VisibleShare(const wxImage& shot, const wxColour& back)
{
    int drawn = 0, visible = 0;
    for (int y = 0; y < shot.GetHeight(); ++y)
        for (int x = 0; x < shot.GetWidth(); ++x)
        {
            const wxColour c = At(shot, x, y);
            if (ContrastRatio(c, back) < kFaintContrast)
                continue;
            ++drawn;
            visible += ContrastRatio(c, back) >= kPictureContrast;
        }
    return drawn ? static_cast<double>(visible) / drawn : 0.0;
}

using DarkThemeTest = PlacedBrowserTest;
}

TEST_F(DarkThemeTest, MainWindowTextsAndToolbarPicturesStandOut)
{
    AddChecklist(u"Groceries", u"Unfiled", 0, 3);
    AddChecklist(u"Weekend trip", u"Unfiled", 1, 12);
    OpenPlaced();
    const wxColour window = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    ASSERT_LT(ContrastRatio(window, *wxBLACK), 3.0) << "the theme is not dark";
    KeepShot(GrabScreen(ServerClientRect(m_frame)), "dark_main");

    wxWindow* rows = m_list->GetMainWindow();
    EXPECT_GE(TextContrast(rows, wxRect(rows->GetClientSize()), "rows"), kTextContrast) << "the list's rows";
    wxComboBox* combo = m_frame->GetCategorySelector();
    EXPECT_GE(TextContrast(combo, wxRect(combo->GetClientSize()), "dropdown"), kTextContrast) << "the drop-down";
    wxToolBar* bar = m_frame->GetCommandBar();
    // The Tools button: the bar left of the drop-down.
    const wxRect tools(0, 0, combo->GetPosition().x, bar->GetClientSize().y);
    EXPECT_GE(TextContrast(bar, tools, "tools"), kTextContrast) << "the Tools button";
    wxWindow* line = m_frame->GetDialogBar()->FindWindow(IDC_DIALOGBAR_TEXT);
    ASSERT_NE(nullptr, line);
    line->SetLabel("Synced 18:40");
    Pump(200);
    EXPECT_GE(TextContrast(line, wxRect(line->GetClientSize()), "dialogbar"), kTextContrast) << "the dialog bar";

    // Every button enabled and disabled: its picture against the strip.
    CToolStrip* strip = m_frame->GetChecklistToolBar();
    for (bool selected : {false, true})
    {
        if (selected)
            Select(0);
        m_frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
        Pump(300);
        const wxImage shot = GrabScreen(strip->GetScreenRect());
        KeepShot(shot, selected ? "dark_toolbar_enabled" : "dark_toolbar");
        const wxColour back = CommonestColour(shot);
        for (int id : kToolIds)
        {
            const wxRect r = strip->GetToolRect(id).Deflate(2);
            const double share = VisibleShare(shot.GetSubImage(r), back);
            EXPECT_GE(share, kVisibleShare) << "button " << id << (strip->GetToolEnabled(id) ? " enabled" : " disabled")
                                  << ": most of its picture is lost in the strip";
        }
    }
}

TEST_F(DarkThemeTest, TitleBarTitleRuleAndDiscsStandOut)
{
    const ListRecord list = AddChecklist(u"Groceries", u"Unfiled", 0, 3, 1);
    OpenPlaced();
    auto check = [&](wxDialog& d, const char* name) {
        KeepShot(GrabScreen(ServerClientRect(&d)), (std::string("dark_") + name).c_str());
        wxWindow* title = d.FindWindow(IDC_TITLE_BAR);
        ASSERT_NE(nullptr, title);
        const wxSize size = title->GetClientSize();
        const wxImage shot = GrabScreen(title->GetScreenRect());
        const wxColour back = At(shot, 1, 1);
        ASSERT_LT(ContrastRatio(back, *wxBLACK), 3.0) << name << ": the strip is not dark";
        // The title left of the discs.
        const wxImage text = shot.GetSubImage(wxRect(0, 0, size.x - 84, size.y - 1));
        EXPECT_GE(StrongestContrast(text, back), kTextContrast) << name << ": the title";
        // The rule along the bottom row.
        EXPECT_GE(ContrastRatio(At(shot, size.x / 2, size.y - 1), back), kPictureContrast) << name << ": the rule";
        // The discs against the strip, and their symbols against the discs.
        for (int left : {80, 56, 32})
        {
            const wxImage disc = shot.GetSubImage(wxRect(size.x - left, 2, 17, 17));
            const wxColour face = At(disc, 8, 2);
            EXPECT_GE(ContrastRatio(face, back), kPictureContrast) << name << ": disc at R - " << left;
            EXPECT_GE(StrongestContrast(disc, face), kPictureContrast) << name << ": symbol at R - " << left;
        }
    };
    CNoteDlg note;
    WhileShown<CNoteDlg>(note, [&](CNoteDlg& d) { check(d, "note"); });
    CListDlg editor;
    editor.SetListId(list.id);
    WhileShown<CListDlg>(editor, [&](CListDlg& d) {
        check(d, "editor");
        wxWindow* rows = d.FindWindow(IDC_ITEMS);
        ASSERT_NE(nullptr, rows);
        EXPECT_GE(TextContrast(rows, wxRect(rows->GetClientSize()), "editor_rows"), kTextContrast);
    });
}

TEST_F(DarkThemeTest, ItemDialogsToolbarPictureStandsOut)
{
    ListRecord list = AddChecklist(u"Groceries", u"Unfiled", 0, 3);
    ASSERT_TRUE(list.LoadItems(FilterAll));
    ASSERT_FALSE(list.items.empty());
    OpenPlaced();
    // An item that exists: its dialog has the Delete button.
    CItemDlg item;
    item.SetListId(list.id);
    item.SetItemId(list.items[0].id);
    WhileShown<CItemDlg>(item, [&](CItemDlg& d) {
        wxToolBar* bar = nullptr;
        for (wxWindow* child : d.GetChildren())
            if ((bar = dynamic_cast<wxToolBar*>(child)))
                break;
        ASSERT_NE(nullptr, bar);
        const wxImage shot = GrabScreen(bar->GetScreenRect());
        KeepShot(shot, "dark_item_toolbar");
        // The picture is what differs from the bar at its left end.
        const wxImage button = shot.GetSubImage(wxRect(0, 0, std::min(shot.GetWidth(), 40), shot.GetHeight()));
        EXPECT_GE(VisibleShare(button, CommonestColour(shot)), kVisibleShare);
    });
}
