#ifndef TALLYARD_APP_SETTINGSKEY_H
#define TALLYARD_APP_SETTINGSKEY_H

#include "platform/Registry.h"

#include <cstdint>
#include <string>

/// The preferences key of the current user.
extern const char16_t* const kPreferencesKey; // u"Software\\Korvex\\Tallyard\\Preferences"

/// One registry key held open for the object's life. Reads of a missing
/// value write the caller's default back. Null strings are "not valid".
class SettingsKey
{
public:
    static constexpr uint32_t NoWriteDefault = 0xDEF0;

    SettingsKey(HKEY root, const char16_t* subkey);
    virtual ~SettingsKey();
    SettingsKey(const SettingsKey&) = delete;
    SettingsKey& operator=(const SettingsKey&) = delete;

    std::u16string ReadString(const char16_t* name, const char16_t* defaultText);
    bool WriteString(const char16_t* name, const char16_t* text);
    uint32_t ReadNumber(const char16_t* name, uint32_t defaultValue);
    bool WriteNumber(const char16_t* name, uint32_t value);

private:
    HKEY m_key = nullptr;
};

#endif
