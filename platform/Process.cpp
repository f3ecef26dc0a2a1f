#include "platform/Process.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace
{
const char16_t kHelpViewerName[] = u"PegHelp.exe";
const char16_t kDeviceHelpFile[] = u"\\Windows\\Tallyard.htm";
const char kViewerProgram[] = "tallyard-help";

std::mutex s_launcherMutex;
Process::Launcher s_launcher;

std::string ToUtf8(const std::u16string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
    {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD; // an unpaired surrogate has no UTF-8 form
        if (c < 0x80)
        {
            out += static_cast<char>(c);
        }
        else if (c < 0x800)
        {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        else if (c < 0x10000)
        {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        else
        {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

char16_t FoldAscii(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

// The device's file system ignores the case of names.
bool StartsWithNoCase(const std::u16string& text, const std::u16string& prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
    {
        if (FoldAscii(text[i]) != FoldAscii(prefix[i]))
            return false;
    }
    return true;
}

/// The program's name without any device folder ("\Windows\PegHelp.exe").
std::u16string BaseName(const std::u16string& path)
{
    size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

std::string ExecutableDir()
{
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0)
        return std::string();
    std::string path(buffer, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/'));
}

bool IsExecutableFile(const std::string& path)
{
    return access(path.c_str(), X_OK) == 0;
}

bool IsReadableFile(const std::string& path)
{
    return access(path.c_str(), R_OK) == 0;
}

/// True when the running program was built, not installed: then the
/// source tree's files are newer than anything installed.
bool RunningFromBuildTree()
{
    const std::string build = TALLYARD_BINARY_DIR;
    const std::string exeDir = ExecutableDir();
    return !build.empty() && exeDir.compare(0, build.size(), build) == 0 &&
           (exeDir.size() == build.size() || exeDir[build.size()] == '/');
}

/// Starts argv[0] with posix_spawn: no shell, the signal state of a fresh
/// program, none of our descriptors but the standard three. A thread waits
/// for the child so it never lingers as a zombie; nobody else waits for it.
bool SpawnDetached(const std::vector<std::string>& args)
{
    if (args.empty() || args[0].empty())
        return false;
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGCHLD, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    pid_t pid = -1;
    const bool searchPath = args[0].find('/') == std::string::npos;
    int rc = searchPath ? posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ)
                        : posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0)
        return false;

    std::thread([pid] {
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR)
        {
        }
    }).detach();
    return true;
}
}

bool CreateProcess(const std::u16string& application, const std::u16string& commandLine)
{
    std::vector<std::string> argv;
    const std::u16string base = BaseName(application);
    if (base.size() == std::char_traits<char16_t>::length(kHelpViewerName) && StartsWithNoCase(base, kHelpViewerName))
        argv.push_back(Process::HelpViewerPath());
    else
        argv.push_back(ToUtf8(application));

    if (StartsWithNoCase(commandLine, kDeviceHelpFile))
    {
        // Whatever follows the file (the anchor) stays attached to it.
        const size_t fileLength = std::char_traits<char16_t>::length(kDeviceHelpFile);
        argv.push_back(Process::HelpFilePath() + ToUtf8(commandLine.substr(fileLength)));
    }
    else if (!commandLine.empty())
    {
        argv.push_back(ToUtf8(commandLine));
    }

    Process::Launcher launcher;
    {
        std::lock_guard<std::mutex> lock(s_launcherMutex);
        launcher = s_launcher;
    }
    return launcher ? launcher(argv) : SpawnDetached(argv);
}

namespace Process
{
void SetLauncher(Launcher launcher)
{
    std::lock_guard<std::mutex> lock(s_launcherMutex);
    s_launcher = std::move(launcher);
}

void ResetLauncher()
{
    SetLauncher(nullptr);
}

std::string HelpViewerPath()
{
    const std::string candidates[] = {
        ExecutableDir() + "/" + kViewerProgram,
        std::string(TALLYARD_INSTALL_BINDIR) + "/" + kViewerProgram,
        std::string(TALLYARD_BINARY_DIR) + "/platform/helpviewer/" + kViewerProgram,
    };
    for (const std::string& path : candidates)
    {
        if (IsExecutableFile(path))
            return path;
    }
    return kViewerProgram; // left to the search path
}

std::string HelpFilePath()
{
    const std::string source = std::string(TALLYARD_SOURCE_DIR) + "/resources/Tallyard.htm";
    const std::string installed = std::string(TALLYARD_INSTALL_DATADIR) + "/Tallyard.htm";
    // An installation moved elsewhere as a whole keeps its files beside each other.
    std::string relocated = ExecutableDir() + "/../share/tallyard/Tallyard.htm";
    if (char resolved[PATH_MAX]; realpath(relocated.c_str(), resolved))
        relocated = resolved;
    if (RunningFromBuildTree() && IsReadableFile(source))
        return source;
    for (const std::string& path : {relocated, installed, source})
    {
        if (IsReadableFile(path))
            return path;
    }
    return installed;
}
}
