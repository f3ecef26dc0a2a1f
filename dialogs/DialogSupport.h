#ifndef TALLYARD_DIALOGS_DIALOGSUPPORT_H
#define TALLYARD_DIALOGS_DIALOGSUPPORT_H

// Helpers shared by the program's dialogs: full-screen sizing, the desktop
// keys, closing, and data exchange of UTF-16 strings and 0/1 numbers.

#include <wx/validate.h>

#include <cstdint>
#include <string>

class wxDialog;
class wxKeyEvent;

/// Gives the dialog the device screen: the main window's content area, or a
/// 240 x 320 screen in the middle of the display when there is no other
/// window, without a frame of the window manager's, and keeps it there while
/// the main window is resized or moved. The title bar at `titleBarId` is
/// fitted to the new client width so its buttons stay at the right edge; with
/// `stretchFields` the template's fields follow the size (InstallStretchLayout).
void MakeFullScreen(wxDialog& dlg, int titleBarId, bool stretchFields = true);

/// Gives the dialog this outer size through its client size, with the title
/// bar at `titleBarId` fitted to the new width first (a wider child keeps the
/// toolkit from narrowing the window).
void ResizeDialog(wxDialog& dlg, int titleBarId, const wxSize& outer);

/// Escape cancels; Enter confirms unless a multi-line field or a button has
/// the focus. Both go the way the title bar's taps go (wxEVT_BUTTON with
/// wxID_CANCEL or wxID_OK). Returns true when the key was used.
bool HandleDialogKey(wxDialog& dlg, wxKeyEvent& event);

/// Ends the dialog with `code`, modal or not.
void CloseDialog(wxDialog& dlg, int code);

/// Exchanges a std::u16string with a text field or a label.
class U16TextValidator : public wxValidator
{
public:
    explicit U16TextValidator(std::u16string* value);
    U16TextValidator(const U16TextValidator& other);

    wxObject* Clone() const override;
    bool Validate(wxWindow* parent) override;
    bool TransferToWindow() override;
    bool TransferFromWindow() override;

private:
    std::u16string* m_value;
};

/// Exchanges a 32-bit number with a check box: 0 unchecked, 1 checked.
class CheckNumberValidator : public wxValidator
{
public:
    explicit CheckNumberValidator(int32_t* value);
    CheckNumberValidator(const CheckNumberValidator& other);

    wxObject* Clone() const override;
    bool Validate(wxWindow* parent) override;
    bool TransferToWindow() override;
    bool TransferFromWindow() override;

private:
    int32_t* m_value;
};

#endif
