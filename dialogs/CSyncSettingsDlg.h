#ifndef TALLYARD_DIALOGS_CSYNCSETTINGSDLG_H
#define TALLYARD_DIALOGS_CSYNCSETTINGSDLG_H

#include <wx/dialog.h>

#include <cstdint>
#include <memory>
#include <string>

class CTitleBar;

/// Edits the sync account: the collection's URL, the user name, the
/// password (kept by the Secret Service; left empty it stays as it was),
/// "Sync automatically" and "Allow unencrypted connection". Test Connection
/// looks at the server off the user-interface thread and says what it found.
/// OK stores the settings; Cancel changes nothing.
class CSyncSettingsDlg : public wxDialog
{
public:
    explicit CSyncSettingsDlg(wxWindow* parent = nullptr);
    ~CSyncSettingsDlg() override;

    std::u16string m_url;
    std::u16string m_user;
    std::u16string m_password;
    int32_t m_automatic = 0;
    int32_t m_unencrypted = 0;
    CTitleBar* m_titleBar = nullptr;

    /// After OK: a password typed but not kept by a Secret Service, for the
    /// program to use during this run only ("" when none).
    const std::string& UnkeptPassword() const { return m_unkeptPassword; }

private:
    void OnInitDialog(wxInitDialogEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnTestConnection(wxCommandEvent& event);
    void ShowTestResult(const std::u16string& text);
    void OnHelp(wxHelpEvent& event);
    void OnCharHook(wxKeyEvent& event);

    std::string m_unkeptPassword;
    /// Tells a test still running that the dialog is gone.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);

    wxDECLARE_EVENT_TABLE();
};

#endif
