// The yardstick of the start-up and memory benchmarks: a bare wxWidgets
// frame of the same size with a two-column report list, filled with
// $BARE_ROWS rows like the checklists, closed after the list's first paint.
#include "bench/BenchRows.h"

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>

#include <cstdlib>

namespace
{
class BareApp : public wxApp
{
public:
    bool OnInit() override
    {
        auto* frame = new wxFrame(nullptr, wxID_ANY, "Bare");
        frame->SetClientSize(frame->FromDIP(wxSize(240, 320)));
        auto* list = new wxListCtrl(frame, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                    wxLC_REPORT | wxLC_SINGLE_SEL | wxLC_NO_HEADER);
        list->AppendColumn("Checklist", wxLIST_FORMAT_LEFT, frame->FromDIP(198));
        list->AppendColumn("Items", wxLIST_FORMAT_RIGHT, frame->FromDIP(40));
        const char* rows = std::getenv("BARE_ROWS");
        FillBareList(list, rows ? std::atoi(rows) : 0);
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(list, wxSizerFlags(1).Expand());
        frame->SetSizer(sizer);
        frame->Show();
        list->GetTargetWindow()->Bind(wxEVT_PAINT, [frame](wxPaintEvent& event) {
            event.Skip();
            if (!m_closing)
            {
                m_closing = true;
                frame->CallAfter([frame] { frame->Close(true); });
            }
        });
        return true;
    }

private:
    static bool m_closing;
};

bool BareApp::m_closing = false;
}

wxIMPLEMENT_APP(BareApp);
