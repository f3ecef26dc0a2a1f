#include "sync/SyncRun.h"

#include "platform/Paths.h"
#include "platform/Registry.h"
#include "sync/IcalText.h"
#include "sync/SyncCalDav.h"
#include "sync/SyncStore.h"

#include <chrono>
#include <fcntl.h>
#include <libsecret/secret.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace Sync
{
namespace
{
const char16_t* const kSyncKey = u"Software\\Korvex\\Tallyard\\Sync";

const SecretSchema* PasswordSchema()
{
    static const SecretSchema schema = {"org.korvex.Tallyard.Sync",
                                        SECRET_SCHEMA_NONE,
                                        {{"url", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return &schema;
}

struct Key
{
    HKEY handle = nullptr;
    Key() { RegCreateKeyEx(HKEY_CURRENT_USER, kSyncKey, &handle); }
    ~Key()
    {
        if (handle)
            RegCloseKey(handle);
    }
    std::string Text(const char16_t* name) const
    {
        uint32_t type = 0, size = 0;
        if (!handle || RegQueryValueEx(handle, name, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
            return {};
        std::u16string value(size / 2, u'\0');
        if (RegQueryValueEx(handle, name, &type, value.data(), &size) != ERROR_SUCCESS)
            return {};
        while (!value.empty() && value.back() == u'\0')
            value.pop_back();
        return IcalText::ToUtf8(value);
    }
    uint32_t Number(const char16_t* name) const
    {
        uint32_t type = 0, value = 0, size = sizeof value;
        if (!handle || RegQueryValueEx(handle, name, &type, &value, &size) != ERROR_SUCCESS || type != REG_DWORD)
            return 0;
        return value;
    }
    bool SetText(const char16_t* name, const std::string& text)
    {
        std::u16string value = IcalText::FromUtf8(text);
        value.push_back(u'\0');
        return handle &&
               RegSetValueEx(handle, name, REG_SZ, value.data(), uint32_t(value.size() * 2)) == ERROR_SUCCESS;
    }
    bool SetNumber(const char16_t* name, uint32_t value)
    {
        return handle && RegSetValueEx(handle, name, REG_DWORD, &value, sizeof value) == ERROR_SUCCESS;
    }
};

/// The store's sync lock: a file lock, released when the process ends
/// however it ends.
class SyncLock
{
public:
    SyncLock()
    {
        std::string dir = Paths::DataDir();
        Paths::EnsureDir(dir);
        m_fd = open((dir + "/sync.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        for (int i = 0; m_fd >= 0 && i < 6000; ++i)
        {
            if (flock(m_fd, LOCK_EX | LOCK_NB) == 0)
            {
                m_locked = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~SyncLock()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    bool Locked() const { return m_locked; }

private:
    int m_fd = -1;
    bool m_locked = false;
};
}

Settings LoadSettings()
{
    Key key;
    Settings s;
    s.url = key.Text(u"Url");
    s.user = key.Text(u"User");
    s.allowUnencrypted = key.Number(u"AllowUnencrypted") != 0;
    s.automatic = key.Number(u"Automatic") != 0;
    return s;
}

bool SaveSettings(const Settings& s)
{
    Key key;
    return key.SetText(u"Url", s.url) && key.SetText(u"User", s.user) &&
           key.SetNumber(u"AllowUnencrypted", s.allowUnencrypted ? 1 : 0) &&
           key.SetNumber(u"Automatic", s.automatic ? 1 : 0);
}

bool LookupPassword(const Settings& s, std::string& password, bool& available)
{
    GError* error = nullptr;
    gchar* found = secret_password_lookup_sync(PasswordSchema(), nullptr, &error, "url", s.url.c_str(), "user",
                                               s.user.c_str(), nullptr);
    available = error == nullptr;
    if (error)
        g_error_free(error);
    if (!found)
        return false;
    password = found;
    secret_password_free(found);
    return true;
}

bool StorePassword(const Settings& s, const std::string& password)
{
    GError* error = nullptr;
    gboolean ok = secret_password_store_sync(PasswordSchema(), SECRET_COLLECTION_DEFAULT, "Tallyard sync",
                                             password.c_str(), nullptr, &error, "url", s.url.c_str(), "user",
                                             s.user.c_str(), nullptr);
    if (error)
        g_error_free(error);
    return ok;
}

Report SyncOnce(const CalDav::Account& account, const CalDav::Limits& limits)
{
    SyncLock lock;
    if (!lock.Locked())
    {
        Report report;
        report.error = "another sync of this store did not end";
        return report;
    }
    CalDavSide remote(account, limits);
    StoreSide local(account.url);
    return Engine(local, remote).Run();
}
}
