#ifndef TALLYARD_RESOURCES_RESOURCES_H
#define TALLYARD_RESOURCES_RESOURCES_H

#include <wx/bmpbndl.h>
#include <wx/iconbndl.h>
#include <wx/string.h>

namespace Resources
{
/// Maps every symbol of ResourceIds.h to its number for XRC, then loads
/// every embedded XRC file. Safe to call more than once.
bool Init();

/// The bitmap with that IDB_ id at its device-pixel size, scaling with the
/// display, read from the files Init() registered ("memory:tallyard/...");
/// an invalid bundle when it is missing.
wxBitmapBundle Bitmap(int id);

/// The bitmap's size in device pixels.
wxSize BitmapSize(int id);

/// The program's icon (scalable), e.g. for About boxes and large views.
wxBitmapBundle AppIcon();

/// The program's icon at the usual window-icon sizes, for SetIcons().
wxIconBundle AppIcons();

/// True for wx assertions that the program's fixed ids trip without harm
/// (menu items with command numbers above 0x7FFF). Init() installs an
/// assert handler that drops these and passes every other one on; a later
/// handler should ask this too.
bool IsHarmlessAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                      const wxString& msg);

/// A string-table entry (IDS_ ids and 128), empty when unknown.
wxString String(int id);
}

#endif
