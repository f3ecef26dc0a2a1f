#ifndef TALLYARD_PLATFORM_REGISTRY_H
#define TALLYARD_PLATFORM_REGISTRY_H

// The per-user registry: keys by path holding string and 32-bit values, kept
// in $XDG_CONFIG_HOME/tallyard/registry.db. Nothing is cached: every read goes
// to the file and every write is durable before it returns.
//
// Key paths and value names compare case-insensitively for ASCII letters.
// A file that is not a registry database is never written to: opening a key
// in it fails with ERROR_BADDB and the file stays exactly as it was.

#include <cstdint>
#include <string>

struct RegistryKey;
using HKEY = RegistryKey*;

/// The root of the current user's keys.
extern const HKEY HKEY_CURRENT_USER;

constexpr long ERROR_SUCCESS = 0;
constexpr long ERROR_FILE_NOT_FOUND = 2;
constexpr long ERROR_ACCESS_DENIED = 5;
constexpr long ERROR_INVALID_HANDLE = 6;
constexpr long ERROR_INVALID_PARAMETER = 87;
constexpr long ERROR_MORE_DATA = 234;
constexpr long ERROR_WRITE_FAULT = 29;
/// The registry file is damaged or not a registry database.
constexpr long ERROR_BADDB = 1009;

constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_DWORD = 4;

/// Creates or opens `subkey` (backslash-separated) under `root`. The file is
/// located from the environment at this call; the key stays on that file.
long RegCreateKeyEx(HKEY root, const char16_t* subkey, HKEY* result);
/// With data null, reports the value's type and size in bytes only. Fails
/// with ERROR_FILE_NOT_FOUND for a missing value, ERROR_MORE_DATA when
/// *size is too small (and sets *size to the size needed).
long RegQueryValueEx(HKEY key, const char16_t* name, uint32_t* type, void* data, uint32_t* size);
long RegSetValueEx(HKEY key, const char16_t* name, uint32_t type, const void* data, uint32_t size);
long RegCloseKey(HKEY key);

namespace Registry
{
/// The registry file for the current environment.
std::string FilePath();

/// How a key's connection writes: for tests of durability.
struct Durability
{
    std::string journalMode; // "wal"
    int synchronous = -1;    // 2: FULL
    int busyTimeoutMs = -1;
};
bool QueryDurability(HKEY key, Durability* result);
}

#endif
