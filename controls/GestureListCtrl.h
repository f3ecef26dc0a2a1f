#ifndef TALLYARD_CONTROLS_GESTURELISTCTRL_H
#define TALLYARD_CONTROLS_GESTURELISTCTRL_H

#include <wx/event.h>
#include <wx/listctrl.h>

/// The private request for a context menu (WM_USER + 1000).
constexpr int WM_LIST_CONTEXTMENU = 0x0400 + 1000;

/// Posted to the list's parent on tap-and-hold: a wxCommandEvent whose id is
/// the list's id and whose client data is the address of the list's
/// m_pressPoint (client coordinates of the list).
wxDECLARE_EVENT(wxEVT_LIST_CONTEXTMENU_REQUEST, wxCommandEvent);
#define EVT_LIST_CONTEXTMENU_REQUEST(id, func) \
    wx__DECLARE_EVT1(wxEVT_LIST_CONTEXTMENU_REQUEST, id, wxCommandEventHandler(func))

/// A report-view list that turns tap-and-hold (touch long-press, a mouse
/// button held still for about half a second, or a right click) into a
/// context-menu request to its parent, after selecting and focusing the row
/// under the press. In XRC: a wxListCtrl with subclass="CGestureListCtrl".
class CGestureListCtrl : public wxListCtrl
{
public:
    CGestureListCtrl();
    CGestureListCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
                     const wxSize& size = wxDefaultSize, long style = wxLC_REPORT);

    wxPoint m_pressPoint;

protected:
    void OnLButtonDown(wxMouseEvent& event);
    void OnContextGesture();

    wxDECLARE_DYNAMIC_CLASS(CGestureListCtrl);
};

#endif
