// The checklist editor: taps on rows, the item commands and the context menu.
#include "editor/CListDlg.h"

#include "controls/ContextMenu.h"
#include "controls/GestureListCtrl.h"
#include "controls/MessageBox.h"
#include "controls/WithinWindow.h"
#include "controls/WxString.h"
#include "editor/CItemDlg.h"
#include "platform/UndoHistory.h"
#include "resources/ResourceIds.h"

#include <wx/bmpbuttn.h>
#include <wx/menu.h>

#include <algorithm>
#include <unordered_map>
#include <utility>

// A press on the list. On the check box's lane it ticks or unticks the row
// here, the list's own toggle area being narrower than the box it draws;
// the list then neither toggles nor selects. Elsewhere it is the tap that
// the list's check box change, if any, follows.
void CListDlg::OnListLeftDown(wxMouseEvent& event)
{
    if (m_record.items.empty())
    {
        event.Skip();
        return;
    }

    const wxPoint point = m_list->MainToClient(event.GetPosition());
    const long row = m_list->HitTestClient(point);
    if (TickOnBoxLane(row, point))
        return;
    event.Skip();
    EnableItemButtons(row);
    if (row < 0)
        return;
    m_tapPoint = point;
    m_tapPending = true;
}

// The second tap of a double tap on the check box's lane ticks again; on
// the rest of the row it opens the item, as the list reports.
void CListDlg::OnListLeftDoubleClick(wxMouseEvent& event)
{
    const wxPoint point = m_list->MainToClient(event.GetPosition());
    if (!TickOnBoxLane(m_list->HitTestClient(point), point))
        event.Skip();
}

bool CListDlg::TickOnBoxLane(long row, const wxPoint& point)
{
    if (row < 0 || static_cast<size_t>(row) >= m_boxes.size() || point.x >= CheckBoxRight())
        return false;
    m_tapPending = false;
    m_boxes[row] = m_boxes[row] ? 0 : 1;
    m_list->SetFocus();
    SaveTick(static_cast<size_t>(row));
    return true;
}

// Edit, Delete, Move Up and Move Down as a tap on `row` (-1: none) leaves them.
void CListDlg::EnableItemButtons(long row)
{
    const bool hit = row >= 0;
    m_btnEdit->Enable(hit);
    m_btnDelete->Enable(hit);
    m_btnUp->Enable(hit && row != 0);
    m_btnDown->Enable(hit && row != m_list->GetItemCount() - 1);
}

// Delete deletes the selected row as the Delete button does. Space ticks or
// unticks the focused row and stores it as a tap on its check box does; the
// row keeps the focus (or its place, when the filter hides the item now) so
// that the keyboard can go on from it.
void CListDlg::OnListKeyDown(wxKeyEvent& event)
{
    const int key = event.GetKeyCode();
    if ((key == WXK_DELETE || key == WXK_NUMPAD_DELETE) && !event.HasAnyModifiers() && FirstSelectedRow() >= 0)
    {
        // As the Delete button: asks first.
        wxCommandEvent command(wxEVT_MENU, ID_DELETE_ITEM);
        OnDeleteItem(command);
        return;
    }
    long row = m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED);
    if (row < 0)
        row = FirstSelectedRow();
    if (key != WXK_SPACE || event.HasAnyModifiers() || row < 0 ||
        static_cast<size_t>(row) >= m_boxes.size())
    {
        event.Skip();
        return;
    }
    const int32_t id = m_record.items[row].id;
    m_tapPending = false;
    m_boxes[row] = m_boxes[row] ? 0 : 1;
    SaveTick(static_cast<size_t>(row));

    const long count = m_list->GetItemCount();
    if (count == 0)
        return;
    long keep = std::min(row, count - 1);
    for (size_t i = 0; i < m_record.items.size(); ++i)
    {
        if (m_record.items[i].id == id)
            keep = static_cast<long>(i);
    }
    const long both = wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED;
    m_list->SetItemState(keep, both, both);
    m_list->EnsureVisible(keep);
    EnableItemButtons(keep);
}

// Every change of a row: its check box or its selection.
void CListDlg::OnItemChanged(wxListEvent& event)
{
    const long row = event.GetIndex();
    const bool valid = row >= 0 && static_cast<size_t>(row) < m_boxes.size();
    const wxEventType type = event.GetEventType();
    if (valid && (type == wxEVT_LIST_ITEM_CHECKED || type == wxEVT_LIST_ITEM_UNCHECKED))
        m_boxes[row] = type == wxEVT_LIST_ITEM_CHECKED;
    // A row chosen from the keyboard offers the buttons as a tapped one does.
    if (valid && type == wxEVT_LIST_ITEM_SELECTED)
        EnableItemButtons(row);

    if (!m_tapPending)
        return;
    m_tapPending = false;

    if (m_tapPoint.x >= CheckBoxRight())
    {
        // The tap was right of the check box: show the stored state again.
        if (valid)
        {
            m_boxes[row] = m_record.items[row].checked != 0;
            m_list->RefreshItem(row);
        }
        return;
    }
    for (size_t i = 0; i < m_boxes.size(); ++i)
    {
        if ((m_boxes[i] != 0) != (m_record.items[i].checked != 0))
        {
            SaveTick(i);
            return;
        }
    }
}

// The item takes its box's state; item and unchecked count are stored
// together or not at all, the count moved from the stored one.
void CListDlg::SaveTick(size_t row)
{
    {
        ObjectStore::UndoStep step(m_boxes[row] ? u"Check Item" : u"Uncheck Item");
        ListStore::SetItemChecked(m_record.items[row].id, m_boxes[row] != 0);
    }
    FillList();
}

void CListDlg::OnItemActivated(wxListEvent&)
{
    wxCommandEvent edit(wxEVT_MENU, ID_EDIT_ITEM);
    OnEditItem(edit);
}

long CListDlg::FirstSelectedRow() const
{
    return m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
}

void CListDlg::OnNewItem(wxCommandEvent&)
{
    // A checklist whose count is full takes no item the count would miss.
    if (!ListStore::HasRoomForItems(m_listId, 1))
        return;
    {
        // The dialog stores the item, then the counts are moved here.
        ObjectStore::UndoStep step(u"New Item");
        CItemDlg dlg;
        dlg.SetListId(m_listId);
        if (dlg.ShowModal() == wxID_CANCEL)
            return;
        ListStore::AdjustListCounts(m_listId, 1, 1);
    }
    FillList();
}

void CListDlg::OnEditItem(wxCommandEvent&)
{
    const long row = FirstSelectedRow();
    if (row < 0 || static_cast<size_t>(row) >= m_record.items.size())
        return;
    {
        ObjectStore::UndoStep step(u"Edit Item");
        CItemDlg dlg;
        dlg.SetListId(m_listId);
        dlg.SetItemId(m_record.items[row].id);
        dlg.ShowModal();
        if (dlg.DeletedItem())
            ObjectStore::UndoStep::Rename(u"Delete Item");
    }
    // The item dialog may have deleted the item and stored lower counts.
    m_record.LoadList(m_listId);
    FillList();
}

void CListDlg::OnDeleteItem(wxCommandEvent&)
{
    const long row = FirstSelectedRow();
    if (row < 0 || static_cast<size_t>(row) >= m_record.items.size())
        return;
    ItemRecord item = m_record.items[row];
    const wxString question = wxString::Format("Delete the item '%s'?", ToWx(item.name));
    if (ShowMessage(question, "Confirm Item Delete", wxYES_NO, this) != wxID_YES)
        return;

    bool deleted = false;
    {
        // The counts fall as the stored item's state says.
        ObjectStore::UndoStep step(u"Delete Item");
        deleted = ListStore::DeleteItemCounted(item.id);
    }
    FillList();
    // Still stored: the row is back, and the user is told why.
    ItemRecord stored;
    if (!deleted && stored.LoadItem(item.id))
        ShowMessage("The item could not be deleted.", wxString(), wxOK, this);
}

void CListDlg::OnMoveUp(wxCommandEvent&)
{
    if (m_list->GetItemCount() < 2)
        return;
    const long i = FirstSelectedRow();
    if (i <= 0 || !ExchangeRows(static_cast<size_t>(i - 1), u"Move Up"))
        return;
    const long both = wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED;
    m_list->SetFocus();
    m_list->SetItemState(i, 0, both);
    m_list->SetItemState(i - 1, both, both);
    m_list->EnsureVisible(i - 1);
    if (i - 1 == 0)
        m_btnUp->Disable();
    m_btnDown->Enable();
}

void CListDlg::OnMoveDown(wxCommandEvent&)
{
    const long count = m_list->GetItemCount();
    if (count < 2)
        return;
    const long i = FirstSelectedRow();
    if (i < 0 || i >= count - 1 || !ExchangeRows(static_cast<size_t>(i), u"Move Down"))
        return;
    const long both = wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED;
    m_list->SetFocus();
    m_list->SetItemState(i, 0, both);
    m_list->SetItemState(i + 1, both, both);
    m_list->EnsureVisible(i + 1);
    if (i + 1 == count - 1)
        m_btnDown->Disable();
    m_btnUp->Enable();
}

// Exchanges rows `upper` and `upper` + 1 in the store and on screen. The
// whole checklist is read, because items hidden by the filter and items
// with equal positions take part in the order the next load shows.
bool CListDlg::ExchangeRows(size_t upper, const char16_t* step)
{
    const size_t lower = upper + 1;
    if (lower >= m_record.items.size())
        return false;
    ListRecord all;
    all.id = m_listId;
    all.LoadItems(FilterAll);
    const int32_t upperId = m_record.items[upper].id;
    const int32_t lowerId = m_record.items[lower].id;
    size_t upperAt = all.items.size(), lowerAt = all.items.size();
    for (size_t k = 0; k < all.items.size(); ++k)
    {
        if (all.items[k].id == upperId)
            upperAt = k;
        else if (all.items[k].id == lowerId)
            lowerAt = k;
    }
    if (upperAt >= lowerAt || lowerAt >= all.items.size())
    {
        // The store no longer holds the rows as shown.
        FillList();
        return false;
    }

    const std::vector<int16_t> positions = ExchangedPositions(all.items, upperAt, lowerAt);
    std::unordered_map<int32_t, int16_t> moved;
    bool stored = false;
    {
        ObjectStore::UndoStep undoStep(step);
        ListStore::Transaction transaction;
        for (size_t k = 0; k < all.items.size(); ++k)
        {
            if (positions[k] == all.items[k].position)
                continue;
            all.items[k].position = positions[k];
            all.items[k].SaveItem();
            moved[all.items[k].id] = positions[k];
        }
        stored = transaction.Commit();
    }
    if (!stored)
    {
        FillList();
        return false;
    }

    for (ItemRecord& item : m_record.items)
    {
        const auto found = moved.find(item.id);
        if (found != moved.end())
            item.position = found->second;
    }
    std::swap(m_record.items[upper], m_record.items[lower]);
    std::swap(m_boxes[upper], m_boxes[lower]);
    m_showPriority = ReadShowPriority();
    RewriteRow(static_cast<long>(upper));
    RewriteRow(static_cast<long>(lower));
    return true;
}

void CListDlg::RewriteRow(long row)
{
    m_boxes[row] = m_record.items[row].checked != 0;
    m_list->RefreshItem(row);
}

void CListDlg::OnListContextMenu(wxCommandEvent& event)
{
    const auto* point = static_cast<const wxPoint*>(event.GetClientData());
    if (!point || FirstSelectedRow() < 0)
        return;
    wxMenu menu;
    menu.Append(ID_EDIT_ITEM, "Edit...");
    menu.Append(ID_DELETE_ITEM, "Delete...");
    menu.Append(ID_ITEM_MOVE_UP, "Move Up");
    menu.Append(ID_ITEM_MOVE_DOWN, "Move Down");
    const wxPoint at = ScreenToClient(m_list->ClientToScreen(*point));
    ShowContextMenu(*this, menu, MenuPointWithin(*this, menu, at, MenuOpens::Down));
}
