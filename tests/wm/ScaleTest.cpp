// The windows on a display of doubled scale (GDK_SCALE=2): laid out as at
// 100 %, and their pictures drawn from their scalable sources at the
// display's pixel size rather than enlarged.
#include "tests/browser/BrowserFixture.h"
#include "tests/resources/ScreenGrab.h"
#include "tests/support/WindowManager.h"
#include "tests/wm/ScreenChecks.h"
#include "tests/wm/WmFixture.h"

#include "app/CToolStrip.h"
#include "controls/GestureListCtrl.h"
#include "controls/TitleBar.h"
#include "dialogs/CNoteDlg.h"
#include "editor/CListDlg.h"
#include "resources/ResourceIds.h"
#include "resources/Resources.h"

#include <wx/app.h>
#include <wx/panel.h>
#include <wx/settings.h>
#include <wx/toolbar.h>

namespace
{
constexpr int kScale = 2;
// A channel may differ this much from the reference before a pixel counts
// as different (the toolkit's and the test's blending round differently).
constexpr int kTolerance = 24;

// What the screen shows of a picture drawn at `logical` in `win`, against
// the picture rendered at the display's size and at 100 % enlarged.
struct PictureMatch
{
    double sharp;    // share of pixels unlike the rendering at the display's size
    double enlarged; // ... unlike the 100 % rendering enlarged
};

PictureMatch MatchPicture(wxWindow* win, const wxPoint& logical, const wxImage& device, const wxImage& normal,
                          const wxColour& back, const char* name)
{
    // From the top window's client area as the X server has it: its origin
    // may lie at an odd pixel, half a point away from what the toolkit says.
    wxWindow* top = wxGetTopLevelParent(win);
    const wxPoint at =
        ServerClientRect(top).GetPosition() + (win->ClientToScreen(logical) - top->ClientToScreen(wxPoint())) * kScale;
    const wxImage shot = GrabScreen(wxRect(at, device.GetSize()));
    KeepShot(shot, name);
    const wxImage sharp = OverBackground(device, back);
    const wxImage enlarged =
        OverBackground(normal, back).Scale(device.GetWidth(), device.GetHeight(), wxIMAGE_QUALITY_BILINEAR);
    // The check tells the two apart only where the two renderings differ.
    EXPECT_GT(MismatchShare(sharp, enlarged, kTolerance), 0.08) << name;
    return {MismatchShare(shot, sharp, kTolerance), MismatchShare(shot, enlarged, kTolerance)};
}

using ScaleTest = PlacedBrowserTest;
}

TEST_F(ScaleTest, MainWindowFillsTheRoomAndDrawsTheToolbarAtTheDisplaysPixels)
{
    for (int i = 0; i < 24; ++i)
        AddChecklist(u"Checklist", u"Unfiled", i, i % 3);
    OpenPlaced();
    ASSERT_EQ(kScale, m_frame->GetContentScaleFactor()) << "the display is not at the doubled scale";
    EXPECT_EQ(m_frame->GetClientSize() * kScale, ServerClientRect(m_frame).GetSize());
    KeepShot(GrabScreen(ServerClientRect(m_frame)), "scale2_main");

    // The list fills the room above the bars; the counts end at its right edge.
    const wxRect form = m_view->GetForm()->GetRect();
    EXPECT_EQ(wxRect(0, 0, m_frame->GetClientSize().x, m_frame->GetReBar()->GetPosition().y), form);
    EXPECT_EQ(wxRect(wxPoint(0, 0), form.GetSize()), m_list->GetRect());
    const int rows = m_list->GetMainWindow()->GetClientSize().x;
    const int right = m_list->GetColumnWidth(0) + m_list->GetColumnWidth(1);
    EXPECT_LE(right, rows);
    EXPECT_GE(right, rows - 3);
    ExpectEveryControlReachable(m_frame, "main window");

    // A middle row selected: every button is enabled and drawn in colour.
    Select(1);
    m_frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
    Pump(300);
    CToolStrip* tools = m_frame->GetChecklistToolBar();
    const wxBitmapBundle strip = Resources::Bitmap(IDB_TOOLBAR);
    const wxImage device = strip.GetBitmap(wxSize(112, 16) * kScale).ConvertToImage();
    const wxImage normal = strip.GetBitmap(wxSize(112, 16)).ConvertToImage();
    const wxColour back = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    for (int i = 0; i < 7; ++i)
    {
        ASSERT_TRUE(tools->GetToolEnabled(kToolIds[i])) << i;
        const wxRect button = tools->GetToolRect(kToolIds[i]);
        const wxPoint at(button.x + (button.width - 16) / 2, button.y + (button.height - 16) / 2);
        const int size = 16 * kScale;
        const std::string name = "scale2_tool" + std::to_string(i);
        const PictureMatch match =
            MatchPicture(tools, at, device.GetSubImage(wxRect(i * size, 0, size, size)),
                         normal.GetSubImage(wxRect(i * 16, 0, 16, 16)), back, name.c_str());
        EXPECT_LT(match.sharp, 0.02) << "button " << i << " unlike its picture at " << size << " pixels";
        EXPECT_LT(match.sharp, match.enlarged) << "button " << i;
    }
}

TEST_F(ScaleTest, EditorAndNoteCoverTheContentWithSharpDiscsAndWholeTexts)
{
    const ListRecord list = AddChecklist(u"Groceries", u"Unfiled", 0, 3, 2);
    OpenPlaced();
    ASSERT_EQ(kScale, m_frame->GetContentScaleFactor());
    const wxRect content = ServerClientRect(m_frame);
    const wxBitmapBundle discs = Resources::Bitmap(IDB_TITLE_BUTTONS);
    const wxImage device = discs.GetBitmap(wxSize(65, 17) * kScale).ConvertToImage();
    const wxImage normal = discs.GetBitmap(wxSize(65, 17)).ConvertToImage();

    auto check = [&](wxDialog& d, const char* name) {
        // A dialog is placed in whole points: half a point off an odd pixel.
        const wxRect dialog = ServerClientRect(&d);
        EXPECT_EQ(content.GetSize(), dialog.GetSize()) << name;
        EXPECT_LT(std::abs(content.x - dialog.x), kScale) << name << " at " << Describe(dialog);
        EXPECT_LT(std::abs(content.y - dialog.y), kScale) << name << " at " << Describe(dialog);
        KeepShot(GrabScreen(ServerClientRect(&d)), (std::string("scale2_") + name).c_str());
        ExpectEveryControlReachable(&d, name);
        wxWindow* title = d.FindWindow(IDC_TITLE_BAR);
        ASSERT_NE(nullptr, title) << name;
        EXPECT_EQ(d.GetClientSize().x, title->GetSize().x) << name;
        const wxPoint at(title->GetClientSize().x - 80, 2);
        const PictureMatch match = MatchPicture(title, at, device, normal, CTitleBar::s_backColor,
                                                (std::string("scale2_discs_") + name).c_str());
        EXPECT_LT(match.sharp, 0.02) << name << ": the discs unlike their picture at 130 x 34 pixels";
        EXPECT_LT(match.sharp, match.enlarged) << name;
    };
    CListDlg editor;
    editor.SetListId(list.id);
    WhileShown<CListDlg>(editor, [&](CListDlg& d) { check(d, "editor"); });
    CNoteDlg note;
    WhileShown<CNoteDlg>(note, [&](CNoteDlg& d) { check(d, "note"); });
}
