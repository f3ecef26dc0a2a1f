#ifndef TALLYARD_APP_CMAINFRAME_H
#define TALLYARD_APP_CMAINFRAME_H

#include "app/FramePlacement.h"
#include "browser/ViewHost.h"

#include <wx/docview.h>

class CToolStrip;
class wxBoxSizer;
class wxComboBox;
class wxMenu;
class wxPanel;
class wxToolBar;

/// The main window: the view's form above a rebar at the bottom edge that
/// holds the command bar (Tools menu and category drop-down), the toolbar of
/// the seven checklist commands and the empty dialog bar. Of the commands
/// it handles only the standard exit: the document manager routes the
/// others to the view first.
class CMainFrame : public wxDocParentFrame, public CViewHost
{
public:
    /// The device screen's client area in device pixels.
    static constexpr int kScreenWidth = 240;
    static constexpr int kScreenHeight = 320;
    /// How long creation keeps the splash on screen.
    static constexpr int kStartupWaitMs = 1500;

    explicit CMainFrame(wxDocManager* manager);
    ~CMainFrame() override;

    /// False when a step of the creation failed.
    bool IsCreated() const { return m_created; }

    wxComboBox* GetCategorySelector() override { return m_categoryCombo; }
    void SetViewWindow(wxWindow* form) override;

    wxToolBar* GetCommandBar() const { return m_commandBar; }
    CToolStrip* GetChecklistToolBar() const { return m_toolBar; }
    wxWindow* GetDialogBar() const { return m_dialogBar; }
    wxPanel* GetReBar() const { return m_reBar; }
    /// The Tools menu the command bar opens (menu 128).
    wxMenu* GetToolsMenu() const { return m_toolsMenu; }

    /// Tests that build many frames may shorten the splash wait.
    static void SetStartupWaitForTest(int ms);

private:
    bool OnCreate();
    bool CreateCommandBar();
    bool CreateToolBar();
    void OnToolsButton(wxCommandEvent& event);
    void OnAppExit(wxCommandEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnMove(wxMoveEvent& event);
    void NotePlacement();
    void FitCategorySelector();
    void OnClose(wxCloseEvent& event);

    wxToolBar* m_commandBar = nullptr;
    CToolStrip* m_toolBar = nullptr;
    wxWindow* m_dialogBar = nullptr;
    wxPanel* m_reBar = nullptr;
    wxComboBox* m_categoryCombo = nullptr;
    wxMenu* m_toolsMenu = nullptr; // owned; shown below the Tools button
    wxBoxSizer* m_sizer = nullptr;
    bool m_created = false;
    FramePlacement m_normal;

    static int s_startupWaitMs;

    wxDECLARE_EVENT_TABLE();
};

#endif
