#ifndef TALLYARD_TESTS_WM_SCREENCHECKS_H
#define TALLYARD_TESTS_WM_SCREENCHECKS_H

// Checks of what the windows show, shared by the tests at other scales,
// themes and sizes.

#include <wx/colour.h>
#include <wx/gdicmn.h>
#include <wx/image.h>

#include <string>

class wxWindow;

std::string Describe(const wxRect& r);

/// The window's rectangle on the display in device pixels.
wxRect DeviceRect(wxWindow* win);

/// Every shown control below `top` lies within its client area, has room,
/// and shows its label whole (no text cut at an edge).
void ExpectEveryControlReachable(wxWindow* top, const std::string& where);

/// `picture` (with alpha) laid over a plain `back`.
wxImage OverBackground(const wxImage& picture, const wxColour& back);

/// The share of pixels whose colours differ by more than `tolerance` in a
/// channel; images of different sizes differ everywhere.
double MismatchShare(const wxImage& a, const wxImage& b, int tolerance);

/// WCAG contrast ratio of two colours (1 to 21).
double ContrastRatio(const wxColour& a, const wxColour& b);

/// The colour most pixels of `img` have.
wxColour CommonestColour(const wxImage& img);

/// The highest contrast any pixel of `img` has against `back`.
double StrongestContrast(const wxImage& img, const wxColour& back);

#endif
