#ifndef TALLYARD_DIALOGS_CCATEGORIESDLG_H
#define TALLYARD_DIALOGS_CCATEGORIESDLG_H

#include "store/ListStore.h"

#include <wx/dialog.h>

class wxListBox;
class CTitleBar;

/// Maintains the stored categories: New, Rename (or merge) and Delete, each
/// stored at once together with the re-filed checklists. Callers ignore the
/// result and reload their own category lists afterwards.
class CCategoriesDlg : public wxDialog
{
public:
    explicit CCategoriesDlg(wxWindow* parent = nullptr);

    /// Loads the categories first; when that fails, shows "The categories
    /// failed to load!" and returns wxID_CANCEL without opening.
    int ShowModal() override;

    wxListBox* m_listBox = nullptr;
    CTitleBar* m_titleBar = nullptr;
    CategoryList m_categories;

private:
    void OnInitDialog(wxInitDialogEvent& event);
    void OnNew(wxCommandEvent& event);
    void OnRename(wxCommandEvent& event);
    void OnDelete(wxCommandEvent& event);
    void OnHelp(wxHelpEvent& event);
    void OnCharHook(wxKeyEvent& event);

    void FillListBox();
    /// After a failed change: show what the store holds.
    void Reload();

    wxDECLARE_EVENT_TABLE();
};

#endif
