#ifndef TALLYARD_CONTROLS_CONTRAST_H
#define TALLYARD_CONTROLS_CONTRAST_H

// How well colours read against each other, and pictures made to read on a
// background they were not drawn for (a dark theme's).

#include <wx/bmpbndl.h>
#include <wx/colour.h>
#include <wx/image.h>

/// Relative luminance, 0 (black) to 1 (white).
double RelativeLuminance(const wxColour& c);

/// Contrast ratio of two colours, 1 to 21.
double Contrast(const wxColour& a, const wxColour& b);

/// Whether `c` counts as a dark colour (a dark theme's background).
bool IsDark(const wxColour& c);

/// `c` darkened (or on a dark background lightened) until text in it reads
/// on `back`.
wxColour ReadableOn(const wxColour& back, wxColour c);

/// On a dark `back`, lightens every pixel of `img` that stands out from it by
/// less than `minContrast`, keeping its hue; on a light one leaves the
/// picture as drawn.
void LiftFromDarkBackground(wxImage& img, const wxColour& back, double minContrast);

/// The bundle's picture of `size` points with its lines lifted from a dark
/// `back` (LiftFromDarkBackground) at the usual display scales; the bundle
/// itself on a light background.
wxBitmapBundle ReadableOn(const wxBitmapBundle& bundle, const wxSize& size, const wxColour& back);

/// Repaints a picture of one colour with symbols in white (the title bar's
/// discs) as discs in `face` with symbols in `symbol`, edges blended alike.
void RecolourDiscs(wxImage& img, const wxColour& face, const wxColour& symbol);

/// The colour most opaque, not near-white pixels of `img` have.
wxColour MainColour(const wxImage& img);

#endif
