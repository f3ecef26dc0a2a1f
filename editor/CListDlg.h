#ifndef TALLYARD_EDITOR_CLISTDLG_H
#define TALLYARD_EDITOR_CLISTDLG_H

#include "store/ListStore.h"

#include <wx/dialog.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class wxBitmapButton;
class wxChoice;
class wxListEvent;
class wxMenu;
class wxStaticBitmap;
class CGestureListCtrl;
class CTitleBar;

/// The checklist editor: the items of one checklist with a check box each,
/// and every command on the items and on the checklist. Each change is
/// stored by the handler that makes it; closing stores nothing further.
///
/// ShowModal: wxID_OK after the title bar's OK, Delete List and Copy List;
/// wxID_CANCEL after the title bar's Cancel and when the checklist cannot
/// be opened (after its message); -1 when the template could not be loaded.
class CListDlg : public wxDialog
{
public:
    explicit CListDlg(wxWindow* parent = nullptr);
    ~CListDlg() override;

    void SetListId(int32_t id) { m_listId = id; }
    /// The number of stored checklists as the caller knows it; a copy made
    /// here takes it as its position.
    void SetTotalCount(int count) { m_totalCount = count; }

    int ShowModal() override;

    /// Rebuilds the rows from the store under the current filter.
    void FillList();
    void FillCategoryBox();

    /// The popup a command-bar button opens: ID_MENU_LIST, ID_MENU_ITEMS or
    /// ID_MENU_TOOLS; null for any other id.
    wxMenu* GetBarMenu(int buttonId) const;

    /// The check box state a row shows (the list's own state, which a tap
    /// can change before the editor stores it).
    bool IsBoxChecked(long row) const;

    int32_t m_listId = 0;
    int m_totalCount = 0;
    ItemFilter m_filter = FilterAll;
    ListRecord m_record;
    CGestureListCtrl* m_list = nullptr;
    CTitleBar* m_titleBar = nullptr;
    wxChoice* m_categoryBox = nullptr;
    wxBitmapButton* m_btnNew = nullptr;
    wxBitmapButton* m_btnEdit = nullptr;
    wxBitmapButton* m_btnDelete = nullptr;
    wxBitmapButton* m_btnUp = nullptr;
    wxBitmapButton* m_btnDown = nullptr;
    wxPoint m_tapPoint;
    bool m_tapPending = false;

private:
    // Opening, layout and the rows (CListDlg.cpp).
    void OnInitDialog(wxInitDialogEvent& event);
    void CreateCommandBar();
    void SetUpButtons();
    void OnSize(wxSizeEvent& event);
    void LayOut();
    void SetColumnWidths();
    /// The first column right of the check box each row draws (list client
    /// coordinates): taps left of it are taps on the box.
    int CheckBoxRight() const;
    wxString RowText(long row, long column) const;
    bool ReadShowPriority() const;
    void DisableItemButtons();
    void OnMenuButton(wxCommandEvent& event);
    void OnHelp(wxHelpEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnExportList(wxCommandEvent& event);
    void OnImportList(wxCommandEvent& event);

    // Taps, items and the context menu (CListDlgItems.cpp).
    void OnListLeftDown(wxMouseEvent& event);
    void OnListLeftDoubleClick(wxMouseEvent& event);
    /// Ticks or unticks `row` for a tap at `point` left of CheckBoxRight().
    bool TickOnBoxLane(long row, const wxPoint& point);
    void OnListKeyDown(wxKeyEvent& event);
    void EnableItemButtons(long row);
    void OnItemChanged(wxListEvent& event);
    void OnItemActivated(wxListEvent& event);
    void SaveTick(size_t row);
    long FirstSelectedRow() const;
    void OnNewItem(wxCommandEvent& event);
    void OnEditItem(wxCommandEvent& event);
    void OnDeleteItem(wxCommandEvent& event);
    void OnMoveUp(wxCommandEvent& event);
    void OnMoveDown(wxCommandEvent& event);
    /// `step` names the undo step.
    bool ExchangeRows(size_t upper, const char16_t* step);
    void RewriteRow(long row);
    void OnListContextMenu(wxCommandEvent& event);

    // Filters, sorts, bulk and checklist commands (CListDlgCommands.cpp).
    void OnShowAll(wxCommandEvent& event);
    void OnShowChecked(wxCommandEvent& event);
    void OnShowUnchecked(wxCommandEvent& event);
    void SetFilter(ItemFilter filter);
    void OnUpdateShowAll(wxUpdateUIEvent& event);
    void OnUpdateShowChecked(wxUpdateUIEvent& event);
    void OnUpdateShowUnchecked(wxUpdateUIEvent& event);
    void OnSortPriority(wxCommandEvent& event);
    void OnSortAlpha(wxCommandEvent& event);
    void OnUncheckAll(wxCommandEvent& event);
    void OnCheckAll(wxCommandEvent& event);
    void OnInvertChecks(wxCommandEvent& event);
    void OnPurgeChecked(wxCommandEvent& event);
    void OnRenameList(wxCommandEvent& event);
    void OnDeleteList(wxCommandEvent& event);
    void OnEditNote(wxCommandEvent& event);
    void OnCopyList(wxCommandEvent& event);
    void OnCategoryChosen(wxCommandEvent& event);
    void OnPreferences(wxCommandEvent& event);

    // Undo and redo of the latest step (CListDlgCommands.cpp).
    void OnUndo(wxCommandEvent& event);
    void OnRedo(wxCommandEvent& event);
    void OnUpdateUndo(wxUpdateUIEvent& event);
    void OnUpdateRedo(wxUpdateUIEvent& event);
    /// Shows the checklist as stored after the step, in the same place; the
    /// editor closes when the checklist is gone.
    void UndoOrRedo(bool undo);

    std::vector<unsigned char> m_boxes; // per row: the check box shown
    bool m_showPriority = false;        // as read by the last fill
    bool m_inCategoryChoice = false;
    wxWindow* m_commandBar = nullptr;
    wxStaticBitmap* m_buttonStrip = nullptr;
    std::unique_ptr<wxMenu> m_listMenu;
    std::unique_ptr<wxMenu> m_itemsMenu;
    std::unique_ptr<wxMenu> m_toolsMenu;

    wxDECLARE_EVENT_TABLE();
};

/// New positions for exchanging the items at `upper` and `lower` (indices
/// into `all`, every item of a checklist in load order: by position, equal
/// positions in the store's order). Normally the two swap positions; where
/// that would leave the pair or a neighbour tied with an item whose order
/// against it the store does not keep, the fewest further positions change
/// so that the next load shows exactly the exchanged order. Index k of the
/// result is the new position of all[k].
std::vector<int16_t> ExchangedPositions(const ItemArray& all, size_t upper, size_t lower);

#endif
