// main() of the tests that run real windows: a wx application whose
// start-up loads the program's resources, then the tests run inside it.
#include "tests/support/GuiTest.h"
#include "tests/support/TempXdg.h"

#include "controls/Controls.h"
#include "resources/Resources.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/stopwatch.h>
#include <wx/timer.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#if defined(TALLYARD_TEST_WINDOW_MANAGER) || defined(TALLYARD_TEST_WAYLAND)
#include "tests/support/WindowManager.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#endif

namespace
{
class GuiTestApp : public wxApp
{
public:
    bool OnInit() override
    {
        RegisterControlXrcHandlers();
        return Resources::Init();
    }
};

void ReportAssert(const wxString& file, int line, const wxString& func, const wxString& cond, const wxString& msg)
{
    if (Resources::IsHarmlessAssert(file, line, func, cond, msg))
        return;
    ADD_FAILURE_AT(file.utf8_str(), line) << "wx assert in " << func << ": " << cond << " " << msg;
}
}

void Pump(int ms)
{
    wxStopWatch sw;
    do
    {
        wxTheApp->ProcessPendingEvents();
        while (wxEventLoopBase::GetActive() && wxEventLoopBase::GetActive()->Pending())
            wxEventLoopBase::GetActive()->Dispatch();
        wxYield();
        wxMilliSleep(2);
    } while (sw.Time() < ms);
}

bool WaitFor(const std::function<bool()>& pred, int ms)
{
    wxStopWatch sw;
    while (!pred())
    {
        if (sw.Time() > ms)
            return false;
        Pump(5);
    }
    return true;
}

void ClickAt(wxWindow* win, const wxPoint& pt)
{
    wxUIActionSimulator sim;
    sim.MouseMove(win->ClientToScreen(pt));
    Pump(30);
    sim.MouseClick();
    Pump(50);
}

void HoldAt(wxWindow* win, const wxPoint& pt, int holdMs)
{
    wxUIActionSimulator sim;
    sim.MouseMove(win->ClientToScreen(pt));
    Pump(30);
    sim.MouseDown();
    Pump(holdMs);
    sim.MouseUp();
    Pump(50);
}

bool HoldReleaseThen(wxWindow* win, const wxPoint& pt, int holdMs, int afterMs, const std::function<void()>& then,
                     int button)
{
    wxUIActionSimulator sim;
    sim.MouseMove(win->ClientToScreen(pt));
    Pump(30);
    bool done = false;
    wxTimer release;
    wxTimer after;
    release.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        wxUIActionSimulator().MouseUp(button);
        after.StartOnce(afterMs);
    });
    after.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        then();
        done = true;
    });
    sim.MouseDown(button);
    release.StartOnce(holdMs);
    const bool ran = WaitFor([&] { return done; }, holdMs + afterMs + 5000);
    if (!ran && wxGetMouseState().ButtonIsDown(static_cast<wxMouseButton>(button)))
        sim.MouseUp(button);
    // Timers may not outlive this call with a handler still due.
    release.Stop();
    after.Stop();
    Pump(50);
    return ran;
}

std::vector<std::string> ChooseFromMenu(wxWindow* shower, wxMenu* menu, const std::function<void()>& open,
                                        const std::vector<int>& read, int choose)
{
    MenuWatch menus(shower);
    int highlighted = wxID_NONE;
    const auto onHighlight = [&](wxMenuEvent& event) {
        highlighted = event.GetMenuId();
        event.Skip();
    };
    shower->Bind(wxEVT_MENU_HIGHLIGHT, onHighlight);
    std::vector<std::string> shown;
    bool looked = false;
    bool reached = false;
    int steps = 0;
    wxTimer look;
    wxTimer step;
    look.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (!menus.IsOpen())
            return;
        look.Stop();
        looked = true;
        for (int id : read)
        {
            const wxMenuItem* item = menu->FindItem(id);
            shown.push_back(item ? (item->GetItemLabelText() + (item->IsEnabled() ? "" : " (disabled)")).utf8_string()
                                 : std::string("<none>"));
        }
        step.Start(120);
    });
    step.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        wxUIActionSimulator keys;
        if (highlighted == choose || ++steps > int(menu->GetMenuItemCount()) + 2)
        {
            step.Stop();
            reached = highlighted == choose;
            keys.Char(reached ? WXK_RETURN : WXK_ESCAPE);
            return;
        }
        keys.Char(WXK_DOWN);
    });
    look.Start(100);
    open();
    EXPECT_TRUE(WaitFor([&] { return looked && !menus.IsOpen(); }, 6000)) << "the menu did not open and close";
    EXPECT_TRUE(reached) << "entry " << choose << " was not reached from the keyboard";
    shower->Unbind(wxEVT_MENU_HIGHLIGHT, onHighlight);
    Pump(100);
    return shown;
}

MenuWatch::MenuWatch(wxWindow* win) : m_win(win)
{
    m_win->Bind(wxEVT_MENU_OPEN, &MenuWatch::OnOpen, this);
    m_win->Bind(wxEVT_MENU_CLOSE, &MenuWatch::OnClose, this);
}

MenuWatch::~MenuWatch()
{
    m_win->Unbind(wxEVT_MENU_OPEN, &MenuWatch::OnOpen, this);
    m_win->Unbind(wxEVT_MENU_CLOSE, &MenuWatch::OnClose, this);
}

void MenuWatch::OnOpen(wxMenuEvent& event)
{
    ++m_open;
    ++m_opened;
    event.Skip();
}

void MenuWatch::OnClose(wxMenuEvent& event)
{
    --m_open;
    event.Skip();
}

wxString AppTitle()
{
    return wxTheApp->GetAppName();
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
#if defined(TALLYARD_TEST_WAYLAND)
    // A Wayland compositor of the tests' own.
    std::string error;
    if (!StartWaylandDisplay(1280, 800, error))
    {
        std::fprintf(stderr, "no Wayland compositor: %s\n", error.c_str());
        return 4;
    }
#elif defined(TALLYARD_TEST_WINDOW_MANAGER)
    // Placement is the window manager's to decide: these tests run on a
    // display of their own under a real one.
    // TALLYARD_TEST_SCREEN ("2560x1600") sizes the display in device pixels,
    // e.g. for a doubled scale.
    std::string error;
    int width = 1280, height = 800;
    if (const char* screen = std::getenv("TALLYARD_TEST_SCREEN"))
        std::sscanf(screen, "%dx%d", &width, &height);
    if (!StartWindowManagerDisplay(width, height, error))
    {
        std::fprintf(stderr, "no window manager display: %s\n", error.c_str());
        return 4;
    }
#endif
    InstallTempXdg();
    wxApp::SetInstance(new GuiTestApp);
    if (!wxEntryStart(argc, argv))
        return 2;
    if (!wxTheApp->CallOnInit())
        return 3;
    wxSetAssertHandler(ReportAssert);
    int rc = RUN_ALL_TESTS();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return rc;
}
