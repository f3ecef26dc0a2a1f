#ifndef TALLYARD_TESTS_SUPPORT_WINDOWMANAGER_H
#define TALLYARD_TESTS_SUPPORT_WINDOWMANAGER_H

// A display of the test's own with a real window manager on it, and what the
// manager makes of a window, read from the X server.

#include <wx/gdicmn.h>

#include <string>

class wxWindow;

/// Starts a virtual X server of `width` x `height` and openbox on it, and
/// points DISPLAY at it (before the toolkit opens its display). Both end with
/// the process. False, with the reason in `error`, when either fails.
bool StartWindowManagerDisplay(int width, int height, std::string& error);

/// Starts weston's headless compositor of `width` x `height` with its desktop
/// shell on a socket of its own and points WAYLAND_DISPLAY (and the toolkit)
/// at it. False, with the reason in `error`, when it does not come up.
bool StartWaylandDisplay(int width, int height, std::string& error);

/// The outer rectangle the manager gives the top-level window of `win`:
/// its frame with decorations, in root coordinates.
wxRect ManagedFrameRect(wxWindow* win);
/// The rectangle of the window's own client area in root coordinates, as
/// the X server has it (not as the toolkit believes it).
wxRect ServerClientRect(wxWindow* win);
/// Whether the manager draws a frame with a caption around the window
/// (openbox's _OB_APP_DECOR / _NET_FRAME_EXTENTS).
bool HasManagerCaption(wxWindow* win);

/// Moves the pointer with a real event and clicks (or holds) the left
/// button in root coordinates.
void RootClick(const wxPoint& root);

#endif
