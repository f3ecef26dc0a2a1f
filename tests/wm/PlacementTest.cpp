// Where the windows show under a real window manager: the splash, About,
// message boxes, menus and the file chooser over the main window.
#include "tests/browser/BrowserFixture.h"
#include "tests/support/WindowManager.h"
#include "tests/wm/WmFixture.h"

#include "app/CAboutDlg.h"
#include "app/CStartupSplash.h"
#include "controls/MessageBox.h"
#include "controls/WithinWindow.h"

#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/timer.h>
#include <wx/toolbar.h>
#include <wx/uiaction.h>

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <functional>

namespace
{
std::string Describe(const wxRect& r)
{
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}

// Runs `act` a moment after the nested loop of a modal call has started.
void WhileModal(std::function<void()> act)
{
    auto* timer = new wxTimer;
    timer->Bind(wxEVT_TIMER, [timer, act](wxTimerEvent&) {
        act();
        timer->Stop();
        wxTheApp->CallAfter([timer] { delete timer; });
    });
    timer->StartOnce(150);
}

// The shown top-level GTK window of this type, if any.
GtkWidget* ShownGtkWindow(GType type)
{
    GtkWidget* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w; w = w->next)
        if (G_TYPE_CHECK_INSTANCE_TYPE(w->data, type) && gtk_widget_get_mapped(GTK_WIDGET(w->data)))
            found = GTK_WIDGET(w->data);
    g_list_free(windows);
    return found;
}

// A GTK window's rectangle on the X server, with the manager's frame.
wxRect GtkFrameRect(GtkWidget* widget)
{
    GdkWindow* window = gtk_widget_get_window(widget);
    if (!window)
        return wxRect();
    GdkRectangle r;
    gdk_window_get_frame_extents(window, &r);
    return wxRect(r.x, r.y, r.width, r.height);
}

using PlacementTest = PlacedBrowserTest;
}

TEST_F(PlacementTest, SplashShowsCentredOverTheFramesContent)
{
    CStartupSplash::Enable(true);
    OpenPlaced();
    CStartupSplash::Window* splash = CStartupSplash::Current();
    ASSERT_NE(nullptr, splash);
    const wxRect client = ServerClientRect(m_frame);
    const wxRect picture = ServerClientRect(splash);
    EXPECT_TRUE(client.Contains(picture)) << "frame " << Describe(client) << " splash " << Describe(picture);
    EXPECT_NEAR(client.x + client.width / 2, picture.x + picture.width / 2, 2);
    EXPECT_NEAR(client.y + client.height / 2, picture.y + picture.height / 2, 2);
    splash->Hide();
    CStartupSplash::Enable(false);
    Pump(50);
}

TEST_F(PlacementTest, AboutOpensOverTheMainWindowAndWithinIt)
{
    OpenPlaced();
    const wxRect main = ManagedFrameRect(m_frame);
    CAboutDlg dlg;
    wxRect about;
    dlg.CallAfter([&] {
        WaitFor([&] { return dlg.IsShownOnScreen(); });
        Pump(300);
        about = ManagedFrameRect(&dlg);
        dlg.EndModal(wxID_OK);
    });
    dlg.ShowModal();
    EXPECT_TRUE(main.Contains(about)) << "main " << Describe(main) << " about " << Describe(about);
    EXPECT_NEAR(main.x + main.width / 2, about.x + about.width / 2, 3);
}

TEST_F(PlacementTest, MessageBoxStaysWithinTheMainWindow)
{
    OpenPlaced();
    const wxRect main = ManagedFrameRect(m_frame);
    wxRect box;
    WhileModal([&] {
        GtkWidget* dialog = nullptr;
        WaitFor([&] { return (dialog = ShownGtkWindow(GTK_TYPE_MESSAGE_DIALOG)) != nullptr; });
        ASSERT_NE(nullptr, dialog);
        Pump(300);
        box = GtkFrameRect(dialog);
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    });
    ShowMessage("The change could not be stored.\n\nThe store file refused the write: the disk is full or the "
                "file was made read-only while the program ran.");
    EXPECT_GT(box.width, 0);
    EXPECT_LE(box.width, main.width) << "main " << Describe(main) << " box " << Describe(box);
    EXPECT_GE(box.x, main.x);
    EXPECT_LE(box.GetRight(), main.GetRight());
}

TEST_F(PlacementTest, ToolsMenuOpensUpwardFromTheBarWithinTheWindow)
{
    OpenPlaced();
    const wxRect client = ServerClientRect(m_frame);
    wxToolBar* bar = m_frame->GetCommandBar();
    const wxRect barRect = bar->GetScreenRect();
    wxRect menu;
    WhileModal([&] {
        GtkWidget* popup = nullptr;
        WaitFor([&] {
            GtkWidget* shown = m_frame->GetToolsMenu()->m_menu;
            popup = shown && gtk_widget_get_mapped(shown) ? gtk_widget_get_toplevel(shown) : nullptr;
            return popup != nullptr;
        });
        ASSERT_NE(nullptr, popup);
        Pump(200);
        menu = GtkFrameRect(popup);
        gtk_menu_shell_cancel(GTK_MENU_SHELL(m_frame->GetToolsMenu()->m_menu));
    });
    // The "Tools" button is the bar's first, at its left end.
    RootClick(barRect.GetPosition() + wxPoint(m_frame->FromDIP(12), barRect.height / 2));
    ASSERT_GT(menu.height, 0) << "no menu came up";
    // Upward from the bar; a menu taller than the room above it starts at the top instead.
    EXPECT_TRUE(menu.GetBottom() <= barRect.y + 2 || menu.y <= client.y + 2)
        << "bar " << Describe(barRect) << " menu " << Describe(menu);
    EXPECT_TRUE(client.Contains(menu)) << "client " << Describe(client) << " menu " << Describe(menu);
}

TEST(MenuPosition, StaysInsideTheAreaWhereItFits)
{
    const wxRect area(100, 100, 240, 320);
    // Upward from the bar: bottom edge at the point.
    EXPECT_EQ(wxPoint(110, 300), MenuPositionWithin(area, wxPoint(110, 400), wxSize(150, 100), MenuOpens::Up));
    // Too far right: moved left so its right edge is the area's.
    EXPECT_EQ(wxPoint(190, 300), MenuPositionWithin(area, wxPoint(300, 400), wxSize(150, 100), MenuOpens::Up));
    // Down near the bottom: flipped above the point.
    EXPECT_EQ(wxPoint(120, 300), MenuPositionWithin(area, wxPoint(120, 400), wxSize(100, 100), MenuOpens::Down));
    // Down with room: at the point.
    EXPECT_EQ(wxPoint(120, 150), MenuPositionWithin(area, wxPoint(120, 150), wxSize(100, 100), MenuOpens::Down));
    // Taller than the area: its top left stays inside.
    EXPECT_EQ(wxPoint(100, 100), MenuPositionWithin(area, wxPoint(90, 200), wxSize(300, 500), MenuOpens::Up));
}

TEST_F(PlacementTest, FileChooserOpensOverTheMainWindowWithinTheScreen)
{
    OpenPlaced();
    const wxRect main = ManagedFrameRect(m_frame);
    const wxRect screen(0, 0, 1280, 800);
    wxRect chooser;
    WhileModal([&] {
        GtkWidget* dialog = nullptr;
        WaitFor([&] { return (dialog = ShownGtkWindow(GTK_TYPE_FILE_CHOOSER_DIALOG)) != nullptr; });
        ASSERT_NE(nullptr, dialog);
        Pump(400);
        chooser = GtkFrameRect(dialog);
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    });
    {
        const FileChooserFitter fitter;
        wxCommandEvent open(wxEVT_MENU, wxID_OPEN);
        m_manager->OnFileOpen(open);
    }
    ASSERT_GT(chooser.width, 0);
    EXPECT_TRUE(screen.Contains(chooser)) << Describe(chooser);
    // Centred over the main window as far as the screen lets it.
    const wxPoint centre(main.x + main.width / 2, main.y + main.height / 2);
    EXPECT_TRUE(chooser.Contains(centre)) << "main " << Describe(main) << " chooser " << Describe(chooser);
    EXPECT_LE(chooser.width, 1024);
    EXPECT_LE(chooser.height, 768);
}
