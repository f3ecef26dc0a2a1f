#include "dialogs/CSyncSettingsDlg.h"

#include "controls/TitleBar.h"
#include "controls/WxString.h"
#include "dialogs/ContextHelp.h"
#include "dialogs/DialogSupport.h"
#include "resources/ResourceIds.h"
#include "sync/CalDavClient.h"
#include "sync/IcalText.h"
#include "sync/SyncRun.h"

#include <wx/app.h>
#include <wx/stattext.h>
#include <wx/xrc/xmlres.h>

#include <thread>

namespace
{
std::string U8(const std::u16string& text) { return IcalText::ToUtf8(text); }
std::u16string U16(const std::string& text) { return IcalText::FromUtf8(text); }

/// What a look at the collection found, in one or two sentences.
std::u16string DescribeCollection(const CalDav::Account& account)
{
    CalDav::Limits limits;
    limits.connectSeconds = 10;
    limits.requestSeconds = 20;
    limits.stallSeconds = 10;
    CalDav::Client client(account, limits);
    if (client.Open(false))
        return u"Found the task list at this address.";
    const std::string error = client.Error();
    if (error.find("nothing found at the server address") != std::string::npos)
        return u"The server answers; there is no task list at this address yet: the first sync makes it.";
    return U16("Could not connect: " + error + ".");
}
}

wxBEGIN_EVENT_TABLE(CSyncSettingsDlg, wxDialog)
    EVT_INIT_DIALOG(                  CSyncSettingsDlg::OnInitDialog)
    EVT_BUTTON(     wxID_OK,          CSyncSettingsDlg::OnOK)
    EVT_BUTTON(     IDC_SYNC_TEST,    CSyncSettingsDlg::OnTestConnection)
    EVT_HELP(       wxID_ANY,         CSyncSettingsDlg::OnHelp)
    EVT_CHAR_HOOK(                    CSyncSettingsDlg::OnCharHook)
wxEND_EVENT_TABLE()

CSyncSettingsDlg::CSyncSettingsDlg(wxWindow* parent)
{
    wxXmlResource::Get()->LoadDialog(this, parent, "CSyncSettingsDlg");
    m_titleBar = wxDynamicCast(FindWindow(IDC_TITLE_BAR), CTitleBar);
    wxWindow* url = FindWindow(IDC_SYNC_URL);
    wxWindow* user = FindWindow(IDC_SYNC_USER);
    wxWindow* password = FindWindow(IDC_SYNC_PASSWORD);
    wxWindow* automatic = FindWindow(IDC_SYNC_AUTOMATIC);
    wxWindow* unencrypted = FindWindow(IDC_SYNC_UNENCRYPTED);
    wxASSERT_MSG(m_titleBar && url && user && password && automatic && unencrypted,
                 "CSyncSettingsDlg template is incomplete");
    if (url && user && password && automatic && unencrypted)
    {
        url->SetValidator(U16TextValidator(&m_url));
        user->SetValidator(U16TextValidator(&m_user));
        password->SetValidator(U16TextValidator(&m_password));
        automatic->SetValidator(CheckNumberValidator(&m_automatic));
        unencrypted->SetValidator(CheckNumberValidator(&m_unencrypted));
    }
}

CSyncSettingsDlg::~CSyncSettingsDlg() = default;

void CSyncSettingsDlg::OnInitDialog(wxInitDialogEvent& event)
{
    wxDialog::OnInitDialog(event);
    MakeFullScreen(*this, IDC_TITLE_BAR);
    if (wxWindow* result = FindWindow(IDC_SYNC_RESULT))
        result->SetSize(FindWindow(IDC_SYNC_URL)->GetSize().x, -1);

    const Sync::Settings settings = Sync::LoadSettings();
    m_url = U16(settings.url);
    m_user = U16(settings.user);
    m_password.clear();
    m_automatic = settings.automatic ? 1 : 0;
    m_unencrypted = settings.allowUnencrypted ? 1 : 0;
    TransferDataToWindow();
}

void CSyncSettingsDlg::OnOK(wxCommandEvent&)
{
    TransferDataFromWindow();
    Sync::Settings settings{U8(m_url), U8(m_user), m_unencrypted != 0, m_automatic != 0};
    if (!Sync::SaveSettings(settings))
    {
        ShowTestResult(u"The settings could not be stored.");
        return;
    }
    m_unkeptPassword.clear();
    if (!m_password.empty() && !Sync::StorePassword(settings, U8(m_password)))
        m_unkeptPassword = U8(m_password);
    CloseDialog(*this, wxID_OK);
}

void CSyncSettingsDlg::OnTestConnection(wxCommandEvent&)
{
    TransferDataFromWindow();
    CalDav::Account account{U8(m_url), U8(m_user), U8(m_password), m_unencrypted != 0};
    ShowTestResult(u"Testing the connection...");
    std::weak_ptr<int> alive = m_alive;
    // Neither the network nor the Secret Service is waited for here: the
    // answer comes back as an event.
    std::thread([this, alive, account]() mutable {
        if (account.password.empty())
        {
            bool available = false;
            Sync::LookupPassword({account.url, account.user, false, false}, account.password, available);
        }
        std::u16string found = DescribeCollection(account);
        if (wxTheApp)
            wxTheApp->CallAfter([this, alive, found] {
                if (alive.lock())
                    ShowTestResult(found);
            });
    }).detach();
}

void CSyncSettingsDlg::ShowTestResult(const std::u16string& text)
{
    if (auto* result = wxDynamicCast(FindWindow(IDC_SYNC_RESULT), wxStaticText))
    {
        result->SetLabel(ToWx(text));
        result->Wrap(FindWindow(IDC_SYNC_URL)->GetSize().x);
    }
}

void CSyncSettingsDlg::OnHelp(wxHelpEvent& event)
{
    ShowHelpTopic(u"#SyncSettings_Help");
    event.Skip();
}

void CSyncSettingsDlg::OnCharHook(wxKeyEvent& event)
{
    if (!HandleDialogKey(*this, event))
        event.Skip();
}
