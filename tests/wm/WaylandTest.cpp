// The main window and a full-screen dialog under a Wayland compositor, where
// the toolkit draws the title bars itself and the compositor places windows.
#include "tests/browser/BrowserFixture.h"

#include "dialogs/CNoteDlg.h"
#include "resources/ResourceIds.h"

#include <wx/app.h>

#include <gdk/gdkwayland.h>
#include <gtk/gtk.h>

namespace
{
// The toolkit's own frame around a window's content: a title bar (and
// shadows) make the window's surface larger than its content.
wxSize SurfaceMinusContent(wxWindow* win)
{
    GtkWidget* widget = win->GetHandle();
    GdkWindow* surface = gtk_widget_get_window(widget);
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(widget));
    if (!surface || !child)
        return wxSize(-1, -1);
    GtkAllocation content;
    gtk_widget_get_allocation(child, &content);
    return wxSize(gdk_window_get_width(surface) - content.width, gdk_window_get_height(surface) - content.height);
}
}

using WaylandTest = BrowserTest;

TEST_F(WaylandTest, FullScreenDialogHasOnlyItsOwnTitleBarAndTheMainWindowsSize)
{
    ASSERT_TRUE(GDK_IS_WAYLAND_DISPLAY(gdk_display_get_default())) << "not on the compositor";
    Open();
    wxTheApp->SetTopWindow(m_frame);
    ASSERT_TRUE(WaitFor([&] { return m_frame->IsShownOnScreen(); }));
    Pump(300);
    EXPECT_TRUE(gtk_window_get_decorated(GTK_WINDOW(m_frame->GetHandle())));
    const wxSize mainFrame = SurfaceMinusContent(m_frame);
    EXPECT_GT(mainFrame.y, 0) << "the main window keeps its title bar";

    CNoteDlg note;
    note.CallAfter([&] {
        WaitFor([&] { return note.IsShownOnScreen(); });
        Pump(400);
        EXPECT_FALSE(gtk_window_get_decorated(GTK_WINDOW(note.GetHandle())));
        EXPECT_EQ(wxSize(0, 0), SurfaceMinusContent(&note)) << "a title bar of the toolkit's above the dialog's own";
        EXPECT_EQ(m_frame->GetClientSize(), note.GetClientSize());
        note.EndModal(wxID_CANCEL);
    });
    note.ShowModal();
}
