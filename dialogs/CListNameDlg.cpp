#include "dialogs/CListNameDlg.h"

#include "controls/MessageBox.h"
#include "controls/SipEdit.h"
#include "controls/TitleBar.h"
#include "dialogs/ContextHelp.h"
#include "dialogs/DialogSupport.h"
#include "resources/ResourceIds.h"

#include <wx/xrc/xmlres.h>

wxBEGIN_EVENT_TABLE(CListNameDlg, wxDialog)
    EVT_INIT_DIALOG(                  CListNameDlg::OnInitDialog)
    EVT_BUTTON(     wxID_OK,          CListNameDlg::OnOK)
    EVT_HELP(       wxID_ANY,         CListNameDlg::OnHelp)
    EVT_CHAR_HOOK(                    CListNameDlg::OnCharHook)
wxEND_EVENT_TABLE()

CListNameDlg::CListNameDlg(wxWindow* parent)
{
    wxXmlResource::Get()->LoadDialog(this, parent, "CListNameDlg");
    m_titleBar = wxDynamicCast(FindWindow(IDC_TITLE_BAR), CTitleBar);
    m_nameEdit = wxDynamicCast(FindWindow(IDC_LIST_NAME), CSipEdit);
    wxASSERT_MSG(m_titleBar && m_nameEdit, "CListNameDlg template is incomplete");
    if (m_nameEdit)
        m_nameEdit->SetValidator(U16TextValidator(&m_name));
}

void CListNameDlg::OnInitDialog(wxInitDialogEvent& event)
{
    wxDialog::OnInitDialog(event);
    MakeFullScreen(*this, IDC_TITLE_BAR);

    const char* title = m_bCopyMode ? "Checklist Name" : !m_name.empty() ? "Rename Checklist" : "New Checklist";
    if (m_titleBar)
        m_titleBar->SetLabel(title);

    if (m_nameEdit)
        m_nameEdit->SetFocus();
}

void CListNameDlg::OnOK(wxCommandEvent&)
{
    TransferDataFromWindow();
    if (m_name.empty())
    {
        ShowMessage("The checklist name cannot be empty.", wxString(), wxOK, this);
        return;
    }
    CloseDialog(*this, wxID_OK);
}

void CListNameDlg::OnHelp(wxHelpEvent& event)
{
    ShowHelpTopic(u"#NewChecklist_Help");
    event.Skip();
}

void CListNameDlg::OnCharHook(wxKeyEvent& event)
{
    if (!HandleDialogKey(*this, event))
        event.Skip();
}
