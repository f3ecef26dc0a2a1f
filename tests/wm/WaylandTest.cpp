// The main window and a full-screen dialog under a Wayland compositor, where
// the toolkit draws the title bars itself and the compositor places windows.
#include "tests/browser/BrowserFixture.h"

#include "controls/GestureListCtrl.h"
#include "dialogs/CNoteDlg.h"
#include "resources/ResourceIds.h"

#include <wx/app.h>
#include <wx/dir.h>
#include <wx/filename.h>
#include <wx/image.h>

#include <gdk/gdkwayland.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <functional>
#include <string>

namespace
{
std::string Describe(const wxRect& r)
{
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}

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

// What the compositor shows, through its screenshot protocol (weston runs
// with --debug for it).
wxImage CompositorShot()
{
    const wxString dir = wxFileName::CreateTempFileName("tallyard-shot");
    wxRemoveFile(dir);
    wxFileName::Mkdir(dir);
    const std::string command = "cd '" + dir.ToStdString() + "' && weston-screenshooter";
    wxImage shot;
    if (std::system(command.c_str()) == 0)
    {
        wxString file;
        if (wxDir(dir).GetFirst(&file, "*.png"))
            shot.LoadFile(dir + "/" + file, wxBITMAP_TYPE_PNG);
    }
    wxDir::Remove(dir, wxPATH_RMDIR_RECURSIVE);
    return shot;
}

bool IsColour(const wxImage& img, int x, int y, const wxColour& c)
{
    return img.GetRed(x, y) == c.Red() && img.GetGreen(x, y) == c.Green() && img.GetBlue(x, y) == c.Blue();
}

// The smallest rectangle holding every pixel for which `pick` holds.
template <class Pick>
wxRect BoundingBox(const wxImage& img, Pick pick)
{
    int left = img.GetWidth(), top = img.GetHeight(), right = -1, bottom = -1;
    for (int y = 0; y < img.GetHeight(); ++y)
        for (int x = 0; x < img.GetWidth(); ++x)
            if (pick(x, y))
            {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    return right < 0 ? wxRect() : wxRect(wxPoint(left, top), wxPoint(right, bottom));
}

// An empty list in a colour of its own marks the main window's content; a
// dialog's face has another.
const wxColour kMark(255, 0, 255);
const wxColour kFace(0, 255, 255);

wxRect Marked(const wxImage& shot, const wxColour& colour)
{
    return BoundingBox(shot, [&](int x, int y) { return IsColour(shot, x, y, colour); });
}

void KeepShot(const wxImage& shot, const std::string& name)
{
    if (const char* dir = std::getenv("TALLYARD_SHOT_DIR"))
        shot.SaveFile(wxString(dir) + "/wayland_" + name + ".png", wxBITMAP_TYPE_PNG);
}

class WaylandTest : public BrowserTest
{
protected:
    void OpenShown()
    {
        ASSERT_TRUE(GDK_IS_WAYLAND_DISPLAY(gdk_display_get_default())) << "not on the compositor";
        if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
            wxImage::AddHandler(new wxPNGHandler);
        Open();
        wxTheApp->SetTopWindow(m_frame);
        ASSERT_TRUE(WaitFor([&] { return m_frame->IsShownOnScreen(); }));
    }

    /// What the compositor shows of the main window with its content marked.
    wxImage MarkedMainWindow()
    {
        m_list->SetBackgroundColour(kMark);
        m_list->Refresh();
        Pump(400);
        return CompositorShot();
    }

    /// What the compositor shows while the Note dialog, its face marked, is
    /// open, once `shown` holds for it; `check` runs on it before the shot.
    static wxImage WhileNoteShown(const std::function<bool(CNoteDlg&)>& shown,
                                  const std::function<void(CNoteDlg&)>& check)
    {
        CNoteDlg note;
        note.SetBackgroundColour(kFace);
        wxImage during;
        note.CallAfter([&] {
            WaitFor([&] { return note.IsShownOnScreen() && shown(note); });
            Pump(600);
            EXPECT_EQ(wxSize(0, 0), SurfaceMinusContent(&note)) << "a title bar of the toolkit's above the dialog's own";
            check(note);
            during = CompositorShot();
            note.EndModal(wxID_CANCEL);
        });
        note.ShowModal();
        return during;
    }
};
}

TEST_F(WaylandTest, FullScreenDialogHasOnlyItsOwnTitleBarAndCoversTheMainWindowsContent)
{
    OpenShown();
    const wxImage before = MarkedMainWindow();
    EXPECT_TRUE(gtk_window_get_decorated(GTK_WINDOW(m_frame->GetHandle())));
    const wxSize mainFrame = SurfaceMinusContent(m_frame);
    EXPECT_GT(mainFrame.y, 0) << "the main window keeps its title bar";
    ASSERT_TRUE(before.IsOk()) << "no screenshot from the compositor";
    const wxRect list = Marked(before, kMark);
    ASSERT_EQ(m_list->GetSize(), list.GetSize()) << Describe(list);
    // The list sits at the content's top left.
    const wxRect content(list.GetPosition(), m_frame->GetClientSize());

    int titleHeight = 0;
    const wxImage during = WhileNoteShown([](CNoteDlg&) { return true; }, [&](CNoteDlg& note) {
        EXPECT_FALSE(gtk_window_get_decorated(GTK_WINDOW(note.GetHandle())));
        EXPECT_EQ(m_frame->GetClientSize(), note.GetClientSize());
        GdkWindow* surface = gtk_widget_get_window(note.GetHandle());
        EXPECT_EQ(m_frame->GetClientSize(), wxSize(gdk_window_get_width(surface), gdk_window_get_height(surface)));
        titleHeight = note.FindWindow(IDC_TITLE_BAR)->GetSize().y;
    });
    ASSERT_TRUE(during.IsOk());
    KeepShot(before, "main");
    KeepShot(during, "dialog");
    // Weston places every window itself (a client cannot), so the dialog
    // shows where the compositor puts it. What it shows is the content's size:
    // its background, marked too, spans the width and the height below the
    // title bar.
    const wxRect dialog = Marked(during, kFace);
    EXPECT_EQ(content.width, dialog.width) << "dialog " << Describe(dialog);
    EXPECT_EQ(content.height, dialog.height + titleHeight) << "dialog " << Describe(dialog);
}

TEST_F(WaylandTest, OverAMainWindowFillingTheScreenAFullScreenDialogFillsItToo)
{
    OpenShown();
    // Over a main window that fills the work area or the screen the dialog
    // fills the same, and nothing of the main window's content shows.
    const auto expectHidden = [&](const std::string& how) {
        const wxImage before = MarkedMainWindow();
        ASSERT_TRUE(before.IsOk()) << "no screenshot from the compositor";
        const wxRect content = Marked(before, kMark);
        ASSERT_EQ(m_list->GetSize(), content.GetSize()) << how << ": " << Describe(content);
        const auto fills = [](CNoteDlg& note) {
            GdkWindow* surface = gtk_widget_get_window(note.GetHandle());
            return surface &&
                   (gdk_window_get_state(surface) & (GDK_WINDOW_STATE_MAXIMIZED | GDK_WINDOW_STATE_FULLSCREEN));
        };
        const auto surfaceSize = [](wxWindow* win) {
            GdkWindow* surface = gtk_widget_get_window(win->GetHandle());
            return wxSize(gdk_window_get_width(surface), gdk_window_get_height(surface));
        };
        wxSize barSize;
        const wxImage during = WhileNoteShown(fills, [&](CNoteDlg& note) {
            EXPECT_TRUE(fills(note)) << how;
            EXPECT_EQ(surfaceSize(m_frame), surfaceSize(&note)) << how << ": not the main window's area";
            barSize = note.FindWindow(IDC_TITLE_BAR)->GetSize();
            EXPECT_EQ(note.GetClientSize().x, barSize.x) << how << ": the title bar spans the dialog";
        });
        ASSERT_TRUE(during.IsOk());
        KeepShot(during, how + "_dialog");
        EXPECT_TRUE(Marked(during, kMark).IsEmpty()) << how << ": the main window's content shows";
        const wxRect dialog = Marked(during, kFace);
        EXPECT_GE(dialog.width, content.width) << how << ": " << Describe(dialog);
        EXPECT_GE(dialog.height + barSize.y, content.height) << how << ": " << Describe(dialog);
    };

    const wxSize normal = m_frame->GetClientSize();
    m_frame->Maximize();
    ASSERT_TRUE(WaitFor([&] { return m_frame->IsMaximized() && m_frame->GetClientSize() != normal; }));
    expectHidden("maximised");

    const wxSize maximised = m_frame->GetClientSize();
    m_frame->ShowFullScreen(true);
    ASSERT_TRUE(WaitFor([&] { return m_frame->IsFullScreen() && m_frame->GetClientSize() != maximised; }));
    expectHidden("full_screen");
}
