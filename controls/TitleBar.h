#ifndef TALLYARD_CONTROLS_TITLEBAR_H
#define TALLYARD_CONTROLS_TITLEBAR_H

#include <wx/bitmap.h>
#include <wx/bmpbndl.h>
#include <wx/colour.h>
#include <wx/dc.h>
#include <wx/font.h>
#include <wx/window.h>

/// The painted title strip of every dialog but About: the window text in
/// bold, a black rule on the bottom row and the help, cancel and ok discs at
/// the right. A tap on a disc sends the dialog wxID_OK, wxID_CANCEL (as
/// wxEVT_BUTTON command events) or a help event (wxEVT_HELP), processed
/// synchronously. A bar at the dialog's left edge follows the dialog's width.
/// In XRC: <object class="CTitleBar" name="IDC_TITLE_BAR">.
class CTitleBar : public wxWindow
{
public:
    CTitleBar();
    CTitleBar(wxWindow* parent, wxWindowID id, const wxString& title, const wxPoint& pos = wxDefaultPosition,
              const wxSize& size = wxDefaultSize);
    bool Create(wxWindow* parent, wxWindowID id, const wxString& title, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize);

    /// Sets the title and repaints the strip.
    void SetLabel(const wxString& title) override;

    /// The strip is tapped, never focused or tabbed into.
    bool AcceptsFocus() const override { return false; }
    bool AcceptsFocusFromKeyboard() const override { return false; }

    /// Reads the two colours once; later calls keep the first values, so a
    /// change of the system colours while the program runs shows nowhere.
    static void InitSharedColours();

    /// Draws the whole strip at the window's client size into `dc`.
    void Draw(wxDC& dc) const;

    static wxFont s_titleFont;
    static wxBitmap s_titleButtons;
    static wxColour s_backColor;
    static wxColour s_textColor;

protected:
    wxSize DoGetBestSize() const override;

private:
    static void InitSharedObjects();

    void DrawStrip(wxDC& dc, const wxSize& size) const;
    void DrawButtons(wxDC& dc, const wxSize& size) const;
    wxString FittedTitle(wxDC& dc, int width) const;
    void OnPaint(wxPaintEvent& event);
    void OnLButtonDown(wxMouseEvent& event);
    void OnParentSize(wxSizeEvent& event);

    static wxBitmapBundle s_titleButtonsBundle;

    wxDECLARE_DYNAMIC_CLASS(CTitleBar);
    wxDECLARE_EVENT_TABLE();
};

#endif
