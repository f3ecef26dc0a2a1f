#include "controls/TitleBar.h"

#include "resources/ResourceIds.h"
#include "resources/Resources.h"

#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/fontenum.h>
#include <wx/settings.h>

#include <algorithm>
#include <cmath>

namespace
{
// Layout in device pixels at 100 %, measured from the right edge R.
constexpr int kButtonsLeft = 80;  // the strip is drawn at R - 80
constexpr int kButtonsTop = 2;
constexpr int kTapBottom = 19;    // taps count from y = 2 up to 18
constexpr int kOkLeft = 32;       // ok: [R - 32, R - 16)
constexpr int kCancelLeft = 56;   // cancel: [R - 56, R - 40)
constexpr int kHelpLeft = 80;     // help: [R - 80, R - 64)
constexpr int kButtonWidth = 16;
constexpr int kTextIndent = 3;
constexpr int kStripHeightDlu = 14;

double RelativeLuminance(const wxColour& c)
{
    auto channel = [](unsigned char v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.Red()) + 0.7152 * channel(c.Green()) + 0.0722 * channel(c.Blue());
}

double Contrast(const wxColour& a, const wxColour& b)
{
    const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

wxFont MakeTitleFont()
{
    // The handheld's face first, then the bold sans-serif faces closest to it.
    static const char* const faces[] = {"Tahoma", "Verdana", "DejaVu Sans", "Liberation Sans", "Noto Sans",
                                        "FreeSans"};
    for (const char* face : faces)
    {
        if (wxFontEnumerator::IsValidFacename(face))
            return wxFont(wxFontInfo(12).Bold().FaceName(face));
    }
    return wxFont(wxFontInfo(12).Bold().Family(wxFONTFAMILY_SWISS));
}
}

wxFont CTitleBar::s_titleFont;
wxBitmap CTitleBar::s_titleButtons;
wxBitmapBundle CTitleBar::s_titleButtonsBundle;
wxColour CTitleBar::s_backColor;
wxColour CTitleBar::s_textColor;

wxIMPLEMENT_DYNAMIC_CLASS(CTitleBar, wxWindow);

wxBEGIN_EVENT_TABLE(CTitleBar, wxWindow)
    EVT_PAINT(                  CTitleBar::OnPaint)
    EVT_LEFT_DOWN(              CTitleBar::OnLButtonDown)
wxEND_EVENT_TABLE()

CTitleBar::CTitleBar()
{
    InitSharedObjects();
}

CTitleBar::CTitleBar(wxWindow* parent, wxWindowID id, const wxString& title, const wxPoint& pos,
                     const wxSize& size)
{
    InitSharedObjects();
    Create(parent, id, title, pos, size);
}

bool CTitleBar::Create(wxWindow* parent, wxWindowID id, const wxString& title, const wxPoint& pos,
                       const wxSize& size)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxWindow::Create(parent, id, pos, size, wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE, "CTitleBar"))
        return false;
    wxWindow::SetLabel(title);
    SetFont(s_titleFont);
    if (size == wxDefaultSize)
        SetInitialSize(size);
    return true;
}

void CTitleBar::SetLabel(const wxString& title)
{
    if (title == GetLabel())
        return;
    wxWindow::SetLabel(title);
    Refresh(false);
}

void CTitleBar::InitSharedColours()
{
    if (s_backColor.IsOk())
        return;
    s_backColor = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    // Some desktop themes give the active caption a pale colour meant as a
    // background; the title needs one that reads on the strip.
    wxColour text = wxSystemSettings::GetColour(wxSYS_COLOUR_ACTIVECAPTION);
    if (!text.IsOk() || Contrast(text, s_backColor) < 3.0)
        text = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
    if (!text.IsOk() || Contrast(text, s_backColor) < 3.0)
        text = wxColour(0, 0, 128);
    s_textColor = text;
}

void CTitleBar::InitSharedObjects()
{
    InitSharedColours();
    if (!s_titleFont.IsOk())
        s_titleFont = MakeTitleFont();
    // Tried again by later title bars while the picture is missing.
    if (!s_titleButtons.IsOk())
    {
        s_titleButtonsBundle = Resources::Bitmap(IDB_TITLE_BUTTONS);
        if (s_titleButtonsBundle.IsOk())
            s_titleButtons = s_titleButtonsBundle.GetBitmap(wxDefaultSize);
    }
}

wxSize CTitleBar::DoGetBestSize() const
{
    const int height = GetParent() ? GetParent()->ConvertDialogToPixels(wxSize(0, kStripHeightDlu)).y
                                   : FromDIP(kTapBottom + 4);
    return wxSize(GetParent() ? GetParent()->GetClientSize().x : FromDIP(240), height);
}

void CTitleBar::DrawStrip(wxDC& dc, const wxSize& size) const
{
    dc.SetBackground(wxBrush(s_backColor));
    dc.Clear();
    dc.SetFont(s_titleFont);
    dc.SetTextForeground(s_textColor);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    // Left-aligned from the top, never wrapped: a long title is cut at the
    // right edge and runs under the discs.
    dc.DrawText(GetLabel(), FromDIP(kTextIndent), 0);
    // A filled row rather than a line: the toolkit's lines are anti-aliased
    // at their ends.
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(*wxBLACK_BRUSH);
    dc.DrawRectangle(0, size.y - 1, size.x, 1);
}

void CTitleBar::DrawButtons(wxDC& dc, const wxSize& size) const
{
    const wxBitmap buttons =
        s_titleButtonsBundle.IsOk() ? s_titleButtonsBundle.GetBitmapFor(this) : s_titleButtons;
    if (buttons.IsOk())
        dc.DrawBitmap(buttons, size.x - FromDIP(kButtonsLeft), FromDIP(kButtonsTop), true);
}

void CTitleBar::Draw(wxDC& dc) const
{
    const wxSize size = GetClientSize();
    DrawStrip(dc, size);
    DrawButtons(dc, size);
}

void CTitleBar::OnPaint(wxPaintEvent& WXUNUSED(event))
{
    wxPaintDC dc(this);
    const wxSize size = GetClientSize();
    if (size.x <= 0 || size.y <= 0)
        return;

    // Everything but the discs is drawn off-screen and copied in one go.
    {
        wxBitmap image;
        image.CreateWithDIPSize(size, dc.GetContentScaleFactor());
        wxMemoryDC mem(image);
        DrawStrip(mem, size);
        mem.SelectObject(wxNullBitmap);
        dc.DrawBitmap(image, 0, 0);
    }
    DrawButtons(dc, size);
}

void CTitleBar::OnLButtonDown(wxMouseEvent& event)
{
    const wxPoint p = event.GetPosition();
    const int right = GetClientSize().x;
    wxWindow* parent = GetParent();
    auto inArea = [&](int leftFromRight) {
        const int left = right - FromDIP(leftFromRight);
        return p.x >= left && p.x < left + FromDIP(kButtonWidth) && p.y >= FromDIP(kButtonsTop) &&
               p.y < FromDIP(kTapBottom);
    };

    if (parent && (inArea(kOkLeft) || inArea(kCancelLeft)))
    {
        wxCommandEvent command(wxEVT_BUTTON, inArea(kOkLeft) ? wxID_OK : wxID_CANCEL);
        command.SetEventObject(this);
        parent->ProcessWindowEvent(command);
    }
    else if (parent && inArea(kHelpLeft))
    {
        const wxPoint where = IsShownOnScreen() ? ClientToScreen(p) : wxDefaultPosition;
        wxHelpEvent help(wxEVT_HELP, parent->GetId(), where, wxHelpEvent::Origin_HelpButton);
        help.SetEventObject(parent);
        parent->ProcessWindowEvent(help);
    }
    else
    {
        event.Skip();
    }
}
