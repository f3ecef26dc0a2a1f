// main() of the program's test build: the program as shipped, plus the
// switches that tests and benchmarks starting it as a process use.
//   TALLYARD_TEST_SNAPSHOT=<file>       keep a picture of the shown windows
//                                       in the file (TestHooks.h)
//   TALLYARD_EXIT_AFTER_FIRST_PAINT=1   close once the list has painted
#include "tests/support/TestHooks.h"

#include "app/CTallyardApp.h"
#include "browser/CTallyardView.h"
#include "controls/GestureListCtrl.h"

#include <wx/docview.h>
#include <wx/utils.h>

namespace
{
class CTestProgramApp : public CTallyardApp
{
public:
    bool OnInit() override
    {
        if (!CTallyardApp::OnInit())
            return false;
        if (wxGetEnv("TALLYARD_EXIT_AFTER_FIRST_PAINT", nullptr))
            ExitAfterFirstPaint();
        m_snapshots = CTestSnapshots::StartFromEnvironment();
        return true;
    }

    int OnExit() override
    {
        m_snapshots.reset();
        return CTallyardApp::OnExit();
    }

private:
    // For start-up timing: close the program once the list has painted.
    void ExitAfterFirstPaint()
    {
        auto* view = wxDynamicCast(GetDocManager()->GetAnyUsableView(), CTallyardView);
        wxWindow* frame = GetTopWindow();
        if (!view || !view->GetListCtrl() || !frame)
            return;
        view->GetListCtrl()->GetMainWindow()->Bind(wxEVT_PAINT, [frame](wxPaintEvent& event) {
            event.Skip();
            static bool s_closing = false;
            if (!s_closing)
            {
                s_closing = true;
                frame->CallAfter([frame] { frame->Close(true); });
            }
        });
    }

    std::unique_ptr<CTestSnapshots> m_snapshots;
};
}

wxIMPLEMENT_APP(CTestProgramApp);
