// The checklist editor: opening, layout, the command bar and the rows.
#include "editor/CListDlg.h"

#include "app/SettingsKey.h"
#include "controls/GestureListCtrl.h"
#include "controls/ListPlace.h"
#include "controls/MessageBox.h"
#include "controls/TitleBar.h"
#include "controls/WithinWindow.h"
#include "controls/WxString.h"
#include "dialogs/ContextHelp.h"
#include "dialogs/DialogSupport.h"
#include "dialogs/UndoCommands.h"
#include "resources/ResourceIds.h"
#include "resources/Resources.h"

#include <wx/accel.h>
#include <wx/bmpbuttn.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/renderer.h>
#include <wx/settings.h>
#include <wx/statbmp.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/wupdlock.h>
#include <wx/xrc/xmlres.h>

#include <algorithm>

namespace
{
constexpr int kCategoryWidth = 80;
constexpr int kPriorityWidth = 30;
constexpr int kNameWidthWithPriority = 198;
constexpr int kNameWidth = 228;
constexpr int kButtonSize = 16;
// Where the list draws a row's check box: after a lead of 2 pixels, with 5
// on either side. The device's box took 16 pixels of column 0.
constexpr int kCheckBoxLead = 2;
constexpr int kCheckBoxMargin = 5;
constexpr int kDeviceBoxWidth = 16;
// Template rectangles, dialog units.
constexpr int kTitleHeightDlu = 14;
constexpr int kStripHeightDlu = 17;
constexpr int kButtonOffsetDlu = 3; // buttons sit this far into the strip

// Makes an entry of a loaded menu a check item, keeping its place and text.
void MakeCheckable(wxMenu& top, int id)
{
    wxMenu* owner = nullptr;
    wxMenuItem* item = top.FindItem(id, &owner);
    if (!item || !owner || item->IsCheckable())
        return;
    const wxString label = item->GetItemLabel();
    const wxMenuItemList& items = owner->GetMenuItems();
    size_t pos = 0;
    for (auto node = items.GetFirst(); node && node->GetData() != item; node = node->GetNext())
        ++pos;
    owner->Destroy(item);
    owner->Insert(pos, id, label, wxString(), wxITEM_CHECK);
}

// The buttons' command ids are too large to create windows with: each is
// made under a name of its own and then takes its command's id.
wxBitmapButton* TakeButton(wxWindow& dlg, const char* name, int id)
{
    auto* button = wxDynamicCast(dlg.FindWindow(XRCID(name)), wxBitmapButton);
    if (button)
        button->SetId(id);
    return button;
}

std::unique_ptr<wxMenu> LoadBarMenu(const char* name)
{
    return std::unique_ptr<wxMenu>(wxXmlResource::Get()->LoadMenu(name));
}
}

// clang-format off
wxBEGIN_EVENT_TABLE(CListDlg, wxDialog)
    EVT_INIT_DIALOG(                                    CListDlg::OnInitDialog)
    EVT_SIZE(                                           CListDlg::OnSize)
    EVT_HELP(                   wxID_ANY,               CListDlg::OnHelp)
    EVT_CHAR_HOOK(                                      CListDlg::OnCharHook)
    EVT_BUTTON(                 ID_MENU_LIST,           CListDlg::OnMenuButton)
    EVT_BUTTON(                 ID_MENU_ITEMS,          CListDlg::OnMenuButton)
    EVT_BUTTON(                 ID_MENU_TOOLS,          CListDlg::OnMenuButton)
    EVT_BUTTON(                 ID_NEW_ITEM,            CListDlg::OnNewItem)
    EVT_BUTTON(                 ID_EDIT_ITEM,           CListDlg::OnEditItem)
    EVT_MENU(                   ID_EDIT_ITEM,           CListDlg::OnEditItem)
    EVT_BUTTON(                 ID_DELETE_ITEM_BUTTON,  CListDlg::OnDeleteItem)
    EVT_MENU(                   ID_DELETE_ITEM,         CListDlg::OnDeleteItem)
    EVT_BUTTON(                 ID_ITEM_MOVE_UP,        CListDlg::OnMoveUp)
    EVT_MENU(                   ID_ITEM_MOVE_UP,        CListDlg::OnMoveUp)
    EVT_BUTTON(                 ID_ITEM_MOVE_DOWN,      CListDlg::OnMoveDown)
    EVT_MENU(                   ID_ITEM_MOVE_DOWN,      CListDlg::OnMoveDown)
    EVT_LIST_ITEM_CHECKED(      IDC_ITEMS,              CListDlg::OnItemChanged)
    EVT_LIST_ITEM_UNCHECKED(    IDC_ITEMS,              CListDlg::OnItemChanged)
    EVT_LIST_ITEM_SELECTED(     IDC_ITEMS,              CListDlg::OnItemChanged)
    EVT_LIST_ITEM_DESELECTED(   IDC_ITEMS,              CListDlg::OnItemChanged)
    EVT_LIST_ITEM_ACTIVATED(    IDC_ITEMS,              CListDlg::OnItemActivated)
    EVT_LIST_CONTEXTMENU_REQUEST(IDC_ITEMS,             CListDlg::OnListContextMenu)
    EVT_COMBOBOX_CLOSEUP(       IDC_CATEGORY,           CListDlg::OnCategoryChosen)
    EVT_COMBOBOX(               IDC_CATEGORY,           CListDlg::OnCategoryChosen)
    EVT_CHOICE(                 IDC_CATEGORY,           CListDlg::OnCategoryChosen)
    EVT_MENU(                   ID_SHOW_ALL,            CListDlg::OnShowAll)
    EVT_MENU(                   ID_SHOW_CHECKED,        CListDlg::OnShowChecked)
    EVT_MENU(                   ID_SHOW_UNCHECKED,      CListDlg::OnShowUnchecked)
    EVT_UPDATE_UI(              ID_SHOW_ALL,            CListDlg::OnUpdateShowAll)
    EVT_UPDATE_UI(              ID_SHOW_CHECKED,        CListDlg::OnUpdateShowChecked)
    EVT_UPDATE_UI(              ID_SHOW_UNCHECKED,      CListDlg::OnUpdateShowUnchecked)
    EVT_MENU(                   ID_SORT_PRIORITY,       CListDlg::OnSortPriority)
    EVT_MENU(                   ID_SORT_ALPHA,          CListDlg::OnSortAlpha)
    EVT_MENU(                   ID_UNCHECK_ALL,         CListDlg::OnUncheckAll)
    EVT_MENU(                   ID_CHECK_ALL,           CListDlg::OnCheckAll)
    EVT_MENU(                   ID_INVERT_CHECKS,       CListDlg::OnInvertChecks)
    EVT_MENU(                   ID_PURGE_CHECKED,       CListDlg::OnPurgeChecked)
    EVT_MENU(                   ID_RENAME_LIST,         CListDlg::OnRenameList)
    EVT_MENU(                   ID_DELETE_LIST,         CListDlg::OnDeleteList)
    EVT_MENU(                   ID_EDIT_NOTE,           CListDlg::OnEditNote)
    EVT_MENU(                   ID_COPY_LIST,           CListDlg::OnCopyList)
    EVT_MENU(                   ID_PREFERENCES,         CListDlg::OnPreferences)
    EVT_MENU(                   ID_EXPORT_LIST,         CListDlg::OnExportList)
    EVT_MENU(                   ID_IMPORT_LIST,         CListDlg::OnImportList)
    EVT_MENU(                   ID_EDIT_UNDO,           CListDlg::OnUndo)
    EVT_MENU(                   ID_EDIT_REDO,           CListDlg::OnRedo)
    EVT_UPDATE_UI(              ID_EDIT_UNDO,           CListDlg::OnUpdateUndo)
    EVT_UPDATE_UI(              ID_EDIT_REDO,           CListDlg::OnUpdateRedo)
wxEND_EVENT_TABLE()
// clang-format on

CListDlg::CListDlg(wxWindow* parent)
{
    if (!wxXmlResource::Get()->LoadDialog(this, parent, "CListDlg"))
        return;
    m_titleBar = wxDynamicCast(FindWindow(IDC_TITLE_BAR), CTitleBar);
    m_list = wxDynamicCast(FindWindow(IDC_ITEMS), CGestureListCtrl);
    m_buttonStrip = wxDynamicCast(FindWindow(IDB_BUTTON_STRIP), wxStaticBitmap);
    m_btnNew = TakeButton(*this, "ID_NEW_ITEM_BTN", ID_NEW_ITEM);
    m_btnEdit = TakeButton(*this, "ID_EDIT_ITEM_BTN", ID_EDIT_ITEM);
    m_btnDelete = TakeButton(*this, "ID_DELETE_ITEM_BUTTON_BTN", ID_DELETE_ITEM_BUTTON);
    m_btnUp = TakeButton(*this, "ID_ITEM_MOVE_UP_BTN", ID_ITEM_MOVE_UP);
    m_btnDown = TakeButton(*this, "ID_ITEM_MOVE_DOWN_BTN", ID_ITEM_MOVE_DOWN);
    if (!m_titleBar || !m_list || !m_buttonStrip || !m_btnNew || !m_btnEdit || !m_btnDelete || !m_btnUp ||
        !m_btnDown)
    {
        wxFAIL_MSG("CListDlg template is incomplete");
        m_list = nullptr; // ShowModal refuses to run
        return;
    }

    m_list->SetVirtualProviders([this](long row, long column) { return RowText(row, column); },
                                [this](long row) { return IsBoxChecked(row); });
    // A press reaches the list before the list acts on it, so the tap is
    // known before the check box it toggles reports the change.
    m_list->Bind(wxEVT_LEFT_DOWN, &CListDlg::OnListLeftDown, this);
    m_list->Bind(wxEVT_LEFT_DCLICK, &CListDlg::OnListLeftDoubleClick, this);
    // The list passes its key presses to itself first; Space is taken here
    // before the list turns it into an activation.
    m_list->Bind(wxEVT_KEY_DOWN, &CListDlg::OnListKeyDown, this);

    CreateCommandBar();
    SetUpButtons();

    wxAcceleratorEntry keys[UndoCommands::kAcceleratorCount];
    UndoCommands::Accelerators(keys);
    SetAcceleratorTable(wxAcceleratorTable(UndoCommands::kAcceleratorCount, keys));
}

CListDlg::~CListDlg() = default;

void CListDlg::CreateCommandBar()
{
    m_listMenu = LoadBarMenu("IDR_LIST_MENU_LIST");
    m_itemsMenu = LoadBarMenu("IDR_LIST_MENU_ITEMS");
    m_toolsMenu = LoadBarMenu("IDR_LIST_MENU_TOOLS");
    if (m_itemsMenu)
    {
        for (int id : {ID_SHOW_ALL, ID_SHOW_UNCHECKED, ID_SHOW_CHECKED})
            MakeCheckable(*m_itemsMenu, id);
    }

    // A strip of flat menu buttons and the category box, at the bottom as
    // the device's command bar.
    m_commandBar = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE | wxTAB_TRAVERSAL);
    auto* sizer = new wxBoxSizer(wxHORIZONTAL);
    const struct
    {
        int id;
        int labelId;
        const char* fallback;
    } buttons[] = {{ID_MENU_LIST, IDS_LIST, "List"},
                   {ID_MENU_ITEMS, IDS_ITEMS, "Items"},
                   {ID_MENU_TOOLS, IDS_LIST_TOOLS, "Tools"}};
    for (const auto& b : buttons)
    {
        const wxString label = Resources::String(b.labelId);
        auto* button = new wxButton(m_commandBar, wxID_ANY, label.empty() ? wxString(b.fallback) : label,
                                    wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT | wxBORDER_NONE);
        button->SetId(b.id); // above the range new windows may take
        sizer->Add(button, wxSizerFlags().Center().Border(wxLEFT | wxRIGHT, FromDIP(4)));
    }
    // A drop-down list: the entries are chosen, never typed.
    m_categoryBox = new wxChoice(m_commandBar, IDC_CATEGORY, wxDefaultPosition, wxSize(FromDIP(kCategoryWidth), -1));
    // At least the device's 80 pixels; the rest of a wider bar too, since
    // the toolkit's drop-down arrow takes much of that width.
    m_categoryBox->SetMinSize(wxSize(FromDIP(kCategoryWidth), -1));
    sizer->Add(m_categoryBox, wxSizerFlags(1).Center().Border(wxLEFT | wxRIGHT, FromDIP(2)));
    m_commandBar->SetSizer(sizer);
}

void CListDlg::SetUpButtons()
{
    const struct
    {
        wxBitmapButton* button;
        int normal;
        int disabled;
    } buttons[] = {{m_btnNew, IDB_NEW, 0},
                   {m_btnEdit, IDB_EDIT, IDB_EDIT_DISABLED},
                   {m_btnDelete, IDB_DELETE, IDB_DELETE_DISABLED},
                   {m_btnUp, IDB_UP, IDB_UP_DISABLED},
                   {m_btnDown, IDB_DOWN, IDB_DOWN_DISABLED}};
    for (const auto& b : buttons)
    {
        b.button->SetBitmapLabel(Resources::Bitmap(b.normal));
        if (b.disabled)
            b.button->SetBitmapDisabled(Resources::Bitmap(b.disabled));
        b.button->SetSize(FromDIP(wxSize(kButtonSize, kButtonSize)));
        b.button->Show();
    }
}

int CListDlg::ShowModal()
{
    if (!m_list)
        return -1;
    // Checked before the dialog shows, so a checklist that cannot be opened
    // never flashes an empty editor.
    if (m_listId == 0)
        ShowMessage("The id was not set!!", wxString(), wxOK);
    if (!m_record.LoadList(m_listId))
    {
        ShowMessage("Error loading the checklist!", wxString(), wxOK);
        return wxID_CANCEL;
    }
    return wxDialog::ShowModal();
}

void CListDlg::OnInitDialog(wxInitDialogEvent& event)
{
    wxDialog::OnInitDialog(event);
    MakeFullScreen(*this, IDC_TITLE_BAR, false); // laid out by LayOut()

    // Opened without ShowModal's checks: the same checks, the close deferred
    // until the dialog runs.
    if (m_listId == 0 || m_record.id != m_listId)
    {
        if (m_listId == 0)
            ShowMessage("The id was not set!!", wxString(), wxOK, this);
        if (!m_record.LoadList(m_listId))
        {
            ShowMessage("Error loading the checklist!", wxString(), wxOK, this);
            CallAfter([this] { CloseDialog(*this, wxID_CANCEL); });
            return;
        }
    }

    if (m_list->GetColumnCount() == 0)
    {
        m_list->EnableCheckBoxes();
        m_list->InsertColumn(0, wxString(), wxLIST_FORMAT_LEFT, 100);
        m_list->InsertColumn(1, wxString(), wxLIST_FORMAT_LEFT, 100);
    }
    FillList();
    FillCategoryBox();
    DisableItemButtons();

    m_titleBar->SetLabel(ToWx(m_record.name));
    SetTitle(ToWx(m_record.name));
    LayOut();
    m_list->SetFocus();
}

wxMenu* CListDlg::GetBarMenu(int buttonId) const
{
    switch (buttonId)
    {
    case ID_MENU_LIST:
        return m_listMenu.get();
    case ID_MENU_ITEMS:
        return m_itemsMenu.get();
    case ID_MENU_TOOLS:
        return m_toolsMenu.get();
    default:
        return nullptr;
    }
}

void CListDlg::OnMenuButton(wxCommandEvent& event)
{
    // Shown by the dialog, so the entries' commands are the dialog's. The
    // toolkit asks for the states of the popup's own entries only and flips
    // a check mark when its entry is chosen: the marks of the submenus too
    // are set from the update handlers here, each time.
    if (wxMenu* menu = GetBarMenu(event.GetId()))
    {
        menu->UpdateUI(GetEventHandler());
        // The bar is at the bottom: its menus open upward from its top edge.
        wxWindow* bar = wxDynamicCast(event.GetEventObject(), wxWindow);
        const wxPoint pointer = ScreenToClient(wxGetMousePosition());
        const int top = bar ? ScreenToClient(bar->GetScreenPosition()).y : pointer.y;
        PopupMenuWithin(*this, *menu, wxPoint(pointer.x, top), MenuOpens::Up);
    }
}

void CListDlg::OnSize(wxSizeEvent&)
{
    LayOut();
}

// The template's rectangles stretched to the dialog: title across the top,
// the command bar at the bottom as on the device, the button strip above it
// and the list in between.
void CListDlg::LayOut()
{
    if (!m_list)
        return;
    const wxSize client = GetClientSize();
    const int barHeight = m_commandBar ? m_commandBar->GetBestSize().y : 0;
    const int titleHeight = ConvertDialogToPixels(wxSize(0, kTitleHeightDlu)).y;
    const int stripHeight = ConvertDialogToPixels(wxSize(0, kStripHeightDlu)).y;
    const int stripTop = std::max(titleHeight, client.y - barHeight - stripHeight);

    m_titleBar->SetSize(0, 0, client.x, titleHeight);
    m_list->SetSize(0, titleHeight, client.x, std::max(0, stripTop - titleHeight));

    const wxSize stripSize(std::max(1, client.x), stripHeight);
    if (m_buttonStrip->GetSize() != stripSize || !m_buttonStrip->GetBitmap().IsOk())
    {
        const wxBitmapBundle strip = Resources::Bitmap(IDB_BUTTON_STRIP);
        // Stretched in the display's own pixels, not enlarged afterwards.
        const double scale = GetContentScaleFactor();
        const wxSize device(wxRound(stripSize.x * scale), wxRound(stripSize.y * scale));
        wxImage image = strip.GetBitmap(FromDIP(Resources::BitmapSize(IDB_BUTTON_STRIP)) * wxRound(scale))
                            .ConvertToImage();
        if (image.IsOk())
        {
            image.Rescale(device.x, device.y, wxIMAGE_QUALITY_BILINEAR);
            m_buttonStrip->SetBitmap(wxBitmap(image, -1, scale));
        }
    }
    m_buttonStrip->SetSize(wxRect(wxPoint(0, stripTop), stripSize));

    const int buttonTop = stripTop + ConvertDialogToPixels(wxSize(0, kButtonOffsetDlu)).y;
    for (wxBitmapButton* button : {m_btnNew, m_btnEdit, m_btnDelete, m_btnUp, m_btnDown})
        button->Move(button->GetPosition().x, buttonTop);

    if (m_commandBar)
    {
        m_commandBar->SetSize(0, client.y - barHeight, client.x, barHeight);
        m_commandBar->Layout();
    }
    SetColumnWidths();
}

// The list draws each row's check box inside column 0, in a lane wider than
// the device's 16-pixel box; column 0 grows by the difference so that the
// priority keeps its room. The name takes the rest of the row, at least as
// much as the template gives it.
void CListDlg::SetColumnWidths()
{
    if (!m_list || m_list->GetColumnCount() < 2)
        return;
    const int boxLane = CheckBoxRight() + m_list->FromDIP(kCheckBoxMargin);
    const int extra = std::max(0, boxLane - m_list->FromDIP(kDeviceBoxWidth));
    const int room = m_list->GetClientSize().x - wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, m_list);
    if (m_showPriority)
    {
        const int priority = m_list->FromDIP(kPriorityWidth) + extra;
        m_list->SetColumnWidth(0, priority);
        m_list->SetColumnWidth(1, std::max(room - priority, m_list->FromDIP(kNameWidthWithPriority)));
    }
    else
    {
        m_list->SetColumnWidth(0, std::max(room, m_list->FromDIP(kNameWidth) + extra));
        m_list->SetColumnWidth(1, 0);
    }
}

int CListDlg::CheckBoxRight() const
{
    return m_list->FromDIP(kCheckBoxLead + kCheckBoxMargin) + wxRendererNative::Get().GetCheckBoxSize(m_list).x;
}

bool CListDlg::ReadShowPriority() const
{
    SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
    return key.ReadNumber(u"ShowPriority", 0) != 0;
}

void CListDlg::FillList()
{
    if (!m_list)
        return;
    // Ticking down a long list keeps its place: the same first visible row
    // and the same item selected.
    const ListPlace place(*m_list, [this](long row) {
        return static_cast<size_t>(row) < m_record.items.size() ? m_record.items[row].id : 0;
    });
    DisableItemButtons();
    wxWindowUpdateLocker noRedraw(m_list);
    m_list->DeleteAllItems();
    m_boxes.clear();

    // The record as stored now (another instance may have changed it); a
    // checklist gone meanwhile keeps what was last read.
    m_record.LoadList(m_listId);
    m_record.LoadItems(m_filter);
    m_showPriority = ReadShowPriority();
    SetColumnWidths();

    // Rows are virtual: the list asks for the texts of the rows it shows.
    m_boxes.reserve(m_record.items.size());
    for (const ItemRecord& item : m_record.items)
        m_boxes.push_back(item.checked != 0);
    m_list->SetItemCount(static_cast<long>(m_record.items.size()));
    const long selected = place.Restore(*m_list, [this](int32_t id) {
        const auto it = std::find_if(m_record.items.begin(), m_record.items.end(),
                                     [id](const ItemRecord& item) { return item.id == id; });
        return it == m_record.items.end() ? -1L : static_cast<long>(it - m_record.items.begin());
    });
    if (selected >= 0)
        EnableItemButtons(selected);
    m_list->Refresh(true);
}

wxString CListDlg::RowText(long row, long column) const
{
    if (row < 0 || static_cast<size_t>(row) >= m_record.items.size())
        return wxString();
    const ItemRecord& item = m_record.items[row];
    if (m_showPriority)
        return column == 0 ? wxString::Format("%d", item.priority) : ToWx(item.name);
    return column == 0 ? ToWx(item.name) : wxString();
}

bool CListDlg::IsBoxChecked(long row) const
{
    return row >= 0 && static_cast<size_t>(row) < m_boxes.size() && m_boxes[row] != 0;
}

void CListDlg::FillCategoryBox()
{
    if (!m_categoryBox)
        return;
    m_categoryBox->Clear();
    CategoryList categories;
    if (!categories.LoadCategories())
        categories.clear();
    for (const CategoryRecord& category : categories)
        m_categoryBox->Append(ToWx(category.name));
    m_categoryBox->Append("Unfiled");
    m_categoryBox->Append("Edit...");

    int select = wxNOT_FOUND;
    for (unsigned i = 0; i < m_categoryBox->GetCount(); ++i)
    {
        if (FromWx(m_categoryBox->GetString(i)) == m_record.category)
        {
            select = static_cast<int>(i);
            break;
        }
    }
    m_categoryBox->SetSelection(select);
}

void CListDlg::DisableItemButtons()
{
    for (wxBitmapButton* button : {m_btnEdit, m_btnDelete, m_btnUp, m_btnDown})
    {
        if (button)
            button->Disable();
    }
}

void CListDlg::OnHelp(wxHelpEvent& event)
{
    ShowHelpTopic(u"#ChecklistDlg_Help");
    event.Skip();
}

void CListDlg::OnCharHook(wxKeyEvent& event)
{
    // Escape closes; Enter stays with the list, where it opens the row.
    if (event.GetKeyCode() == WXK_ESCAPE && HandleDialogKey(*this, event))
        return;
    event.Skip();
}

void CListDlg::OnExportList(wxCommandEvent&)
{
    ShowMessage("Export List", wxString(), wxOK, this);
}

void CListDlg::OnImportList(wxCommandEvent&)
{
    ShowMessage("Import List", wxString(), wxOK, this);
}
