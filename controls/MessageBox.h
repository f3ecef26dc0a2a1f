#ifndef TALLYARD_CONTROLS_MESSAGEBOX_H
#define TALLYARD_CONTROLS_MESSAGEBOX_H

#include <wx/string.h>

class wxWindow;

/// Shows a modal message box and returns wxID_OK, wxID_YES or wxID_NO.
/// An empty caption shows the application title (the executable's base
/// name). style takes wxOK, wxYES_NO and the icon flags.
int ShowMessage(const wxString& text, const wxString& caption = wxString(), long style = 0x00000004 /* wxOK */,
                wxWindow* parent = nullptr);

/// The application title used as the default caption.
wxString ApplicationTitle();

#endif
