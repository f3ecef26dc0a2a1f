#include "browser/CTallyardView.h"

#include "browser/ViewHost.h"
#include "controls/GestureListCtrl.h"
#include "controls/ListPlace.h"
#include "controls/MessageBox.h"
#include "controls/WithinWindow.h"
#include "controls/WxString.h"
#include "dialogs/UndoCommands.h"
#include "resources/ResourceIds.h"

#include <wx/combobox.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/settings.h>
#include <wx/sizer.h>
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
    // The list fills the form, which fills the room above the bars.
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_list, wxSizerFlags(1).Expand());
    m_form->SetSizer(sizer);
    // A scroll bar drawn over the rows would cover the counts.
    KeepScrollBarBesideContent(*m_list);
    m_list->Bind(wxEVT_SIZE, &CTallyardView::OnListResized, this);
    m_list->GetMainWindow()->Bind(wxEVT_SIZE, &CTallyardView::OnListResized, this);
    host->SetViewWindow(m_form);
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
    ShowRowCount(m_lists.size());
    place.Restore(*m_list, [this](int32_t id) {
        const auto it = std::find_if(m_lists.begin(), m_lists.end(), [id](const ListRecord& l) { return l.id == id; });
        return it == m_lists.end() ? -1L : static_cast<long>(it - m_lists.begin());
    });
}

void CTallyardView::OnListResized(wxSizeEvent& event)
{
    event.Skip();
    FitColumns();
}

// The count column stays at the right edge, left of the scroll bar when the
// rows need one; the name column takes the rest.
void CTallyardView::FitColumns()
{
    if (!m_list || m_list->GetColumnCount() < 2)
        return;
    wxWindow* rows = m_list->GetMainWindow();
    int room = rows->GetClientSize().x;
    const int count = m_list->GetItemCount();
    wxRect first;
    const int rowHeight = count > 0 && m_list->GetItemRect(0, first) ? first.height : 0;
    const bool needsBar = count > 0 && static_cast<long>(count) * rowHeight > rows->GetClientSize().y;
    // The bar may not be up yet: it comes with the next layout of the rows.
    const int barShown = m_list->GetSize().x - m_list->GetClientSize().x > m_list->FromDIP(6);
    if (needsBar && !barShown)
        room -= wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, m_list);
    const int countWidth = m_list->FromDIP(kCountColumnWidth);
    const int nameWidth = std::max(countWidth, room - countWidth);
    if (m_list->GetColumnWidth(1) != countWidth)
        m_list->SetColumnWidth(1, countWidth);
    if (m_list->GetColumnWidth(0) != nameWidth)
        m_list->SetColumnWidth(0, nameWidth);
}

void CTallyardView::ShowRowCount(size_t count)
{
    m_list->SetItemCount(static_cast<long>(count));
    FitColumns();
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
    if (!m_list || !UndoCommands::Run(undo, GetFrame()))
        return;
    // The step may have changed checklists of any category and the
    // categories themselves; the rows keep their place.
    RefreshList();
    FillCategorySelector();
}

void CTallyardView::OnUpdateUndo(wxUpdateUIEvent& event)
{
    UndoCommands::Update(true, event);
}

void CTallyardView::OnUpdateRedo(wxUpdateUIEvent& event)
{
    UndoCommands::Update(false, event);
}
