#ifndef TALLYARD_DIALOGS_DIALOGLAYOUT_H
#define TALLYARD_DIALOGS_DIALOGLAYOUT_H

#include <wx/gdicmn.h>

#include <vector>

class wxDialog;
class wxWindow;

/// How one control of a dialog template follows the dialog's size.
enum class Stretch
{
    None,   ///< keeps its place and size
    Width,  ///< keeps its left edge and right margin
    Both,   ///< also takes the height left below it
};

/// One control as the template placed it.
struct LaidControl
{
    wxWindow* window;
    wxRect rect;
    Stretch stretch;
};

/// Moves controls that overlap one above them (the toolkit's controls are
/// taller than the template's) down, with everything below them, so none
/// covers another. `gap` is kept between them.
void SeparateRows(std::vector<wxRect>& rects, int gap);

/// The controls' rectangles at client size `client`, from their template
/// rectangles: stretched controls reach `margin` from the right edge; one
/// that takes the height grows until the controls below it, moved down with
/// it, end `margin` above the bottom; `bottomReserve` pixels at the bottom
/// stay free (a toolbar).
std::vector<wxRect> StretchedRects(const std::vector<LaidControl>& controls, const wxSize& client,
                                   int bottomReserve, int margin);

/// Gives check boxes and radio buttons at least the size the toolkit needs
/// to draw them (within the parent's width).
void GrowToToolkitMinimum(wxWindow& parent);

/// Grows a fixed-size dialog's controls to the toolkit's minimum, moves the
/// rows apart where they then overlap, and the dialog to hold them.
void FitControlsAsTheToolkitDrawsThem(wxDialog& dlg);

/// Lays the dialog's template controls out at every size from now on: text
/// fields, list boxes and wide drop-downs stretch to the width, multi-line
/// fields and list boxes also take the height left, and no control covers
/// another.
void InstallStretchLayout(wxDialog& dlg);

#endif
