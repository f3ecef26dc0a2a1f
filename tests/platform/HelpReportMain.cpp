// The help viewer's test build: the shipped viewer, plus --report.
//
//   tallyard_help_report [--report] FILE[#ANCHOR]
//
// --report prints what was opened and where the view stands once the window
// is on screen, then closes it.
#include "platform/helpviewer/HelpFrame.h"

#include <wx/app.h>
#include <wx/html/htmlcell.h>
#include <wx/html/htmlwin.h>
#include <wx/timer.h>
#include <wx/weakref.h>

#include <cstdio>
#include <memory>

namespace
{
// The top of the named anchor in the page, or -1.
int AnchorTop(const wxHtmlWindow* html, const wxString& anchor)
{
    const wxHtmlCell* cell = html->GetInternalRepresentation();
    if (!cell || anchor.empty())
        return -1;
    const wxHtmlCell* target = cell->Find(wxHTML_COND_ISANCHOR, &anchor);
    return target ? target->GetAbsPos().y : -1;
}

int ScrollTop(const wxHtmlWindow* html)
{
    int unitX, unitY, x, y;
    html->GetScrollPixelsPerUnit(&unitX, &unitY);
    html->GetViewStart(&x, &y);
    return y * unitY;
}

// Waits for the page to open, lets it settle, reports and closes the window.
class HelpReporter : public wxTimer
{
public:
    explicit HelpReporter(HelpFrame* frame) : m_frame(frame) { Start(50); }

    void Notify() override
    {
        if (!m_frame || !m_frame->IsReady())
            return;
        if (!m_settling)
        {
            m_settling = true;
            StartOnce(400);
            return;
        }
        Report(m_frame);
        m_frame->Close();
    }

private:
    static void Report(HelpFrame* frame)
    {
        const wxHtmlWindow* html = frame->GetHtml();
        std::printf("opened=%d\npage=%s\nanchor=%s\ntitle=%s\nshown=%d\nscroll=%d\nanchor_top=%d\nheight=%d\n"
                    "icons=%zu\n",
                    frame->IsOpened() ? 1 : 0, static_cast<const char*>(html->GetOpenedPage().utf8_str()),
                    static_cast<const char*>(html->GetOpenedAnchor().utf8_str()),
                    static_cast<const char*>(frame->GetTitle().utf8_str()), frame->IsShownOnScreen() ? 1 : 0,
                    ScrollTop(html), AnchorTop(html, frame->GetAnchor()), html->GetClientSize().y,
                    frame->GetIcons().GetIconCount());
        std::fflush(stdout);
    }

    wxWeakRef<HelpFrame> m_frame;
    bool m_settling = false;
};

class HelpReportApp : public wxApp
{
public:
    bool OnInit() override
    {
        SetAppName("tallyard-help");
        bool report = false;
        wxString target;
        for (int i = 1; i < argc; ++i)
        {
            if (argv[i] == "--report")
                report = true;
            else
                target = argv[i];
        }
        HelpFrame* frame = HelpFrame::ShowFor(target);
        if (report)
            m_reporter = std::make_unique<HelpReporter>(frame);
        return true;
    }

    int OnExit() override
    {
        m_reporter.reset();
        return wxApp::OnExit();
    }

private:
    std::unique_ptr<HelpReporter> m_reporter;
};
}

wxIMPLEMENT_APP(HelpReportApp);
