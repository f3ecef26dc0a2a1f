#include "platform/Paths.h"

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::string HomeDir()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/tmp";
}

// XDG says a relative path in these variables is to be ignored.
std::string XdgDir(const char* var, const char* fallback)
{
    if (const char* v = std::getenv(var); v && v[0] == '/')
        return v;
    return HomeDir() + fallback;
}

bool IsDir(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDir(const std::string& path, mode_t mode)
{
    return mkdir(path.c_str(), mode) == 0 || (errno == EEXIST && IsDir(path));
}
}

namespace Paths
{
std::string DataDir()
{
    return XdgDir("XDG_DATA_HOME", "/.local/share") + "/tallyard";
}

std::string ConfigDir()
{
    return XdgDir("XDG_CONFIG_HOME", "/.config") + "/tallyard";
}

bool EnsureDir(const std::string& dir)
{
    if (IsDir(dir))
        return true;
    for (std::string::size_type pos = dir.find('/', 1); pos != std::string::npos; pos = dir.find('/', pos + 1))
    {
        if (!MakeDir(dir.substr(0, pos), 0755))
            return false;
    }
    return MakeDir(dir, 0700);
}

void RemoveStaleFiles(const std::string& dir, const std::string& prefix, long minAgeSeconds)
{
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    const time_t now = time(nullptr);
    while (const dirent* e = readdir(d))
    {
        const std::string name = e->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string path = dir + "/" + name;
        struct stat st;
        if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime > minAgeSeconds)
            unlink(path.c_str());
    }
    closedir(d);
}
}
