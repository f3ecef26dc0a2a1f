#include "editor/CItemDlg.h"

#include "controls/Contrast.h"

#include "controls/MessageBox.h"
#include "controls/SipEdit.h"
#include "controls/TitleBar.h"
#include "dialogs/ContextHelp.h"
#include "dialogs/DialogSupport.h"
#include "resources/ResourceIds.h"
#include "resources/Resources.h"

#include <wx/choice.h>
#include <wx/toolbar.h>
#include <wx/valgen.h>
#include <wx/xrc/xmlres.h>

namespace
{
constexpr int kPriorities = 5;
}

wxBEGIN_EVENT_TABLE(CItemDlg, wxDialog)
    EVT_INIT_DIALOG(                              CItemDlg::OnInitDialog)
    EVT_BUTTON(     wxID_OK,                      CItemDlg::OnOK)
    EVT_TOOL(       ID_DELETE_CURRENT_ITEM,       CItemDlg::OnDeleteCurrentItem)
    EVT_HELP(       wxID_ANY,                     CItemDlg::OnHelp)
    EVT_CHAR_HOOK(                                CItemDlg::OnCharHook)
wxEND_EVENT_TABLE()

CItemDlg::CItemDlg(wxWindow* parent)
{
    wxXmlResource::Get()->LoadDialog(this, parent, "CItemDlg");
    m_titleBar = wxDynamicCast(FindWindow(IDC_TITLE_BAR), CTitleBar);
    m_nameEdit = wxDynamicCast(FindWindow(IDC_ITEM_NAME), CSipEdit);
    m_detailsEdit = wxDynamicCast(FindWindow(IDC_DETAILS), CSipEdit);
    m_priorityBox = wxDynamicCast(FindWindow(IDC_PRIORITY), wxChoice);
    wxASSERT_MSG(m_titleBar && m_nameEdit && m_detailsEdit && m_priorityBox, "CItemDlg template is incomplete");
    if (m_nameEdit)
        m_nameEdit->SetValidator(U16TextValidator(&m_item.name));
    if (m_detailsEdit)
        m_detailsEdit->SetValidator(U16TextValidator(&m_item.details));
    if (m_priorityBox)
        m_priorityBox->SetValidator(wxGenericValidator(&m_prioritySel));
}

int CItemDlg::ShowModal()
{
    // Checked before the dialog shows, so a missing id never flashes it open.
    if (m_listId == 0)
    {
        ShowMessage("The checklist ID was not set!!", wxString(), wxOK);
        return wxID_CANCEL;
    }
    return wxDialog::ShowModal();
}

void CItemDlg::OnInitDialog(wxInitDialogEvent& event)
{
    wxDialog::OnInitDialog(event);
    MakeFullScreen(*this, IDC_TITLE_BAR);

    m_item.listId = m_listId;
    m_prioritySel = 0;
    if (m_itemId != 0)
    {
        if (m_item.LoadItem(m_itemId))
        {
            AddItemToolBar();
            // A priority outside 1 to 5 selects nothing, so OK keeps it 0.
            const int sel = m_item.priority - 1;
            m_prioritySel = sel >= 0 && sel < kPriorities ? sel : wxNOT_FOUND;
        }
        else
        {
            m_itemId = 0;
            m_item.id = 0;
            m_fellBack = true;
        }
    }
    TransferDataToWindow();

    if (m_nameEdit)
        m_nameEdit->SetFocus();
}

void CItemDlg::AddItemToolBar()
{
    const wxSize client = GetClientSize();
    m_toolBar = new wxToolBar(this, IDR_ITEM_TOOLBAR, wxDefaultPosition, wxDefaultSize,
                              wxTB_HORIZONTAL | wxTB_FLAT | wxTB_NODIVIDER);
    m_toolBar->SetToolBitmapSize(Resources::BitmapSize(IDB_ITEM_DELETE));
    // Drawn for a light bar: on a dark theme's its black line is lifted.
    const wxBitmapBundle picture =
        ReadableOn(Resources::Bitmap(IDB_ITEM_DELETE), Resources::BitmapSize(IDB_ITEM_DELETE),
                   m_toolBar->GetBackgroundColour());
    m_toolBar->AddTool(ID_DELETE_CURRENT_ITEM, "Delete", picture, "Delete current item");
    m_toolBar->Realize();
    const int height = m_toolBar->GetBestSize().y;
    m_toolBar->SetSize(0, client.y - height, client.x, height);
}

void CItemDlg::OnOK(wxCommandEvent&)
{
    TransferDataFromWindow();
    if (m_item.name.empty())
    {
        ShowMessage("The Item Name cannot be empty.", wxString(), wxOK, this);
        return;
    }
    if (m_itemId == 0)
    {
        m_item.id = 0; // SaveItem gives it a fresh id
        m_item.checked = 0;
        // After every stored item, so it goes last also after deletions.
        m_item.position = ListStore::NextItemPosition(m_listId);
    }
    m_item.priority = static_cast<int16_t>(m_prioritySel + 1);

    bool saved = false;
    if (m_fellBack)
        saved = SaveNewItemCounted();
    else
        saved = m_item.SaveItem();
    if (!saved)
    {
        // Closing with OK would have the editor count an item that is not
        // stored; the user can try again or cancel.
        if (m_itemId == 0)
            m_item.id = 0;
        ShowMessage("The item could not be saved.", wxString(), wxOK, this);
        return;
    }
    CloseDialog(*this, wxID_OK);
}

// The item that was to be edited is gone, so this one is new and nobody else
// counts it: store it and raise the checklist's counts together.
bool CItemDlg::SaveNewItemCounted()
{
    {
        ListStore::Transaction transaction;
        ListRecord list;
        if (list.LoadList(m_item.listId))
        {
            m_item.SaveItem();
            ListStore::AdjustListCounts(m_item.listId, 1, 1);
            m_countedNewItem = transaction.Commit();
            if (!m_countedNewItem)
                m_item.id = 0;
            return m_countedNewItem;
        }
    }
    // No checklist to count in: the item is stored alone, as the editor
    // would store it.
    return m_item.SaveItem();
}

void CItemDlg::OnDeleteCurrentItem(wxCommandEvent&)
{
    if (ShowMessage("Delete current item?", "Delete Item", wxYES_NO, this) != wxID_YES)
        return;
    // Item and counts go together, the counts lowered as the stored item's
    // state says; if the item is already gone they are not lowered again.
    m_deletedItem = ListStore::DeleteItemCounted(m_item.id);
    // The checklist cannot be read: its counts are left alone.
    ListRecord list;
    if (!m_deletedItem && !list.LoadList(m_item.listId))
        m_deletedItem = m_item.DeleteItem();

    // Closing would look like success while the item is still stored.
    ItemRecord stored;
    if (!m_deletedItem && stored.LoadItem(m_item.id))
    {
        ShowMessage("The item could not be deleted.", wxString(), wxOK, this);
        return;
    }
    CloseDialog(*this, wxID_OK);
}

void CItemDlg::OnHelp(wxHelpEvent& event)
{
    ShowHelpTopic(u"#Item_Help");
    event.Skip();
}

void CItemDlg::OnCharHook(wxKeyEvent& event)
{
    if (!HandleDialogKey(*this, event))
        event.Skip();
}
