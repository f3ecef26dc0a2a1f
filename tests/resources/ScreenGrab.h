#ifndef TALLYARD_TESTS_RESOURCES_SCREENGRAB_H
#define TALLYARD_TESTS_RESOURCES_SCREENGRAB_H

#include "tests/support/GuiTest.h"

#include <wx/image.h>

#include <functional>

/// What the display shows in `r` (screen coordinates), read from the X
/// server on a connection of its own so the toolkit's drawing is untouched.
wxImage GrabScreen(const wxRect& r);

/// Waits until what the screen shows in `r` satisfies `pred` (new windows
/// reach the display some frames after they were shown); false on timeout.
bool WaitForScreen(const wxRect& r, const std::function<bool(const wxImage&)>& pred, int ms = 2000);

/// Saves a grab for a person to look at when TALLYARD_SHOT_DIR is set.
void KeepShot(const wxImage& img, const char* name);

/// Largest difference of one colour channel between two pixels.
int PixelDistance(const wxImage& a, const wxPoint& pa, const wxImage& b, const wxPoint& pb);

#endif
