#include "tests/support/WindowManager.h"

#include <wx/uiaction.h>
#include <wx/window.h>

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

void Pump(int ms);

namespace
{
std::vector<pid_t> s_children;

void StopChildren()
{
    for (auto it = s_children.rbegin(); it != s_children.rend(); ++it)
    {
        kill(*it, SIGTERM);
        waitpid(*it, nullptr, 0);
    }
    s_children.clear();
}

// Starts argv with `keepFd` left open; the child dies with this process.
pid_t Spawn(const std::vector<std::string>& args, int keepFd = -1)
{
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        _exit(127);
    for (int fd = 3; fd < 256; ++fd)
        if (fd != keepFd)
            close(fd);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

bool ManagerRunning(Display* dpy)
{
    const Atom check = XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(dpy, DefaultRootWindow(dpy), check, 0, 1, False, XA_WINDOW, &type, &format,
                                          &count, &after, &data) == Success &&
                       data && count == 1;
    if (data)
        XFree(data);
    return found;
}

Display* ToolkitDisplay()
{
    return GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
}

Window ClientWindow(wxWindow* win)
{
    wxWindow* top = wxGetTopLevelParent(win);
    GdkWindow* gdk = top ? gtk_widget_get_window(top->GetHandle()) : nullptr;
    return gdk ? GDK_WINDOW_XID(gdk) : 0;
}

// _NET_FRAME_EXTENTS: left, right, top, bottom.
bool FrameExtents(Window w, long extents[4])
{
    Display* dpy = ToolkitDisplay();
    const Atom atom = XInternAtom(dpy, "_NET_FRAME_EXTENTS", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    bool ok = XGetWindowProperty(dpy, w, atom, 0, 4, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
                  Success &&
              data && count == 4;
    if (ok)
        for (int i = 0; i < 4; ++i)
            extents[i] = reinterpret_cast<long*>(data)[i];
    if (data)
        XFree(data);
    return ok;
}
}

namespace
{
// A virtual X server of its own; its display name (":N") or empty.
std::string StartXServer(int width, int height, std::string& error)
{
    int fds[2];
    if (pipe(fds) != 0)
    {
        error = "pipe";
        return std::string();
    }
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const pid_t server =
        Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp"}, fds[1]);
    close(fds[1]);
    if (server < 0)
    {
        close(fds[0]);
        error = "cannot start Xvfb";
        return std::string();
    }
    s_children.push_back(server);
    std::atexit(StopChildren);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty())
        error = "Xvfb told no display number";
    return number.empty() ? std::string() : ":" + number;
}
}

bool StartWindowManagerDisplay(int width, int height, std::string& error)
{
    const std::string name = StartXServer(width, height, error);
    if (name.empty())
        return false;
    setenv("DISPLAY", name.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    setenv("GDK_BACKEND", "x11", 1);
    // The file chooser keeps its size in the settings; no session bus here.
    setenv("GSETTINGS_BACKEND", "memory", 1);

    s_children.push_back(Spawn({"openbox", "--sm-disable"}));
    Display* dpy = XOpenDisplay(name.c_str());
    if (!dpy)
    {
        error = "cannot open " + name;
        return false;
    }
    bool up = false;
    for (int i = 0; i < 200 && !(up = ManagerRunning(dpy)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    XCloseDisplay(dpy);
    if (!up)
        error = "openbox did not start";
    // The manager takes the screen a moment after it announces itself.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return up;
}

bool StartWaylandDisplay(int width, int height, std::string& error)
{
    // Weston's headless backend has no seat, and the toolkit dereferences the
    // missing seat as soon as a dialog runs modally. Its X11 backend, on a
    // virtual X server of its own, brings the server's pointer and keyboard
    // as a seat; the windows are still placed and framed by weston alone.
    const std::string x = StartXServer(width + 64, height + 64, error);
    if (x.empty())
        return false;
    char runtime[] = "/tmp/tallyard-wayland-XXXXXX";
    if (!mkdtemp(runtime))
    {
        error = "no runtime folder";
        return false;
    }
    setenv("XDG_RUNTIME_DIR", runtime, 1);
    setenv("DISPLAY", x.c_str(), 1);
    const std::string socket = "tallyard-test";
    const pid_t compositor = Spawn({"weston", "--backend=x11-backend.so", "--use-pixman", "--socket=" + socket,
                                    "--width=" + std::to_string(width), "--height=" + std::to_string(height),
                                    "--idle-time=0", "--no-config", "--debug",
                                    "--log=" + std::string(runtime) + "/weston.log"});
    unsetenv("DISPLAY");
    if (compositor < 0)
    {
        error = "cannot start weston";
        return false;
    }
    s_children.push_back(compositor);
    const std::string path = std::string(runtime) + "/" + socket;
    bool up = false;
    for (int i = 0; i < 200 && !(up = access(path.c_str(), F_OK) == 0); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    if (!up)
    {
        error = "weston made no socket";
        return false;
    }
    // The shell client starts after the socket.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    setenv("WAYLAND_DISPLAY", socket.c_str(), 1);
    setenv("GDK_BACKEND", "wayland", 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    return true;
}

wxRect ServerClientRect(wxWindow* win)
{
    Display* dpy = ToolkitDisplay();
    XSync(dpy, False);
    const Window w = ClientWindow(win);
    if (!w)
        return wxRect();
    Window root, child;
    int x, y;
    unsigned width, height, border, depth;
    if (!XGetGeometry(dpy, w, &root, &x, &y, &width, &height, &border, &depth))
        return wxRect();
    int rx = 0, ry = 0;
    XTranslateCoordinates(dpy, w, root, 0, 0, &rx, &ry, &child);
    return wxRect(rx, ry, static_cast<int>(width), static_cast<int>(height));
}

wxRect ManagedFrameRect(wxWindow* win)
{
    wxRect r = ServerClientRect(win);
    long e[4] = {0, 0, 0, 0};
    if (FrameExtents(ClientWindow(win), e))
    {
        r.x -= e[0];
        r.y -= e[2];
        r.width += e[0] + e[1];
        r.height += e[2] + e[3];
    }
    return r;
}

bool HasManagerCaption(wxWindow* win)
{
    long e[4] = {0, 0, 0, 0};
    if (!FrameExtents(ClientWindow(win), e))
        return false;
    // A border alone is a few pixels; a caption is a title's height.
    return e[2] > 8;
}

void RootClick(const wxPoint& root)
{
    wxUIActionSimulator sim;
    sim.MouseMove(root);
    Pump(30);
    sim.MouseClick();
    Pump(50);
}
