#include "editor/CCopyListDlg.h"

#include "controls/TitleBar.h"
#include "dialogs/DialogLayout.h"
#include "dialogs/DialogSupport.h"
#include "resources/ResourceIds.h"

#include <wx/app.h>
#include <wx/radiobut.h>
#include <wx/xrc/xmlres.h>

namespace
{
bool IsChecked(wxWindow& dlg, int id)
{
    auto* button = wxDynamicCast(dlg.FindWindow(id), wxRadioButton);
    return button && button->GetValue();
}
}

wxBEGIN_EVENT_TABLE(CCopyListDlg, wxDialog)
    EVT_INIT_DIALOG(                  CCopyListDlg::OnInitDialog)
    EVT_BUTTON(     wxID_OK,          CCopyListDlg::OnOK)
    EVT_CHAR_HOOK(                    CCopyListDlg::OnCharHook)
wxEND_EVENT_TABLE()

CCopyListDlg::CCopyListDlg(wxWindow* parent)
{
    wxXmlResource::Get()->LoadDialog(this, parent, "CCopyListDlg");
    m_titleBar = wxDynamicCast(FindWindow(IDC_COPY_TITLE), CTitleBar);
    wxASSERT_MSG(m_titleBar, "CCopyListDlg template is incomplete");
    // The template's size in the template's own (8 point) dialog units.
    SetClientSize(ConvertDialogToPixels(wxSize(141, 105)));
}

void CCopyListDlg::OnInitDialog(wxInitDialogEvent& event)
{
    wxDialog::OnInitDialog(event);
    FitControlsAsTheToolkitDrawsThem(*this);
    if (auto* all = wxDynamicCast(FindWindow(IDC_COPY_ALL), wxRadioButton))
    {
        all->SetValue(true);
        all->SetFocus();
    }
    // Over the main window when there is one; the dialog has no parent.
    wxWindow* top = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
    if (top && top != this && top->IsShown())
    {
        // The template's units come out a few pixels wider than the device
        // screen under some fonts: never wider than the main window.
        if (GetSize().x > top->GetSize().x)
            ResizeDialog(*this, IDC_COPY_TITLE, wxSize(top->GetSize().x, GetSize().y));
        SetPosition(top->GetScreenRect().GetPosition() + (top->GetSize() - GetSize()) / 2);
    }
    else
        CentreOnScreen();
}

void CCopyListDlg::OnOK(wxCommandEvent&)
{
    if (IsChecked(*this, IDC_COPY_ALL))
        m_choice = 0;
    else if (IsChecked(*this, IDC_COPY_CHECKED))
        m_choice = 1;
    else
        m_choice = 2;
    CloseDialog(*this, wxID_OK);
}

void CCopyListDlg::OnCharHook(wxKeyEvent& event)
{
    if (!HandleDialogKey(*this, event))
        event.Skip();
}
