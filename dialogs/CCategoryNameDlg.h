#ifndef TALLYARD_DIALOGS_CCATEGORYNAMEDLG_H
#define TALLYARD_DIALOGS_CCATEGORYNAMEDLG_H

#include <wx/dialog.h>

#include <string>

class CSipEdit;
class CTitleBar;

/// Asks for one category name: "New Category" when opened without a name,
/// "Rename Category" when SetName gave one. Refuses only an empty name.
class CCategoryNameDlg : public wxDialog
{
public:
    explicit CCategoryNameDlg(wxWindow* parent = nullptr);

    /// The initial name; a non-empty one makes this a rename.
    void SetName(const std::u16string& name) { m_name = name; }
    /// After OK: the name exactly as typed, blanks included.
    std::u16string GetName() { return m_name; }

    std::u16string m_name;
    std::u16string m_prompt;
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
