// The checklist editor: filters, sorts, commands on every item, commands on
// the checklist, the category box and the preferences.
#include "editor/CListDlg.h"

#include "controls/MessageBox.h"
#include "controls/TitleBar.h"
#include "controls/WxString.h"
#include "dialogs/CCategoriesDlg.h"
#include "dialogs/CListNameDlg.h"
#include "dialogs/CNoteDlg.h"
#include "dialogs/CPreferencesDlg.h"
#include "dialogs/DialogSupport.h"
#include "editor/CCopyListDlg.h"

#include <wx/combobox.h>

void CListDlg::OnShowAll(wxCommandEvent&)
{
    SetFilter(FilterAll);
}

void CListDlg::OnShowChecked(wxCommandEvent&)
{
    SetFilter(FilterChecked);
}

void CListDlg::OnShowUnchecked(wxCommandEvent&)
{
    SetFilter(FilterUnchecked);
}

void CListDlg::SetFilter(ItemFilter filter)
{
    if (m_filter == filter)
        return;
    m_filter = filter;
    FillList();
}

void CListDlg::OnUpdateShowAll(wxUpdateUIEvent& event)
{
    event.Check(m_filter == FilterAll);
}

void CListDlg::OnUpdateShowChecked(wxUpdateUIEvent& event)
{
    event.Check(m_filter == FilterChecked);
}

void CListDlg::OnUpdateShowUnchecked(wxUpdateUIEvent& event)
{
    event.Check(m_filter == FilterUnchecked);
}

// Sorting rewrites every item's position: it stays.
void CListDlg::OnSortPriority(wxCommandEvent&)
{
    m_record.LoadItemsSorted(2);
    FillList();
}

void CListDlg::OnSortAlpha(wxCommandEvent&)
{
    m_record.LoadItemsSorted(1);
    FillList();
}

// The commands on every item act on all of them, whatever the filter shows;
// each lands whole or not at all.
void CListDlg::OnUncheckAll(wxCommandEvent&)
{
    ListStore::UncheckAll(m_record);
    FillList();
}

void CListDlg::OnCheckAll(wxCommandEvent&)
{
    ListStore::CheckAll(m_record);
    FillList();
}

void CListDlg::OnInvertChecks(wxCommandEvent&)
{
    ListStore::InvertChecks(m_record);
    FillList();
}

void CListDlg::OnPurgeChecked(wxCommandEvent&)
{
    if (ShowMessage("Remove all checked items?", "Purge Checklist", wxYES_NO, this) != wxID_YES)
        return;
    ListStore::PurgeChecked(m_record);
    FillList();
}

void CListDlg::OnRenameList(wxCommandEvent&)
{
    CListNameDlg dlg;
    dlg.SetName(m_record.name);
    if (dlg.ShowModal() == wxID_CANCEL)
        return;
    if (!ListStore::SetListName(m_listId, dlg.GetName()))
        return;
    m_record.name = dlg.GetName();
    m_titleBar->SetLabel(ToWx(m_record.name));
    SetTitle(ToWx(m_record.name));
}

void CListDlg::OnDeleteList(wxCommandEvent&)
{
    if (ShowMessage("Delete current checklist?", "Delete Checklist", wxYES_NO, this) != wxID_YES)
        return;
    // Every item goes, not only those the filter shows, then the checklist.
    if (!ListStore::DeleteChecklist(m_listId))
    {
        // Nothing was deleted: closing would look like success.
        ListRecord stored;
        if (stored.LoadList(m_listId))
        {
            ShowMessage("Error deleting the checklist!", wxString(), wxOK, this);
            FillList();
            return;
        }
    }
    CloseDialog(*this, wxID_OK);
}

void CListDlg::OnEditNote(wxCommandEvent&)
{
    CNoteDlg dlg;
    dlg.SetTitle(m_record.name);
    dlg.SetNote(m_record.note);
    if (dlg.ShowModal() == wxID_CANCEL)
        return;
    if (ListStore::SetListNote(m_listId, dlg.GetNote()))
        m_record.note = dlg.GetNote();
}

void CListDlg::OnCopyList(wxCommandEvent&)
{
    CCopyListDlg copyDlg;
    if (copyDlg.ShowModal() == wxID_CANCEL)
        return;
    const int choice = copyDlg.GetChoice();

    CListNameDlg nameDlg;
    nameDlg.SetName(m_record.name);
    nameDlg.SetCopyMode();
    if (nameDlg.ShowModal() == wxID_CANCEL)
        return;

    const ItemFilter filter = choice == 1 ? FilterChecked : choice == 2 ? FilterUnchecked : FilterAll;
    std::u16string category;
    const int sel = m_categoryBox ? m_categoryBox->GetSelection() : wxNOT_FOUND;
    if (sel != wxNOT_FOUND)
        category = FromWx(m_categoryBox->GetString(sel));

    ListRecord copy;
    if (!ListStore::CopyChecklist(m_listId, filter, nameDlg.GetName(), category,
                                  static_cast<int16_t>(m_totalCount), copy))
        return; // nothing was stored; this editor stays open

    CListDlg editor;
    editor.SetListId(copy.id);
    editor.SetTotalCount(m_totalCount + 1);
    editor.ShowModal();
    CloseDialog(*this, wxID_OK);
}

// The category box's choice: "Edit..." (its last entry) edits the
// categories, any other entry files the checklist under it at once. The
// toolkit reports a pick from the drop-down (or by the mouse wheel) as a
// selection change and not always as a close-up, so both come here; a
// choice already made is not made again.
void CListDlg::OnCategoryChosen(wxCommandEvent&)
{
    if (m_inCategoryChoice || !m_categoryBox)
        return;
    m_inCategoryChoice = true;
    const int sel = m_categoryBox->GetSelection();
    const int count = static_cast<int>(m_categoryBox->GetCount());
    if (sel == count - 1)
    {
        CCategoriesDlg dlg;
        dlg.ShowModal();
        // Editing may have renamed, merged or deleted this checklist's
        // category in the store.
        m_record.LoadList(m_listId);
        FillCategoryBox();
    }
    else if (sel != wxNOT_FOUND)
    {
        const std::u16string category = FromWx(m_categoryBox->GetString(sel));
        if (category != m_record.category && ListStore::SetListCategory(m_listId, category))
            m_record.category = category;
    }
    m_inCategoryChoice = false;
}

void CListDlg::OnPreferences(wxCommandEvent&)
{
    CPreferencesDlg dlg;
    if (dlg.ShowModal() != wxID_CANCEL)
        FillList();
}
