#include "app/CToolStrip.h"

#include <wx/dcbuffer.h>
#include <wx/settings.h>
#include <wx/utils.h>

// clang-format off
wxBEGIN_EVENT_TABLE(CToolStrip, wxControl)
    EVT_PAINT(                                       CToolStrip::OnPaint)
    EVT_MOTION(                                      CToolStrip::OnMotion)
    EVT_LEAVE_WINDOW(                                CToolStrip::OnLeave)
    EVT_LEFT_DOWN(                                   CToolStrip::OnLeftDown)
    EVT_LEFT_DCLICK(                                 CToolStrip::OnLeftDown)
    EVT_LEFT_UP(                                     CToolStrip::OnLeftUp)
    EVT_MOUSE_CAPTURE_LOST(                          CToolStrip::OnCaptureLost)
wxEND_EVENT_TABLE()
// clang-format on

namespace
{
// Room around each image inside its button, in device-independent pixels.
constexpr int kPadding = 4;

// The picture drawn for the display's own pixels (twice as many of them at a
// doubled scale), shown at `logical` size.
wxBitmap DeviceBitmap(const wxBitmapBundle& bundle, const wxSize& logical, double scale)
{
    wxBitmap bitmap = bundle.GetBitmap(wxSize(wxRound(logical.x * scale), wxRound(logical.y * scale)));
    if (bitmap.IsOk() && bitmap.GetScaleFactor() != scale)
        bitmap.SetScaleFactor(scale);
    return bitmap;
}
}

CToolStrip::CToolStrip(wxWindow* parent, wxWindowID id, const wxSize& imageSize, int height)
    : wxControl(parent, id, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE),
      m_imageSize(imageSize),
      m_height(height)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    const wxSize best = FromDIP(wxSize(0, m_height));
    SetMinSize(wxSize(-1, best.y));
    SetSize(wxSize(-1, best.y));
}

void CToolStrip::AddTool(int id, const wxBitmapBundle& image, const wxString& tip)
{
    m_tools.push_back(Tool{id, image, tip, true});
    InvalidateBestSize();
    Refresh();
}

int CToolStrip::IndexOf(int id) const
{
    for (size_t i = 0; i < m_tools.size(); ++i)
        if (m_tools[i].id == id)
            return static_cast<int>(i);
    return -1;
}

wxString CToolStrip::GetToolShortHelp(int id) const
{
    const int i = IndexOf(id);
    return i < 0 ? wxString() : m_tools[i].tip;
}

wxBitmap CToolStrip::GetToolBitmap(int id) const
{
    const int i = IndexOf(id);
    return i < 0 ? wxBitmap() : m_tools[i].image.GetBitmap(FromDIP(m_imageSize));
}

bool CToolStrip::GetToolEnabled(int id) const
{
    const int i = IndexOf(id);
    return i >= 0 && m_tools[i].enabled;
}

void CToolStrip::EnableTool(int id, bool enable)
{
    const int i = IndexOf(id);
    if (i < 0 || m_tools[i].enabled == enable)
        return;
    m_tools[i].enabled = enable;
    RefreshRect(RectOf(i));
}

wxRect CToolStrip::GetToolRect(int id) const
{
    const int i = IndexOf(id);
    return i < 0 ? wxRect() : RectOf(i);
}

wxRect CToolStrip::RectOf(size_t index) const
{
    const wxSize image = FromDIP(m_imageSize);
    const int padding = FromDIP(kPadding);
    const int width = image.x + 2 * padding;
    return wxRect(static_cast<int>(index) * width, 0, width, GetClientSize().y);
}

int CToolStrip::ToolAt(const wxPoint& point) const
{
    for (size_t i = 0; i < m_tools.size(); ++i)
        if (RectOf(i).Contains(point))
            return static_cast<int>(i);
    return -1;
}

wxSize CToolStrip::DoGetBestClientSize() const
{
    const wxSize image = FromDIP(m_imageSize);
    const int width = static_cast<int>(m_tools.size()) * (image.x + 2 * FromDIP(kPadding));
    return wxSize(width, FromDIP(m_height));
}

void CToolStrip::UpdateWindowUI(long flags)
{
    wxControl::UpdateWindowUI(flags);
    if (!IsShown())
        return;
    // The same question the native toolbar asks: each command's update
    // handler, reached through the parents and so the frame's view.
    for (const Tool& tool : m_tools)
    {
        wxUpdateUIEvent event(tool.id);
        event.SetEventObject(this);
        if (GetEventHandler()->ProcessEvent(event) && event.GetSetEnabled())
            EnableTool(tool.id, event.GetEnabled());
    }
}

void CToolStrip::SetHot(int index)
{
    if (index == m_hot)
        return;
    if (m_hot >= 0)
        RefreshRect(RectOf(m_hot));
    m_hot = index;
    if (m_hot >= 0)
    {
        RefreshRect(RectOf(m_hot));
        SetToolTip(m_tools[m_hot].tip);
    }
    else
    {
        UnsetToolTip();
    }
}

void CToolStrip::OnPaint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE)));
    dc.Clear();
    const wxSize imageSize = FromDIP(m_imageSize);
    for (size_t i = 0; i < m_tools.size(); ++i)
    {
        const Tool& tool = m_tools[i];
        const wxRect rect = RectOf(i);
        const bool hot = static_cast<int>(i) == m_hot && tool.enabled;
        const bool pressed = static_cast<int>(i) == m_pressed && hot;
        if (hot)
        {
            const wxColour frame = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);
            dc.SetPen(wxPen(frame));
            dc.SetBrush(pressed ? wxBrush(frame) : *wxTRANSPARENT_BRUSH);
            dc.DrawRectangle(wxRect(rect).Deflate(1));
        }
        wxBitmap image = DeviceBitmap(tool.image, imageSize, GetContentScaleFactor());
        if (!image.IsOk())
            continue;
        if (!tool.enabled)
            image = image.ConvertToDisabled();
        const wxPoint at(rect.x + (rect.width - image.GetLogicalWidth()) / 2 + (pressed ? 1 : 0),
                         rect.y + (rect.height - image.GetLogicalHeight()) / 2 + (pressed ? 1 : 0));
        dc.DrawBitmap(image, at, true);
    }
}

void CToolStrip::OnMotion(wxMouseEvent& event)
{
    SetHot(ToolAt(event.GetPosition()));
}

void CToolStrip::OnLeave(wxMouseEvent&)
{
    if (!HasCapture())
        SetHot(-1);
}

void CToolStrip::OnLeftDown(wxMouseEvent& event)
{
    const int index = ToolAt(event.GetPosition());
    if (index < 0 || !m_tools[index].enabled)
        return;
    m_pressed = index;
    SetHot(index);
    if (!HasCapture())
        CaptureMouse();
    RefreshRect(RectOf(index));
}

void CToolStrip::OnLeftUp(wxMouseEvent& event)
{
    if (HasCapture())
        ReleaseMouse();
    const int pressed = m_pressed;
    m_pressed = -1;
    const int index = ToolAt(event.GetPosition());
    SetHot(index);
    if (pressed < 0)
        return;
    RefreshRect(RectOf(pressed));
    if (index != pressed || !m_tools[index].enabled)
        return;
    wxCommandEvent click(wxEVT_TOOL, m_tools[index].id);
    click.SetEventObject(this);
    ProcessWindowEvent(click);
    // A dialog the command opened took the pointer's leaving with it: the
    // button is hot only if the pointer is still on it.
    const wxPoint pointer = wxGetMousePosition();
    SetHot(wxFindWindowAtPoint(pointer) == this ? ToolAt(ScreenToClient(pointer)) : -1);
}

void CToolStrip::OnCaptureLost(wxMouseCaptureLostEvent&)
{
    m_pressed = -1;
    SetHot(-1);
}
