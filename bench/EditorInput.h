#ifndef TALLYARD_BENCH_EDITORINPUT_H
#define TALLYARD_BENCH_EDITORINPUT_H

// Input to the checklist editor as the toolkit delivers it, for the timing
// programs that tick in it.

#include "controls/GestureListCtrl.h"
#include "editor/CListDlg.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/stopwatch.h>

inline void DispatchPending()
{
    wxTheApp->ProcessPendingEvents();
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    while (loop && loop->Pending())
        loop->Dispatch();
}

inline bool WaitShown(wxWindow* window)
{
    wxStopWatch watch;
    while (!window->IsShownOnScreen())
    {
        if (watch.Time() > 10000)
            return false;
        DispatchPending();
        wxYield();
    }
    return true;
}

/// Lets the editor settle as between two real taps.
inline void Settle()
{
    for (int i = 0; i < 5; ++i)
    {
        DispatchPending();
        wxTheApp->ProcessIdle();
    }
}

/// A press at `x` on `row`, delivered to the rows' window.
inline void PressRow(CListDlg& dlg, long row, int x)
{
    wxRect rect;
    dlg.m_list->GetItemRect(row, rect);
    wxWindow* rows = dlg.m_list->GetMainWindow();
    const wxPoint at = dlg.m_list->ClientToMain(wxPoint(x, rect.y + rect.height / 2));
    wxMouseEvent down(wxEVT_LEFT_DOWN);
    down.SetPosition(at);
    down.SetLeftDown(true);
    down.SetEventObject(rows);
    rows->GetEventHandler()->ProcessEvent(down);
    wxMouseEvent up(wxEVT_LEFT_UP);
    up.SetPosition(at);
    up.SetEventObject(rows);
    rows->GetEventHandler()->ProcessEvent(up);
}

#endif
