#ifndef TALLYARD_APP_FRAMEPLACEMENT_H
#define TALLYARD_APP_FRAMEPLACEMENT_H

// Where the main window opens: the device screen's size in the middle of the
// display at first, then the size and place the user last left it.

#include <wx/gdicmn.h>

#include <string>
#include <vector>

class wxTopLevelWindow;

struct FramePlacement
{
    wxPoint position;  ///< outer top-left corner, screen coordinates
    wxSize clientSize; ///< client area, window pixels
    bool maximised = false;
};

/// The settings value that holds the last placement.
extern const char16_t* const kWindowPlacementValue; // u"WindowPlacement"

/// The stored text of a placement, "left,top,width,height,maximised".
std::u16string FormatPlacement(const FramePlacement& placement);

/// The stored placement if `text` is one that shows at least a usable part
/// of the window on one of `displays` (screen rectangles) and fits within
/// is at least `minClient`; otherwise `fallback`. A restored size is
/// cut to the display it is on.
FramePlacement ParsePlacement(const std::u16string& text, const std::vector<wxRect>& displays,
                              const wxSize& minClient, const FramePlacement& fallback);

/// The window's placement at first start: `client` in the middle of the
/// display's work area.
FramePlacement DefaultPlacement(const wxRect& workArea, const wxSize& client, const wxSize& decorations);

/// Reads the stored placement (or the default) for `frame` and applies it
/// before the frame is shown.
void RestorePlacement(wxTopLevelWindow& frame, const wxSize& defaultClient);
/// Stores the frame's current placement (its normal size when maximised).
void StorePlacement(const wxTopLevelWindow& frame, const FramePlacement& normal);

#endif
