// The store's file: where it lives, its modes and durability settings, one
// connection per path, and files at its path that are not a store.

#include "platform/ObjectStore.h"
#include "platform/Paths.h"
#include "tests/support/TempXdg.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

using namespace ObjectStore;
namespace fs = std::filesystem;

namespace
{
std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class ObjectStoreFileTest : public testing::Test
{
protected:
    void SetUp() override { ResetConnection(); }
    void TearDown() override { ResetConnection(); }

    std::string dir = TempXdgListener::DataDir();
    std::string path = TempXdgListener::DataDir() + "/objectstore.db";
};

TEST_F(ObjectStoreFileTest, CreatedPrivateInDataFolder)
{
    EXPECT_EQ(path, StorePath());
    ASSERT_TRUE(CreateDatabase(u"D", 0, {}));
    struct stat st;
    ASSERT_EQ(0, stat(path.c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777);
    ASSERT_EQ(0, stat(dir.c_str(), &st));
    EXPECT_EQ(0700u, st.st_mode & 0777);
    EXPECT_FALSE(IsReadOnly());
    EXPECT_FALSE(IsUnusable());
    // Nothing but the store and its WAL files is left in the folder.
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(0u, entry.path().filename().string().rfind("objectstore.db", 0)) << entry.path();
}

TEST_F(ObjectStoreFileTest, UsesWalWithFullSync)
{
    ASSERT_TRUE(CreateDatabase(u"D", 0, {}));
    const std::string header = ReadFile(path).substr(0, 20);
    ASSERT_EQ(20u, header.size());
    EXPECT_EQ(2, header[18]) << "WAL write version";
    EXPECT_EQ(2, header[19]) << "WAL read version";
}

TEST_F(ObjectStoreFileTest, DataSurvivesReconnectAndPathChangeGivesAnotherStore)
{
    ASSERT_TRUE(CreateDatabase(u"D", 0, {}));
    {
        Database db;
        ASSERT_TRUE(db.Open(u"D"));
        ASSERT_TRUE(db.Add({Property::String(0, u"kept")}));
    }
    const std::string first = getenv("XDG_DATA_HOME");
    const std::string second = TempXdgListener::Root() + "/other";
    setenv("XDG_DATA_HOME", second.c_str(), 1);
    EXPECT_FALSE(DatabaseExists(u"D"));
    ASSERT_TRUE(CreateDatabase(u"E", 0, {}));
    EXPECT_TRUE(fs::exists(second + "/tallyard/objectstore.db"));
    setenv("XDG_DATA_HOME", first.c_str(), 1);
    EXPECT_FALSE(DatabaseExists(u"E"));
    ResetConnection();
    Database db;
    ASSERT_TRUE(db.Open(u"D"));
    ASSERT_TRUE(db.SeekFirst());
    PropertyList props;
    ASSERT_TRUE(db.Read(props));
    EXPECT_EQ(u"kept", props.at(0).text);
}

// Whatever sits at the path and is not a store stays exactly as it was, and
// every operation fails with a reason.
class ForeignFileTest : public ObjectStoreFileTest
{
protected:
    void ExpectUntouched(const std::string& before)
    {
        EXPECT_TRUE(IsUnusable());
        EXPECT_FALSE(DatabaseExists(u"D"));
        EXPECT_FALSE(CreateDatabase(u"D", 0, {}));
        Database db;
        EXPECT_FALSE(db.Open(u"D"));
        EXPECT_FALSE(db.Add({Property::Int16(0, 1)}));
        Transaction tx;
        EXPECT_FALSE(tx.Commit());
        EXPECT_NE(std::string::npos, LastError().find("objectstore.db")) << LastError();
        EXPECT_EQ(before, ReadFile(path));
        EXPECT_FALSE(fs::exists(path + "-wal"));
        EXPECT_FALSE(fs::exists(path + "-journal"));
    }
    void Put(const std::string& bytes)
    {
        ASSERT_TRUE(Paths::EnsureDir(dir));
        std::ofstream(path, std::ios::binary) << bytes;
    }
};

TEST_F(ForeignFileTest, TextFile)
{
    Put("my notes\n");
    ExpectUntouched("my notes\n");
}

TEST_F(ForeignFileTest, EmptyFile)
{
    Put("");
    ExpectUntouched("");
}

TEST_F(ForeignFileTest, OtherSqliteDatabase)
{
    ASSERT_TRUE(Paths::EnsureDir(dir));
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db));
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES(1);", nullptr, nullptr, nullptr));
    sqlite3_close(db);
    ExpectUntouched(ReadFile(path));
}

TEST_F(ForeignFileTest, StoreHeaderWithDamagedBody)
{
    ASSERT_TRUE(CreateDatabase(u"D", 0, {}));
    ResetConnection();
    std::string bytes = ReadFile(path);
    ASSERT_GT(bytes.size(), 4096u);
    for (size_t i = 100; i < bytes.size(); ++i)
        bytes[i] = char(0xA5);
    Put(bytes);
    ExpectUntouched(bytes);
}

TEST_F(ForeignFileTest, FolderAtThePath)
{
    fs::create_directories(path);
    EXPECT_TRUE(IsUnusable());
    EXPECT_FALSE(CreateDatabase(u"D", 0, {}));
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_TRUE(fs::is_empty(path));
}
}
