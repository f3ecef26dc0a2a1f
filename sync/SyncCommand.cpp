#include "sync/SyncCommand.h"

#include "store/ListStore.h"
#include "sync/SyncRun.h"

#include <fcntl.h>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace Sync
{
const char* const kSyncUsage = "tallyard-cli sync [--url URL] [--user NAME] [--password-file FILE]";

namespace
{
/// The first line of a file only its owner may read; "" with `error` set
/// otherwise.
bool ReadPasswordFile(const std::string& path, std::string& password, std::string& error)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    struct stat st{};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        if (fd >= 0)
            close(fd);
        error = "cannot read the password file " + path;
        return false;
    }
    if ((st.st_mode & 077) != 0 || st.st_uid != geteuid())
    {
        close(fd);
        error = "the password file " + path + " must be readable only by its owner (chmod 600)";
        return false;
    }
    std::string text;
    char buffer[4096];
    ssize_t n = 0;
    while (text.size() < 65536 && (n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, size_t(n));
    close(fd);
    password = text.substr(0, text.find_first_of("\r\n"));
    return true;
}
}

int RunSyncCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    Settings settings = LoadSettings();
    std::string passwordFile;
    bool havePasswordFile = false;
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h")
        {
            out << "usage: " << kSyncUsage << "\n";
            return 0;
        }
        if ((arg == "--url" || arg == "--user" || arg == "--password-file") && i + 1 < args.size())
        {
            const std::string& value = args[++i];
            if (arg == "--url")
                settings.url = value;
            else if (arg == "--user")
                settings.user = value;
            else
            {
                passwordFile = value;
                havePasswordFile = true;
            }
            continue;
        }
        const bool takesValue = arg == "--url" || arg == "--user" || arg == "--password-file";
        err << "tallyard-cli: " << (takesValue ? "missing value for " : "unknown argument ") << arg
            << "\nusage: " << kSyncUsage << "\n";
        return 2;
    }
    if (settings.url.empty())
    {
        err << "tallyard-cli: no server address: set one in Sync Settings or give --url\n";
        return 1;
    }
    std::string password, error;
    if (havePasswordFile)
    {
        if (!ReadPasswordFile(passwordFile, password, error))
        {
            err << "tallyard-cli: " << error << "\n";
            return 1;
        }
    }
    else
    {
        bool available = false;
        if (!LookupPassword(settings, password, available))
        {
            err << "tallyard-cli: "
                << (available ? "no password is kept for this account" : "no Secret Service is running")
                << ": give --password-file FILE\n";
            return 1;
        }
    }
    if (!ListStore::CreateDatabases())
    {
        err << "tallyard-cli: cannot open the store\n";
        return 1;
    }
    Report report = SyncOnce({settings.url, settings.user, password, settings.allowUnencrypted});
    if (!report.ok)
    {
        err << "tallyard-cli: sync failed: " << report.error << "\n";
        return 1;
    }
    out << "synced: " << report.uploaded << " sent, " << report.downloaded << " received, "
        << report.deletedRemote + report.deletedLocal << " deleted, " << report.conflicts << " conflicts\n";
    return 0;
}
}
