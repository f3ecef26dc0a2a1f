// New, Open, Delete, Copy List, List Note, Move Up and Move Down on the
// selected checklist, its tap-and-hold menu and the enabling rules.
#include "browser/CTallyardView.h"

#include "browser/MoveRows.h"
#include "controls/ContextMenu.h"
#include "controls/GestureListCtrl.h"
#include "controls/MessageBox.h"
#include "controls/WithinWindow.h"
#include "controls/WxString.h"
#include "dialogs/CListNameDlg.h"
#include "dialogs/CNoteDlg.h"
#include "editor/CCopyListDlg.h"
#include "editor/CListDlg.h"
#include "platform/UndoHistory.h"
#include "resources/ResourceIds.h"

#include <wx/dialog.h>
#include <wx/menu.h>
#include <wx/panel.h>

namespace
{
bool IsModalDialogShown()
{
    for (wxWindow* window : wxTopLevelWindows)
    {
        const auto* dialog = dynamic_cast<const wxDialog*>(window);
        if (dialog && dialog->IsModal())
            return true;
    }
    return false;
}

ItemFilter FilterOfChoice(int choice)
{
    switch (choice)
    {
    case 1:
        return FilterChecked;
    case 2:
        return FilterUnchecked;
    default:
        return FilterAll;
    }
}
}

void CTallyardView::OnNewChecklist(wxCommandEvent&)
{
    CListNameDlg nameDlg;
    if (nameDlg.ShowModal() != wxID_OK)
        return;

    ListRecord list;
    list.name = nameDlg.GetName();
    list.category = u"Unfiled";
    list.position = m_lists.totalCount;
    {
        ObjectStore::UndoStep step(u"New Checklist");
        list.SaveList();
    }

    CListDlg editor;
    editor.SetListId(list.id);
    editor.SetTotalCount(m_lists.totalCount + 1);
    editor.ShowModal();
    RefreshList();
}

void CTallyardView::OpenChecklist()
{
    const long row = SelectedRow();
    if (!m_list || row >= m_list->GetItemCount())
        return;

    CListDlg editor;
    editor.SetListId(m_lists[row].id);
    editor.SetTotalCount(m_lists.totalCount);
    editor.ShowModal();
    // The editor may have re-filed the checklist or changed the categories.
    RefreshList();
    FillCategorySelector();
}

void CTallyardView::OnOpenChecklist(wxCommandEvent&)
{
    OpenChecklist();
}

void CTallyardView::OnListActivated(wxListEvent&)
{
    OpenChecklist();
}

void CTallyardView::OnListKeyDown(wxListEvent& event)
{
    const int key = event.GetKeyCode();
    // The Delete key asks the same question as the Delete command.
    if (key == WXK_DELETE || key == WXK_NUMPAD_DELETE)
    {
        wxCommandEvent command(wxEVT_MENU, ID_DELETE_CHECKLIST);
        OnDeleteChecklist(command);
        return;
    }
    // Choosing a category clears the selection, while the list keeps its focused
    // row: the first arrow key then selects the first row, not the second.
    const bool arrow = key == WXK_DOWN || key == WXK_UP || key == WXK_NUMPAD_DOWN || key == WXK_NUMPAD_UP;
    if (arrow && m_list && m_list->GetItemCount() > 0 && m_list->GetSelectedItemCount() == 0)
    {
        m_list->SetItemState(0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                             wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
        m_list->EnsureVisible(0);
        return;
    }
    event.Skip();
}

void CTallyardView::OnDeleteChecklist(wxCommandEvent&)
{
    const long row = SelectedRow();
    if (!m_list || row >= m_list->GetItemCount())
        return;

    const int32_t id = m_lists[row].id;
    const wxString question = wxString::Format("Delete the '%s' checklist?", ToWx(m_lists[row].name));
    if (ShowMessage(question, "Delete Checklist", wxYES_NO) != wxID_YES)
        return;
    // Items and checklist go together or not at all.
    ObjectStore::UndoStep step(u"Delete Checklist");
    if (!ListStore::DeleteChecklist(id))
        ShowMessage("Error deleting the checklist!");
    RefreshList();
}

void CTallyardView::OnCopyList(wxCommandEvent&)
{
    const long row = SelectedRow();
    if (!m_list || row >= m_list->GetItemCount())
        return;
    // The source as stored now: its name and category may have changed.
    ListRecord source;
    if (!source.LoadList(m_lists[row].id))
    {
        RefreshList();
        return;
    }

    CCopyListDlg copyDlg;
    if (copyDlg.ShowModal() != wxID_OK)
        return;
    const ItemFilter filter = FilterOfChoice(copyDlg.GetChoice());

    CListNameDlg nameDlg;
    nameDlg.SetName(source.name);
    nameDlg.SetCopyMode();
    if (nameDlg.ShowModal() != wxID_OK)
        return;

    ListRecord copy;
    {
        ObjectStore::UndoStep step(u"Copy List");
        ListStore::CopyChecklist(source.id, filter, nameDlg.GetName(), source.category, m_lists.totalCount, copy);
    }
    RefreshList();
}

void CTallyardView::OnListNote(wxCommandEvent&)
{
    const long row = SelectedRow();
    if (!m_list || row >= m_list->GetItemCount())
        return;
    const int32_t id = m_lists[row].id;
    ListRecord stored;
    if (!stored.LoadList(id))
    {
        RefreshList();
        return;
    }

    CNoteDlg noteDlg;
    noteDlg.SetNote(stored.note);
    if (noteDlg.ShowModal() != wxID_OK)
        return;
    // Only the note changes: the rest of the record is as stored now.
    ObjectStore::UndoStep step(u"List Note");
    if (ListStore::SetListNote(id, noteDlg.GetNote()))
        m_lists[row].note = noteDlg.GetNote();
}

void CTallyardView::OnMoveUp(wxCommandEvent&)
{
    if (!m_list || m_list->GetItemCount() < 2)
        return;
    const long row = SelectedRow();
    if (row >= m_list->GetItemCount() || row == 0)
        return;
    ExchangeRows(row - 1, row, row - 1);
}

void CTallyardView::OnMoveDown(wxCommandEvent&)
{
    if (!m_list || m_list->GetItemCount() < 2)
        return;
    const long row = SelectedRow();
    if (row >= m_list->GetItemCount() - 1)
        return;
    ExchangeRows(row, row, row + 1);
}

void CTallyardView::ExchangeRows(long upper, long selectedRow, long newRow)
{
    const std::vector<size_t> changed =
        ExchangeChecklists(m_lists, static_cast<size_t>(upper), static_cast<size_t>(selectedRow));
    // Only the positions change; each record is read afresh for it.
    std::vector<std::pair<int32_t, int16_t>> positions;
    for (size_t row : changed)
        positions.emplace_back(m_lists[row].id, m_lists[row].position);
    bool stored = false;
    {
        ObjectStore::UndoStep step(newRow < selectedRow ? u"Move Up" : u"Move Down");
        stored = ListStore::SetListPositions(positions);
    }
    if (!stored)
    {
        // Show what the store holds rather than an order it did not take.
        RefreshList();
        return;
    }

    RewriteRow(upper);
    RewriteRow(upper + 1);
    m_list->SetItemState(selectedRow, 0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    m_list->SetItemState(newRow, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    m_list->EnsureVisible(newRow);
}

void CTallyardView::OnListContextMenu(wxCommandEvent& event)
{
    // A hold that began with the double tap that opened the editor ends
    // while the editor is up: its menu would act on the list behind it.
    if (!m_list || IsModalDialogShown() || SelectedRow() >= m_list->GetItemCount())
        return;
    const auto* point = static_cast<const wxPoint*>(event.GetClientData());

    wxMenu menu;
    menu.Append(ID_OPEN_CHECKLIST, "Open...");
    menu.Append(ID_DELETE_CHECKLIST, "Delete...");
    menu.Append(ID_LIST_NOTE, "List Note...");
    menu.Append(ID_COPY_LIST, "Copy List...");
    menu.Append(ID_MOVE_UP, "Move Up");
    menu.Append(ID_MOVE_DOWN, "Move Down");
    // The chosen entry travels from the list up to the frame and so to this
    // view, like the toolbar's commands.
    m_contextMenu = &menu;
    const wxPoint at = point ? *point : m_list->ScreenToClient(wxGetMousePosition());
    ShowContextMenu(*m_list, menu, MenuPointWithin(*m_list, menu, at, MenuOpens::Down));
    m_contextMenu = nullptr;
}

bool CTallyardView::IsContextMenuUpdate(wxUpdateUIEvent& event) const
{
    // The tap-and-hold menu offers every entry; each handler checks for itself.
    if (m_contextMenu && event.GetEventObject() == m_contextMenu)
    {
        event.Enable(true);
        return true;
    }
    return false;
}

void CTallyardView::OnUpdateNeedsSelection(wxUpdateUIEvent& event)
{
    if (IsContextMenuUpdate(event))
        return;
    event.Enable(m_list && SelectedRow() < m_list->GetItemCount());
}

void CTallyardView::OnUpdateMoveUp(wxUpdateUIEvent& event)
{
    if (IsContextMenuUpdate(event))
        return;
    const long row = SelectedRow();
    event.Enable(m_list && row < m_list->GetItemCount() && row > 0);
}

void CTallyardView::OnUpdateMoveDown(wxUpdateUIEvent& event)
{
    if (IsContextMenuUpdate(event))
        return;
    event.Enable(m_list && SelectedRow() < m_list->GetItemCount() - 1);
}
