#include "platform/helpviewer/HelpFrame.h"

#include <wx/app.h>
#include <wx/bmpbndl.h>
#include <wx/filename.h>
#include <wx/filesys.h>
#include <wx/frame.h>
#include <wx/html/htmlcell.h>
#include <wx/html/htmlfilt.h>
#include <wx/html/htmlwin.h>
#include <wx/iconbndl.h>
#include <wx/log.h>
#include <wx/stream.h>
#include <wx/utils.h>

#include <string>

namespace
{
const wxString kTitle = "Tallyard Help";

wxString EscapeHtml(const wxString& text)
{
    wxString out;
    for (wxUniChar c : text)
    {
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '&')
            out += "&amp;";
        else
            out += c;
    }
    return out;
}

// The system's type database may name .htm files anything (often
// application/xhtml+xml), and only text/html is shown as a page by default.
class HtmFileFilter : public wxHtmlFilter
{
public:
    bool CanRead(const wxFSFile& file) const override
    {
        const wxString name = file.GetLocation().Lower();
        return name.EndsWith(".htm") || name.EndsWith(".html") || file.GetMimeType() == "application/xhtml+xml";
    }

    wxString ReadFile(const wxFSFile& file) const override
    {
        wxInputStream* in = file.GetStream();
        if (!in)
            return wxString();
        std::string bytes;
        char buffer[8192];
        while (in->Read(buffer, sizeof(buffer)).LastRead() > 0)
            bytes.append(buffer, in->LastRead());
        wxString text = wxString::FromUTF8(bytes.data(), bytes.size());
        if (text.empty() && !bytes.empty())
            text = wxString(bytes.data(), wxConvISO8859_1, bytes.size()); // not UTF-8: take it byte by byte
        return text;
    }
};

class HelpWindow : public wxHtmlWindow
{
public:
    explicit HelpWindow(wxWindow* parent) : wxHtmlWindow(parent, wxID_ANY) {}

protected:
    void OnLinkClicked(const wxHtmlLinkInfo& link) override
    {
        const wxString href = link.GetHref();
        if (href.StartsWith("http:") || href.StartsWith("https:") || href.StartsWith("mailto:"))
            wxLaunchDefaultBrowser(href);
        else
            wxHtmlWindow::OnLinkClicked(link);
    }
};

}

wxBEGIN_EVENT_TABLE(HelpFrame, wxFrame)
    EVT_MENU(           wxID_CLOSE,     HelpFrame::OnClose)
    EVT_MENU(           wxID_BACKWARD,  HelpFrame::OnBack)
    EVT_MENU(           wxID_FORWARD,   HelpFrame::OnForward)
wxEND_EVENT_TABLE()

HelpFrame::HelpFrame(const wxString& file, const wxString& anchor)
    : wxFrame(nullptr, wxID_ANY, kTitle), m_file(file), m_anchor(anchor)
{
    m_html = new HelpWindow(this);
    m_html->SetRelatedFrame(this, "%s"); // the page's own title
    SetSize(FromDIP(wxSize(560, 680)));
    SetMinSize(FromDIP(wxSize(240, 200)));
    SetProgramIcon();

    wxAcceleratorEntry keys[] = {
        wxAcceleratorEntry(wxACCEL_NORMAL, WXK_ESCAPE, wxID_CLOSE),
        wxAcceleratorEntry(wxACCEL_CTRL, 'W', wxID_CLOSE),
        wxAcceleratorEntry(wxACCEL_ALT, WXK_LEFT, wxID_BACKWARD),
        wxAcceleratorEntry(wxACCEL_ALT, WXK_RIGHT, wxID_FORWARD),
    };
    SetAcceleratorTable(wxAcceleratorTable(WXSIZEOF(keys), keys));

    // Laid out at its real size, the page scrolls to the right place.
    CallAfter(&HelpFrame::Open);
}

// The program's icon lies beside the manual: in the source tree under
// bitmaps/, once installed in the shared icon theme.
void HelpFrame::SetProgramIcon()
{
    const wxString dir = wxFileName(m_file).GetPath();
    for (const wxString& path : {dir + "/bitmaps/tallyard.svg", dir + "/../icons/hicolor/scalable/apps/tallyard.svg"})
    {
        if (!wxFileName::IsFileReadable(path))
            continue;
        const wxBitmapBundle bundle = wxBitmapBundle::FromSVGFile(path, wxSize(48, 48));
        if (!bundle.IsOk())
            continue;
        wxIconBundle icons;
        for (int size : {16, 32, 48, 64})
            icons.AddIcon(bundle.GetIcon(wxSize(size, size)));
        SetIcons(icons);
        return;
    }
}

void HelpFrame::Open()
{
    if (!m_file.empty() && wxFileName::IsFileReadable(m_file))
    {
        // The anchor is followed like a link on the page: Back returns to the top.
        m_opened = m_html->LoadPage(wxFileSystem::FileNameToURL(wxFileName(m_file)));
        if (m_opened && !m_anchor.empty())
        {
            wxLogNull unknownAnchorsOpenAtTheTop;
            m_html->LoadPage("#" + m_anchor);
        }
    }
    if (!m_opened)
    {
        m_html->SetPage("<html><body><h3>" + kTitle + "</h3><p>The help file could not be opened:</p><p><tt>" +
                        EscapeHtml(m_file.empty() ? wxString("(none given)") : m_file) +
                        "</tt></p></body></html>");
        SetTitle(kTitle);
    }
    m_html->SetFocus();
    m_ready = true;
}

void HelpFrame::OnClose(wxCommandEvent&)
{
    Close();
}

void HelpFrame::OnBack(wxCommandEvent&)
{
    m_html->HistoryBack();
}

void HelpFrame::OnForward(wxCommandEvent&)
{
    m_html->HistoryForward();
}

HelpFrame* HelpFrame::ShowFor(const wxString& target)
{
    static bool s_filtered = false;
    if (!s_filtered)
    {
        wxHtmlWindow::AddFilter(new HtmFileFilter);
        s_filtered = true;
    }
    // "FILE#ANCHOR": a '#' may also belong to a folder's name, so the
    // argument is first taken whole.
    wxString file = target;
    wxString anchor;
    if (!wxFileName::FileExists(target) && target.Find('#', true) != wxNOT_FOUND)
    {
        file = target.BeforeLast('#');
        anchor = target.AfterLast('#');
    }
    auto* frame = new HelpFrame(file, anchor);
    frame->Show();
    return frame;
}
