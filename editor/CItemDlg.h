#ifndef TALLYARD_EDITOR_CITEMDLG_H
#define TALLYARD_EDITOR_CITEMDLG_H

#include "store/ListStore.h"

#include <wx/dialog.h>

#include <cstdint>

class wxChoice;
class wxToolBar;
class CSipEdit;
class CTitleBar;

/// Enters a new item of a checklist or changes an existing one, and stores
/// it on OK. For an item it could load it also offers the delete command,
/// which deletes the item and lowers the checklist's counts itself. A new
/// item goes after the highest position stored in its checklist.
///
/// Counting: a dialog opened for a new item (no SetItemId) leaves the
/// checklist's counts to the caller, which raises them after wxID_OK. A
/// dialog opened with SetItemId whose item could not be read stores a new
/// item on OK and raises the checklist's itemCount and uncheckedCount itself
/// (CountedNewItem() is then true); the caller of an edit never counts.
///
/// ShowModal: wxID_OK after OK (saved) or the delete command (deleted),
/// wxID_CANCEL after Cancel or when no checklist id was set.
class CItemDlg : public wxDialog
{
public:
    explicit CItemDlg(wxWindow* parent = nullptr);

    /// Shows "The checklist ID was not set!!" and returns wxID_CANCEL without
    /// opening when SetListId was not called with a non-zero id.
    int ShowModal() override;

    void SetListId(int32_t id) { m_listId = id; }
    void SetItemId(int32_t id) { m_itemId = id; }

    /// True when OK stored a new item in place of an item that could not be
    /// loaded and the dialog raised the checklist's counts for it.
    bool CountedNewItem() const { return m_countedNewItem; }
    /// True when the delete command deleted the item.
    bool DeletedItem() const { return m_deletedItem; }

    int32_t m_listId = 0;
    int32_t m_itemId = 0;
    ItemRecord m_item;
    CSipEdit* m_nameEdit = nullptr;
    CSipEdit* m_detailsEdit = nullptr;
    wxChoice* m_priorityBox = nullptr;
    CTitleBar* m_titleBar = nullptr;

private:
    void OnInitDialog(wxInitDialogEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnDeleteCurrentItem(wxCommandEvent& event);
    void OnHelp(wxHelpEvent& event);
    void OnCharHook(wxKeyEvent& event);

    /// The delete command's bar at the bottom, as the device's command bar.
    void AddItemToolBar();
    bool SaveNewItemCounted();

    int m_prioritySel = 0;           // exchanged with the priority box
    bool m_fellBack = false;         // an item to edit could not be read
    bool m_countedNewItem = false;
    bool m_deletedItem = false;
    wxToolBar* m_toolBar = nullptr;

    wxDECLARE_EVENT_TABLE();
};

#endif
