#ifndef TALLYARD_SYNC_SYNCRUN_H
#define TALLYARD_SYNC_SYNCRUN_H

// One sync of the store with the collection of the account, the settings of
// Sync Settings in the registry, and the password in the Secret Service.

#include "sync/CalDavHttp.h"
#include "sync/SyncEngine.h"

#include <string>

namespace Sync
{
struct Settings
{
    std::string url;
    std::string user;
    bool allowUnencrypted = false;
    bool automatic = false;
};

/// Sync Settings as stored ("Software\Korvex\Tallyard\Sync"); the password
/// is never among them.
Settings LoadSettings();
bool SaveSettings(const Settings& settings);

/// The password kept for this URL and user by the Secret Service. False
/// when there is none or no Secret Service answers (`available` says which).
bool LookupPassword(const Settings& settings, std::string& password, bool& available);
bool StorePassword(const Settings& settings, const std::string& password);

/// Runs one sync, holding the store's sync lock (a second sync of the same
/// store, in this or another process, waits for the first).
Report SyncOnce(const CalDav::Account& account, const CalDav::Limits& limits = {});
}

#endif
