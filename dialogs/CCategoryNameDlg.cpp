#include "dialogs/CCategoryNameDlg.h"

#include "controls/MessageBox.h"
#include "controls/SipEdit.h"
#include "controls/TitleBar.h"
#include "dialogs/ContextHelp.h"
#include "dialogs/DialogSupport.h"
#include "resources/ResourceIds.h"

#include <wx/xrc/xmlres.h>

wxBEGIN_EVENT_TABLE(CCategoryNameDlg, wxDialog)
    EVT_INIT_DIALOG(                  CCategoryNameDlg::OnInitDialog)
    EVT_BUTTON(     wxID_OK,          CCategoryNameDlg::OnOK)
    EVT_HELP(       wxID_ANY,         CCategoryNameDlg::OnHelp)
    EVT_CHAR_HOOK(                    CCategoryNameDlg::OnCharHook)
wxEND_EVENT_TABLE()

CCategoryNameDlg::CCategoryNameDlg(wxWindow* parent)
{
    wxXmlResource::Get()->LoadDialog(this, parent, "CCategoryNameDlg");
    m_titleBar = wxDynamicCast(FindWindow(IDC_TITLE_BAR), CTitleBar);
    m_nameEdit = wxDynamicCast(FindWindow(IDC_CATEGORY_NAME), CSipEdit);
    wxASSERT_MSG(m_titleBar && m_nameEdit, "CCategoryNameDlg template is incomplete");
    if (m_nameEdit)
        m_nameEdit->SetValidator(U16TextValidator(&m_name));
    if (wxWindow* prompt = FindWindow(IDC_PROMPT))
        prompt->SetValidator(U16TextValidator(&m_prompt));
}

void CCategoryNameDlg::OnInitDialog(wxInitDialogEvent& event)
{
    wxDialog::OnInitDialog(event);
    MakeFullScreen(*this, IDC_TITLE_BAR);

    const bool rename = !m_name.empty();
    m_prompt = rename ? u"Enter the new category name:" : u"Enter a new category name:";
    if (m_titleBar)
        m_titleBar->SetLabel(rename ? "Rename Category" : "New Category");
    TransferDataToWindow();

    if (m_nameEdit)
        m_nameEdit->SetFocus();
}

void CCategoryNameDlg::OnOK(wxCommandEvent&)
{
    TransferDataFromWindow();
    if (m_name.empty())
    {
        ShowMessage("The category cannot be empty", wxString(), wxOK, this);
        return;
    }
    CloseDialog(*this, wxID_OK);
}

void CCategoryNameDlg::OnHelp(wxHelpEvent& event)
{
    ShowHelpTopic(u"#NewCategory_Help");
    event.Skip();
}

void CCategoryNameDlg::OnCharHook(wxKeyEvent& event)
{
    if (!HandleDialogKey(*this, event))
        event.Skip();
}
