#ifndef TALLYARD_CONTROLS_GESTURELISTCTRL_H
#define TALLYARD_CONTROLS_GESTURELISTCTRL_H

#include <wx/event.h>
#include <wx/listctrl.h>
#include <wx/timer.h>

#include <functional>

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
///
/// Coordinates: m_pressPoint, HitTestClient() and GetItemRect() use the list's
/// client coordinates (header included). The list's own HitTest(), mouse
/// events and the points of wxListEvent use the coordinates of the rows'
/// window, GetMainWindow(); MainToClient() converts.
class CGestureListCtrl : public wxListCtrl
{
public:
    using TextProvider = std::function<wxString(long item, long column)>;
    using CheckedProvider = std::function<bool(long item)>;

    /// How long the mouse button must be held still, and how far it may move.
    static constexpr int kHoldMs = 500;
    static constexpr int kHoldSlop = 4;

    CGestureListCtrl();
    CGestureListCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
                     const wxSize& size = wxDefaultSize, long style = wxLC_REPORT);

    /// The window that shows the rows and receives the mouse.
    wxWindow* GetMainWindow() const;

    /// The row under `point` (list client coordinates), or -1.
    long HitTestClient(const wxPoint& point) const;
    /// Converts between the rows' window and the list's client coordinates.
    wxPoint MainToClient(const wxPoint& mainPoint) const;
    wxPoint ClientToMain(const wxPoint& clientPoint) const;

    /// For wxLC_VIRTUAL lists: where row texts and check box states come from.
    void SetVirtualProviders(TextProvider text, CheckedProvider checked = CheckedProvider());

    wxPoint m_pressPoint;

protected:
    void OnLButtonDown(wxMouseEvent& event);
    void OnContextGesture();

    wxString OnGetItemText(long item, long column) const override;
    bool OnGetItemIsChecked(long item) const override;

private:
    void AttachToMainWindow();
    void OnLButtonUp(wxMouseEvent& event);
    void OnMouseMove(wxMouseEvent& event);
    void OnRButtonDown(wxMouseEvent& event);
    void OnHoldTimer(wxTimerEvent& event);
    void OnLongPress(wxLongPressEvent& event);
    void OnContextMenu(wxContextMenuEvent& event);
    void OnSize(wxSizeEvent& event);

    wxTimer m_holdTimer;
    wxPoint m_holdStart;          // rows' window coordinates
    bool m_pressActive = false;   // a left press not yet released
    bool m_requestedForPress = false;
    bool m_doubleClickPress = false; // the held press is a double click's second
    bool m_attached = false;
    TextProvider m_textProvider;
    CheckedProvider m_checkedProvider;

    wxDECLARE_DYNAMIC_CLASS(CGestureListCtrl);
    wxDECLARE_EVENT_TABLE();
};

#endif
