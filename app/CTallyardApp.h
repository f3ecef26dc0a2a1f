#ifndef TALLYARD_APP_CTALLYARDAPP_H
#define TALLYARD_APP_CTALLYARDAPP_H

#include <wx/app.h>

#include <memory>
#include <string>

class wxDocManager;
class wxDocTemplate;

/// The framework's own settings key name; the program stores nothing under it.
extern const char* const kFrameworkRegistryKey;

/// The application object: registers the single document template, lets the
/// document manager create frame, document and view, and answers About.
class CTallyardApp : public wxApp
{
public:
    CTallyardApp();
    ~CTallyardApp() override;

    bool OnInit() override;
    int OnExit() override;

    /// The document template of the program: CTallyardDoc shown by
    /// CTallyardView in CMainFrame; at most one document open.
    static wxDocTemplate* AddDocTemplate(wxDocManager* manager);

    /// Store messages: a box without owner; the store's empty caption is the
    /// platform's default one. A change the store file refused (read-only,
    /// damaged, full disk) is told once the handler that made it is done.
    static void InstallStoreMessageHook();
    /// The text of that notice for the store's reason.
    static wxString WriteFailureNotice(const std::u16string& reason);

    wxDocManager* GetDocManager() const { return m_docManager.get(); }

protected:
    void OnAppAbout(wxCommandEvent& event);
    void OnFileOpen(wxCommandEvent& event);

private:
    std::unique_ptr<wxDocManager> m_docManager;

    wxDECLARE_EVENT_TABLE();
};

#endif
