#ifndef TALLYARD_TESTS_E2E_PROGRAMDRIVER_H
#define TALLYARD_TESTS_E2E_PROGRAMDRIVER_H

// Driving the built program from outside, as a user does: it runs in its own
// process on the same display, real mouse and key events reach it through
// the X server, and its windows are found in the picture its test build
// keeps of them when TALLYARD_TEST_SNAPSHOT names a file
// (tests/support/TestHooks.h).

#include <wx/gdicmn.h>

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

struct ShownControl
{
    int id = 0;
    std::string kind;
    wxRect rect;
    bool enabled = false;
    std::string text;
};

struct ShownTool
{
    int id = 0;
    wxRect rect;
    bool enabled = false;
};

struct ShownRow
{
    int listId = 0;
    int index = 0;
    wxRect rect;
    bool selected = false;
    bool checked = false;
    std::string column0;
    std::string column1;
};

struct ShownWindow
{
    std::string name;
    std::string title;
    wxRect rect;
    bool modal = false;
    std::vector<ShownControl> controls;
    std::vector<ShownTool> tools;
    std::vector<ShownRow> rows;

    /// The first control with this id (and kind, when given), or null.
    const ShownControl* Control(int id, const std::string& kind = std::string()) const;
    const ShownTool* Tool(int id) const;
    std::vector<ShownRow> RowsOf(int listId) const;
};

/// One picture of the program's shown windows.
struct ShownScreen
{
    std::vector<ShownWindow> windows;
    bool complete = false; // a whole picture was read
    std::string text;      // as written, for failure messages

    const ShownWindow* Window(const std::string& name) const;
    bool Has(const std::string& name) const { return Window(name) != nullptr; }

    static ShownScreen Parse(const std::string& text);
};

/// The built program, started on this test's XDG folders.
class Program
{
public:
    /// The program's test build (tests/support/TestProgramMain.cpp), the one
    /// that keeps the picture.
    static std::string TestBuild();

    /// `folder` receives the picture file and the program's output.
    explicit Program(std::string folder);
    Program(std::string executable, std::string folder);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Start();
    bool IsRunning();
    /// Waits for the program to end; its exit status in `status`.
    bool WaitForExit(int ms, int* status);

    ShownScreen Look() const;
    /// Waits until `pred` holds for a picture, which it leaves in `seen`.
    /// Gives up at once when a message box shows that `pred` does not accept.
    bool WaitForScreen(const std::function<bool(const ShownScreen&)>& pred, int ms, ShownScreen* seen) const;
    std::string Output() const;

private:
    std::string m_executable;
    std::string m_snapshotPath;
    std::string m_outputPath;
    pid_t m_pid = -1;
};

/// Real input through the X server.
namespace UserInput
{
/// A left click at a point of the screen; a second click on the same spot
/// waits long enough not to make a double click.
void Click(const wxPoint& screenPoint);
void Type(const char* text);
void Key(int keyCode);
}

/// What the X server knows of the program's top windows and pop-ups.
class XWindows
{
public:
    XWindows();
    ~XWindows();
    XWindows(const XWindows&) = delete;
    XWindows& operator=(const XWindows&) = delete;

    bool IsOpen() const { return m_display != nullptr; }

    /// The mapped override-redirect windows (menus, drop-down lists, tips).
    std::vector<unsigned long> Popups() const;
    /// A mapped pop-up not in `before` taller than `minHeight` (a tool tip
    /// is not), or 0.
    unsigned long NewPopup(const std::vector<unsigned long>& before, int minHeight) const;
    bool IsMapped(unsigned long window) const;
    /// The pop-ups' rectangles, for failure messages.
    std::string DescribePopups() const;

    /// Asks the mapped top window titled `title` to close, as a window
    /// manager's close button does. False when there is no such window.
    bool Close(const char* title) const;

private:
    void* m_display = nullptr;
};

#endif
