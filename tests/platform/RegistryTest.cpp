#include "platform/Registry.h"

#include "tests/support/TempXdg.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
const char16_t* const kKey = u"Software\\Test\\Values";

struct KeyCloser
{
    void operator()(RegistryKey* key) const { RegCloseKey(key); }
};
using Key = std::unique_ptr<RegistryKey, KeyCloser>;

Key Open(const char16_t* path = kKey)
{
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyEx(HKEY_CURRENT_USER, path, &key));
    return Key(key);
}

long SetString(HKEY key, const char16_t* name, const std::u16string& text)
{
    return RegSetValueEx(key, name, REG_SZ, text.c_str(), static_cast<uint32_t>((text.size() + 1) * 2));
}

long SetNumber(HKEY key, const char16_t* name, uint32_t value)
{
    return RegSetValueEx(key, name, REG_DWORD, &value, sizeof(value));
}

/// The string value as stored, or "<error N>".
std::u16string GetString(HKEY key, const char16_t* name)
{
    char16_t buffer[256] = {};
    uint32_t size = sizeof(buffer) - 2;
    uint32_t type = 0;
    long rc = RegQueryValueEx(key, name, &type, buffer, &size);
    if (rc != ERROR_SUCCESS)
    {
        std::string digits = std::to_string(rc);
        return u"<error " + std::u16string(digits.begin(), digits.end()) + u">";
    }
    return buffer;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// Distinct without regard to case: names compare case-insensitively.
std::u16string ValueName(int writer, int index)
{
    std::string name = "w" + std::to_string(writer) + "_" + std::to_string(index);
    return std::u16string(name.begin(), name.end());
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    mkdir(TempXdgListener::ConfigDir().c_str(), 0700);
    std::ofstream(path, std::ios::binary) << bytes;
}
}

TEST(Registry, QueryReportsMissingValuesSizesAndShortBuffers)
{
    Key key = Open();
    uint32_t type = 0;
    uint32_t size = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueEx(key.get(), u"Name", &type, nullptr, &size));

    ASSERT_EQ(ERROR_SUCCESS, SetString(key.get(), u"Name", u"abc"));
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueEx(key.get(), u"Name", &type, nullptr, &size));
    EXPECT_EQ(REG_SZ, type);
    EXPECT_EQ(8u, size); // three characters and the terminating null

    char16_t small[2] = {u'x', u'x'};
    size = sizeof(small);
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueEx(key.get(), u"Name", &type, small, &size));
    EXPECT_EQ(8u, size);
    EXPECT_EQ(u'x', small[0]) << "a short buffer is left alone";

    char16_t exact[4];
    size = sizeof(exact);
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueEx(key.get(), u"Name", &type, exact, &size));
    EXPECT_EQ(std::u16string(u"abc", 4), std::u16string(exact, 4));

    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueEx(key.get(), u"Name", &type, exact, nullptr));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueEx(key.get(), u"Other", &type, nullptr, &size));
}

TEST(Registry, NumbersRoundTripAndOddSizesAreRefused)
{
    Key key = Open();
    ASSERT_EQ(ERROR_SUCCESS, SetNumber(key.get(), u"Count", 0xCAFEF00D));
    uint32_t value = 0;
    uint32_t size = sizeof(value);
    uint32_t type = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueEx(key.get(), u"Count", &type, &value, &size));
    EXPECT_EQ(REG_DWORD, type);
    EXPECT_EQ(0xCAFEF00Du, value);

    uint16_t shortValue = 1;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueEx(key.get(), u"Count", REG_DWORD, &shortValue, 2));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueEx(key.get(), u"Count", REG_SZ, nullptr, 4));
    EXPECT_EQ(ERROR_INVALID_HANDLE, SetNumber(nullptr, u"Count", 1));
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueEx(key.get(), u"Count", &type, &value, &size));
    EXPECT_EQ(0xCAFEF00Du, value) << "a refused write changes nothing";
}

TEST(Registry, KeysSeeEachOthersWritesAtOnce)
{
    Key first = Open();
    Key second = Open(u"software\\TEST\\\\values\\"); // same key: case and stray separators ignored
    Key other = Open(u"Software\\Test\\Other");

    ASSERT_EQ(ERROR_SUCCESS, SetString(first.get(), u"Shared", u"one"));
    EXPECT_EQ(u"one", GetString(second.get(), u"shared"));
    ASSERT_EQ(ERROR_SUCCESS, SetString(second.get(), u"Shared", u"two"));
    EXPECT_EQ(u"two", GetString(first.get(), u"Shared"));
    EXPECT_EQ(u"<error 2>", GetString(other.get(), u"Shared")) << "values belong to their own key";

    // A key opened below another reaches the same values.
    HKEY parent = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx(HKEY_CURRENT_USER, u"Software\\Test", &parent));
    Key parentKey(parent);
    HKEY child = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx(parent, u"Values", &child));
    Key childKey(child);
    EXPECT_EQ(u"two", GetString(child, u"Shared"));
}

TEST(Registry, AnotherProcessSeesWritesAtOnce)
{
    Key key = Open();
    ASSERT_EQ(ERROR_SUCCESS, SetString(key.get(), u"Turn", u"parent"));

    pid_t pid = fork();
    ASSERT_NE(-1, pid);
    if (pid == 0)
    {
        HKEY own = nullptr;
        int status = RegCreateKeyEx(HKEY_CURRENT_USER, kKey, &own) != ERROR_SUCCESS ? 10
                     : GetString(own, u"Turn") != u"parent"                        ? 11
                     : SetString(own, u"Turn", u"child") != ERROR_SUCCESS           ? 12
                                                                                     : 0;
        RegCloseKey(own);
        _exit(status);
    }
    int status = -1;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
    EXPECT_EQ(u"child", GetString(key.get(), u"Turn")) << "the key held open reads the other process's write";
}

TEST(Registry, ConcurrentWritersAllSucceed)
{
    constexpr int kChildren = 3;
    constexpr int kWrites = 40;
    Key key = Open();
    pid_t pids[kChildren];
    for (int c = 0; c < kChildren; ++c)
    {
        pids[c] = fork();
        ASSERT_NE(-1, pids[c]);
        if (pids[c] == 0)
        {
            HKEY own = nullptr;
            int failures = RegCreateKeyEx(HKEY_CURRENT_USER, kKey, &own) == ERROR_SUCCESS ? 0 : 100;
            for (int i = 0; i < kWrites && own; ++i)
            {
                std::u16string name = ValueName(c, i);
                failures += SetNumber(own, name.c_str(), static_cast<uint32_t>(i)) != ERROR_SUCCESS;
            }
            RegCloseKey(own);
            _exit(failures > 100 ? 100 : failures);
        }
    }
    for (pid_t pid : pids)
    {
        int status = -1;
        ASSERT_EQ(pid, waitpid(pid, &status, 0));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "failed writes: " << WEXITSTATUS(status);
    }
    for (int c = 0; c < kChildren; ++c)
    {
        for (int i = 0; i < kWrites; ++i)
        {
            std::u16string name = ValueName(c, i);
            uint32_t value = 0xFFFF;
            uint32_t size = sizeof(value);
            ASSERT_EQ(ERROR_SUCCESS, RegQueryValueEx(key.get(), name.c_str(), nullptr, &value, &size));
            EXPECT_EQ(static_cast<uint32_t>(i), value);
        }
    }
}

TEST(Registry, FileIsPrivateDurableAndFollowsTheEnvironmentAtOpen)
{
    Key key = Open();
    const std::string path = TempXdgListener::ConfigDir() + "/registry.db";
    EXPECT_EQ(path, Registry::FilePath());
    struct stat st;
    ASSERT_EQ(0, stat(path.c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777);

    Registry::Durability durability;
    ASSERT_TRUE(Registry::QueryDurability(key.get(), &durability));
    EXPECT_EQ("wal", durability.journalMode);
    EXPECT_EQ(2, durability.synchronous) << "FULL";
    EXPECT_GE(durability.busyTimeoutMs, 5000);

    // Another environment gets another file; the open key stays on its own.
    const std::string otherConfig = TempXdgListener::Root() + "/other";
    setenv("XDG_CONFIG_HOME", otherConfig.c_str(), 1);
    Key elsewhere = Open();
    ASSERT_EQ(ERROR_SUCCESS, SetString(elsewhere.get(), u"Where", u"other"));
    ASSERT_EQ(ERROR_SUCCESS, SetString(key.get(), u"Where", u"first"));
    EXPECT_EQ(u"other", GetString(elsewhere.get(), u"Where"));
    EXPECT_EQ(u"first", GetString(key.get(), u"Where"));
    EXPECT_EQ(0, access((otherConfig + "/tallyard/registry.db").c_str(), F_OK));
}

TEST(Registry, WritesSurviveClosingAndReopening)
{
    {
        Key key = Open();
        ASSERT_EQ(ERROR_SUCCESS, SetString(key.get(), u"Kept", u"\u00e9t\u00e9 \U0001F600"));
    }
    // Read with plain SQLite: the value is in the main file or its log, not in memory.
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(Registry::FilePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr));
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, "SELECT count(*) FROM vals WHERE name='Kept'", -1, &st, nullptr));
    ASSERT_EQ(SQLITE_ROW, sqlite3_step(st));
    EXPECT_EQ(1, sqlite3_column_int(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);

    Key again = Open();
    EXPECT_EQ(u"\u00e9t\u00e9 \U0001F600", GetString(again.get(), u"Kept"));
}

class DamagedRegistry : public testing::TestWithParam<const char*>
{
};

std::string DamagedContent(const std::string& kind)
{
    if (kind == "empty")
        return std::string();
    if (kind == "text")
        return "This is not a registry.\n";
    if (kind == "garbled")
    {
        std::string bytes = "SQLite format 3";
        bytes.push_back('\0');
        bytes.append(4096 - bytes.size(), '\x5a');
        return bytes;
    }
    return std::string();
}

TEST_P(DamagedRegistry, ReadsAndWritesFailAndTheFileIsLeftAlone)
{
    const std::string kind = GetParam();
    const std::string path = Registry::FilePath();
    if (kind == "foreign")
    {
        // A sound SQLite database that is not ours.
        mkdir(TempXdgListener::ConfigDir().c_str(), 0700);
        sqlite3* db = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db));
        ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES(1);", nullptr, nullptr, nullptr));
        sqlite3_close(db);
    }
    else if (kind == "newer")
    {
        // Ours, but from a later version whose layout this one cannot know.
        HKEY made = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx(HKEY_CURRENT_USER, kKey, &made));
        RegCloseKey(made);
        sqlite3* db = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db));
        ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "PRAGMA user_version=2", nullptr, nullptr, nullptr));
        sqlite3_close(db);
    }
    else
    {
        WriteFile(path, DamagedContent(kind));
    }
    const std::string before = ReadFile(path);

    HKEY key = nullptr;
    EXPECT_NE(ERROR_SUCCESS, RegCreateKeyEx(HKEY_CURRENT_USER, kKey, &key));
    EXPECT_EQ(nullptr, key);
    uint32_t size = 0;
    EXPECT_NE(ERROR_SUCCESS, RegQueryValueEx(HKEY_CURRENT_USER, u"Name", nullptr, nullptr, &size));
    EXPECT_NE(ERROR_SUCCESS, SetString(HKEY_CURRENT_USER, u"Name", u"value"));
    EXPECT_NE(ERROR_SUCCESS, SetNumber(key, u"Number", 1));

    EXPECT_EQ(before, ReadFile(path)) << "the file must not be touched";
    if (kind != "newer") // a log beside a file that has none would be a write
    {
        EXPECT_NE(0, access((path + "-wal").c_str(), F_OK));
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, DamagedRegistry, testing::Values("empty", "text", "garbled", "foreign", "newer"));

TEST(Registry, AnUnopenableFileFailsEveryCall)
{
    ASSERT_EQ(0, mkdir(TempXdgListener::ConfigDir().c_str(), 0700));
    ASSERT_EQ(0, mkdir(Registry::FilePath().c_str(), 0700)); // a folder where the file belongs
    HKEY key = nullptr;
    EXPECT_NE(ERROR_SUCCESS, RegCreateKeyEx(HKEY_CURRENT_USER, kKey, &key));
    EXPECT_NE(ERROR_SUCCESS, SetString(HKEY_CURRENT_USER, u"Name", u"value"));
    struct stat st;
    ASSERT_EQ(0, stat(Registry::FilePath().c_str(), &st));
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}
