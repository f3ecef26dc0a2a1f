// The built program, started as a new user would start it.
#include "tests/support/GuiTest.h"
#include "tests/support/TempXdg.h"

#include "app/SettingsKey.h"

#include <wx/filename.h>
#include <wx/process.h>
#include <wx/utils.h>

#include <X11/Xlib.h>

#include <cstring>
#include <cstdlib>

namespace
{
struct ShownWindow
{
    bool found = false;
    int width = 0;
    int height = 0;
};

// Looks through the display's windows for a mapped one with this title.
ShownWindow FindShownWindow(Display* display, Window window, const char* title)
{
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name)
    {
        const bool match = std::strcmp(name, title) == 0;
        XFree(name);
        XWindowAttributes attributes;
        if (match && XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable)
            return ShownWindow{true, attributes.width, attributes.height};
    }
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    ShownWindow shown;
    if (XQueryTree(display, window, &root, &parent, &children, &count))
    {
        for (unsigned i = 0; i < count && !shown.found; ++i)
            shown = FindShownWindow(display, children[i], title);
        if (children)
            XFree(children);
    }
    return shown;
}
}

TEST(ProgramRun, FreshUserGetsTheMainWindowAndANewStore)
{
    const char* build = std::getenv("TALLYARD_BUILD_DIR");
    ASSERT_NE(nullptr, build);
    const std::string program = std::string(build) + "/app/tallyard";
    ASSERT_TRUE(wxFileName::IsFileExecutable(program));
    const std::string store = TempXdgListener::DataDir() + "/objectstore.db";
    ASSERT_FALSE(wxFileName::FileExists(store));

    // The child inherits this test's fresh XDG folders and display.
    const long pid = wxExecute(program, wxEXEC_ASYNC);
    ASSERT_GT(pid, 0);

    // Its main window shows a 240 x 320 client area titled "Tallyard" (the
    // splash has no title). Xvfb runs at 96 dots per inch: no scaling.
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(nullptr, display);
    ShownWindow window;
    EXPECT_TRUE(WaitFor(
        [&] {
            window = FindShownWindow(display, DefaultRootWindow(display), "Tallyard");
            return window.found;
        },
        15000));
    XCloseDisplay(display);
    EXPECT_EQ(240, window.width);
    EXPECT_EQ(320, window.height);
    EXPECT_TRUE(wxFileName::FileExists(store));
    {
        SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
        EXPECT_EQ(u"All", key.ReadString(u"LastCategory", u"<missing>"));
    }
    EXPECT_TRUE(wxProcess::Exists(static_cast<int>(pid)));

    wxProcess::Kill(static_cast<int>(pid), wxSIGTERM);
    EXPECT_TRUE(WaitFor([&] { return !wxProcess::Exists(static_cast<int>(pid)); }, 5000));
}
