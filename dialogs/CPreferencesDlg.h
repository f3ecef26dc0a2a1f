#ifndef TALLYARD_DIALOGS_CPREFERENCESDLG_H
#define TALLYARD_DIALOGS_CPREFERENCESDLG_H

#include <wx/dialog.h>

#include <cstdint>

class CTitleBar;

/// Edits "Show Priority". ShowModal returns wxID_OK only when a changed
/// value was confirmed and written; an unchanged value or Cancel gives
/// wxID_CANCEL and writes nothing.
class CPreferencesDlg : public wxDialog
{
public:
    explicit CPreferencesDlg(wxWindow* parent = nullptr);

    int32_t m_showPriority = 0;
    bool m_bInitialShowPriority = false;
    CTitleBar* m_titleBar = nullptr;

private:
    void OnInitDialog(wxInitDialogEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnHelp(wxHelpEvent& event);
    void OnCharHook(wxKeyEvent& event);

    wxDECLARE_EVENT_TABLE();
};

#endif
