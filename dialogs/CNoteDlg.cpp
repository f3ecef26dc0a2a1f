#include "dialogs/CNoteDlg.h"

#include "controls/SipEdit.h"
#include "controls/TitleBar.h"
#include "controls/WxString.h"
#include "dialogs/ContextHelp.h"
#include "dialogs/DialogSupport.h"
#include "resources/ResourceIds.h"

#include <wx/xrc/xmlres.h>

wxBEGIN_EVENT_TABLE(CNoteDlg, wxDialog)
    EVT_INIT_DIALOG(                  CNoteDlg::OnInitDialog)
    EVT_BUTTON(     wxID_OK,          CNoteDlg::OnOK)
    EVT_HELP(       wxID_ANY,         CNoteDlg::OnHelp)
    EVT_CHAR_HOOK(                    CNoteDlg::OnCharHook)
wxEND_EVENT_TABLE()

CNoteDlg::CNoteDlg(wxWindow* parent)
{
    wxXmlResource::Get()->LoadDialog(this, parent, "CNoteDlg");
    m_titleBar = wxDynamicCast(FindWindow(IDC_TITLE_BAR), CTitleBar);
    m_noteEdit = wxDynamicCast(FindWindow(IDC_NOTE), CSipEdit);
    wxASSERT_MSG(m_titleBar && m_noteEdit, "CNoteDlg template is incomplete");
    if (m_noteEdit)
        m_noteEdit->SetValidator(U16TextValidator(&m_note));
}

void CNoteDlg::OnInitDialog(wxInitDialogEvent& event)
{
    wxDialog::OnInitDialog(event);
    MakeFullScreen(*this, IDC_TITLE_BAR);

    if (m_title.empty())
        m_title = u"Note";
    if (m_titleBar)
        m_titleBar->SetLabel(ToWx(m_title));

    if (m_noteEdit)
        m_noteEdit->SetFocus();
}

void CNoteDlg::OnOK(wxCommandEvent&)
{
    TransferDataFromWindow();
    CloseDialog(*this, wxID_OK);
}

void CNoteDlg::OnHelp(wxHelpEvent& event)
{
    ShowHelpTopic(u"#Note_Help");
    event.Skip();
}

void CNoteDlg::OnCharHook(wxKeyEvent& event)
{
    if (!HandleDialogKey(*this, event))
        event.Skip();
}
