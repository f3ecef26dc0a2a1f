#ifndef TALLYARD_PLATFORM_HELPVIEWER_HELPFRAME_H
#define TALLYARD_PLATFORM_HELPVIEWER_HELPFRAME_H

#include <wx/frame.h>

class wxHtmlWindow;

/// The help viewer's window: the manual, opened at an anchor once the window
/// is laid out at its real size. Escape or Ctrl+W closes it, Alt+Left and
/// Alt+Right go back and forward.
class HelpFrame : public wxFrame
{
public:
    HelpFrame(const wxString& file, const wxString& anchor);

    /// Shows a new window for "FILE[#ANCHOR]".
    static HelpFrame* ShowFor(const wxString& target);

    wxHtmlWindow* GetHtml() const { return m_html; }
    const wxString& GetAnchor() const { return m_anchor; }
    /// Whether the page was opened (else the window says it could not be).
    bool IsOpened() const { return m_opened; }
    /// Whether the opening step has run.
    bool IsReady() const { return m_ready; }

private:
    void Open();
    void SetProgramIcon();
    void OnClose(wxCommandEvent& event);
    void OnBack(wxCommandEvent& event);
    void OnForward(wxCommandEvent& event);

    wxHtmlWindow* m_html;
    wxString m_file;
    wxString m_anchor;
    bool m_opened = false;
    bool m_ready = false;

    wxDECLARE_EVENT_TABLE();
};

#endif
