#include "dialogs/DialogSupport.h"

#include "controls/WxString.h"
#include "dialogs/DialogLayout.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/display.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>

#include <gdk/gdkwayland.h>
#include <gtk/gtk.h>

namespace
{
constexpr int kScreenWidth = 240;
constexpr int kScreenHeight = 320;

// The main window, when there is one besides this dialog.
wxWindow* MainWindow(const wxDialog& dlg)
{
    wxWindow* top = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
    if (!top || top == &dlg || !top->IsShown())
        return nullptr;
    return top;
}
}

void ResizeDialog(wxDialog& dlg, int titleBarId, const wxSize& outer)
{
    // The client size is not always current while the dialog is being shown,
    // so it comes from the frame's margins. (Setting the outer rectangle of a
    // dialog being shown does not narrow it under GTK; its client size does.)
    const wxSize margins = dlg.GetSize() - dlg.GetClientSize();
    const wxSize client = outer - margins;
    if (wxWindow* bar = dlg.FindWindow(titleBarId))
        bar->SetSize(client.x, bar->GetSize().y);
    dlg.SetClientSize(client);
}

namespace
{
// The device screen: the main window's content, or a 240 x 320 screen in the
// middle of the display when there is no other window.
wxRect ScreenRect(wxDialog& dlg)
{
    if (wxWindow* top = MainWindow(dlg))
        return wxRect(top->ClientToScreen(wxPoint(0, 0)), top->GetClientSize());
    const wxRect area = wxDisplay(&dlg).GetClientArea();
    wxRect rect;
    rect.SetSize(dlg.FromDIP(wxSize(kScreenWidth, kScreenHeight)));
    return rect.CentreIn(area);
}

// Under Wayland a client cannot place its windows. There a dialog over a
// main window that fills the screen or work area (always so on a phone)
// fills it too, which covers the main window wherever the compositor put
// it; over a smaller main window it takes its content's size.
bool FillsLikeTheMainWindow(wxDialog& dlg, int titleBarId)
{
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_WAYLAND_DISPLAY(display))
        return false;
    auto* top = dynamic_cast<wxTopLevelWindow*>(MainWindow(dlg));
    const bool full = top && top->IsFullScreen();
    const bool maximised = top && !full && top->IsMaximized();
    GtkWidget* widget = dlg.GetHandle();
    if (!widget || !GTK_IS_WINDOW(widget))
        return false;
    GtkWindow* window = GTK_WINDOW(widget);
    // A window of a fixed size asks the compositor for that size alone,
    // and one made to fill more in spite of it is a protocol error.
    if (full || maximised)
        gtk_window_set_resizable(window, TRUE);
    // (wx's ShowFullScreen shows the dialog again, initialising it anew.)
    GdkWindow* surface = gtk_widget_get_window(widget);
    const bool isFull = surface && (gdk_window_get_state(surface) & GDK_WINDOW_STATE_FULLSCREEN);
    if (full && !isFull)
        gtk_window_fullscreen(window);
    else if (!full && isFull)
        gtk_window_unfullscreen(window);
    if (maximised != dlg.IsMaximized())
        dlg.Maximize(maximised);
    if (!full && !maximised)
        return false;
    if (wxWindow* bar = dlg.FindWindow(titleBarId); bar && bar->GetSize().x != dlg.GetClientSize().x)
        bar->SetSize(dlg.GetClientSize().x, bar->GetSize().y);
    return true;
}

void CoverScreen(wxDialog& dlg, int titleBarId)
{
    if (FillsLikeTheMainWindow(dlg, titleBarId))
        return;
    const wxRect rect = ScreenRect(dlg);
    if (dlg.GetClientSize() != rect.GetSize())
        ResizeDialog(dlg, titleBarId, rect.GetSize());
    if (dlg.GetScreenPosition() != rect.GetPosition())
        dlg.Move(rect.GetPosition());
}

}

void MakeFullScreen(wxDialog& dlg, int titleBarId, bool stretchFields)
{
    // Its own title bar is the only one: no frame of the window manager's.
    if (GtkWidget* widget = dlg.GetHandle(); widget && GTK_IS_WINDOW(widget))
        gtk_window_set_decorated(GTK_WINDOW(widget), FALSE);
    if (stretchFields)
        InstallStretchLayout(dlg);
    CoverScreen(dlg, titleBarId);
    // The toolkit centres a dialog on its parent when it maps it, using the
    // size the dialog had before; put it back where the screen is once shown.
    dlg.CallAfter([&dlg, titleBarId] { CoverScreen(dlg, titleBarId); });
    // The screen is the main window: resized or moved, the dialog follows
    // once the main window's own layout is done.
    dlg.Bind(wxEVT_IDLE, [&dlg, titleBarId](wxIdleEvent& event) {
        event.Skip();
        if (dlg.IsShown() && MainWindow(dlg))
            CoverScreen(dlg, titleBarId);
    });
}

bool HandleDialogKey(wxDialog& dlg, wxKeyEvent& event)
{
    const int key = event.GetKeyCode();
    if (event.HasAnyModifiers())
        return false;
    int id = wxID_NONE;
    if (key == WXK_ESCAPE)
    {
        id = wxID_CANCEL;
    }
    else if (key == WXK_RETURN || key == WXK_NUMPAD_ENTER)
    {
        // Enter belongs to a multi-line field (a new line) and to a button.
        // (dynamic_cast: wxDynamicCast casts to the target type before it
        // checks, which is undefined for a window of another type.)
        wxWindow* focus = wxWindow::FindFocus();
        if (auto* text = dynamic_cast<wxTextCtrl*>(focus); text && text->IsMultiLine())
            return false;
        if (dynamic_cast<wxButton*>(focus))
            return false;
        id = wxID_OK;
    }
    if (id == wxID_NONE)
        return false;
    wxCommandEvent command(wxEVT_BUTTON, id);
    command.SetEventObject(&dlg);
    dlg.ProcessWindowEvent(command);
    return true;
}

void CloseDialog(wxDialog& dlg, int code)
{
    if (dlg.IsModal())
    {
        dlg.EndModal(code);
    }
    else
    {
        dlg.SetReturnCode(code);
        dlg.Hide();
    }
}

U16TextValidator::U16TextValidator(std::u16string* value) : m_value(value)
{
}

U16TextValidator::U16TextValidator(const U16TextValidator& other) : wxValidator(), m_value(other.m_value)
{
    Copy(other);
}

wxObject* U16TextValidator::Clone() const
{
    return new U16TextValidator(*this);
}

bool U16TextValidator::Validate(wxWindow*)
{
    return true;
}

bool U16TextValidator::TransferToWindow()
{
    if (!m_value || !GetWindow())
        return false;
    if (auto* text = dynamic_cast<wxTextCtrl*>(GetWindow()))
        text->ChangeValue(ToWx(*m_value));
    else
        GetWindow()->SetLabel(ToWx(*m_value));
    return true;
}

bool U16TextValidator::TransferFromWindow()
{
    if (!m_value || !GetWindow())
        return false;
    if (auto* text = dynamic_cast<wxTextCtrl*>(GetWindow()))
        *m_value = FromWx(text->GetValue());
    else
        *m_value = FromWx(GetWindow()->GetLabel());
    return true;
}

CheckNumberValidator::CheckNumberValidator(int32_t* value) : m_value(value)
{
}

CheckNumberValidator::CheckNumberValidator(const CheckNumberValidator& other) : wxValidator(), m_value(other.m_value)
{
    Copy(other);
}

wxObject* CheckNumberValidator::Clone() const
{
    return new CheckNumberValidator(*this);
}

bool CheckNumberValidator::Validate(wxWindow*)
{
    return true;
}

bool CheckNumberValidator::TransferToWindow()
{
    auto* box = dynamic_cast<wxCheckBox*>(GetWindow());
    if (!m_value || !box)
        return false;
    box->SetValue(*m_value != 0);
    return true;
}

bool CheckNumberValidator::TransferFromWindow()
{
    auto* box = dynamic_cast<wxCheckBox*>(GetWindow());
    if (!m_value || !box)
        return false;
    *m_value = box->GetValue() ? 1 : 0;
    return true;
}
