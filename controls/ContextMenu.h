#ifndef TALLYARD_CONTROLS_CONTEXTMENU_H
#define TALLYARD_CONTROLS_CONTEXTMENU_H

#include <wx/gdicmn.h>

class wxMenu;
class wxWindow;

/// Shows `menu` at `pos` (client coordinates of `window`) as PopupMenu does,
/// for a menu asked for by a press: a tap-and-hold, a touch long press or a
/// right button still down. Letting go of that press leaves the menu open,
/// unless the pointer was taken onto an entry, which the release chooses.
/// The chosen entry reaches `window` as a command; returns once the menu is
/// closed.
bool ShowContextMenu(wxWindow& window, wxMenu& menu, const wxPoint& pos = wxDefaultPosition);

#endif
