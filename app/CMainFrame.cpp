#include "app/CMainFrame.h"

#include "app/CStartupSplash.h"
#include "app/CSyncController.h"
#include "app/CToolStrip.h"
#include "app/FramePlacement.h"
#include "controls/Contrast.h"
#include "controls/WithinWindow.h"
#include "dialogs/CSyncSettingsDlg.h"
#include "resources/ResourceIds.h"
#include "resources/Resources.h"

#include <wx/accel.h>
#include <wx/combobox.h>
#include <wx/iconbndl.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/toolbar.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace
{
// The toolbar's commands, in the order of the images in bitmap 128.
const int s_toolIds[] = {ID_NEW_CHECKLIST, ID_OPEN_CHECKLIST, ID_DELETE_CHECKLIST, ID_LIST_NOTE,
                         ID_COPY_LIST,     ID_MOVE_UP,        ID_MOVE_DOWN};
constexpr int kToolCount = sizeof(s_toolIds) / sizeof(s_toolIds[0]);
constexpr int kToolSize = 16;
constexpr int kToolBarHeight = 24;
constexpr int kCategoryWidth = 80;
// The drop-down grows with the window up to this width, enough for any
// usual category name beside the toolkit's arrow.
constexpr int kCategoryWidthMax = 260;
// What a picture's lines need against the bar to be seen.
constexpr double kPictureContrast = 3.0;

// Each button names its own command when hovered.
const char* const s_toolTips[kToolCount] = {"New Checklist", "Open Checklist", "Delete Checklist", "List Note",
                                            "Copy List",     "Move Up",        "Move Down"};

/// The command bar: a "Tools" menu button that opens menu 128 above it, and
/// room for the category drop-down.
class CCommandBar : public wxToolBar
{
public:
    CCommandBar(wxWindow* parent, std::unique_ptr<wxMenu> menu)
        : wxToolBar(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                    wxTB_HORIZONTAL | wxTB_FLAT | wxTB_TEXT | wxTB_NOICONS | wxTB_NODIVIDER | wxNO_BORDER),
          m_menu(std::move(menu))
    {
    }

    wxMenu* GetMenu() const { return m_menu.get(); }

private:
    // From the bar at the bottom edge the menu opens upward, over the window,
    // where the button was pressed.
    void OnMenuButton(wxCommandEvent&)
    {
        const int x = std::max(0, std::min(ScreenToClient(wxGetMousePosition()).x, GetClientSize().x));
        PopupMenuWithin(*this, *m_menu, wxPoint(x, 0), MenuOpens::Up);
    }

    std::unique_ptr<wxMenu> m_menu;

    wxDECLARE_EVENT_TABLE();
};

// clang-format off
wxBEGIN_EVENT_TABLE(CCommandBar, wxToolBar)
    EVT_TOOL(ID_MENU_TOOLS,                          CCommandBar::OnMenuButton)
wxEND_EVENT_TABLE()
// clang-format on

// Menu 128: the popup the command bar's "Tools" button opens.
std::unique_ptr<wxMenu> LoadToolsMenu()
{
    return std::unique_ptr<wxMenu>(wxXmlResource::Get()->LoadMenu("IDR_MAINFRAME"));
}

// The bars keep their fixed ids, which lie above the range wx checks for new
// windows; nothing routes by them.
void SetBarId(wxWindow* bar, int id)
{
    bar->SetId(id);
}

// The window manager's sizes of the program icon; the large ones are the
// installed scalable icon's job, and drawing them would slow every start.
wxIconBundle WindowIcons(const wxWindow* window)
{
    wxIconBundle icons;
    const wxBitmapBundle picture = Resources::AppIcon();
    if (!picture.IsOk())
        return icons;
    for (int size : {16, 24, 32, 48})
    {
        wxIcon icon;
        icon.CopyFromBitmap(picture.GetBitmap(window->FromDIP(wxSize(size, size))));
        icons.AddIcon(icon);
    }
    return icons;
}

// Bitmap 128 drawn once for each usual display scale.
const double s_scales[] = {1.0, 1.5, 2.0};

std::vector<wxImage> DrawStrips(const wxBitmapBundle& strip)
{
    // Drawn for a light bar; on a dark theme's bar their dark lines are lifted.
    const wxColour back = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    std::vector<wxImage> images;
    for (double scale : s_scales)
    {
        const int size = wxRound(kToolSize * scale);
        // Cut later in pixels: a scaled bitmap's own sub-bitmaps count in points.
        images.push_back(strip.GetBitmap(wxSize(size * kToolCount, size)).ConvertToImage());
        LiftFromDarkBackground(images.back(), back, kPictureContrast);
    }
    return images;
}

// One 16 x 16 image of bitmap 128, sharp at each of those scales.
wxBitmapBundle ToolImage(const std::vector<wxImage>& strips, int index)
{
    wxVector<wxBitmap> bitmaps;
    for (size_t i = 0; i < strips.size(); ++i)
    {
        const int size = wxRound(kToolSize * s_scales[i]);
        if (strips[i].IsOk())
            bitmaps.push_back(wxBitmap(strips[i].GetSubImage(wxRect(index * size, 0, size, size))));
    }
    return wxBitmapBundle::FromBitmaps(bitmaps);
}
}

// clang-format off
wxBEGIN_EVENT_TABLE(CMainFrame, wxDocParentFrame)
    EVT_MENU(ID_APP_EXIT,                            CMainFrame::OnAppExit)
    EVT_SIZE(                                        CMainFrame::OnSize)
    EVT_MOVE(                                        CMainFrame::OnMove)
    EVT_CLOSE(                                       CMainFrame::OnClose)
    EVT_MENU(ID_SYNC_NOW,                            CMainFrame::OnSyncNow)
    EVT_MENU(ID_SYNC_SETTINGS,                       CMainFrame::OnSyncSettings)
wxEND_EVENT_TABLE()
// clang-format on

CMainFrame::CMainFrame(wxDocManager* manager, int startupWaitMs)
    : wxDocParentFrame(manager, nullptr, wxID_ANY, "Tallyard")
{
    m_created = OnCreate(startupWaitMs);
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::OnCreate(int startupWaitMs)
{
    // Placed first, so the splash shows over the frame where it will be.
    RestorePlacement(*this, FromDIP(wxSize(kScreenWidth, kScreenHeight)));
    m_normal = {GetPosition(), GetClientSize(), false};
    CStartupSplash::Show(this);

    SetIcons(WindowIcons(this));

    m_reBar = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                          wxBORDER_SIMPLE | wxCLIP_CHILDREN | wxTAB_TRAVERSAL);
    SetBarId(m_reBar, IDC_REBAR);
    auto* bands = new wxBoxSizer(wxVERTICAL);
    m_reBar->SetSizer(bands);

    if (!CreateCommandBar() || !CreateToolBar())
        return false;
    m_dialogBar = wxXmlResource::Get()->LoadPanel(m_reBar, "IDD_DIALOGBAR");
    if (!m_dialogBar)
        return false;
    SetBarId(m_dialogBar, IDC_DIALOGBAR);
    m_sync = std::make_unique<CSyncController>(this, m_dialogBar->FindWindow(IDC_DIALOGBAR_TEXT));

    bands->Add(m_commandBar, wxSizerFlags().Expand());
    bands->Add(m_toolBar, wxSizerFlags().Expand());
    bands->Add(m_dialogBar, wxSizerFlags().Expand());

    m_sizer = new wxBoxSizer(wxVERTICAL);
    m_sizer->AddStretchSpacer();
    m_sizer->Add(m_reBar, wxSizerFlags().Expand());
    SetSizer(m_sizer);
    FitCategorySelector();
    Layout();
    FitDialogBarText();

    static const wxAcceleratorEntry accelerators[] = {
        {wxACCEL_CTRL, 'N', ID_FILE_NEW},  {wxACCEL_CTRL, 'O', ID_FILE_OPEN},  {wxACCEL_CTRL, 'S', ID_FILE_SAVE},
        {wxACCEL_CTRL, 'Q', ID_APP_EXIT},  {wxACCEL_CTRL, 'Z', ID_EDIT_UNDO},  {wxACCEL_CTRL, 'X', ID_EDIT_CUT},
        {wxACCEL_CTRL, 'C', ID_EDIT_COPY}, {wxACCEL_CTRL, 'V', ID_EDIT_PASTE},
        // Redo, beside the undo above.
        {wxACCEL_CTRL, 'Y', ID_EDIT_REDO}, {wxACCEL_CTRL | wxACCEL_SHIFT, 'Z', ID_EDIT_REDO},
    };
    SetAcceleratorTable(wxAcceleratorTable(WXSIZEOF(accelerators), accelerators));

    // The splash stays up meanwhile; no input is handled during the wait.
    wxMilliSleep(startupWaitMs);
    CStartupSplash::Enable(false);
    return true;
}

bool CMainFrame::CreateCommandBar()
{
    std::unique_ptr<wxMenu> menu = LoadToolsMenu();
    if (!menu)
        return false;
    m_toolsMenu = menu.get();
    auto* bar = new CCommandBar(m_reBar, std::move(menu));
    m_commandBar = bar;
    SetBarId(bar, IDC_COMMAND_BAR);
    const wxString label = Resources::String(IDS_TOOLS);
    wxBitmap blank(1, 1, 32);
    bar->AddTool(ID_MENU_TOOLS, label.empty() ? wxString("Tools") : label, wxBitmapBundle(blank));

    m_categoryCombo = new wxComboBox(bar, IDC_CATEGORY, wxString(), wxDefaultPosition,
                                     wxSize(FromDIP(kCategoryWidth), -1), 0, nullptr, wxCB_READONLY | wxCB_DROPDOWN);
    bar->AddControl(m_categoryCombo);
    return bar->Realize();
}

bool CMainFrame::CreateToolBar()
{
    const wxBitmapBundle strip = Resources::Bitmap(IDB_TOOLBAR);
    if (!strip.IsOk())
        return false;
    // The native toolbar needs far more than 24 pixels for 16-pixel images.
    m_toolBar = new CToolStrip(m_reBar, wxID_ANY, wxSize(kToolSize, kToolSize), kToolBarHeight);
    SetBarId(m_toolBar, IDC_TOOLBAR);
    const std::vector<wxImage> strips = DrawStrips(strip);
    for (int i = 0; i < kToolCount; ++i)
    {
        const wxBitmapBundle image = ToolImage(strips, i);
        if (!image.IsOk())
            return false;
        m_toolBar->AddTool(s_toolIds[i], image, s_toolTips[i]);
    }
    return true;
}

void CMainFrame::OnAppExit(wxCommandEvent&)
{
    // The framework's standard exit (Ctrl+Q): close the main window, which
    // ends the program. Nothing needs saving.
    Close();
}

void CMainFrame::OnSize(wxSizeEvent& event)
{
    event.Skip();
    FitCategorySelector();
    NotePlacement();
}

// The drop-down takes the command bar's width beside the Tools button: the
// toolkit's arrow alone would leave 80 pixels four letters.
void CMainFrame::FitCategorySelector()
{
    if (!m_commandBar || !m_categoryCombo)
        return;
    const int current = m_categoryCombo->GetSize().x;
    const int others = std::max(0, m_commandBar->GetBestSize().x - current);
    const int room = GetClientSize().x - others - FromDIP(4);
    const int width = std::max(FromDIP(kCategoryWidth), std::min(room, FromDIP(kCategoryWidthMax)));
    if (width == current)
        return;
    m_categoryCombo->SetMinSize(wxSize(width, -1));
    m_categoryCombo->SetSize(wxSize(width, -1));
    m_commandBar->Realize();
    m_commandBar->InvalidateBestSize();
}

void CMainFrame::OnMove(wxMoveEvent& event)
{
    event.Skip();
    NotePlacement();
}

void CMainFrame::NotePlacement()
{
    // What a restore returns to: the last size and place that were not
    // maximised, full screen or minimised.
    if (m_created && IsShown() && !IsMaximized() && !IsFullScreen() && !IsIconized())
        m_normal = {GetPosition(), GetClientSize(), false};
}

void CMainFrame::OnClose(wxCloseEvent& event)
{
    StorePlacement(*this, m_normal);
    event.Skip();
}

void CMainFrame::SetViewWindow(wxWindow* form)
{
    if (!m_sizer)
        return;
    // The form fills the client area above the bars.
    m_sizer->Clear(false);
    if (form)
        m_sizer->Add(form, wxSizerFlags(1).Expand());
    else
        m_sizer->AddStretchSpacer();
    m_sizer->Add(m_reBar, wxSizerFlags().Expand());
    Layout();
    FitDialogBarText();
}

void CMainFrame::FitDialogBarText()
{
    // The line of the last sync spans the bar.
    wxWindow* text = m_dialogBar ? m_dialogBar->FindWindow(IDC_DIALOGBAR_TEXT) : nullptr;
    if (text)
        text->SetSize(m_dialogBar->GetClientSize().x - FromDIP(2), -1);
}

void CMainFrame::OnSyncNow(wxCommandEvent&)
{
    m_sync->SyncNow();
}

void CMainFrame::OnSyncSettings(wxCommandEvent&)
{
    CSyncSettingsDlg dlg(this);
    if (dlg.ShowModal() == wxID_OK)
        m_sync->SettingsChanged(dlg.UnkeptPassword());
}
