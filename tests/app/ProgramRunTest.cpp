// The built program, started as a new user would start it.
#include "tests/support/GuiTest.h"
#include "tests/support/TempXdg.h"

#include "app/SettingsKey.h"

#include <wx/filename.h>
#include <wx/process.h>
#include <wx/utils.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{
std::string Capture(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r"))
    {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        pclose(pipe);
    }
    return out;
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

    // Its main window is a 240 x 320 client area titled "Tallyard" (the
    // splash is titled nothing).
    std::string window;
    const bool shown = WaitFor(
        [&] {
            window = Capture("xwininfo -root -tree 2>/dev/null | grep '\"Tallyard\": (\"tallyard\"'");
            return !window.empty();
        },
        15000);
    EXPECT_TRUE(shown) << Capture("xwininfo -root -tree");
    const int dpiScale = 1; // Xvfb runs at 96 dots per inch
    EXPECT_NE(std::string::npos, window.find(std::to_string(240 * dpiScale) + "x" + std::to_string(320 * dpiScale)))
        << window;
    EXPECT_TRUE(wxFileName::FileExists(store));
    {
        SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
        EXPECT_EQ(u"All", key.ReadString(u"LastCategory", u"<missing>"));
    }
    EXPECT_TRUE(wxProcess::Exists(static_cast<int>(pid)));

    wxProcess::Kill(static_cast<int>(pid), wxSIGTERM);
    EXPECT_TRUE(WaitFor([&] { return !wxProcess::Exists(static_cast<int>(pid)); }, 5000));
}
