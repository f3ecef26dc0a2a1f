#include "tests/e2e/ProgramDriver.h"

#include "tests/support/GuiTest.h"

#include <wx/time.h>
#include <wx/uiaction.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

// Xlib last: its macros (None, Status, Bool) clash with names above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

extern char** environ;

namespace
{
std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::string field;
    for (size_t i = 0; i < line.size(); ++i)
    {
        const char c = line[i];
        if (c == '\t')
        {
            fields.push_back(field);
            field.clear();
        }
        else if (c == '\\' && i + 1 < line.size())
        {
            const char next = line[++i];
            field += next == 't' ? '\t' : next == 'n' ? '\n' : next;
        }
        else
        {
            field += c;
        }
    }
    fields.push_back(field);
    return fields;
}

int Int(const std::vector<std::string>& fields, size_t i)
{
    return i < fields.size() ? std::atoi(fields[i].c_str()) : 0;
}

std::string Text(const std::vector<std::string>& fields, size_t i)
{
    return i < fields.size() ? fields[i] : std::string();
}

wxRect RectAt(const std::vector<std::string>& fields, size_t first)
{
    return wxRect(Int(fields, first), Int(fields, first + 1), Int(fields, first + 2), Int(fields, first + 3));
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

Display* Dpy(void* display)
{
    return static_cast<Display*>(display);
}
}

const ShownControl* ShownWindow::Control(int id, const std::string& kind) const
{
    for (const ShownControl& control : controls)
        if (control.id == id && (kind.empty() || control.kind == kind))
            return &control;
    return nullptr;
}

const ShownTool* ShownWindow::Tool(int id) const
{
    for (const ShownTool& tool : tools)
        if (tool.id == id)
            return &tool;
    return nullptr;
}

std::vector<ShownRow> ShownWindow::RowsOf(int listId) const
{
    std::vector<ShownRow> out;
    for (const ShownRow& row : rows)
        if (row.listId == listId)
            out.push_back(row);
    return out;
}

const ShownWindow* ShownScreen::Window(const std::string& name) const
{
    for (const ShownWindow& window : windows)
        if (window.name == name)
            return &window;
    return nullptr;
}

ShownScreen ShownScreen::Parse(const std::string& text)
{
    ShownScreen screen;
    screen.text = text;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
    {
        const std::vector<std::string> f = Fields(line);
        if (f[0] == "end")
        {
            screen.complete = true;
        }
        else if (f[0] == "top")
        {
            ShownWindow window;
            window.name = Text(f, 1);
            window.title = Text(f, 2);
            window.rect = RectAt(f, 3);
            window.modal = Int(f, 7) != 0;
            screen.windows.push_back(window);
        }
        else if (screen.windows.empty())
        {
            continue;
        }
        else if (f[0] == "ctrl")
        {
            screen.windows.back().controls.push_back(
                ShownControl{Int(f, 1), Text(f, 2), RectAt(f, 3), Int(f, 7) != 0, Text(f, 8)});
        }
        else if (f[0] == "tool")
        {
            screen.windows.back().tools.push_back(ShownTool{Int(f, 1), RectAt(f, 2), Int(f, 6) != 0});
        }
        else if (f[0] == "row")
        {
            screen.windows.back().rows.push_back(ShownRow{Int(f, 1), Int(f, 2), RectAt(f, 3), Int(f, 7) != 0,
                                                          Int(f, 8) != 0, Text(f, 9), Text(f, 10)});
        }
    }
    return screen;
}

std::string Program::TestBuild()
{
    return TALLYARD_TEST_PROGRAM;
}

Program::Program(std::string folder)
    : Program(TestBuild(), std::move(folder))
{
}

Program::Program(std::string executable, std::string folder)
    : m_executable(std::move(executable)),
      m_snapshotPath(folder + "/screen.txt"),
      m_outputPath(folder + "/output.txt")
{
}

Program::~Program()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    int status = 0;
    if (!WaitForExit(3000, &status))
    {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &status, 0);
    }
}

bool Program::Start()
{
    if (m_pid > 0)
        return false;
    // A picture left by an earlier run must not pass for this one's.
    std::remove(m_snapshotPath.c_str());
    setenv("TALLYARD_TEST_SNAPSHOT", m_snapshotPath.c_str(), 1);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, m_outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    std::string arg0 = m_executable;
    char* argv[] = {arg0.data(), nullptr};
    const int rc = posix_spawn(&m_pid, m_executable.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    unsetenv("TALLYARD_TEST_SNAPSHOT");
    if (rc != 0)
        m_pid = -1;
    return rc == 0;
}

bool Program::IsRunning()
{
    if (m_pid <= 0)
        return false;
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid)
    {
        m_pid = -1;
        return false;
    }
    return true;
}

bool Program::WaitForExit(int ms, int* status)
{
    if (m_pid <= 0)
        return false;
    const wxLongLong end = wxGetLocalTimeMillis() + ms;
    for (;;)
    {
        const pid_t done = waitpid(m_pid, status, WNOHANG);
        if (done != 0)
        {
            m_pid = -1;
            return done > 0;
        }
        if (wxGetLocalTimeMillis() > end)
            return false;
        Pump(20);
    }
}

ShownScreen Program::Look() const
{
    return ShownScreen::Parse(ReadFile(m_snapshotPath));
}

bool Program::WaitForScreen(const std::function<bool(const ShownScreen&)>& pred, int ms, ShownScreen* seen) const
{
    ShownScreen screen;
    const bool met = WaitFor(
        [&] {
            screen = Look();
            if (!screen.complete)
                return false;
            // An unexpected message box would wait for an answer forever.
            return pred(screen) || screen.Has("message");
        },
        ms);
    const bool accepted = met && screen.complete && pred(screen);
    if (seen)
        *seen = screen;
    return accepted;
}

std::string Program::Output() const
{
    return ReadFile(m_outputPath);
}

namespace UserInput
{
void Click(const wxPoint& screenPoint)
{
    static wxPoint s_lastPoint;
    static wxLongLong s_lastTime = 0;
    // Longer than the toolkit's double-click time.
    constexpr int kGapMs = 600;
    constexpr int kSameSpot = 16;
    const wxPoint moved = screenPoint - s_lastPoint;
    if (std::abs(moved.x) <= kSameSpot && std::abs(moved.y) <= kSameSpot)
    {
        while (wxGetLocalTimeMillis() - s_lastTime < kGapMs)
            Pump(20);
    }
    wxUIActionSimulator sim;
    sim.MouseMove(screenPoint);
    Pump(50);
    sim.MouseClick();
    Pump(50);
    s_lastPoint = screenPoint;
    s_lastTime = wxGetLocalTimeMillis();
}

void Type(const char* text)
{
    wxUIActionSimulator sim;
    sim.Text(text);
    Pump(50);
}

void Key(int keyCode)
{
    wxUIActionSimulator sim;
    sim.Char(keyCode);
    Pump(50);
}
}

XWindows::XWindows()
    : m_display(XOpenDisplay(nullptr))
{
}

XWindows::~XWindows()
{
    if (m_display)
        XCloseDisplay(Dpy(m_display));
}

std::vector<unsigned long> XWindows::Popups() const
{
    std::vector<unsigned long> popups;
    if (!m_display)
        return popups;
    Display* display = Dpy(m_display);
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return popups;
    for (unsigned i = 0; i < count; ++i)
    {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable &&
            attributes.override_redirect)
            popups.push_back(children[i]);
    }
    if (children)
        XFree(children);
    return popups;
}

unsigned long XWindows::NewPopup(const std::vector<unsigned long>& before, int minHeight) const
{
    for (unsigned long window : Popups())
    {
        if (std::find(before.begin(), before.end(), window) != before.end())
            continue;
        XWindowAttributes attributes;
        if (XGetWindowAttributes(Dpy(m_display), window, &attributes) && attributes.height > minHeight)
            return window;
    }
    return 0;
}

std::string XWindows::DescribePopups() const
{
    std::string text;
    for (unsigned long window : Popups())
    {
        XWindowAttributes a;
        if (XGetWindowAttributes(Dpy(m_display), window, &a))
            text += "  pop-up " + std::to_string(window) + " at " + std::to_string(a.x) + "," + std::to_string(a.y) +
                    " size " + std::to_string(a.width) + "x" + std::to_string(a.height) + "\n";
    }
    return text.empty() ? "  no pop-ups\n" : text;
}

bool XWindows::IsMapped(unsigned long window) const
{
    XWindowAttributes attributes;
    return m_display && XGetWindowAttributes(Dpy(m_display), window, &attributes) &&
           attributes.map_state == IsViewable;
}

namespace
{
Window FindTitled(Display* display, Window window, const char* title)
{
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name)
    {
        const bool match = std::strcmp(name, title) == 0;
        XFree(name);
        XWindowAttributes attributes;
        if (match && XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable)
            return window;
    }
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count))
    {
        for (unsigned i = 0; i < count && !found; ++i)
            found = FindTitled(display, children[i], title);
        if (children)
            XFree(children);
    }
    return found;
}
}

bool XWindows::Close(const char* title) const
{
    if (!m_display)
        return false;
    Display* display = Dpy(m_display);
    const Window window = FindTitled(display, DefaultRootWindow(display), title);
    if (!window)
        return false;
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(display, window, False, NoEventMask, &event) != 0;
    XFlush(display);
    return sent;
}
