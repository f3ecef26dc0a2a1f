#ifndef TALLYARD_EDITOR_CCOPYLISTDLG_H
#define TALLYARD_EDITOR_CCOPYLISTDLG_H

#include <wx/dialog.h>

class CTitleBar;

/// Asks which items a copy of a checklist takes. A small dialog, not full
/// screen, with no help topic of its own.
class CCopyListDlg : public wxDialog
{
public:
    explicit CCopyListDlg(wxWindow* parent = nullptr);

    /// After OK: 0 All, 1 Checked, 2 Unchecked.
    int GetChoice() const { return m_choice; }

    CTitleBar* m_titleBar = nullptr;
    int m_choice = 0;

private:
    void OnInitDialog(wxInitDialogEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnCharHook(wxKeyEvent& event);

    wxDECLARE_EVENT_TABLE();
};

#endif
