#include "controls/WithinWindow.h"

#include <wx/app.h>
#include <wx/display.h>
#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/toplevel.h>
#include <wx/window.h>

#include <gtk/gtk.h>

#include <algorithm>

namespace
{
// A box's labels wrap at this many characters at most; fewer where the main
// window is narrower.
constexpr int kLabelChars = 50;
constexpr int kFewestLabelChars = 8;

void LimitLabels(GtkWidget* widget, int chars)
{
    if (GTK_IS_LABEL(widget))
    {
        gtk_label_set_max_width_chars(GTK_LABEL(widget), chars);
        gtk_label_set_width_chars(GTK_LABEL(widget), -1);
    }
    else if (GTK_IS_CONTAINER(widget))
    {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* child = children; child; child = child->next)
            LimitLabels(GTK_WIDGET(child->data), chars);
        g_list_free(children);
    }
}

gboolean OnWidgetShow(GSignalInvocationHint*, guint count, const GValue* params, gpointer)
{
    if (count < 1)
        return TRUE;
    auto* widget = static_cast<GtkWidget*>(g_value_get_object(&params[0]));
    if (!GTK_IS_MESSAGE_DIALOG(widget))
        return TRUE;
    wxWindow* main = ShownMainWindow();
    if (!main)
        return TRUE;
    const wxRect area = ClientScreenRect(main);
    GtkWidget* labels = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(widget));
    GtkRequisition natural{0, 0};
    // The widest wrap that fits the main window's width.
    for (int chars = kLabelChars; chars >= kFewestLabelChars; chars -= 2)
    {
        LimitLabels(labels, chars);
        gtk_widget_get_preferred_size(widget, nullptr, &natural);
        if (natural.width <= area.width)
            break;
    }
    // The box is realized by now: only a resize still changes its size, and
    // the toolkit centred it for the size it had. Centred again over the
    // main window's content, top edge inside it.
    const int width = std::min(natural.width, area.width);
    int height = 0;
    gtk_widget_get_preferred_height_for_width(widget, width, nullptr, &height);
    gtk_window_resize(GTK_WINDOW(widget), width, height);
    const wxPoint centre(area.x + area.width / 2, area.y + area.height / 2);
    gtk_window_move(GTK_WINDOW(widget), centre.x - width / 2, std::max(area.y, centre.y - height / 2));
    return TRUE;
}

void OnChooserMapped(GtkWidget* widget, gpointer)
{
    g_signal_handlers_disconnect_by_func(widget, reinterpret_cast<gpointer>(OnChooserMapped), nullptr);
    wxWindow* main = ShownMainWindow();
    if (!main)
        return;
    GtkRequisition minimum{0, 0};
    gtk_widget_get_preferred_size(widget, &minimum, nullptr);
    const wxRect work = wxDisplay(main).GetClientArea();
    const wxRect over = main->GetScreenRect();
    // As large as the main window where the chooser fits in it, else as
    // small as it can be; never beyond the display.
    wxSize size(std::max(over.width, minimum.width), std::max(over.height, minimum.height));
    size.DecTo(work.GetSize());
    wxRect placed = wxRect(size).CentreIn(over);
    placed.x = std::max(work.x, std::min(placed.x, work.GetRight() + 1 - size.x));
    placed.y = std::max(work.y, std::min(placed.y, work.GetBottom() + 1 - size.y));
    gtk_window_resize(GTK_WINDOW(widget), size.x, size.y);
    gtk_window_move(GTK_WINDOW(widget), placed.x, placed.y);
}
}

void KeepScrollBarBesideContent(wxWindow& scrolled)
{
    GtkWidget* widget = scrolled.GetHandle();
    if (widget && GTK_IS_SCROLLED_WINDOW(widget))
        gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(widget), FALSE);
}

wxWindow* ShownMainWindow()
{
    wxWindow* top = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
    return top && top->IsShown() ? top : nullptr;
}

wxRect ClientScreenRect(const wxWindow* win)
{
    const wxWindow* top = wxGetTopLevelParent(const_cast<wxWindow*>(win));
    if (!top)
        return wxRect();
    return wxRect(top->ClientToScreen(wxPoint(0, 0)), top->GetClientSize());
}

wxPoint MenuPositionWithin(const wxRect& area, const wxPoint& at, const wxSize& size, MenuOpens opens)
{
    wxPoint pos = at;
    if (opens == MenuOpens::Up)
        pos.y = at.y - size.y;
    else if (pos.y + size.y > area.GetBottom() + 1 && at.y - size.y >= area.y)
        pos.y = at.y - size.y;
    // Where it does not fit, its top left stays inside.
    pos.x = std::max(area.x, std::min(pos.x, area.GetRight() + 1 - size.x));
    pos.y = std::max(area.y, std::min(pos.y, area.GetBottom() + 1 - size.y));
    return pos;
}

wxSize MenuSize(wxMenu& menu)
{
    GtkRequisition natural{0, 0};
    if (!menu.m_menu)
        return wxSize();
    // A hidden menu asks for no room; shown (its popup window stays
    // unmapped) it tells the size it will pop up with.
    const bool visible = gtk_widget_get_visible(menu.m_menu);
    if (!visible)
        gtk_widget_show(menu.m_menu);
    gtk_widget_get_preferred_size(menu.m_menu, nullptr, &natural);
    if (!visible)
        gtk_widget_hide(menu.m_menu);
    return wxSize(natural.width, natural.height);
}

wxPoint MenuPointWithin(wxWindow& win, wxMenu& menu, const wxPoint& at, MenuOpens opens)
{
    const wxPoint screen =
        MenuPositionWithin(ClientScreenRect(&win), win.ClientToScreen(at), MenuSize(menu), opens);
    return win.ScreenToClient(screen);
}

void PopupMenuWithin(wxWindow& win, wxMenu& menu, const wxPoint& at, MenuOpens opens)
{
    win.PopupMenu(&menu, MenuPointWithin(win, menu, at, opens));
}

int FileChooserFitter::Enter(wxDialog* dialog)
{
    if (!dynamic_cast<wxFileDialog*>(dialog) || !dialog->GetHandle() || !ShownMainWindow())
        return wxID_NONE;
    // The chooser brings back the size it had last when it maps; fitted
    // after that.
    g_signal_connect_after(dialog->GetHandle(), "map", G_CALLBACK(OnChooserMapped), nullptr);
    return wxID_NONE;
}

MessageBoxFitter::MessageBoxFitter()
{
    const guint signal = g_signal_lookup("show", GTK_TYPE_WIDGET);
    m_hook = g_signal_add_emission_hook(signal, 0, OnWidgetShow, nullptr, nullptr);
}

MessageBoxFitter::~MessageBoxFitter()
{
    g_signal_remove_emission_hook(g_signal_lookup("show", GTK_TYPE_WIDGET), m_hook);
}
