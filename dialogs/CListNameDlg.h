#ifndef TALLYARD_DIALOGS_CLISTNAMEDLG_H
#define TALLYARD_DIALOGS_CLISTNAMEDLG_H

#include <wx/dialog.h>

#include <string>

class CSipEdit;
class CTitleBar;

/// Asks for a checklist name. Titled "Checklist Name" in copy mode, else
/// "Rename Checklist" when SetName gave a name, else "New Checklist".
/// Refuses only an empty name; names need not be unique.
class CListNameDlg : public wxDialog
{
public:
    explicit CListNameDlg(wxWindow* parent = nullptr);

    void SetName(const std::u16string& name) { m_name = name; }
    void SetCopyMode() { m_bCopyMode = true; }
    /// After OK: the name exactly as typed, never empty.
    std::u16string GetName() { return m_name; }

    std::u16string m_name;
    bool m_bCopyMode = false;
    CSipEdit* m_nameEdit = nullptr;
    CTitleBar* m_titleBar = nullptr;

private:
    void OnInitDialog(wxInitDialogEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnHelp(wxHelpEvent& event);
    void OnCharHook(wxKeyEvent& event);

    wxDECLARE_EVENT_TABLE();
};

#endif
