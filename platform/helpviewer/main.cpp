// tallyard-help: shows the manual, opened at an anchor.
//
//   tallyard-help FILE[#ANCHOR]
#include "platform/helpviewer/HelpFrame.h"

#include <wx/app.h>

namespace
{
class HelpApp : public wxApp
{
public:
    bool OnInit() override
    {
        SetAppName("tallyard-help");
        HelpFrame::ShowFor(argc > 1 ? argv[argc - 1] : wxString());
        return true;
    }
};
}

wxIMPLEMENT_APP(HelpApp);
