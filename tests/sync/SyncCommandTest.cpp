// The sync command of tallyard-cli: exit status, messages, password file.
#include "tests/sync/StoreFixture.h"

#include "sync/SyncCommand.h"
#include "sync/SyncRun.h"
#include "tests/support/TempXdg.h"

#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace
{
struct CommandRun
{
    int status = 0;
    std::string out, err;
};

CommandRun Command(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    CommandRun r;
    r.status = Sync::RunSyncCommand(args, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

std::string PasswordFile(const std::string& password, mode_t mode)
{
    std::string path = TempXdgListener::Root() + "/password";
    std::ofstream(path) << password << "\n";
    chmod(path.c_str(), mode);
    return path;
}
}

TEST_F(StoreSyncTest, SyncCommandSyncsWithTheOptionsAndStoresNone)
{
    Fill();
    std::string file = PasswordFile(RadicaleServer::Password(), 0600);
    CommandRun r = Command({"--url", m_server.CollectionUrl(), "--user", RadicaleServer::User(), "--password-file", file});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "synced: 15 sent, 0 received, 0 deleted, 0 conflicts\n");
    EXPECT_EQ(ServerCopies().size(), 15u);
    EXPECT_EQ(Sync::LoadSettings().url, "");
    EXPECT_EQ(Sync::LoadSettings().user, "");

    // With Sync Settings holding the account, the options are not needed.
    ASSERT_TRUE(Sync::SaveSettings({m_server.CollectionUrl(), RadicaleServer::User(), false, false}));
    r = Command({"--password-file", file});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(StoreSyncTest, SyncCommandFailuresSayWhyInOneLine)
{
    std::string url = m_server.CollectionUrl();
    auto oneLine = [](const CommandRun& r) {
        EXPECT_EQ(r.err.rfind("tallyard-cli: ", 0), 0u) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
        EXPECT_EQ(r.out, "");
    };

    CommandRun wrong = Command({"--url", url, "--user", "alice", "--password-file", PasswordFile("not it at all", 0600)});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("refused the user name or password"), std::string::npos) << wrong.err;
    EXPECT_EQ(wrong.err.find("not it at all"), std::string::npos);
    oneLine(wrong);

    CommandRun open = Command({"--url", url, "--user", "alice", "--password-file", PasswordFile("wonder land", 0644)});
    EXPECT_EQ(open.status, 1);
    EXPECT_NE(open.err.find("must be readable only by its owner"), std::string::npos) << open.err;
    oneLine(open);
    CalDav::Client client(Account());
    EXPECT_FALSE(client.Open(false)) << "a refused run made the collection";

    CommandRun http = Command({"--url", "http://tasks.example.org/dav/", "--user", "alice", "--password-file",
                        PasswordFile("wonder land", 0600)});
    EXPECT_EQ(http.status, 1);
    EXPECT_NE(http.err.find("unencrypted connection (http) refused"), std::string::npos) << http.err;
    oneLine(http);

    CommandRun none = Command({"--password-file", PasswordFile("x", 0600)});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("no server address"), std::string::npos);
    oneLine(none);
}

TEST(SyncCommand, UsageErrorsExitTwo)
{
    for (std::vector<std::string> args : {std::vector<std::string>{"--bogus"}, {"--url"}, {"extra"},
                                          {"--url", "https://x.example/", "--user"}})
    {
        std::ostringstream out, err;
        EXPECT_EQ(Sync::RunSyncCommand(args, out, err), 2) << args[0];
        EXPECT_EQ(err.str().rfind("tallyard-cli: ", 0), 0u);
        EXPECT_NE(err.str().find("usage: tallyard-cli sync"), std::string::npos);
    }
    std::ostringstream out, err;
    EXPECT_EQ(Sync::RunSyncCommand({"--help"}, out, err), 0);
    EXPECT_NE(out.str().find("usage: tallyard-cli sync"), std::string::npos);
}
