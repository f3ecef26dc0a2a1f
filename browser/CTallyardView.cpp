#include "browser/CTallyardView.h"

#include "browser/ViewHost.h"
#include "controls/GestureListCtrl.h"
#include "controls/ListPlace.h"
#include "controls/MessageBox.h"
#include "controls/WxString.h"
#include "dialogs/UndoCommands.h"
#include "resources/ResourceIds.h"

#include <wx/combobox.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/xrc/xmlres.h>

#include <algorithm>

wxIMPLEMENT_DYNAMIC_CLASS(CTallyardView, wxView);

// clang-format off
wxBEGIN_EVENT_TABLE(CTallyardView, wxView)
    EVT_COMBOBOX_CLOSEUP(IDC_CATEGORY,               CTallyardView::OnCategoryDropDownClosed)
    EVT_COMBOBOX(IDC_CATEGORY,                       CTallyardView::OnCategorySelected)
    EVT_MENU(ID_SORT_ALPHA,                          CTallyardView::OnSortAlphabetically)
    EVT_MENU(ID_SORT_ITEM_COUNT,                     CTallyardView::OnSortByItemCount)
    EVT_MENU(ID_PREFERENCES,                         CTallyardView::OnPreferences)
    EVT_MENU(ID_IMPORT,                              CTallyardView::OnImport)
    EVT_MENU(ID_EXPORT,                              CTallyardView::OnExport)
    EVT_MENU(ID_NEW_CHECKLIST,                       CTallyardView::OnNewChecklist)
    EVT_MENU(ID_OPEN_CHECKLIST,                      CTallyardView::OnOpenChecklist)
    EVT_LIST_ITEM_ACTIVATED(IDC_CHECKLISTS,          CTallyardView::OnListActivated)
    EVT_LIST_KEY_DOWN(IDC_CHECKLISTS,                CTallyardView::OnListKeyDown)
    EVT_MENU(ID_DELETE_CHECKLIST,                    CTallyardView::OnDeleteChecklist)
    EVT_MENU(ID_COPY_LIST,                           CTallyardView::OnCopyList)
    EVT_MENU(ID_LIST_NOTE,                           CTallyardView::OnListNote)
    EVT_MENU(ID_MOVE_UP,                             CTallyardView::OnMoveUp)
    EVT_MENU(ID_MOVE_DOWN,                           CTallyardView::OnMoveDown)
    EVT_LIST_CONTEXTMENU_REQUEST(IDC_CHECKLISTS,     CTallyardView::OnListContextMenu)
    EVT_UPDATE_UI(ID_DELETE_CHECKLIST,               CTallyardView::OnUpdateNeedsSelection)
    EVT_UPDATE_UI(ID_OPEN_CHECKLIST,                 CTallyardView::OnUpdateNeedsSelection)
    EVT_UPDATE_UI(ID_COPY_LIST,                      CTallyardView::OnUpdateNeedsSelection)
    EVT_UPDATE_UI(ID_LIST_NOTE,                      CTallyardView::OnUpdateNeedsSelection)
    EVT_UPDATE_UI(ID_MOVE_UP,                        CTallyardView::OnUpdateMoveUp)
    EVT_UPDATE_UI(ID_MOVE_DOWN,                      CTallyardView::OnUpdateMoveDown)
    EVT_MENU(ID_EDIT_UNDO,                           CTallyardView::OnUndo)
    EVT_MENU(ID_EDIT_REDO,                           CTallyardView::OnRedo)
    EVT_UPDATE_UI(ID_EDIT_UNDO,                      CTallyardView::OnUpdateUndo)
    EVT_UPDATE_UI(ID_EDIT_REDO,                      CTallyardView::OnUpdateRedo)
wxEND_EVENT_TABLE()
// clang-format on

CTallyardView::CTallyardView()
    : m_settings(HKEY_CURRENT_USER, kPreferencesKey)
{
}

CTallyardView::~CTallyardView()
{
    if (m_form)
    {
        if (CViewHost* host = FindHost())
            host->SetViewWindow(nullptr);
        m_form->Destroy();
    }
}

CViewHost* CTallyardView::FindHost() const
{
    // The frame is created before the document; it is the one top-level
    // window that serves this view's document manager.
    for (wxWindow* window : wxTopLevelWindows)
    {
        auto* frame = dynamic_cast<wxDocParentFrame*>(window);
        if (frame && !frame->IsBeingDeleted() && frame->GetDocumentManager() == GetDocumentManager())
            return dynamic_cast<CViewHost*>(frame);
    }
    return nullptr;
}

bool CTallyardView::OnCreate(wxDocument* doc, long flags)
{
    if (!wxView::OnCreate(doc, flags))
        return false;
    CViewHost* host = FindHost();
    if (!host)
        return false;
    auto* frame = dynamic_cast<wxFrame*>(host);
    SetFrame(frame);

    m_form = wxXmlResource::Get()->LoadPanel(frame, "CTallyardView");
    if (!m_form)
        return false;
    m_list = XRCCTRL(*m_form, "IDC_CHECKLISTS", CGestureListCtrl);
    if (!m_list)
        return false;
    // The rows are drawn from m_lists on demand, so refreshing ten thousand
    // checklists costs no more than the ones on screen.
    if (!m_list->HasFlag(wxLC_VIRTUAL))
        m_list->SetWindowStyleFlag(m_list->GetWindowStyleFlag() | wxLC_VIRTUAL);
    m_list->SetVirtualProviders([this](long row, long column) {
        if (row < 0 || static_cast<size_t>(row) >= m_lists.size())
            return wxString();
        return column == 0 ? NameColumnText(row, m_lists[row]) : CountColumnText(m_lists[row]);
    });
    host->SetViewWindow(m_form);
    // Dialog units come out larger here than on the device screen the
    // template was made for: the list keeps its size, but no more than the
    // screen shows.
    const wxSize room = m_form->GetClientSize();
    const wxSize size = m_list->GetSize();
    m_list->SetSize(wxSize(std::min(size.x, room.x), std::min(size.y, room.y)));
    Activate(true);
    OnInitialUpdate();
    return true;
}

bool CTallyardView::OnClose(bool deleteWindow)
{
    if (!wxView::OnClose(deleteWindow))
        return false;
    Activate(false);
    if (deleteWindow && m_form)
    {
        if (CViewHost* host = FindHost())
            host->SetViewWindow(nullptr);
        m_form->Destroy();
        m_form.Release();
        m_list.Release();
    }
    return true;
}

void CTallyardView::OnDraw(wxDC*)
{
    // The form's controls draw themselves.
}

void CTallyardView::OnInitialUpdate()
{
    if (!ListStore::CreateDatabases())
        ShowMessage("Error creating the databases!");

    m_list->AppendColumn("Checklist", wxLIST_FORMAT_LEFT, m_list->FromDIP(kNameColumnWidth));
    m_list->AppendColumn("Items", wxLIST_FORMAT_RIGHT, m_list->FromDIP(kCountColumnWidth));
    RefreshList();
    FillCategorySelector();
}

void CTallyardView::RefreshList()
{
    if (!m_list)
        return;
    // The rows come back where they were: ticking down a long list in the
    // editor does not throw the view back to its top.
    const ListPlace place(*m_list, [this](long row) {
        return static_cast<size_t>(row) < m_lists.size() ? m_lists[row].id : 0;
    });
    m_list->DeleteAllItems();
    const std::u16string name = m_settings.ReadString(u"LastCategory", u"All");
    m_lists.LoadLists(name);
    const int width = m_lists.size() <= kRowsWithoutScrollBar ? kNameColumnWidth : kNameColumnWidthScrolled;
    m_list->SetColumnWidth(0, m_list->FromDIP(width));
    ShowRowCount(m_lists.size());
    place.Restore(*m_list, [this](int32_t id) {
        const auto it = std::find_if(m_lists.begin(), m_lists.end(), [id](const ListRecord& l) { return l.id == id; });
        return it == m_lists.end() ? -1L : static_cast<long>(it - m_lists.begin());
    });
}

void CTallyardView::ShowRowCount(size_t count)
{
    m_list->SetItemCount(static_cast<long>(count));
    m_list->Refresh();
}

void CTallyardView::RewriteRow(long row)
{
    m_list->RefreshItem(row);
}

long CTallyardView::SelectedRow() const
{
    if (!m_list)
        return 0;
    // Asked on every idle pass by the update handlers: skip the scan of a
    // long list when nothing is selected.
    if (m_list->GetSelectedItemCount() == 0)
        return m_list->GetItemCount();
    const long row = m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    return row < 0 ? m_list->GetItemCount() : row;
}

wxString CTallyardView::NameColumnText(long row, const ListRecord& list)
{
    return wxString::Format("%ld. %s", row + 1, ToWx(list.name));
}

wxString CTallyardView::CountColumnText(const ListRecord& list)
{
    return wxString::Format("(%d)", static_cast<int>(list.uncheckedCount));
}

void CTallyardView::OnUndo(wxCommandEvent&)
{
    UndoOrRedo(true);
}

void CTallyardView::OnRedo(wxCommandEvent&)
{
    UndoOrRedo(false);
}

void CTallyardView::UndoOrRedo(bool undo)
{
    if (!m_list)
        return;
    const UndoCommands::Place place = UndoCommands::SavePlace(*m_list, [this](long row) {
        return static_cast<size_t>(row) < m_lists.size() ? m_lists[row].id : 0;
    });
    if (!UndoCommands::Run(undo, GetFrame()))
        return;
    // The step may have changed checklists of any category and the
    // categories themselves.
    RefreshList();
    FillCategorySelector();
    UndoCommands::RestorePlace(*m_list, place, [this](int32_t id) {
        const auto it = std::find_if(m_lists.begin(), m_lists.end(), [id](const ListRecord& l) { return l.id == id; });
        return it == m_lists.end() ? -1L : static_cast<long>(it - m_lists.begin());
    });
}

void CTallyardView::OnUpdateUndo(wxUpdateUIEvent& event)
{
    UndoCommands::Update(true, event);
}

void CTallyardView::OnUpdateRedo(wxUpdateUIEvent& event)
{
    UndoCommands::Update(false, event);
}
