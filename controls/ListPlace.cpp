#include "controls/ListPlace.h"

#include <wx/listctrl.h>

#include <algorithm>

ListPlace::ListPlace(const wxListCtrl& list, const IdOfRow& idOfRow)
{
    const long count = list.GetItemCount();
    if (count == 0)
        return;
    m_topRow = std::clamp(list.GetTopItem(), 0L, count - 1);
    const long selected = list.GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    if (selected >= 0)
    {
        m_hasSelection = true;
        m_selectedId = idOfRow(selected);
    }
}

long ListPlace::Restore(wxListCtrl& list, const RowOfId& rowOfId) const
{
    const long count = list.GetItemCount();
    if (count == 0)
        return -1;
    // Scrolled to the end first, a row made visible again comes in at the
    // top, unless the rows end before a full page below it.
    const long top = std::min(m_topRow, count - 1);
    if (top > 0)
    {
        list.EnsureVisible(count - 1);
        list.EnsureVisible(top);
    }
    else
        list.EnsureVisible(0);

    const long row = m_hasSelection ? rowOfId(m_selectedId) : -1;
    if (row < 0 || row >= count)
        return -1;
    const long both = wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED;
    list.SetItemState(row, both, both);
    return row;
}
