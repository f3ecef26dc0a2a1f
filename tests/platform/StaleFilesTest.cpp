// Temporaries left by a process killed while it made the store or the
// settings file are swept when the file is next opened; young ones and other
// files are left alone.
#include "platform/ObjectStore.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/stat.h>
#include <utime.h>

namespace
{
void Touch(const std::string& path, long ageSeconds)
{
    std::ofstream(path) << "left over";
    const time_t when = time(nullptr) - ageSeconds;
    utimbuf times{when, when};
    utime(path.c_str(), &times);
}

bool Exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}
}

TEST(StaleFiles, OldTemporariesOfTheStoreGoYoungOnesAndOtherFilesStay)
{
    const std::string dir = Paths::DataDir();
    ASSERT_TRUE(Paths::EnsureDir(dir));
    Touch(dir + "/.objectstore.db.a1b2c3", 2 * 3600);
    Touch(dir + "/.objectstore.db.a1b2c3-wal", 2 * 3600);
    Touch(dir + "/.objectstore.db.z9y8x7", 10);
    Touch(dir + "/notes.txt", 2 * 3600);
    ObjectStore::ResetConnection();

    EXPECT_FALSE(ObjectStore::DatabaseExists(u"KvTyItems"));
    EXPECT_FALSE(Exists(dir + "/.objectstore.db.a1b2c3"));
    EXPECT_FALSE(Exists(dir + "/.objectstore.db.a1b2c3-wal"));
    EXPECT_TRUE(Exists(dir + "/.objectstore.db.z9y8x7"));
    EXPECT_TRUE(Exists(dir + "/notes.txt"));
    EXPECT_TRUE(Exists(dir + "/objectstore.db"));
    ObjectStore::ResetConnection();
}

TEST(StaleFiles, OldTemporariesOfTheSettingsFileGo)
{
    const std::string dir = Paths::ConfigDir();
    ASSERT_TRUE(Paths::EnsureDir(dir));
    Touch(dir + "/.registry.db.q1w2e3", 2 * 3600);
    Touch(dir + "/.registry.db.r4t5y6", 10);

    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyEx(HKEY_CURRENT_USER, u"Software\\Test", &key));
    RegCloseKey(key);
    EXPECT_FALSE(Exists(dir + "/.registry.db.q1w2e3"));
    EXPECT_TRUE(Exists(dir + "/.registry.db.r4t5y6"));
}
