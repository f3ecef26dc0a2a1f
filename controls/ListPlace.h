#ifndef TALLYARD_CONTROLS_LISTPLACE_H
#define TALLYARD_CONTROLS_LISTPLACE_H

#include <cstdint>
#include <functional>

class wxListCtrl;

/// Where a list of records stands, kept across a rebuild of its rows: the
/// first visible row, and the selected row by the id of the record it shows
/// (rows move when records are added, removed or reordered).
class ListPlace
{
public:
    using IdOfRow = std::function<int32_t(long row)>;
    using RowOfId = std::function<long(int32_t id)>; // -1 when no row shows it

    ListPlace() = default;
    /// Notes the place of `list` before its rows are rebuilt.
    ListPlace(const wxListCtrl& list, const IdOfRow& idOfRow);

    /// Shows the rebuilt rows at the noted place: the same first visible row
    /// (as far as the rows reach) and, when its record is still shown, the
    /// noted record's row selected and focused. Returns that row, or -1.
    long Restore(wxListCtrl& list, const RowOfId& rowOfId) const;

    long TopRow() const { return m_topRow; }
    bool HasSelection() const { return m_hasSelection; }
    int32_t SelectedId() const { return m_selectedId; }

private:
    long m_topRow = 0;
    bool m_hasSelection = false;
    int32_t m_selectedId = 0;
};

#endif
