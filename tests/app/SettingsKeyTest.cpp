#include "app/SettingsKey.h"

#include "tests/support/TempXdg.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
/// The raw value under the preferences key: type and bytes, or an error.
struct RawValue
{
    long rc = ERROR_SUCCESS;
    uint32_t type = 0;
    std::string bytes;
};

RawValue Raw(const char16_t* name)
{
    RawValue raw;
    HKEY key = nullptr;
    raw.rc = RegCreateKeyEx(HKEY_CURRENT_USER, u"Software\\Korvex\\Tallyard\\Preferences", &key);
    if (raw.rc != ERROR_SUCCESS)
        return raw;
    char buffer[512];
    uint32_t size = sizeof(buffer);
    raw.rc = RegQueryValueEx(key, name, &raw.type, buffer, &size);
    if (raw.rc == ERROR_SUCCESS)
        raw.bytes.assign(buffer, size);
    RegCloseKey(key);
    return raw;
}

void SetRaw(const char16_t* name, uint32_t type, const void* data, uint32_t size)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx(HKEY_CURRENT_USER, kPreferencesKey, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueEx(key, name, type, data, size));
    RegCloseKey(key);
}

std::string Utf16Bytes(const std::u16string& text)
{
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2);
}
}

TEST(SettingsKey, FirstReadsWriteTheirDefaultsBack)
{
    SettingsKey settings(HKEY_CURRENT_USER, kPreferencesKey);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Raw(u"LastCategory").rc);

    EXPECT_EQ(u"All", settings.ReadString(u"LastCategory", u"All"));
    RawValue category = Raw(u"LastCategory");
    ASSERT_EQ(ERROR_SUCCESS, category.rc);
    EXPECT_EQ(REG_SZ, category.type);
    EXPECT_EQ(Utf16Bytes(u"All"), category.bytes) << "UTF-16 with its terminating null";

    EXPECT_EQ(0u, settings.ReadNumber(u"ShowPriority", 0));
    RawValue priority = Raw(u"ShowPriority");
    ASSERT_EQ(ERROR_SUCCESS, priority.rc);
    EXPECT_EQ(REG_DWORD, priority.type);
    EXPECT_EQ(std::string(4, '\0'), priority.bytes);

    // Present values win over the caller's default from now on.
    EXPECT_EQ(u"All", settings.ReadString(u"LastCategory", u"Unfiled"));
    EXPECT_EQ(0u, settings.ReadNumber(u"ShowPriority", 7));
}

TEST(SettingsKey, EmptyStringIsAPresentValue)
{
    SettingsKey settings(HKEY_CURRENT_USER, kPreferencesKey);
    ASSERT_TRUE(settings.WriteString(u"LastCategory", u""));
    EXPECT_EQ(u"", settings.ReadString(u"LastCategory", u"All"));
    EXPECT_EQ(Utf16Bytes(u""), Raw(u"LastCategory").bytes) << "not replaced by the default";
}

TEST(SettingsKey, NoWriteDefaultIsReturnedButNotStored)
{
    SettingsKey settings(HKEY_CURRENT_USER, kPreferencesKey);
    EXPECT_EQ(SettingsKey::NoWriteDefault, settings.ReadNumber(u"ShowPriority", SettingsKey::NoWriteDefault));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Raw(u"ShowPriority").rc);

    ASSERT_TRUE(settings.WriteNumber(u"ShowPriority", 1));
    EXPECT_EQ(1u, settings.ReadNumber(u"ShowPriority", SettingsKey::NoWriteDefault));
}

TEST(SettingsKey, TwoKeysOnOneKeySeeEachOthersWrites)
{
    SettingsKey view(HKEY_CURRENT_USER, kPreferencesKey);
    SettingsKey dialog(HKEY_CURRENT_USER, kPreferencesKey);
    EXPECT_EQ(u"All", view.ReadString(u"LastCategory", u"All"));
    ASSERT_TRUE(dialog.WriteString(u"LastCategory", u"Personal"));
    EXPECT_EQ(u"Personal", view.ReadString(u"LastCategory", u"All"));
    ASSERT_TRUE(view.WriteNumber(u"ShowPriority", 1));
    EXPECT_EQ(1u, dialog.ReadNumber(u"ShowPriority", 0));
}

TEST(SettingsKey, NullNamesAndTextsWriteNothing)
{
    SettingsKey settings(HKEY_CURRENT_USER, kPreferencesKey);
    EXPECT_EQ(u"", settings.ReadString(nullptr, u"All"));
    EXPECT_EQ(u"", settings.ReadString(u"LastCategory", nullptr));
    EXPECT_FALSE(settings.WriteString(nullptr, u"x"));
    EXPECT_FALSE(settings.WriteString(u"LastCategory", nullptr));
    EXPECT_FALSE(settings.WriteNumber(nullptr, 1));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Raw(u"LastCategory").rc);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Raw(u"").rc);
}

TEST(SettingsKey, StoredTextIsReadUpToItsFirstNull)
{
    SettingsKey settings(HKEY_CURRENT_USER, kPreferencesKey);
    const char16_t embedded[] = u"ab\0cd";
    SetRaw(u"LastCategory", REG_SZ, embedded, sizeof(embedded));
    EXPECT_EQ(u"ab", settings.ReadString(u"LastCategory", u"All"));

    const char16_t unterminated[] = {u'x', u'y', u'z'};
    SetRaw(u"LastCategory", REG_SZ, unterminated, sizeof(unterminated));
    EXPECT_EQ(u"xyz", settings.ReadString(u"LastCategory", u"All"));

    const char oddBytes[] = {'Q', '\0', 'R'};
    SetRaw(u"LastCategory", REG_SZ, oddBytes, sizeof(oddBytes));
    EXPECT_EQ(u"Q", settings.ReadString(u"LastCategory", u"All").substr(0, 1));
}

TEST(SettingsKey, LongAndNonAsciiTextRoundTrips)
{
    SettingsKey settings(HKEY_CURRENT_USER, kPreferencesKey);
    std::u16string text = u"Caf\u00e9 \u65e5\u672c \U0001F4CB ";
    while (text.size() < 2000)
        text += text;
    ASSERT_TRUE(settings.WriteString(u"LastCategory", text.c_str()));
    EXPECT_EQ(text, settings.ReadString(u"LastCategory", u"All"));
}

TEST(SettingsKey, ValuesOfTheWrongTypeReadAsMissing)
{
    SettingsKey settings(HKEY_CURRENT_USER, kPreferencesKey);
    const char16_t oneChar[] = u"x"; // four bytes, the size of a number
    SetRaw(u"ShowPriority", REG_SZ, oneChar, sizeof(oneChar));
    EXPECT_EQ(0u, settings.ReadNumber(u"ShowPriority", 0));
    EXPECT_EQ(REG_DWORD, Raw(u"ShowPriority").type);

    const uint32_t number = 0x00410041; // "AA" if taken for text
    SetRaw(u"LastCategory", REG_DWORD, &number, sizeof(number));
    EXPECT_EQ(u"All", settings.ReadString(u"LastCategory", u"All"));
    EXPECT_EQ(REG_SZ, Raw(u"LastCategory").type);
}

TEST(SettingsKey, ADamagedRegistryGivesDefaultsAndRefusesWrites)
{
    const std::string dir = TempXdgListener::ConfigDir();
    mkdir(dir.c_str(), 0700);
    const std::string path = dir + "/registry.db";
    const std::string garbage = "definitely not a database\n";
    std::ofstream(path, std::ios::binary) << garbage;

    SettingsKey settings(HKEY_CURRENT_USER, kPreferencesKey);
    EXPECT_EQ(u"All", settings.ReadString(u"LastCategory", u"All"));
    EXPECT_EQ(0u, settings.ReadNumber(u"ShowPriority", 0));
    EXPECT_FALSE(settings.WriteString(u"LastCategory", u"Work"));
    EXPECT_FALSE(settings.WriteNumber(u"ShowPriority", 1));

    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(garbage, std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

TEST(SettingsKey, AValueGrowingWhileReadIsNotTakenForMissing)
{
    // Another process keeps rewriting the value, short and long by turns;
    // a read caught between its size query and its read must retry, not
    // put the default in place of the other process's value.
    const std::u16string longText(300, u'x');
    {
        SettingsKey settings(HKEY_CURRENT_USER, kPreferencesKey);
        ASSERT_TRUE(settings.WriteString(u"LastCategory", u"a"));
    }
    pid_t writer = fork();
    ASSERT_NE(-1, writer);
    if (writer == 0)
    {
        SettingsKey settings(HKEY_CURRENT_USER, kPreferencesKey);
        for (int i = 0; i < 400; ++i)
            settings.WriteString(u"LastCategory", i % 2 ? u"a" : longText.c_str());
        _exit(0);
    }
    SettingsKey settings(HKEY_CURRENT_USER, kPreferencesKey);
    int defaults = 0;
    while (waitpid(writer, nullptr, WNOHANG) == 0)
        defaults += settings.ReadString(u"LastCategory", u"Default") == u"Default";
    EXPECT_EQ(0, defaults);
    const std::u16string last = settings.ReadString(u"LastCategory", u"Default");
    EXPECT_TRUE(last == u"a" || last == longText);
}
