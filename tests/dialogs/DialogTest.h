#ifndef TALLYARD_TESTS_DIALOGS_DIALOGTEST_H
#define TALLYARD_TESTS_DIALOGS_DIALOGTEST_H

// Running the program's modal dialogs from tests: the test acts on the shown
// dialog from inside its modal loop, with real clicks on the title bar.

#include "tests/support/GuiTest.h"

#include "platform/Process.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/frame.h>
#include <wx/dialog.h>
#include <wx/textctrl.h>
#include <wx/time.h>

#include <functional>
#include <string>
#include <vector>

enum class TitleArea
{
    Ok,
    Cancel,
    Help
};

/// A click, spaced from the previous one so that two clicks on one spot
/// (dialogs open at the same place) are not taken for a double click.
inline void SpacedClickAt(wxWindow* win, const wxPoint& pt)
{
    static wxLongLong s_lastClick = 0;
    const int gap = 500; // above the toolkit's double-click time
    while (wxGetLocalTimeMillis() - s_lastClick < gap)
        Pump(20);
    ClickAt(win, pt);
    s_lastClick = wxGetLocalTimeMillis();
}

/// Taps a disc of the dialog's title bar (control `barId`) with a real click.
inline void TapTitleBar(wxDialog& dlg, TitleArea area, int barId = 1003)
{
    wxWindow* bar = dlg.FindWindow(barId);
    ASSERT_NE(nullptr, bar);
    const int right = bar->GetClientSize().x;
    const int fromRight = area == TitleArea::Ok ? 24 : area == TitleArea::Cancel ? 48 : 72;
    SpacedClickAt(bar, wxPoint(right - bar->FromDIP(fromRight), bar->FromDIP(10)));
}

/// Clicks the middle of a child window (a button, a radio button, a box).
inline void ClickChild(wxDialog& dlg, int id)
{
    wxWindow* child = dlg.FindWindow(id);
    ASSERT_NE(nullptr, child);
    const wxSize size = child->GetClientSize();
    SpacedClickAt(child, wxPoint(size.x / 2, size.y / 2));
}

/// The text of a text field of the dialog.
inline wxTextCtrl* TextField(wxDialog& dlg, int id)
{
    return wxDynamicCast(dlg.FindWindow(id), wxTextCtrl);
}

/// A shown main window of the device screen's size at the top left, made the
/// application's top window for the test's life.
class ScopedMainWindow
{
public:
    ScopedMainWindow() : m_frame(new wxFrame(nullptr, wxID_ANY, "Main", wxPoint(0, 0))), m_oldTop(wxTheApp->GetTopWindow())
    {
        m_frame->SetClientSize(m_frame->FromDIP(wxSize(240, 320)));
        m_frame->Show();
        wxTheApp->SetTopWindow(m_frame);
        WaitFor([&] { return m_frame->IsShownOnScreen(); });
        Pump(100);
    }
    ~ScopedMainWindow()
    {
        wxTheApp->SetTopWindow(m_oldTop);
        m_frame->Destroy();
        Pump(50);
    }
    ScopedMainWindow(const ScopedMainWindow&) = delete;
    ScopedMainWindow& operator=(const ScopedMainWindow&) = delete;

    wxRect ScreenRect() const { return m_frame->GetScreenRect(); }

private:
    wxFrame* m_frame;
    wxWindow* m_oldTop;
};

/// Shows `dlg` modally and runs `act` once it is on screen; `act` must close
/// it. Returns the dialog's result.
template <class Dlg>
int RunModal(Dlg& dlg, std::function<void(Dlg&)> act)
{
    dlg.CallAfter([&dlg, act] {
        WaitFor([&] { return dlg.IsShownOnScreen(); });
        Pump(30);
        act(dlg);
        if (dlg.IsModal())
        {
            ADD_FAILURE() << "the dialog was left open";
            dlg.EndModal(wxID_ABORT);
        }
    });
    return dlg.ShowModal();
}

/// Expects a nested dialog of type T shown modally; `act` gets it after its
/// opening ran (it is not really shown) and returns the modal result.
template <class T>
class ExpectDialog : public wxExpectModalBase<T, ExpectDialog<T>>
{
public:
    explicit ExpectDialog(std::function<int(T&)> act) : m_act(std::move(act)) {}

protected:
    int OnInvoked(T* dlg) const override
    {
        dlg->InitDialog();
        return m_act(*dlg);
    }

private:
    std::function<int(T&)> m_act;
};

/// Sends the dialog the title bar's OK and returns the code it closed with,
/// or wxID_NONE when it stayed open. For dialogs driven by ExpectDialog.
inline int ConfirmNested(wxDialog& dlg)
{
    dlg.SetReturnCode(wxID_NONE);
    wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
    ok.SetEventObject(&dlg);
    dlg.ProcessWindowEvent(ok);
    return dlg.GetReturnCode();
}

/// Records the argument vectors of the processes the program starts.
class LaunchRecorder
{
public:
    LaunchRecorder()
    {
        Process::SetLauncher([this](const std::vector<std::string>& argv) {
            m_launches.push_back(argv);
            return true;
        });
    }
    ~LaunchRecorder() { Process::ResetLauncher(); }
    LaunchRecorder(const LaunchRecorder&) = delete;
    LaunchRecorder& operator=(const LaunchRecorder&) = delete;

    size_t Count() const { return m_launches.size(); }
    /// The last argument of the last launch (the help file and its anchor).
    std::string LastArgument() const
    {
        return m_launches.empty() || m_launches.back().empty() ? std::string() : m_launches.back().back();
    }

private:
    std::vector<std::vector<std::string>> m_launches;
};

inline bool EndsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

#endif
