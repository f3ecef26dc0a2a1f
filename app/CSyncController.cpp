#include "app/CSyncController.h"

#include "controls/WxString.h"
#include "editor/CListDlg.h"
#include "platform/ObjectStore.h"
#include "sync/SyncRun.h"

#include <wx/app.h>
#include <wx/datetime.h>
#include <wx/docview.h>
#include <wx/stattext.h>
#include <wx/textdlg.h>

#include "browser/CTallyardView.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace
{
constexpr int kPollMs = 1000;
constexpr int kPollTimerId = 1;
constexpr int kWorkerNice = 10;
}

wxBEGIN_EVENT_TABLE(CSyncController, wxEvtHandler)
    EVT_TIMER(kPollTimerId,                          CSyncController::OnPoll)
wxEND_EVENT_TABLE()

CSyncController::CSyncController(wxFrame* frame, wxWindow* statusText)
    : m_frame(frame), m_statusText(statusText), m_poll(this, kPollTimerId)
{
}

CSyncController::~CSyncController()
{
    m_poll.Stop();
    if (m_worker.joinable())
        m_worker.join();
}

CSyncController::Stamp CSyncController::StoreStamp()
{
    Stamp stamp;
    const std::string path = ObjectStore::StorePath();
    for (const std::string& file : {path, path + "-wal"})
    {
        struct stat st{};
        if (stat(file.c_str(), &st) == 0)
        {
            stamp.size += st.st_size;
            stamp.nanos += st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
        }
    }
    return stamp;
}

void CSyncController::Start()
{
    if (m_started)
        return;
    m_started = true;
    m_stamp = StoreStamp();
    // The first automatic sync comes with the first poll, after the paint.
    if (Sync::LoadSettings().automatic)
        m_lastChange = std::time(nullptr) - kQuietSeconds;
    m_poll.Start(kPollMs);
}

void CSyncController::SyncNow()
{
    if (m_running)
    {
        m_again = true;
        return;
    }
    Begin();
}

void CSyncController::SettingsChanged(const std::string& password)
{
    m_password = password;
    m_askedPassword = false;
}

void CSyncController::OnPoll(wxTimerEvent&)
{
    if (m_running || !Sync::LoadSettings().automatic)
        return;
    const std::time_t now = std::time(nullptr);
    const Stamp stamp = StoreStamp();
    if (stamp != m_stamp)
    {
        m_stamp = stamp;
        m_lastChange = now;
        return; // wait for a quiet moment
    }
    if ((m_lastChange && now - m_lastChange >= kQuietSeconds) || (m_lastEnd && now - m_lastEnd >= kPeriodSeconds))
        Begin();
}

void CSyncController::Begin()
{
    if (m_running)
        return;
    Sync::Settings settings = Sync::LoadSettings();
    if (settings.url.empty())
    {
        ShowStatus("Sync: no server address (Tools, Sync Settings...)");
        return;
    }
    if (m_worker.joinable())
        m_worker.join();
    m_running = true;
    m_lastChange = 0;
    m_stampAtBegin = StoreStamp();
    ShowStatus("Syncing...");
    std::weak_ptr<int> alive = m_alive;
    std::string password = m_password;
    m_worker = std::thread([this, alive, settings, password]() {
        // Below the windows' thread in the scheduler's eyes: a sync's reading
        // and merging never takes a core a tick wants.
        setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), kWorkerNice);
        // A connection of its own: the windows' changes meanwhile are never
        // part of the sync's transactions.
        ObjectStore::ThreadConnection own;
        std::string secret = password;
        bool needPassword = false;
        bool available = false;
        if (secret.empty() && !Sync::LookupPassword(settings, secret, available))
            needPassword = true;
        Sync::Report report;
        if (!needPassword)
            report = Sync::SyncOnce({settings.url, settings.user, secret, settings.allowUnencrypted});
        else
            report.error = "no password is kept for the account";
        if (wxTheApp)
            wxTheApp->CallAfter([this, alive, report, needPassword] {
                if (alive.lock())
                    Finish(report, needPassword);
            });
    });
}

void CSyncController::Finish(const Sync::Report& report, bool needPassword)
{
    if (m_worker.joinable())
        m_worker.join();
    m_running = false;
    m_lastEnd = std::time(nullptr);
    const Stamp now = StoreStamp();
    if (now != m_stampAtBegin)
        m_lastChange = m_lastEnd; // a change may have come in during the sync
    m_stamp = now;
    if (needPassword && !m_askedPassword)
    {
        // No Secret Service: asked once per run, kept for the run only.
        m_askedPassword = true;
        wxPasswordEntryDialog ask(m_frame, "Password for the sync account:", "Sync");
        if (ask.ShowModal() == wxID_OK && !ask.GetValue().empty())
        {
            m_password = ask.GetValue().ToStdString(wxConvUTF8);
            Begin();
            return;
        }
    }
    const wxString when = wxDateTime::Now().Format("%H:%M");
    if (report.ok)
        ShowStatus("Synced at " + when);
    else
        ShowStatus("Sync failed at " + when + ": " + wxString::FromUTF8(report.error));
    if (report.downloaded || report.deletedLocal || report.merged)
        RebuildWindows();
    if (onFinished)
        onFinished(report);
    if (m_again)
    {
        m_again = false;
        Begin();
    }
}

void CSyncController::RebuildWindows()
{
    wxDocManager* manager = wxDocManager::GetDocumentManager();
    if (auto* view = manager ? dynamic_cast<CTallyardView*>(manager->GetCurrentView()) : nullptr)
    {
        view->FillCategorySelector();
        view->RefreshList();
    }
    for (wxWindow* window : wxTopLevelWindows)
        if (auto* editor = dynamic_cast<CListDlg*>(window))
            editor->FillList();
}

void CSyncController::ShowStatus(const wxString& text)
{
    m_status = text;
    if (auto* label = dynamic_cast<wxStaticText*>(m_statusText))
    {
        label->SetLabel(text);
        label->SetToolTip(text);
    }
}
