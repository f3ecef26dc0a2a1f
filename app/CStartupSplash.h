#ifndef TALLYARD_APP_CSTARTUPSPLASH_H
#define TALLYARD_APP_CSTARTUPSPLASH_H

#include <wx/bitmap.h>
#include <wx/frame.h>
#include <wx/timer.h>

/// The start-up picture: a borderless window of the bitmap's size centred
/// over the main frame, gone by its own timer two seconds after it appeared.
/// At most one exists; it deletes itself when its window is destroyed.
///
/// The class-wide switches live here and the window is the nested Window,
/// because a window cannot have a static Enable(bool) of its own.
class CStartupSplash
{
public:
    class Window;

    /// Whether Show() may create a splash window.
    static void Enable(bool flag);
    static bool IsEnabled();

    /// Creates the splash over `parentFrame` (may be null) and paints it at
    /// once. Nothing when disabled, when one exists or the picture is missing.
    static void Show(wxWindow* parentFrame);

    /// The splash window that exists, if any.
    static Window* Current();

    static constexpr int kTimerId = 1;
    static constexpr int kLifetimeMs = 2000;

private:
    static bool s_enabled;
    static Window* s_current;
};

class CStartupSplash::Window : public wxFrame
{
public:
    /// Destroys the window and repaints the main window where it was.
    void Hide();

    ~Window() override;

private:
    friend class CStartupSplash;
    Window() = default;
    bool Create(wxWindow* parent);
    void PaintNow();
    void CentreOverParent();
    void OnParentPlaced(wxEvent& event);

    void OnPaint(wxPaintEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnMouse(wxMouseEvent& event);
    void OnKey(wxKeyEvent& event);

    wxBitmap m_bitmap;
    wxTimer m_timer;
    bool m_painted = false;

    wxDECLARE_EVENT_TABLE();
};

#endif
