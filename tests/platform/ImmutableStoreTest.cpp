// A store whose folder and files are made immutable while the program runs:
// reads go on, writes are refused as on a read-only store, nothing crashes.

#include "platform/ObjectStore.h"
#include "tests/support/TempXdg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace ObjectStore;

namespace
{
class ImmutableStoreTest : public testing::Test
{
protected:
    void SetUp() override { ResetConnection(); }
    void TearDown() override
    {
        std::system(("chattr -i " + Paths() + " 2>/dev/null").c_str());
        ResetConnection();
    }

    std::string Paths() const
    {
        return "'" + dir + "' '" + path + "' '" + path + "-wal' '" + path + "-shm'";
    }

    std::string dir = TempXdgListener::DataDir();
    std::string path = TempXdgListener::DataDir() + "/objectstore.db";
};

uint32_t CountOf(const std::u16string& name)
{
    Database db;
    uint32_t count = 0;
    return db.Open(name) && db.Count(count) ? count : 0;
}

// One byte through a pipe, to step two processes in turn.
void Signal(int fd)
{
    const char c = 1;
    if (write(fd, &c, 1) != 1)
        _exit(20);
}

bool Await(int fd)
{
    char c = 0;
    return read(fd, &c, 1) == 1;
}

// Another instance: once told, it adds a record, so that the first one's
// next read must move its mark in the write-ahead log's shared index; it
// keeps its connection until told to end.
void RunOtherInstance(int go, int done)
{
    if (!Await(go))
        _exit(0);
    Database db;
    const bool added = db.Open(u"D") && db.Add({Property::Int32(0, 9)});
    db.Close();
    Signal(done);
    Await(go);
    _exit(added ? 0 : 1);
}
}

TEST_F(ImmutableStoreTest, ReadsGoOnAndWritesAreRefusedOnceTheFilesAreImmutable)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "chattr needs root";
    // In a child, so that a crash is seen rather than suffered. The child
    // opens the store itself: no connection crosses the fork.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0)
    {
        // The other instance is forked before this one opens the store.
        int toOther[2], fromOther[2];
        if (pipe(toOther) != 0 || pipe(fromOther) != 0)
            _exit(9);
        const pid_t other = fork();
        if (other == 0)
        {
            close(toOther[1]);
            close(fromOther[0]);
            RunOtherInstance(toOther[0], fromOther[1]);
        }
        close(toOther[0]);
        close(fromOther[1]);

        const PropertyList record{Property::Int32(0, 7)};
        Database db;
        if (!CreateDatabase(u"D", 0, {}) || !db.Open(u"D") || !db.Add(record) || CountOf(u"D") != 1)
            _exit(10);
        db.Close();
        Signal(toOther[1]);
        if (!Await(fromOther[0]))
            _exit(11);
        const bool madeImmutable = std::system(("chattr +i " + Paths() + " 2>/dev/null").c_str()) == 0;
        // Written back, so the next change of the shared index faults.
        sync();
        int code = 0;
        if (!madeImmutable)
            code = 12;
        else if (CountOf(u"D") != 2)
            code = 13;
        else if (Database again; !again.Open(u"D") || again.Add(record))
            code = 14;
        else if (LastError().find("read-only") == std::string::npos)
            code = 15;
        else if (!IsReadOnly() || CountOf(u"D") != 2)
            code = 16;
        Signal(toOther[1]);
        int status = 0;
        waitpid(other, &status, 0);
        _exit(code != 0 ? code : WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 17);
    }
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_FALSE(WIFSIGNALED(status)) << "killed by signal " << WTERMSIG(status);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 12)
        GTEST_SKIP() << "chattr +i is not supported here";
    EXPECT_EQ(0, WEXITSTATUS(status));

    // Writable again, the store takes changes again.
    std::system(("chattr -i " + Paths()).c_str());
    ResetConnection();
    Database db;
    ASSERT_TRUE(db.Open(u"D"));
    EXPECT_TRUE(db.Add({Property::Int32(0, 8)}));
    EXPECT_EQ(3u, CountOf(u"D"));
}
