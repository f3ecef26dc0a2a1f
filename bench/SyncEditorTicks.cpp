#include "bench/SyncBench.h"

#include "bench/BenchSupport.h"
#include "bench/EditorInput.h"

#include "app/CSyncController.h"
#include "controls/Controls.h"
#include "resources/Resources.h"
#include "sync/SyncRun.h"

#include <wx/frame.h>
#include <wx/stattext.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <thread>

namespace
{
constexpr int kBlocks = 12;        // sync off and on in turn
constexpr size_t kTicksPerBlock = 15; // not twice the rows: each block leaves changes to sync
constexpr int kPaceMs = 40;        // between two taps
constexpr int kBlockSeconds = 120; // at most, for the ticks of one block

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

/// How long the calling thread has waited for a core, runnable (the
/// scheduler's count).
double ThreadQueuedMs()
{
    std::ifstream file("/proc/thread-self/schedstat");
    unsigned long long running = 0, waiting = 0;
    file >> running >> waiting;
    return waiting / 1e6;
}

void Pace()
{
    const Clock::time_point start = Clock::now();
    do
    {
        Settle();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (MsSince(start) < kPaceMs);
}

bool SetAutomatic(const CalDav::Account& account, bool automatic)
{
    return Sync::SaveSettings({account.url, account.user, account.allowUnencrypted, automatic});
}
}

bool MeasureEditorTicks(int argc, char** argv, const CalDav::Account& account,
                        const std::function<size_t()>& requests, EditorTicks& out)
{
    ListArray lists;
    if (!lists.LoadLists(u"All") || lists.empty() || !SetAutomatic(account, false))
        return false;
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit())
        return false;
    RegisterControlXrcHandlers();
    Resources::Init();

    bool ok = true;
    std::vector<double> on, off, cpuOn, cpuOff, queuedOn, queuedOff;
    {
        auto* frame = new wxFrame(nullptr, wxID_ANY, "Sync");
        auto* bar = new wxStaticText(frame, wxID_ANY, wxString());
        CSyncController sync(frame, bar);
        sync.SettingsChanged(account.password);
        // Only the syncs of the controller talk to the server meanwhile.
        size_t counted = requests();
        sync.onFinished = [&](const Sync::Report& report) {
            ok &= report.ok;
            ++out.syncs;
            out.syncRequests += requests() - counted;
            counted = requests();
        };
        sync.Start();

        CListDlg dlg;
        dlg.SetListId(lists[0].id);
        dlg.SetTotalCount(1);
        dlg.CallAfter([&] {
            wxWindow* rows = dlg.m_list->GetMainWindow();
            ok = WaitShown(rows);
            rows->Update();
            const int box = dlg.m_list->FromDIP(10);
            long tick = 0;
            for (int block = 0; block < kBlocks && ok; ++block)
            {
                const bool automatic = block % 2 == 1;
                ok = SetAutomatic(account, automatic);
                std::vector<double>& times = automatic ? on : off;
                const size_t wanted = times.size() + kTicksPerBlock;
                const Clock::time_point begin = Clock::now();
                while (ok && times.size() < wanted && MsSince(begin) < kBlockSeconds * 1000.0)
                {
                    Pace();
                    if (sync.IsRunning() != automatic)
                        continue; // sync off: none runs; on: a tick while one runs
                    const long row = tick++ % dlg.m_list->GetItemCount();
                    const bool wasChecked = dlg.m_list->IsItemChecked(row);
                    const Clock::time_point tap = Clock::now();
                    const double cpu = ThreadCpuMs();
                    const double queued = ThreadQueuedMs();
                    PressRow(dlg, row, box);
                    rows->Update();
                    times.push_back(MsSince(tap));
                    (automatic ? cpuOn : cpuOff).push_back(ThreadCpuMs() - cpu);
                    (automatic ? queuedOn : queuedOff).push_back(ThreadQueuedMs() - queued);
                    ok = dlg.m_list->IsItemChecked(row) != wasChecked;
                }
                ok = ok && times.size() == wanted;
            }
            ok = ok && SetAutomatic(account, false);
            while (sync.IsRunning())
                Pace();
            dlg.EndModal(wxID_OK);
        });
        dlg.ShowModal();
        frame->Destroy();
    }
    wxEntryCleanup();
    out.cpuOn = Median(cpuOn);
    out.cpuOff = Median(cpuOff);
    out.queuedOn = Median(queuedOn);
    out.queuedOff = Median(queuedOff);
    out.syncOn = Median(on);
    out.syncOff = Median(off);
    out.onCount = on.size();
    out.offCount = off.size();
    return ok && out.syncs > 0;
}
