#include "dialogs/CPreferencesDlg.h"

#include "app/SettingsKey.h"
#include "controls/TitleBar.h"
#include "dialogs/ContextHelp.h"
#include "dialogs/DialogSupport.h"
#include "resources/ResourceIds.h"

#include <wx/xrc/xmlres.h>

namespace
{
const char16_t* const kShowPriority = u"ShowPriority";
}

wxBEGIN_EVENT_TABLE(CPreferencesDlg, wxDialog)
    EVT_INIT_DIALOG(                  CPreferencesDlg::OnInitDialog)
    EVT_BUTTON(     wxID_OK,          CPreferencesDlg::OnOK)
    EVT_HELP(       wxID_ANY,         CPreferencesDlg::OnHelp)
    EVT_CHAR_HOOK(                    CPreferencesDlg::OnCharHook)
wxEND_EVENT_TABLE()

CPreferencesDlg::CPreferencesDlg(wxWindow* parent)
{
    wxXmlResource::Get()->LoadDialog(this, parent, "CPreferencesDlg");
    m_titleBar = wxDynamicCast(FindWindow(IDC_TITLE_BAR), CTitleBar);
    wxWindow* box = FindWindow(IDC_SHOW_PRIORITY);
    wxASSERT_MSG(m_titleBar && box, "CPreferencesDlg template is incomplete");
    if (box)
        box->SetValidator(CheckNumberValidator(&m_showPriority));
}

void CPreferencesDlg::OnInitDialog(wxInitDialogEvent& event)
{
    wxDialog::OnInitDialog(event);
    MakeFullScreen(*this, IDC_TITLE_BAR);

    {
        // The key is held open for the read only.
        SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
        m_showPriority = static_cast<int32_t>(key.ReadNumber(kShowPriority, 0));
    }
    m_bInitialShowPriority = m_showPriority != 0;
    TransferDataToWindow();
}

void CPreferencesDlg::OnOK(wxCommandEvent&)
{
    TransferDataFromWindow();
    if (m_showPriority == (m_bInitialShowPriority ? 1 : 0))
    {
        CloseDialog(*this, wxID_CANCEL);
        return;
    }
    {
        SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
        key.WriteNumber(kShowPriority, static_cast<uint32_t>(m_showPriority));
    }
    CloseDialog(*this, wxID_OK);
}

void CPreferencesDlg::OnHelp(wxHelpEvent& event)
{
    ShowHelpTopic(u"#Preferences_Help");
    event.Skip();
}

void CPreferencesDlg::OnCharHook(wxKeyEvent& event)
{
    if (!HandleDialogKey(*this, event))
        event.Skip();
}
