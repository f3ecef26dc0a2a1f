#ifndef TALLYARD_APP_CSYNCCONTROLLER_H
#define TALLYARD_APP_CSYNCCONTROLLER_H

#include "sync/SyncEngine.h"

#include <wx/event.h>
#include <wx/string.h>
#include <wx/timer.h>

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <thread>

class wxFrame;

/// Runs the syncs of the program: one at a time on a worker thread (with a
/// store connection of its own), never on the user-interface thread. What a
/// sync brings reaches the windows through the store: when it ends, an event
/// on the main loop rebuilds the main view and an open editor and shows the
/// outcome in the dialog bar. With "Sync automatically" on it syncs shortly
/// after start, a few seconds after the last change to the store, and every
/// 15 minutes.
class CSyncController : public wxEvtHandler
{
public:
    static constexpr int kQuietSeconds = 3;
    static constexpr int kPeriodSeconds = 15 * 60;

    /// `statusText` is the dialog bar's line.
    CSyncController(wxFrame* frame, wxWindow* statusText);
    ~CSyncController() override;

    /// Begins the automatic syncs (called once the main window is painted).
    void Start();
    /// A sync asked for by the user; queued behind one that runs.
    void SyncNow();
    /// Sync Settings changed; `password` is one to use during this run only.
    void SettingsChanged(const std::string& password);

    bool IsRunning() const { return m_running; }
    /// When the last sync ended, and why it failed if it did.
    const wxString& StatusLine() const { return m_status; }
    /// Told on the main loop after each sync's windows are rebuilt.
    std::function<void(const Sync::Report&)> onFinished;

private:
    struct Stamp
    {
        off_t size = 0;
        long long nanos = 0;
        bool operator!=(const Stamp& o) const { return size != o.size || nanos != o.nanos; }
    };
    static Stamp StoreStamp();

    void OnPoll(wxTimerEvent& event);
    void Begin();
    void Finish(const Sync::Report& report, bool needPassword);
    void RebuildWindows();
    void ShowStatus(const wxString& text);

    wxFrame* m_frame;
    wxWindow* m_statusText;
    wxTimer m_poll;
    std::thread m_worker;
    bool m_running = false;
    bool m_again = false;
    bool m_started = false;
    bool m_askedPassword = false;
    std::string m_password; // for this run only
    Stamp m_stamp;
    Stamp m_stampAtBegin;
    std::time_t m_lastChange = 0;
    std::time_t m_lastEnd = 0;
    wxString m_status;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);

    wxDECLARE_EVENT_TABLE();
};

#endif
