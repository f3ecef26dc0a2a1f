#ifndef TALLYARD_APP_CABOUTDLG_H
#define TALLYARD_APP_CABOUTDLG_H

#include <wx/dialog.h>
#include <wx/string.h>

/// The About box: the start-up picture with the version text drawn over it.
/// Closed with OK (button, Enter, Escape or the caption's close box). It
/// opens over the main window and, when that is smaller, shrinks to fit it.
class CAboutDlg : public wxDialog
{
public:
    explicit CAboutDlg(wxWindow* parent = nullptr);

    /// The program's version text, shown as "v" followed by it.
    static const wxString VersionText;

protected:
    /// Bound to IDC_VERSION; empty until the dialog opens.
    wxString m_version;

private:
    void OnInitDialog(wxInitDialogEvent& event);
    void ShowPicture();
    void FitWithinParent();

    double m_pictureScale = 1.0;

    wxDECLARE_EVENT_TABLE();
};

#endif
