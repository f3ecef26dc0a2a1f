#include "controls/ContextMenu.h"

#include <wx/menu.h>
#include <wx/utils.h>
#include <wx/window.h>

#ifdef __WXGTK__
#include <glib-object.h>
#endif

namespace
{
#ifdef __WXGTK__
// The toolkit's menus close on the release of the button that was down when
// they opened, unless it comes within half a second or over an entry. The
// first release is taken away from the menu here while no entry is under the
// pointer.
struct PressRelease
{
    bool armed = false;
    int highlighted = wxID_NONE; // the entry under the pointer or the keys
};

gboolean OnMenuButtonRelease(gpointer /*widget*/, gpointer /*event*/, gpointer data)
{
    auto* press = static_cast<PressRelease*>(data);
    if (!press->armed)
        return FALSE;
    press->armed = false;
    return press->highlighted == wxID_NONE ? TRUE : FALSE;
}
#endif
}

bool ShowContextMenu(wxWindow& window, wxMenu& menu, const wxPoint& pos)
{
#ifdef __WXGTK__
    PressRelease press;
    press.armed = wxGetMouseState().ButtonIsDown(wxMOUSE_BTN_ANY);
    const auto onHighlight = [&press](wxMenuEvent& event) {
        press.highlighted = event.GetMenuId() < 0 ? wxID_NONE : event.GetMenuId();
        event.Skip();
    };
    menu.Bind(wxEVT_MENU_HIGHLIGHT, onHighlight);
    gulong handler = 0;
    if (press.armed && menu.m_menu)
        handler = g_signal_connect(menu.m_menu, "button-release-event", G_CALLBACK(OnMenuButtonRelease), &press);
    const bool shown = window.PopupMenu(&menu, pos);
    if (handler)
        g_signal_handler_disconnect(menu.m_menu, handler);
    menu.Unbind(wxEVT_MENU_HIGHLIGHT, onHighlight);
    return shown;
#else
    return window.PopupMenu(&menu, pos);
#endif
}
