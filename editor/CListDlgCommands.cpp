// The checklist editor: filters, sorts, commands on every item, commands on
// the checklist, the category box and the preferences.
#include "editor/CListDlg.h"

#include "controls/GestureListCtrl.h"
#include "controls/MessageBox.h"
#include "controls/TitleBar.h"
#include "controls/WxString.h"
#include "dialogs/CCategoriesDlg.h"
#include "dialogs/CListNameDlg.h"
#include "dialogs/CNoteDlg.h"
#include "dialogs/CPreferencesDlg.h"
#include "dialogs/DialogSupport.h"
#include "dialogs/UndoCommands.h"
#include "editor/CCopyListDlg.h"
#include "platform/UndoHistory.h"

#include <wx/combobox.h>

#include <algorithm>

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
    {
        ObjectStore::UndoStep step(u"Sort by Priority");
        m_record.LoadItemsSorted(2);
    }
    FillList();
}

void CListDlg::OnSortAlpha(wxCommandEvent&)
{
    {
        ObjectStore::UndoStep step(u"Sort Alphabetically");
        m_record.LoadItemsSorted(1);
    }
    FillList();
}

// The commands on every item act on all of them, whatever the filter shows;
// each lands whole or not at all.
void CListDlg::OnUncheckAll(wxCommandEvent&)
{
    {
        ObjectStore::UndoStep step(u"Uncheck All");
        ListStore::UncheckAll(m_record);
    }
    FillList();
}

void CListDlg::OnCheckAll(wxCommandEvent&)
{
    {
        ObjectStore::UndoStep step(u"Check All");
        ListStore::CheckAll(m_record);
    }
    FillList();
}

void CListDlg::OnInvertChecks(wxCommandEvent&)
{
    {
        ObjectStore::UndoStep step(u"Invert Checks");
        ListStore::InvertChecks(m_record);
    }
    FillList();
}

void CListDlg::OnPurgeChecked(wxCommandEvent&)
{
    if (ShowMessage("Remove all checked items?", "Purge Checklist", wxYES_NO, this) != wxID_YES)
        return;
    {
        ObjectStore::UndoStep step(u"Purge Checked Items");
        ListStore::PurgeChecked(m_record);
    }
    FillList();
}

void CListDlg::OnRenameList(wxCommandEvent&)
{
    CListNameDlg dlg;
    dlg.SetName(m_record.name);
    if (dlg.ShowModal() == wxID_CANCEL)
        return;
    ObjectStore::UndoStep step(u"Rename List");
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
    ObjectStore::UndoStep step(u"Delete List");
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
    ObjectStore::UndoStep step(u"List Note");
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
    {
        ObjectStore::UndoStep step(u"Copy List");
        if (!ListStore::CopyChecklist(m_listId, filter, nameDlg.GetName(), category,
                                      static_cast<int16_t>(m_totalCount), copy))
            return; // nothing was stored; this editor stays open
    }

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
        ObjectStore::UndoStep step(u"Change Category");
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

void CListDlg::OnUndo(wxCommandEvent&)
{
    UndoOrRedo(true);
}

void CListDlg::OnRedo(wxCommandEvent&)
{
    UndoOrRedo(false);
}

void CListDlg::UndoOrRedo(bool undo)
{
    if (!UndoCommands::Run(undo, this))
        return;
    // Undoing the step that made this checklist takes it away.
    if (!m_record.LoadList(m_listId))
    {
        CloseDialog(*this, wxID_OK);
        return;
    }
    m_titleBar->SetLabel(ToWx(m_record.name));
    SetTitle(ToWx(m_record.name));
    FillList(); // keeps the first visible row and the selected item
    FillCategoryBox();
}

void CListDlg::OnUpdateUndo(wxUpdateUIEvent& event)
{
    UndoCommands::Update(true, event);
}

void CListDlg::OnUpdateRedo(wxUpdateUIEvent& event)
{
    UndoCommands::Update(false, event);
}
