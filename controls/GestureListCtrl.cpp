#include "controls/GestureListCtrl.h"

#include <wx/utils.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

wxDEFINE_EVENT(wxEVT_LIST_CONTEXTMENU_REQUEST, wxCommandEvent);

wxIMPLEMENT_DYNAMIC_CLASS(CGestureListCtrl, wxListCtrl);

// The rows' window passes its mouse events to the list first, in its own
// coordinates, so the handlers below see every press on a row.
wxBEGIN_EVENT_TABLE(CGestureListCtrl, wxListCtrl)
    EVT_LEFT_DOWN(              CGestureListCtrl::OnLButtonDown)
    EVT_LEFT_DCLICK(            CGestureListCtrl::OnLButtonDown)
    EVT_LEFT_UP(                CGestureListCtrl::OnLButtonUp)
    EVT_MOTION(                 CGestureListCtrl::OnMouseMove)
    EVT_RIGHT_DOWN(             CGestureListCtrl::OnRButtonDown)
    EVT_CONTEXT_MENU(           CGestureListCtrl::OnContextMenu)
    EVT_TIMER(wxID_ANY,         CGestureListCtrl::OnHoldTimer)
    EVT_SIZE(                   CGestureListCtrl::OnSize)
wxEND_EVENT_TABLE()

CGestureListCtrl::CGestureListCtrl() : m_holdTimer(this)
{
}

CGestureListCtrl::CGestureListCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                                   long style)
    : m_holdTimer(this)
{
    Create(parent, id, pos, size, style);
    AttachToMainWindow();
}

wxWindow* CGestureListCtrl::GetMainWindow() const
{
    wxWindow* main = GetTargetWindow();
    return main ? main : const_cast<CGestureListCtrl*>(this);
}

wxPoint CGestureListCtrl::MainToClient(const wxPoint& mainPoint) const
{
    const wxWindow* main = GetMainWindow();
    return main == this ? mainPoint : mainPoint + main->GetPosition();
}

wxPoint CGestureListCtrl::ClientToMain(const wxPoint& clientPoint) const
{
    const wxWindow* main = GetMainWindow();
    return main == this ? clientPoint : clientPoint - main->GetPosition();
}

long CGestureListCtrl::HitTestClient(const wxPoint& point) const
{
    const wxPoint mainPoint = ClientToMain(point);
    const wxSize mainSize = GetMainWindow()->GetClientSize();
    // Points over the header or outside the rows' window hit no row.
    if (mainPoint.x < 0 || mainPoint.y < 0 || mainPoint.x >= mainSize.x || mainPoint.y >= mainSize.y)
        return -1;
    int flags = 0;
    const long item = HitTest(mainPoint, flags);
    return (flags & wxLIST_HITTEST_ONITEM) ? item : -1;
}

void CGestureListCtrl::SetVirtualProviders(TextProvider text, CheckedProvider checked)
{
    m_textProvider = std::move(text);
    m_checkedProvider = std::move(checked);
}

wxString CGestureListCtrl::OnGetItemText(long item, long column) const
{
    return m_textProvider ? m_textProvider(item, column) : wxString();
}

bool CGestureListCtrl::OnGetItemIsChecked(long item) const
{
    return m_checkedProvider ? m_checkedProvider(item) : false;
}

void CGestureListCtrl::AttachToMainWindow()
{
    wxWindow* main = GetMainWindow();
    if (m_attached || main == this)
        return;
    m_attached = true;
    // Gesture events go to the window that was touched and do not travel up.
    main->EnableTouchEvents(wxTOUCH_PRESS_GESTURES);
    main->Bind(wxEVT_LONG_PRESS, &CGestureListCtrl::OnLongPress, this);
}

void CGestureListCtrl::OnSize(wxSizeEvent& event)
{
    // Lists made from XRC are created through the base class, so the first
    // layout is the earliest moment their rows' window is known here.
    AttachToMainWindow();
    event.Skip();
}

void CGestureListCtrl::OnLButtonDown(wxMouseEvent& event)
{
    AttachToMainWindow();
    m_pressPoint = MainToClient(event.GetPosition());
    m_holdStart = event.GetPosition();
    m_pressActive = true;
    m_requestedForPress = false;
    // The second press of a double click opens the row, often in a modal
    // dialog: holding it on asks for no menu behind that dialog.
    m_doubleClickPress = event.ButtonDClick();
    if (m_doubleClickPress)
        m_holdTimer.Stop();
    else
        m_holdTimer.StartOnce(kHoldMs);
    event.Skip();
}

void CGestureListCtrl::OnLButtonUp(wxMouseEvent& event)
{
    m_pressActive = false;
    m_holdTimer.Stop();
    event.Skip();
}

void CGestureListCtrl::OnMouseMove(wxMouseEvent& event)
{
    if (m_holdTimer.IsRunning())
    {
        const wxPoint d = event.GetPosition() - m_holdStart;
        if (!event.LeftIsDown() || std::abs(d.x) > FromDIP(kHoldSlop) || std::abs(d.y) > FromDIP(kHoldSlop))
            m_holdTimer.Stop();
    }
    event.Skip();
}

void CGestureListCtrl::OnHoldTimer(wxTimerEvent& WXUNUSED(event))
{
    // A release the list did not see (another window took the mouse) must
    // not turn into a hold.
    if (!m_pressActive || m_requestedForPress || !wxGetMouseState().LeftIsDown())
        return;
    m_requestedForPress = true;
    OnContextGesture();
}

void CGestureListCtrl::OnLongPress(wxLongPressEvent& event)
{
    m_holdTimer.Stop();
    // A touch also arrives as a left press; one hold asks only once.
    if (m_pressActive && (m_requestedForPress || m_doubleClickPress))
        return;
    m_requestedForPress = true;
    m_pressPoint = MainToClient(event.GetPosition());
    OnContextGesture();
    event.Skip(false);
}

void CGestureListCtrl::OnRButtonDown(wxMouseEvent& event)
{
    m_holdTimer.Stop();
    m_pressPoint = MainToClient(event.GetPosition());
    OnContextGesture();
    event.Skip();
}

void CGestureListCtrl::OnContextMenu(wxContextMenuEvent& event)
{
    // Only the keyboard's menu key comes without a position; right clicks
    // were answered when the button went down.
    if (event.GetPosition() != wxDefaultPosition)
    {
        event.Skip();
        return;
    }
    long item = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED);
    if (item < 0)
        item = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    wxRect rect;
    if (item < 0 || !GetItemRect(item, rect))
    {
        event.Skip();
        return;
    }
    // The row's rectangle is already in the list's client coordinates.
    m_pressPoint = wxPoint(rect.x + std::min(rect.width / 2, FromDIP(24)), rect.y + rect.height / 2);
    OnContextGesture();
}

void CGestureListCtrl::OnContextGesture()
{
    const long item = HitTestClient(m_pressPoint);
    if (item < 0)
        return;
    SetItemState(item, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    wxWindow* parent = GetParent();
    if (!parent)
        return;
    auto* request = new wxCommandEvent(wxEVT_LIST_CONTEXTMENU_REQUEST, GetId());
    request->SetEventObject(this);
    request->SetClientData(&m_pressPoint);
    parent->GetEventHandler()->QueueEvent(request);
}
