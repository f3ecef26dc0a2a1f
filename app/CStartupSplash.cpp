#include "app/CStartupSplash.h"

#include "platform/SipPanel.h"
#include "resources/ResourceIds.h"
#include "resources/Resources.h"

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/evtloop.h>
#include <wx/stopwatch.h>

#include <memory>

wxBEGIN_EVENT_TABLE(CStartupSplash::Window, wxFrame)
    EVT_PAINT      (CStartupSplash::Window::OnPaint)
    EVT_TIMER      (wxID_ANY, CStartupSplash::Window::OnTimer)
    EVT_MOUSE_EVENTS(CStartupSplash::Window::OnMouse)
    EVT_CHAR_HOOK  (CStartupSplash::Window::OnKey)
wxEND_EVENT_TABLE()

bool CStartupSplash::s_enabled = false;
CStartupSplash::Window* CStartupSplash::s_current = nullptr;

void CStartupSplash::Enable(bool flag)
{
    s_enabled = flag;
}

bool CStartupSplash::IsEnabled()
{
    return s_enabled;
}

CStartupSplash::Window* CStartupSplash::Current()
{
    return s_current;
}

void CStartupSplash::Show(wxWindow* parentFrame)
{
    if (!s_enabled || s_current)
        return;
    auto* splash = new Window;
    s_current = splash;
    if (!splash->Create(parentFrame))
    {
        // Never created as a window, so nothing else owns it.
        delete splash;
        return;
    }
    splash->PaintNow();
}

CStartupSplash::Window::~Window()
{
    if (wxWindow* parent = GetParent())
    {
        parent->Unbind(wxEVT_MOVE, &Window::OnParentPlaced, this);
        parent->Unbind(wxEVT_SIZE, &Window::OnParentPlaced, this);
        parent->Unbind(wxEVT_SHOW, &Window::OnParentPlaced, this);
    }
    if (CStartupSplash::s_current == this)
        CStartupSplash::s_current = nullptr;
}

bool CStartupSplash::Window::Create(wxWindow* parent)
{
    const wxBitmapBundle picture = Resources::Bitmap(IDB_SPLASH);
    if (!picture.IsOk())
        return false;

    const long style = wxBORDER_NONE | wxFRAME_NO_TASKBAR | wxFRAME_TOOL_WINDOW |
                       (parent ? wxFRAME_FLOAT_ON_PARENT : wxSTAY_ON_TOP);
    if (!wxFrame::Create(parent, wxID_ANY, wxString(), wxPoint(0, 0), wxDefaultSize, style))
        return false;
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    m_bitmap = picture.GetBitmapFor(this);
    SetClientSize(FromDIP(Resources::BitmapSize(IDB_SPLASH)));

    CentreOverParent();
    if (parent)
    {
        // The frame is placed for good only when the manager shows it.
        parent->Bind(wxEVT_MOVE, &Window::OnParentPlaced, this);
        parent->Bind(wxEVT_SIZE, &Window::OnParentPlaced, this);
        parent->Bind(wxEVT_SHOW, &Window::OnParentPlaced, this);
    }
    m_timer.SetOwner(this, CStartupSplash::kTimerId);
    m_timer.StartOnce(CStartupSplash::kLifetimeMs);
    SHSipPreference(GetHandle(), SIP_FORCEDOWN);
    wxFrame::Show(true);
    return true;
}

// The frame goes on building itself before the message loop runs, so the
// picture is put on screen here: paint and size events only, no input or
// timers (those wait for the loop). Start-up has no loop yet: lend one.
void CStartupSplash::Window::PaintNow()
{
    Update();
    std::unique_ptr<wxGUIEventLoop> lent;
    std::unique_ptr<wxEventLoopActivator> activation;
    if (!wxEventLoopBase::GetActive())
    {
        lent = std::make_unique<wxGUIEventLoop>();
        activation = std::make_unique<wxEventLoopActivator>(lent.get());
    }
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    wxStopWatch sw;
    while (!m_painted && sw.Time() < 500)
    {
        loop->YieldFor(wxEVT_CATEGORY_UI);
        if (!m_painted)
            wxMilliSleep(5);
    }
    // The toolkit hands the painted frame to the display after the handler.
    loop->YieldFor(wxEVT_CATEGORY_UI);
}

// Over the frame's client area, where the main window's content will show.
void CStartupSplash::Window::CentreOverParent()
{
    wxWindow* parent = GetParent();
    if (!parent)
    {
        CentreOnScreen();
        return;
    }
    const wxSize client = parent->GetClientSize();
    wxRect area(wxPoint(), client);
    if (parent->IsShownOnScreen())
    {
        area.SetPosition(parent->ClientToScreen(wxPoint(0, 0)));
    }
    else
    {
        // Not yet mapped: the manager's frame as the toolkit expects it,
        // borders at the sides and the bottom, the rest on top.
        const wxRect outer = parent->GetScreenRect();
        const wxSize margins = outer.GetSize() - client;
        area.SetPosition(outer.GetPosition() + wxPoint(margins.x / 2, margins.y - margins.x / 2));
    }
    const wxRect placed = wxRect(GetSize()).CentreIn(area);
    if (placed.GetPosition() != GetPosition())
        Move(placed.GetPosition());
}

void CStartupSplash::Window::OnParentPlaced(wxEvent& event)
{
    event.Skip();
    CentreOverParent();
}

void CStartupSplash::Window::Hide()
{
    wxWindow* owner = GetParent();
    m_timer.Stop();
    Destroy();
    if (owner && !owner->IsBeingDeleted())
    {
        owner->Refresh();
        owner->Update();
    }
}

void CStartupSplash::Window::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    if (m_bitmap.IsOk())
        dc.DrawBitmap(m_bitmap, 0, 0);
    m_painted = true;
}

void CStartupSplash::Window::OnTimer(wxTimerEvent&)
{
    Hide();
}

// Taps and keys leave the picture alone: only the timer removes it.
void CStartupSplash::Window::OnMouse(wxMouseEvent&)
{
}

void CStartupSplash::Window::OnKey(wxKeyEvent&)
{
}
