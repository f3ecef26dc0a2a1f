#ifndef TALLYARD_APP_CTOOLSTRIP_H
#define TALLYARD_APP_CTOOLSTRIP_H

#include <wx/bmpbndl.h>
#include <wx/control.h>

#include <vector>

/// A flat row of image-only buttons of a fixed height. It sends wxEVT_TOOL
/// with the button's id when one is clicked, asks EVT_UPDATE_UI handlers
/// whether each is enabled, and shows each button's tooltip on hover.
/// Unlike the native toolbar it fits 16 x 16 images into a 24 pixel strip.
class CToolStrip : public wxControl
{
public:
    /// `imageSize` and `height` in device-independent pixels.
    CToolStrip(wxWindow* parent, wxWindowID id, const wxSize& imageSize, int height);

    void AddTool(int id, const wxBitmapBundle& image, const wxString& tip);

    size_t GetToolsCount() const { return m_tools.size(); }
    int GetToolId(size_t pos) const { return m_tools[pos].id; }
    wxString GetToolShortHelp(int id) const;
    wxBitmap GetToolBitmap(int id) const;
    bool GetToolEnabled(int id) const;
    void EnableTool(int id, bool enable);
    /// The button's rectangle in client coordinates (empty for unknown ids).
    wxRect GetToolRect(int id) const;

    void UpdateWindowUI(long flags = wxUPDATE_UI_NONE) override;
    bool AcceptsFocus() const override { return false; }

protected:
    wxSize DoGetBestClientSize() const override;

private:
    struct Tool
    {
        int id;
        wxBitmapBundle image;
        wxString tip;
        bool enabled;
    };

    int ToolAt(const wxPoint& point) const;
    int IndexOf(int id) const;
    wxRect RectOf(size_t index) const;
    void SetHot(int index);

    void OnPaint(wxPaintEvent& event);
    void OnMotion(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);

    std::vector<Tool> m_tools;
    wxSize m_imageSize;
    int m_height;
    int m_hot = -1;
    int m_pressed = -1;

    wxDECLARE_EVENT_TABLE();
};

#endif
