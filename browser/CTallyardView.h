#ifndef TALLYARD_BROWSER_CTALLYARDVIEW_H
#define TALLYARD_BROWSER_CTALLYARDVIEW_H

#include "app/SettingsKey.h"
#include "controls/GestureListCtrl.h"
#include "store/ListStore.h"

#include <wx/docview.h>
#include <wx/listctrl.h>
#include <wx/panel.h>
#include <wx/weakref.h>

#include <string>
#include <vector>

class CViewHost;
class wxComboBox;
class wxMenu;

/// Column 0's first width; it then takes the list's width but the count
/// column's, which keeps its 40 pixels at the right edge.
constexpr int kNameColumnWidth = 198;
constexpr int kCountColumnWidth = 40;

/// The main view: the checklists of the current category, one row each, the
/// category drop-down of the frame and the commands on the selected checklist.
class CTallyardView : public wxView
{
public:
    CTallyardView();
    ~CTallyardView() override;

    bool OnCreate(wxDocument* doc, long flags) override;
    bool OnClose(bool deleteWindow) override;
    void OnDraw(wxDC* dc) override;
    /// The frame keeps the program's title: the document has no file name.
    void OnChangeFilename() override {}

    /// First showing: databases, columns, rows and the drop-down.
    void OnInitialUpdate();
    /// Reloads the checklists of the LastCategory category, keeping the first
    /// visible row and the selected checklist (by id) where they were.
    void RefreshList();
    /// Refills the drop-down and selects the entry equal to LastCategory.
    void FillCategorySelector();
    /// The first selected row, or the row count when none is selected.
    long SelectedRow() const;

    /// Row texts: "%d. %s" with the row number, and "(%d)" unchecked items.
    static wxString NameColumnText(long row, const ListRecord& list);
    static wxString CountColumnText(const ListRecord& list);

    CGestureListCtrl* GetListCtrl() const { return m_list.get(); }
    wxPanel* GetForm() const { return m_form.get(); }
    const ListArray& GetLists() const { return m_lists; }

protected:
    // Category drop-down, sorts and preferences (CategorySelector.cpp).
    void OnCategoryDropDownClosed(wxCommandEvent& event);
    void OnCategorySelected(wxCommandEvent& event);
    void OnCategoryCloseUp();
    void OnSortAlphabetically(wxCommandEvent& event);
    void OnSortByItemCount(wxCommandEvent& event);
    void OnPreferences(wxCommandEvent& event);
    void OnListResized(wxSizeEvent& event);
    void FitColumns();

    // ExchangeCommands.cpp: iCalendar files.
    void OnImport(wxCommandEvent& event);
    void OnExport(wxCommandEvent& event);

    // Commands on checklists (ChecklistCommands.cpp).
    void OnNewChecklist(wxCommandEvent& event);
    void OnOpenChecklist(wxCommandEvent& event);
    void OnListActivated(wxListEvent& event);
    void OnListKeyDown(wxListEvent& event);
    void OnDeleteChecklist(wxCommandEvent& event);
    void OnCopyList(wxCommandEvent& event);
    void OnListNote(wxCommandEvent& event);
    void OnMoveUp(wxCommandEvent& event);
    void OnMoveDown(wxCommandEvent& event);
    void OnListContextMenu(wxCommandEvent& event);
    void OnUpdateNeedsSelection(wxUpdateUIEvent& event);
    void OnUpdateMoveUp(wxUpdateUIEvent& event);
    void OnUpdateMoveDown(wxUpdateUIEvent& event);

    // Undo and redo of the latest step (CTallyardView.cpp).
    void OnUndo(wxCommandEvent& event);
    void OnRedo(wxCommandEvent& event);
    void OnUpdateUndo(wxUpdateUIEvent& event);
    void OnUpdateRedo(wxUpdateUIEvent& event);
    /// Rebuilds after the step, keeping the selected checklist and the first
    /// visible row.
    void UndoOrRedo(bool undo);

private:
    CViewHost* FindHost() const;
    void QueueCategoryChoice();
    void OpenChecklist();
    /// Exchanges rows `upper` and upper + 1 in the array and the store, and
    /// moves the selection from `selectedRow` to `newRow`.
    void ExchangeRows(long upper, long selectedRow, long newRow);
    bool IsContextMenuUpdate(wxUpdateUIEvent& event) const;
    void SortAllChecklists(bool byName);
    void ShowRowCount(size_t count);
    void RewriteRow(long row);

    wxComboBox* m_categorySelector = nullptr;
    SettingsKey m_settings;
    // The frame owns the form; these go null if it is destroyed first.
    wxWeakRef<CGestureListCtrl> m_list;
    ListArray m_lists;
    wxWeakRef<wxPanel> m_form;
    std::vector<std::u16string> m_categoryEntries; // the drop-down's texts
    int m_answeredCategory = -1;                   // the drop-down entry last acted on or shown
    bool m_categoryChoiceQueued = false;
    wxMenu* m_contextMenu = nullptr;               // while the tap-and-hold menu is up

    wxDECLARE_DYNAMIC_CLASS(CTallyardView);
    wxDECLARE_EVENT_TABLE();
};

#endif
