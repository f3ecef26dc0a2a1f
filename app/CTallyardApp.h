#ifndef TALLYARD_APP_CTALLYARDAPP_H
#define TALLYARD_APP_CTALLYARDAPP_H

#include <wx/app.h>

#include <memory>

class CTestSnapshots;
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
    /// platform's default one.
    static void InstallStoreMessageHook();

    wxDocManager* GetDocManager() const { return m_docManager.get(); }

protected:
    void OnAppAbout(wxCommandEvent& event);
    void OnFileOpen(wxCommandEvent& event);

private:
    void ExitAfterFirstPaint();

    std::unique_ptr<wxDocManager> m_docManager;
    std::unique_ptr<CTestSnapshots> m_testSnapshots; // only for end-to-end tests

    wxDECLARE_EVENT_TABLE();
};

wxDECLARE_APP(CTallyardApp);

#endif
