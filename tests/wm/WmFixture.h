#ifndef TALLYARD_TESTS_WM_WMFIXTURE_H
#define TALLYARD_TESTS_WM_WMFIXTURE_H

// What the tests under a window manager share: the main window once the
// manager has placed it, and a dialog shown modally while a check runs.

#include "resources/ResourceIds.h"
#include "tests/browser/BrowserFixture.h"
#include "tests/support/WindowManager.h"

#include <wx/app.h>

#include <functional>

/// The toolbar's commands, left to right.
inline const int kToolIds[] = {ID_NEW_CHECKLIST, ID_OPEN_CHECKLIST, ID_DELETE_CHECKLIST, ID_LIST_NOTE,
                               ID_COPY_LIST,     ID_MOVE_UP,        ID_MOVE_DOWN};

/// Shows `dlg` modally and runs `act` once the manager has it on screen;
/// cancels it afterwards unless `act` ended it.
template <class Dlg>
void WhileShown(Dlg& dlg, const std::function<void(Dlg&)>& act, int settleMs = 300)
{
    dlg.CallAfter([&dlg, act, settleMs] {
        WaitFor([&] { return dlg.IsShownOnScreen() && ServerClientRect(&dlg).width > 0; });
        Pump(settleMs);
        act(dlg);
        if (dlg.IsModal())
            dlg.EndModal(wxID_CANCEL);
    });
    dlg.ShowModal();
}

class PlacedBrowserTest : public BrowserTest
{
protected:
    /// Opens the main window and waits until the manager has placed it.
    void OpenPlaced()
    {
        Open();
        wxTheApp->SetTopWindow(m_frame);
        ASSERT_TRUE(WaitFor([&] { return ServerClientRect(m_frame).width > 0; }));
        Settle();
    }

    /// Until the manager has stopped moving the frame.
    void Settle()
    {
        wxRect last;
        WaitFor(
            [&] {
                const wxRect now = ManagedFrameRect(m_frame);
                Pump(80);
                const bool same = now == last && now == ManagedFrameRect(m_frame);
                last = now;
                return same;
            },
            3000);
        Pump(100);
    }

    void TearDown() override
    {
        wxTheApp->SetTopWindow(nullptr);
        BrowserTest::TearDown();
    }
};

#endif
