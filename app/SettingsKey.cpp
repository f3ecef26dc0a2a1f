#include "app/SettingsKey.h"

#include <vector>

const char16_t* const kPreferencesKey = u"Software\\Korvex\\Tallyard\\Preferences";

namespace
{
// A value that grows between the size query and the read is read again
// rather than taken for missing, which would overwrite it with the default.
constexpr int kReadAttempts = 4;

uint32_t StringBytes(const char16_t* text)
{
    return static_cast<uint32_t>((std::char_traits<char16_t>::length(text) + 1) * sizeof(char16_t));
}
}

SettingsKey::SettingsKey(HKEY root, const char16_t* subkey)
{
    if (RegCreateKeyEx(root, subkey, &m_key) != ERROR_SUCCESS)
        m_key = nullptr;
}

SettingsKey::~SettingsKey()
{
    if (m_key)
        RegCloseKey(m_key);
}

std::u16string SettingsKey::ReadString(const char16_t* name, const char16_t* defaultText)
{
    if (!name)
        return std::u16string();

    uint32_t type = 0;
    uint32_t size = 0;
    long rc = RegQueryValueEx(m_key, name, &type, nullptr, &size);
    for (int attempt = 0; rc == ERROR_SUCCESS && type == REG_SZ && attempt < kReadAttempts; ++attempt)
    {
        // One spare character always terminates the text, stored null or not.
        std::vector<char16_t> buffer(size + 1, u'\0');
        uint32_t bytes = size;
        rc = RegQueryValueEx(m_key, name, &type, buffer.data(), &bytes);
        if (rc == ERROR_SUCCESS && type == REG_SZ)
            return std::u16string(buffer.data());
        if (rc == ERROR_MORE_DATA)
        {
            size = bytes;
            rc = ERROR_SUCCESS;
        }
    }

    if (!defaultText)
        return std::u16string();
    RegSetValueEx(m_key, name, REG_SZ, defaultText, StringBytes(defaultText));
    return defaultText;
}

bool SettingsKey::WriteString(const char16_t* name, const char16_t* text)
{
    if (!name || !text)
        return false;
    return RegSetValueEx(m_key, name, REG_SZ, text, StringBytes(text)) == ERROR_SUCCESS;
}

uint32_t SettingsKey::ReadNumber(const char16_t* name, uint32_t defaultValue)
{
    if (!name)
        return defaultValue;
    uint32_t type = 0;
    uint32_t value = 0;
    uint32_t size = sizeof(value);
    // A value of another type is unreadable as a number, not four stray bytes.
    if (RegQueryValueEx(m_key, name, &type, &value, &size) == ERROR_SUCCESS && type == REG_DWORD &&
        size == sizeof(value))
        return value;
    if (defaultValue != NoWriteDefault)
        RegSetValueEx(m_key, name, REG_DWORD, &defaultValue, sizeof(defaultValue));
    return defaultValue;
}

bool SettingsKey::WriteNumber(const char16_t* name, uint32_t value)
{
    if (!name)
        return false;
    return RegSetValueEx(m_key, name, REG_DWORD, &value, sizeof(value)) == ERROR_SUCCESS;
}
