#include "controls/TitleBar.h"

#include "controls/Contrast.h"

#include "resources/ResourceIds.h"
#include "resources/Resources.h"

#include <wx/control.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/fontenum.h>
#include <wx/image.h>
#include <wx/settings.h>

#include <algorithm>
#include <cmath>
#include <vector>

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
constexpr int kTitleGap = 3;      // between a cut title and the first disc
constexpr int kStripHeightDlu = 14;

// The disc picture is drawn on white; the white around the discs (not the
// white of their symbols) becomes transparent so the strip's own background
// shows there with any theme.
wxBitmap WithClearSurround(const wxBitmap& bitmap)
{
    wxImage img = bitmap.ConvertToImage();
    if (!img.IsOk())
        return bitmap;
    if (!img.HasAlpha())
        img.InitAlpha();
    const int w = img.GetWidth(), h = img.GetHeight();
    auto surround = [&](int x, int y) {
        return img.GetAlpha(x, y) == 0 ||
               (img.GetRed(x, y) >= 240 && img.GetGreen(x, y) >= 240 && img.GetBlue(x, y) >= 240);
    };
    std::vector<char> seen(static_cast<size_t>(w) * h, 0);
    std::vector<wxPoint> todo;
    for (int x = 0; x < w; ++x)
        todo.insert(todo.end(), {wxPoint(x, 0), wxPoint(x, h - 1)});
    for (int y = 0; y < h; ++y)
        todo.insert(todo.end(), {wxPoint(0, y), wxPoint(w - 1, y)});
    while (!todo.empty())
    {
        const wxPoint p = todo.back();
        todo.pop_back();
        if (p.x < 0 || p.y < 0 || p.x >= w || p.y >= h)
            continue;
        char& visited = seen[static_cast<size_t>(p.y) * w + p.x];
        if (visited || !surround(p.x, p.y))
            continue;
        visited = 1;
        img.SetAlpha(p.x, p.y, 0);
        todo.insert(todo.end(), {wxPoint(p.x + 1, p.y), wxPoint(p.x - 1, p.y), wxPoint(p.x, p.y + 1),
                                 wxPoint(p.x, p.y - 1)});
    }
    return wxBitmap(img, -1, bitmap.GetScaleFactor());
}

// Pictures and lines of the handheld's dark blue and black stand out from a
// light strip; on a dark one they take the title's colour, which reads there.
constexpr double kPictureContrast = 3.0;

wxBitmap ThemedDiscs(const wxBitmap& bitmap)
{
    const wxBitmap clear = WithClearSurround(bitmap);
    wxImage img = clear.ConvertToImage();
    const wxColour face = MainColour(img);
    if (!face.IsOk() || Contrast(face, CTitleBar::s_backColor) >= kPictureContrast)
        return clear;
    RecolourDiscs(img, CTitleBar::s_textColor, CTitleBar::s_backColor);
    return wxBitmap(img, -1, clear.GetScaleFactor());
}

wxColour RuleColour()
{
    return Contrast(*wxBLACK, CTitleBar::s_backColor) >= kPictureContrast ? *wxBLACK : CTitleBar::s_textColor;
}

wxFont MakeTitleFont()
{
    // The handheld's face first, then bold sans-serif faces as narrow as it:
    // the wider ones leave a dialog's title little room before the discs.
    static const char* const faces[] = {"Tahoma",      "DejaVu Sans Condensed", "Nimbus Sans Narrow",
                                        "Liberation Sans Narrow", "Verdana",   "DejaVu Sans",
                                        "Liberation Sans", "Noto Sans",       "FreeSans"};
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
    // A quick second tap arrives as a double click: it is a tap all the same.
    EVT_LEFT_DCLICK(            CTitleBar::OnLButtonDown)
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
    parent->Bind(wxEVT_SIZE, &CTitleBar::OnParentSize, this);
    return true;
}

void CTitleBar::OnParentSize(wxSizeEvent& event)
{
    event.Skip();
    // The strip spans its dialog, also when the dialog is made full screen;
    // a bar placed by a sizer or away from the left edge is left alone.
    if (GetContainingSizer() || GetPosition().x != 0)
        return;
    const int width = GetParent()->GetClientSize().x;
    if (width > 0 && width != GetSize().x)
        SetSize(width, GetSize().y);
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
    // The background of static texts: the window colour, against which the
    // strip stands out from the grey of the dialog.
    s_backColor = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    // Desktop themes often give the active caption a pale colour meant as a
    // background; then the theme's selection colour, made readable, stands in.
    wxColour text = wxSystemSettings::GetColour(wxSYS_COLOUR_ACTIVECAPTION);
    if (!text.IsOk() || Contrast(text, s_backColor) < 3.0)
        text = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
    if (!text.IsOk())
        text = wxColour(0, 0, 128);
    s_textColor = ReadableOn(s_backColor, text);
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
            s_titleButtons = ThemedDiscs(s_titleButtonsBundle.GetBitmap(wxDefaultSize));
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
    // Left-aligned from the top, never wrapped; a title too long for the room
    // left of the first disc ends in an ellipsis there.
    dc.DrawText(FittedTitle(dc, size.x), FromDIP(kTextIndent), 0);
    // A filled row rather than a line: the toolkit's lines are anti-aliased
    // at their ends.
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(RuleColour()));
    dc.DrawRectangle(0, size.y - 1, size.x, 1);
}

wxString CTitleBar::FittedTitle(wxDC& dc, int width) const
{
    const wxString title = GetLabel();
    const int room = width - FromDIP(kButtonsLeft + kTitleGap + kTextIndent);
    if (room <= 0)
        return wxString();
    if (dc.GetTextExtent(title).x <= room)
        return title;
    return wxControl::Ellipsize(title, dc, wxELLIPSIZE_END, room);
}

void CTitleBar::DrawButtons(wxDC& dc, const wxSize& size) const
{
    wxBitmap buttons = s_titleButtons;
    if (s_titleButtonsBundle.IsOk() && GetDPIScaleFactor() != 1.0)
    {
        // Other scales are rare: made when drawn rather than kept.
        buttons = ThemedDiscs(s_titleButtonsBundle.GetBitmapFor(this));
    }
    if (!buttons.IsOk())
        return;
    // The picture's block hides a long title under it, as its white did on
    // the handheld, but in the strip's own colour.
    const wxPoint at(size.x - FromDIP(kButtonsLeft), FromDIP(kButtonsTop));
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(s_backColor));
    dc.DrawRectangle(wxRect(at, buttons.GetLogicalSize()));
    dc.DrawBitmap(buttons, at, true);
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
