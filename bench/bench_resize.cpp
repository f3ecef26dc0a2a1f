// Resizing the main window with 10,000 checklists shown until the list has
// painted at the new size, beside the same resize of a frame holding a bare
// wxListCtrl with the same rows, in the same process. Medians.
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
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

namespace
{
constexpr int kChecklists = 10000;
constexpr int kRuns = 21;
constexpr double kFrameMs = 16.0;

// Resizes `frame` and runs the event loop until `rows` has painted at the
// new size.
bool ResizeUntilPainted(wxFrame* frame, wxWindow* rows, int& paints, const wxSize& client)
{
    const int before = paints;
    frame->SetClientSize(client);
    wxStopWatch watch;
    while (paints == before || frame->GetClientSize() != client)
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

    CMainFrame::SetStartupWaitForTest(0);
    auto manager = std::make_unique<wxDocManager>();
    CTallyardApp::AddDocTemplate(manager.get());
    auto* frame = new CMainFrame(manager.get());
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
    FillBareList(bare, kChecklists);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(bare, wxSizerFlags(1).Expand());
    bareFrame->SetSizer(sizer);
    bareFrame->Show();
    int barePaints = 0;
    bare->GetTargetWindow()->Bind(wxEVT_PAINT, [&](wxPaintEvent& event) {
        ++barePaints;
        event.Skip();
    });

    // Between the device screen and a phone's, back and forth.
    const wxSize sizes[] = {frame->FromDIP(wxSize(360, 720)), frame->FromDIP(wxSize(240, 320))};
    std::vector<double> viewMs, bareMs;
    bool ok = true;
    for (int i = 0; i < kRuns && ok; ++i)
    {
        const wxSize size = sizes[i % 2];
        viewMs.push_back(TimeMs([&] { ok = ok && ResizeUntilPainted(frame, rows, viewPaints, size); }));
        bareMs.push_back(
            TimeMs([&] { ok = ok && ResizeUntilPainted(bareFrame, bare->GetTargetWindow(), barePaints, size); }));
    }
    if (!ok || view->GetListCtrl()->GetItemCount() != kChecklists)
    {
        std::fprintf(stderr, "rows missing or never painted at the new size\n");
        return 4;
    }
    const double v = Median(viewMs);
    const double b = Median(bareMs);
    std::printf("Resize of the main window with %d checklists until painted, median of %d:\n", kChecklists, kRuns);
    std::printf("  view %6.1f ms (goal <= %.0f ms, one frame)   bare list %6.1f ms   ratio %.2f\n", v, kFrameMs, b,
                v / b);

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
    return v <= kFrameMs ? 0 : 5;
}
