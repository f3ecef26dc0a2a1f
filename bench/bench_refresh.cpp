// Rebuilding the main view's rows for 10,000 checklists until the list has
// painted, beside a bare wxListCtrl filled with the same 10,000 rows and
// painted, in the same process. Medians.
#include "bench/BenchRows.h"
#include "bench/BenchSupport.h"

#include "app/CMainFrame.h"
#include "app/CTallyardApp.h"
#include "browser/CTallyardView.h"
#include "controls/Controls.h"
#include "controls/GestureListCtrl.h"
#include "resources/Resources.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/sizer.h>
#include <wx/stopwatch.h>

#include <chrono>
#include <filesystem>
#include <cstdio>
#include <functional>
#include <memory>

namespace
{
constexpr int kChecklists = 10000;
constexpr int kRuns = 11;

// Runs the event loop until `window` has painted once more.
bool WaitForPaint(wxWindow* window, int& paints)
{
    const int before = paints;
    window->Refresh();
    wxStopWatch watch;
    while (paints == before)
    {
        if (watch.Time() > 10000)
            return false;
        wxTheApp->ProcessPendingEvents();
        wxEventLoopBase* loop = wxEventLoopBase::GetActive();
        while (loop && loop->Pending())
            loop->Dispatch();
        wxTheApp->ProcessIdle();
        wxYield();
    }
    return true;
}

double TimeMs(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}

int main(int argc, char** argv)
{
    std::string ownRoot;
    if (!std::getenv("XDG_DATA_HOME"))
    {
        ownRoot = MakeTempRoot();
        UseXdgRoot(ownRoot);
    }
    if (!FillStore(kChecklists))
        return 1;

    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit())
        return 2;
    RegisterControlXrcHandlers();
    Resources::Init();

    auto manager = std::make_unique<wxDocManager>();
    CTallyardApp::AddDocTemplate(manager.get());
    auto* frame = new CMainFrame(manager.get(), 0);
    frame->Show();
    if (!manager->CreateNewDocument())
        return 3;
    auto* view = wxDynamicCast(manager->GetAnyUsableView(), CTallyardView);
    wxWindow* rows = view->GetListCtrl()->GetMainWindow();
    int viewPaints = 0;
    rows->Bind(wxEVT_PAINT, [&](wxPaintEvent& event) {
        ++viewPaints;
        event.Skip();
    });

    auto* bareFrame = new wxFrame(nullptr, wxID_ANY, "Bare");
    bareFrame->SetClientSize(bareFrame->FromDIP(wxSize(240, 320)));
    auto* bare = new wxListCtrl(bareFrame, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                wxLC_REPORT | wxLC_SINGLE_SEL | wxLC_NO_HEADER);
    bare->AppendColumn("Checklist", wxLIST_FORMAT_LEFT, bareFrame->FromDIP(198));
    bare->AppendColumn("Items", wxLIST_FORMAT_RIGHT, bareFrame->FromDIP(40));
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(bare, wxSizerFlags(1).Expand());
    bareFrame->SetSizer(sizer);
    bareFrame->Show();
    int barePaints = 0;
    bare->GetTargetWindow()->Bind(wxEVT_PAINT, [&](wxPaintEvent& event) {
        ++barePaints;
        event.Skip();
    });
    WaitForPaint(rows, viewPaints);
    WaitForPaint(bare->GetTargetWindow(), barePaints);

    std::vector<double> viewMs, bareMs;
    bool ok = true;
    for (int i = 0; i < kRuns && ok; ++i)
    {
        viewMs.push_back(TimeMs([&] {
            view->RefreshList();
            ok = ok && WaitForPaint(rows, viewPaints);
        }));
        bareMs.push_back(TimeMs([&] {
            FillBareList(bare, kChecklists);
            ok = ok && WaitForPaint(bare->GetTargetWindow(), barePaints);
        }));
    }
    if (!ok || view->GetListCtrl()->GetItemCount() != kChecklists || bare->GetItemCount() != kChecklists)
    {
        std::fprintf(stderr, "rows missing or never painted\n");
        return 4;
    }

    const double v = Median(viewMs);
    const double b = Median(bareMs);
    std::printf("RefreshList of %d checklists until painted, median of %d:\n", kChecklists, kRuns);
    std::printf("  view %8.1f ms   bare list filled with the same rows %8.1f ms   ratio %.2f (goal <= 1.50)\n", v, b,
                v / b);

    // The store's part of it, for the record.
    std::vector<double> loadMs;
    for (int i = 0; i < kRuns; ++i)
    {
        ListArray lists;
        loadMs.push_back(TimeMs([&] { lists.LoadLists(u"All"); }));
    }
    std::printf("  loading the checklists from the store alone, timed apart: %.1f ms\n", Median(loadMs));

    bareFrame->Destroy();
    frame->Close(true);
    wxTheApp->ProcessPendingEvents();
    wxYield();
    manager.reset();
    wxEntryCleanup();
    if (!ownRoot.empty())
    {
        std::error_code ignored;
        std::filesystem::remove_all(ownRoot, ignored);
    }
    return 0;
}
