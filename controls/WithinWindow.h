#ifndef TALLYARD_CONTROLS_WITHINWINDOW_H
#define TALLYARD_CONTROLS_WITHINWINDOW_H

// Popups that stay within the main window (the device's screen) where they
// fit: menus, message boxes, the file chooser.

#include <wx/gdicmn.h>
#include <wx/modalhook.h>

class wxMenu;
class wxWindow;

/// The program's main window when it is up, else null.
wxWindow* ShownMainWindow();

/// The client area of the top-level window of `win`, in screen coordinates.
wxRect ClientScreenRect(const wxWindow* win);

enum class MenuOpens
{
    Down, ///< from the point downward, upward when there is no room below
    Up,   ///< with its bottom edge at the point (menus of the bottom bars)
};

/// Where a menu of `menuSize` opened at `at` (screen) lies within `area`,
/// moved inside where it fits.
wxPoint MenuPositionWithin(const wxRect& area, const wxPoint& at, const wxSize& menuSize, MenuOpens opens);

/// The size the menu will have on screen.
wxSize MenuSize(wxMenu& menu);

/// Where (client coordinates of `win`) `menu` opened at `at` lies within the
/// client area of `win`'s top-level window.
wxPoint MenuPointWithin(wxWindow& win, wxMenu& menu, const wxPoint& at, MenuOpens opens);

/// Pops `menu` up over `win` at `at` (client coordinates of `win`) within
/// the client area of `win`'s top-level window.
void PopupMenuWithin(wxWindow& win, wxMenu& menu, const wxPoint& at, MenuOpens opens);

/// Gives a scrolled window a scroll bar that takes its own room beside the
/// content instead of one drawn over its right edge.
void KeepScrollBarBesideContent(wxWindow& scrolled);

/// While it lives, message boxes open no wider than the main window's client
/// area and over it.
class MessageBoxFitter
{
public:
    MessageBoxFitter();
    ~MessageBoxFitter();
    MessageBoxFitter(const MessageBoxFitter&) = delete;
    MessageBoxFitter& operator=(const MessageBoxFitter&) = delete;

private:
    unsigned long m_hook = 0;
};

/// While it lives, file choosers open over the main window: as large as it
/// where they fit, and never larger than the display.
class FileChooserFitter : public wxModalDialogHook
{
public:
    FileChooserFitter() { Register(); }
    ~FileChooserFitter() override { Unregister(); }

protected:
    int Enter(wxDialog* dialog) override;
    void Exit(wxDialog*) override {}
};

#endif
