#include "tests/controls/XrcString.h"
#include "tests/support/GuiTest.h"

#include "controls/TitleBar.h"
#include "resources/ResourceIds.h"
#include "resources/Resources.h"

#include <cmath>
#include <wx/settings.h>
#include <wx/dcmemory.h>
#include <wx/dialog.h>
#include <wx/image.h>

#include <vector>

namespace
{
const char* const kTemplate = R"(
<object class="wxDialog" name="TitleBarTestDlg">
  <title>Title bar test</title>
  <size>160,100d</size>
  <object class="CTitleBar" name="IDC_TITLE_BAR">
    <label>Groceries</label>
    <pos>0,0d</pos>
    <size>141,14d</size>
  </object>
  <object class="wxCheckBox" name="IDC_TEST_CHECK">
    <label>Something below</label>
    <pos>5,30d</pos>
  </object>
</object>)";

// Records what reaches the dialog; with m_record off, OK and Cancel take the
// dialog's standard handling.
class RecordingDlg : public wxDialog
{
public:
    explicit RecordingDlg(bool record) : m_record(record)
    {
        static const bool loaded = LoadXrcString("TitleBarTest", kTemplate);
        EXPECT_TRUE(loaded);
        wxXmlResource::Get()->LoadDialog(this, nullptr, "TitleBarTestDlg");
        m_bar = dynamic_cast<CTitleBar*>(FindWindow(IDC_TITLE_BAR));
    }

    CTitleBar* m_bar = nullptr;
    bool m_record;
    std::vector<int> m_buttons;
    int m_helps = 0;

private:
    void OnButton(wxCommandEvent& event)
    {
        if (m_record)
            m_buttons.push_back(event.GetId());
        else
            event.Skip();
    }
    void OnHelp(wxHelpEvent&)
    {
        ++m_helps;
    }

    wxDECLARE_EVENT_TABLE();
};

wxBEGIN_EVENT_TABLE(RecordingDlg, wxDialog)
    EVT_BUTTON(wxID_OK,         RecordingDlg::OnButton)
    EVT_BUTTON(wxID_CANCEL,     RecordingDlg::OnButton)
    EVT_HELP(wxID_ANY,          RecordingDlg::OnHelp)
wxEND_EVENT_TABLE()

void ShowAndSettle(wxDialog& dlg)
{
    dlg.Move(40, 40);
    dlg.Show();
    dlg.Raise();
    WaitFor([&] { return dlg.IsShownOnScreen(); });
    Pump(150);
}

bool IsDarkBlue(const wxImage& img, int x, int y)
{
    const int r = img.GetRed(x, y), g = img.GetGreen(x, y), b = img.GetBlue(x, y);
    return b > 80 && b > r + 40 && b > g + 30;
}

int CountDarkBlue(const wxImage& img, int x0, int x1, int y0, int y1)
{
    int n = 0;
    for (int x = x0; x < x1; ++x)
        for (int y = y0; y < y1; ++y)
            n += IsDarkBlue(img, x, y) ? 1 : 0;
    return n;
}
}

TEST(TitleBar, IsMadeFromTheTemplateWithItsTitleAndHeight)
{
    RecordingDlg dlg(true);
    ASSERT_NE(nullptr, dlg.m_bar);
    EXPECT_EQ(IDC_TITLE_BAR, dlg.m_bar->GetId());
    EXPECT_EQ("Groceries", dlg.m_bar->GetLabel());
    EXPECT_EQ(dlg.ConvertDialogToPixels(wxSize(141, 14)), dlg.m_bar->GetSize());
    EXPECT_FALSE(dlg.m_bar->AcceptsFocusFromKeyboard());
}

TEST(TitleBar, SpansTheDialogWhenTheDialogIsResized)
{
    RecordingDlg dlg(true);
    ASSERT_NE(nullptr, dlg.m_bar);
    const int height = dlg.m_bar->GetSize().y;
    dlg.SetClientSize(wxSize(400, 300));
    wxSizeEvent resized(dlg.GetSize(), dlg.GetId());
    resized.SetEventObject(&dlg);
    dlg.ProcessWindowEvent(resized);
    Pump(50);
    EXPECT_EQ(wxSize(dlg.GetClientSize().x, height), dlg.m_bar->GetSize());
}

TEST(TitleBar, TapsHitOnlyTheirDiscsWithLeftEdgeInAndRightEdgeOut)
{
    RecordingDlg dlg(true);
    ASSERT_NE(nullptr, dlg.m_bar);
    ShowAndSettle(dlg);
    CTitleBar* bar = dlg.m_bar;
    const int r = bar->GetClientSize().x;
    auto px = [bar](int v) { return bar->FromDIP(v); };

    struct Tap
    {
        int x, y;
        int button; // wxID_OK, wxID_CANCEL, wxID_HELP or 0 for nothing
    };
    const Tap taps[] = {
        {r - px(32), px(2), wxID_OK},      {r - px(17), px(18), wxID_OK},
        {r - px(16), px(2), 0},            {r - px(33), px(10), 0},
        {r - px(32), px(19), 0},           {r - px(32), px(1), 0},
        {r - px(56), px(2), wxID_CANCEL},  {r - px(41), px(18), wxID_CANCEL},
        {r - px(40), px(10), 0},           {r - px(56), px(19), 0},
        {r - px(80), px(2), wxID_HELP},    {r - px(65), px(18), wxID_HELP},
        {r - px(64), px(10), 0},           {r - px(81), px(10), 0},
        {r - px(80), px(19), 0},           {r - px(8), px(8), 0},
        {px(10), px(8), 0},
    };
    for (const Tap& tap : taps)
    {
        dlg.m_buttons.clear();
        dlg.m_helps = 0;
        ClickAt(bar, wxPoint(tap.x, tap.y));
        const std::vector<int> expected =
            tap.button == wxID_OK || tap.button == wxID_CANCEL ? std::vector<int>{tap.button} : std::vector<int>{};
        EXPECT_EQ(expected, dlg.m_buttons) << "tap at R-" << r - tap.x << ", " << tap.y;
        EXPECT_EQ(tap.button == wxID_HELP ? 1 : 0, dlg.m_helps) << "tap at R-" << r - tap.x << ", " << tap.y;
    }
    EXPECT_TRUE(dlg.IsShown());
}

TEST(TitleBar, QuickSecondTapCountsAsATap)
{
    RecordingDlg dlg(true);
    ASSERT_NE(nullptr, dlg.m_bar);
    ShowAndSettle(dlg);
    const int r = dlg.m_bar->GetClientSize().x;
    const wxPoint help(r - dlg.FromDIP(72), dlg.FromDIP(8));
    // Both clicks land well inside the toolkit's double-click time.
    ClickAt(dlg.m_bar, help);
    ClickAt(dlg.m_bar, help);
    EXPECT_EQ(2, dlg.m_helps);
}

TEST(TitleBar, OkAndCancelDiscsEndTheModalDialog)
{
    for (int button : {wxID_OK, wxID_CANCEL})
    {
        RecordingDlg dlg(false);
        ASSERT_NE(nullptr, dlg.m_bar);
        dlg.Move(40, 40);
        bool stillOpen = false;
        dlg.CallAfter([&] {
            WaitFor([&] { return dlg.IsShownOnScreen(); });
            Pump(150);
            const int r = dlg.m_bar->GetClientSize().x;
            ClickAt(dlg.m_bar, wxPoint(r - dlg.FromDIP(button == wxID_OK ? 32 : 56), dlg.FromDIP(2)));
            WaitFor([&] { return !dlg.IsModal(); }, 1000);
            if (dlg.IsModal())
            {
                stillOpen = true;
                dlg.EndModal(wxID_ABORT);
            }
        });
        EXPECT_EQ(button, dlg.ShowModal());
        EXPECT_FALSE(stillOpen);
    }
}

TEST(TitleBar, TapIsHandledByTheDialogBeforeTheTapReturns)
{
    RecordingDlg dlg(true);
    ASSERT_NE(nullptr, dlg.m_bar);
    const int r = dlg.m_bar->GetClientSize().x;
    for (int left : {32, 80})
    {
        wxMouseEvent down(wxEVT_LEFT_DOWN);
        down.SetPosition(wxPoint(r - dlg.FromDIP(left), dlg.FromDIP(5)));
        down.SetEventObject(dlg.m_bar);
        dlg.m_bar->ProcessWindowEvent(down);
    }
    EXPECT_EQ(std::vector<int>{wxID_OK}, dlg.m_buttons);
    EXPECT_EQ(1, dlg.m_helps);
}

TEST(TitleBar, DrawsTitleRuleAndDiscsOnTheBackground)
{
    RecordingDlg dlg(true);
    ASSERT_NE(nullptr, dlg.m_bar);
    const wxSize size = dlg.m_bar->GetClientSize();
    wxBitmap bmp(size);
    {
        wxMemoryDC mem(bmp);
        dlg.m_bar->Draw(mem);
    }
    const wxImage img = bmp.ConvertToImage();
    const int r = size.x, bottom = size.y - 1;
    const wxColour back = CTitleBar::s_backColor;
    auto colourAt = [&](int x, int y) { return wxColour(img.GetRed(x, y), img.GetGreen(x, y), img.GetBlue(x, y)); };

    for (int x : {0, r / 2, r - 1})
        EXPECT_EQ(*wxBLACK, colourAt(x, bottom)) << x;
    // The last 15 pixels at the right stay background above the rule.
    EXPECT_EQ(back, colourAt(r - 1, 1));
    EXPECT_EQ(back, colourAt(r - dlg.FromDIP(8), bottom - 1));

    // Some title pixels in the text colour, none left of the 3-pixel indent.
    int textPixels = 0;
    for (int x = 0; x < r / 2; ++x)
        for (int y = 0; y < bottom; ++y)
            textPixels += colourAt(x, y) != back ? 1 : 0;
    EXPECT_GT(textPixels, 20);
    for (int x = 0; x < dlg.FromDIP(3); ++x)
        for (int y = 0; y < bottom; ++y)
            EXPECT_EQ(back, colourAt(x, y)) << x << "," << y;

    if (CTitleBar::s_titleButtons.IsOk())
    {
        auto disc = [&](int left) {
            return CountDarkBlue(img, r - dlg.FromDIP(left), r - dlg.FromDIP(left - 17), dlg.FromDIP(2),
                                 dlg.FromDIP(19));
        };
        EXPECT_GT(disc(80), 100);
        EXPECT_GT(disc(56), 100);
        EXPECT_GT(disc(32), 100);
        EXPECT_EQ(0, CountDarkBlue(img, r - dlg.FromDIP(15), r, 0, bottom));
        // Around the discs the strip's background shows, not the picture's white.
        EXPECT_EQ(back, colourAt(r - dlg.FromDIP(80), dlg.FromDIP(2)));
        EXPECT_EQ(back, colourAt(r - dlg.FromDIP(60), dlg.FromDIP(10)));
        EXPECT_EQ(back, colourAt(r - dlg.FromDIP(16), dlg.FromDIP(18)));
        EXPECT_EQ(0, CountDarkBlue(img, 0, r, dlg.FromDIP(19) + 1, bottom));
    }
    else
    {
        ADD_FAILURE() << "the title-bar picture did not load";
    }
}

TEST(TitleBar, LongTitleEndsInAnEllipsisBeforeTheFirstDisc)
{
    RecordingDlg dlg(true);
    ASSERT_NE(nullptr, dlg.m_bar);
    ASSERT_TRUE(CTitleBar::s_titleButtons.IsOk());
    const wxColour back = CTitleBar::s_backColor;
    const int r = dlg.m_bar->GetClientSize().x;
    // Titles the dialogs really show, and one far too long.
    for (const wxString& title : {wxString("Rename Category"), wxString("Rename Checklist"),
                                  wxString("Groceries for the weekend trip"), wxString('W', 80)})
    {
        dlg.m_bar->SetLabel(title);
        const wxSize size = dlg.m_bar->GetClientSize();
        wxBitmap bmp(size);
        {
            wxMemoryDC mem(bmp);
            dlg.m_bar->Draw(mem);
        }
        const wxImage img = bmp.ConvertToImage();
        auto textPixelsIn = [&](int x0, int x1) {
            int n = 0;
            for (int x = x0; x < x1; ++x)
                for (int y = 0; y < size.y - 1; ++y)
                    n += wxColour(img.GetRed(x, y), img.GetGreen(x, y), img.GetBlue(x, y)) == back ? 0 : 1;
            return n;
        };
        // Nothing of the title between, around or right of the discs.
        EXPECT_EQ(0, textPixelsIn(r - dlg.FromDIP(62), r - dlg.FromDIP(57))) << title;
        EXPECT_EQ(0, textPixelsIn(r - dlg.FromDIP(38), r - dlg.FromDIP(33))) << title;
        EXPECT_EQ(0, textPixelsIn(r - dlg.FromDIP(15), r)) << title;
        EXPECT_EQ(0, textPixelsIn(r - dlg.FromDIP(82), r - dlg.FromDIP(80))) << title;
        EXPECT_GT(textPixelsIn(0, r / 3), 20) << title;
    }
    // What does fit is drawn whole, without an ellipsis.
    wxMemoryDC measure;
    measure.SetFont(CTitleBar::s_titleFont);
    EXPECT_LE(measure.GetTextExtent("Rename Checklist").x, r - dlg.FromDIP(86))
        << "the title face leaves no room for the dialogs' own titles";
}

TEST(TitleBar, StripHasTheStaticBackgroundAndAReadableTitle)
{
    RecordingDlg dlg(true);
    // The colour static texts stand on: the window's, not the grey of buttons.
    EXPECT_EQ(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW), CTitleBar::s_backColor);
    const wxColour a = CTitleBar::s_backColor, b = CTitleBar::s_textColor;
    auto lum = [](const wxColour& c) {
        auto ch = [](unsigned char v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * ch(c.Red()) + 0.7152 * ch(c.Green()) + 0.0722 * ch(c.Blue());
    };
    const double contrast = (std::max(lum(a), lum(b)) + 0.05) / (std::min(lum(a), lum(b)) + 0.05);
    EXPECT_GE(contrast, 4.5);
}

TEST(TitleBar, WithoutItsPictureStillPaintsAndTapsThenLoadsItLater)
{
    const wxBitmap saved = CTitleBar::s_titleButtons;
    CTitleBar::s_titleButtons = wxNullBitmap;
    Resources::SetMissingForTest(IDB_TITLE_BUTTONS, true);
    {
        RecordingDlg dlg(true);
        ASSERT_NE(nullptr, dlg.m_bar);
        EXPECT_FALSE(CTitleBar::s_titleButtons.IsOk());
        dlg.m_bar->SetLabel(wxString()); // its blue would count as discs
        const wxSize size = dlg.m_bar->GetClientSize();
        wxBitmap bmp(size);
        {
            wxMemoryDC mem(bmp);
            dlg.m_bar->Draw(mem);
        }
        const wxImage img = bmp.ConvertToImage();
        EXPECT_EQ(0, CountDarkBlue(img, 0, size.x, 0, size.y));
        EXPECT_EQ(0, img.GetRed(size.x / 2, size.y - 1));

        wxMouseEvent down(wxEVT_LEFT_DOWN);
        down.SetPosition(wxPoint(size.x - dlg.FromDIP(56), dlg.FromDIP(2)));
        dlg.m_bar->ProcessWindowEvent(down);
        EXPECT_EQ(std::vector<int>{wxID_CANCEL}, dlg.m_buttons);
    }
    Resources::SetMissingForTest(IDB_TITLE_BUTTONS, false);
    RecordingDlg later(true);
    EXPECT_TRUE(CTitleBar::s_titleButtons.IsOk());
    if (!CTitleBar::s_titleButtons.IsOk())
        CTitleBar::s_titleButtons = saved;
}

TEST(TitleBar, SharedFontIsBoldAtTwelvePoints)
{
    RecordingDlg dlg(true);
    ASSERT_TRUE(CTitleBar::s_titleFont.IsOk());
    EXPECT_EQ(12, CTitleBar::s_titleFont.GetPointSize());
    EXPECT_EQ(wxFONTWEIGHT_BOLD, CTitleBar::s_titleFont.GetWeight());
    EXPECT_TRUE(CTitleBar::s_backColor.IsOk());
    EXPECT_TRUE(CTitleBar::s_textColor.IsOk());
    EXPECT_NE(CTitleBar::s_backColor, CTitleBar::s_textColor);
}
