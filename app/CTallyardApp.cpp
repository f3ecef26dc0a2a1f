#include "app/CTallyardApp.h"

#include "app/CAboutDlg.h"
#include "app/CMainFrame.h"
#include "app/CStartupSplash.h"
#include "app/CTallyardDoc.h"
#include "browser/CTallyardView.h"
#include "controls/Controls.h"
#include "controls/MessageBox.h"
#include "controls/WithinWindow.h"
#include "controls/WxString.h"
#include "resources/ResourceIds.h"
#include "resources/Resources.h"
#include "store/ListStore.h"

#include <wx/docview.h>

const char* const kFrameworkRegistryKey = "Local AppWizard-Generated Applications";

// clang-format off
wxBEGIN_EVENT_TABLE(CTallyardApp, wxApp)
    EVT_MENU(ID_APP_ABOUT,                           CTallyardApp::OnAppAbout)
    EVT_MENU(ID_FILE_OPEN,                           CTallyardApp::OnFileOpen)
wxEND_EVENT_TABLE()
// clang-format on

CTallyardApp::CTallyardApp() = default;

CTallyardApp::~CTallyardApp() = default;

wxDocTemplate* CTallyardApp::AddDocTemplate(wxDocManager* manager)
{
    manager->SetMaxDocsOpen(1);
    // String 128: title, type name and file-type names. It names no file
    // type, so Open takes any file, as the framework does without a filter.
    return new wxDocTemplate(manager, "Tallyard", "*", wxString(), wxString(), "Tallyard.Document",
                             "Tallyard Document", CLASSINFO(CTallyardDoc), CLASSINFO(CTallyardView));
}

namespace
{
// One notice for a burst of refused changes: failures while it is pending or
// shown are folded into it.
bool s_writeFailureNoticePending = false;
}

void CTallyardApp::InstallStoreMessageHook()
{
    ListStore::SetMessageHook([](const std::u16string& text, const std::u16string& caption) {
        ShowMessage(ToWx(text), caption.empty() ? wxString("Error") : ToWx(caption), wxOK, nullptr);
    });
    // Handlers rebuild their lists from the store after a change, so a
    // refused change would otherwise just vanish from the screen: say so once
    // the handler is done.
    ListStore::SetWriteFailureHook([](const std::u16string& reason) {
        if (s_writeFailureNoticePending || !wxTheApp)
            return;
        s_writeFailureNoticePending = true;
        wxTheApp->CallAfter([reason] {
            ShowMessage(WriteFailureNotice(reason), wxString(), wxOK | wxICON_WARNING, nullptr);
            s_writeFailureNoticePending = false;
        });
    });
}

wxString CTallyardApp::WriteFailureNotice(const std::u16string& reason)
{
    wxString text = "The change could not be stored.";
    if (!reason.empty())
        text += "\n\n" + ToWx(reason);
    return text;
}

bool CTallyardApp::OnInit()
{
    // A user of a release build gets no assertion dialogs.
    wxDISABLE_ASSERTS_IN_RELEASE_BUILD();
    // The program's title is its executable's base name, which wx already uses.
    if (!Resources::Init())
        return false;
    RegisterControlXrcHandlers();
    InstallStoreMessageHook();
    SetVendorName(kFrameworkRegistryKey);
    CStartupSplash::Enable(true);

    m_docManager = std::make_unique<wxDocManager>();
    AddDocTemplate(m_docManager.get());

    // Only the framework's standard options; none of the program's own.
    if (!wxApp::OnInit())
        return false;

    auto* frame = new CMainFrame(m_docManager.get());
    if (!frame->IsCreated())
    {
        frame->Destroy();
        return false;
    }
    SetTopWindow(frame);
    if (!m_docManager->CreateNewDocument())
    {
        frame->Destroy();
        return false;
    }
    frame->Show(true);
    frame->Update();
    return true;
}

int CTallyardApp::OnExit()
{
    return wxApp::OnExit();
}

void CTallyardApp::OnAppAbout(wxCommandEvent&)
{
    CAboutDlg dlg;
    dlg.ShowModal();
}

void CTallyardApp::OnFileOpen(wxCommandEvent& event)
{
    const FileChooserFitter fitter;
    m_docManager->OnFileOpen(event);
}
