#ifndef TALLYARD_CONTROLS_WXSTRING_H
#define TALLYARD_CONTROLS_WXSTRING_H

// Conversions at the boundary between the UTF-16 store and wx strings.

#include <wx/string.h>

#include <string>

/// UTF-16 to wxString; unpaired surrogates become U+FFFD.
wxString ToWx(const std::u16string& s);
/// wxString to UTF-16, exactly (characters outside the BMP become pairs).
std::u16string FromWx(const wxString& s);

#endif
