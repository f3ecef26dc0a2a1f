#include "controls/MessageBox.h"

#include "controls/WithinWindow.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

wxString ApplicationTitle()
{
    if (wxTheApp && !wxTheApp->GetAppName().empty())
        return wxTheApp->GetAppName();
    return "tallyard";
}

int ShowMessage(const wxString& text, const wxString& caption, long style, wxWindow* parent)
{
    const MessageBoxFitter fitter;
    wxMessageDialog dlg(parent, text, caption.empty() ? ApplicationTitle() : caption, style);
    const int rc = dlg.ShowModal();
    // Closing the box from the window manager answers the safe way: No for a
    // question, OK for a notice.
    if (rc == wxID_YES || rc == wxID_NO || rc == wxID_OK)
        return rc;
    return (style & wxYES_NO) ? wxID_NO : wxID_OK;
}
