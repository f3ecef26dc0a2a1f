// Syncs cut off at random moments: tallyard-cli killed, the server stopped,
// answers delayed, cut or garbled. One more sync then gives both sides the
// same checklists, each once, with counts right.
#include "tests/sync/FaultProxy.h"
#include "tests/sync/StoreFixture.h"

#include "sync/SyncMerge.h"
#include "sync/SyncRun.h"
#include "tests/support/TempXdg.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <set>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace
{
bool LongRun()
{
    const char* value = std::getenv("TALLYARD_RELIABILITY_LONG");
    return value && std::string(value) == "1";
}

class SyncFaultTest : public StoreSyncTest
{
protected:
    void SetUp() override
    {
        StoreSyncTest::SetUp();
        m_passwordFile = TempXdgListener::Root() + "/password";
        std::ofstream(m_passwordFile) << RadicaleServer::Password() << "\n";
        chmod(m_passwordFile.c_str(), 0600);
    }

    /// Starts `tallyard-cli sync` on the current store.
    pid_t StartCli(const std::string& url)
    {
        std::string cli = std::string(std::getenv("TALLYARD_BUILD_DIR")) + "/cli/tallyard-cli";
        std::vector<std::string> args = {cli,      "sync", "--url", url, "--user", RadicaleServer::User(),
                                         "--password-file", m_passwordFile};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        std::string log = TempXdgListener::Root() + "/cli.log";
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
    static int Wait(pid_t pid)
    {
        int status = 0;
        waitpid(pid, &status, 0);
        return status;
    }

    /// Changes of every kind in the current store, `round` keeping them apart.
    void ChangeSome(int round)
    {
        ListArray lists;
        ASSERT_TRUE(lists.LoadLists(u"All"));
        for (size_t i = 0; i < lists.size(); i += 3)
        {
            ListRecord& list = lists[i];
            ASSERT_TRUE(list.LoadItems(FilterAll));
            if (list.items.empty())
                continue;
            ItemRecord& item = list.items[size_t(round) % list.items.size()];
            item.checked = item.checked ? 0 : 1;
            item.name += u"'";
            ASSERT_TRUE(item.SaveItem());
            list.uncheckedCount += item.checked ? -1 : 1;
            list.items.clear();
            ASSERT_TRUE(list.SaveList());
        }
        ListRecord added;
        added.name = u"Added in round " + std::u16string(1, char16_t(u'A' + round % 26)) + u" " +
                     std::u16string(1, char16_t(u'a' + round / 26 % 26));
        added.category = u"Personal";
        added.position = int16_t(100 + round);
        ASSERT_TRUE(added.SaveList());
        for (int i = 0; i < 3; ++i)
        {
            ItemRecord item;
            item.listId = added.id;
            item.name = u"new item";
            item.position = int16_t(i);
            ASSERT_TRUE(item.SaveItem());
        }
        added.itemCount = 3;
        added.uncheckedCount = 3;
        ASSERT_TRUE(added.SaveList());
        if (lists.size() > 4 && round % 2)
        {
            ASSERT_TRUE(ListStore::DeleteChecklist(lists[1].id));
        }
    }

    /// Makes a store of `lists` checklists with 9 items each.
    void FillMany(int lists)
    {
        for (int l = 0; l < lists; ++l)
        {
            ListRecord list;
            list.name = u"List " + std::u16string(1, char16_t(u'A' + l % 26)) + std::u16string(1, char16_t(u'a' + l / 26));
            list.category = l % 2 ? u"Business" : u"Personal";
            list.position = int16_t(l);
            ASSERT_TRUE(list.SaveList());
            for (int i = 0; i < 9; ++i)
            {
                ItemRecord item;
                item.listId = list.id;
                item.name = u"item " + std::u16string(1, char16_t(u'0' + i));
                item.position = int16_t(i);
                item.checked = i % 2;
                item.priority = int16_t(i % 6);
                ASSERT_TRUE(item.SaveItem());
            }
            list.itemCount = 9;
            list.uncheckedCount = 5;
            ASSERT_TRUE(list.SaveList());
        }
    }

    /// After a clean sync of store 0 and store 1: both and the server agree.
    void ExpectAllAgree(const std::string& url)
    {
        Use(0);
        Sync::Report a = Sync::SyncOnce({url, RadicaleServer::User(), RadicaleServer::Password(), false});
        ASSERT_TRUE(a.ok) << a.error;
        std::string onA = Snapshot();
        size_t records = 0;
        ListArray lists;
        lists.LoadLists(u"All");
        for (ListRecord& l : lists)
            records += 1 + size_t(l.itemCount);
        Use(1);
        Sync::Report b = SyncNow();
        ASSERT_TRUE(b.ok) << b.error;
        EXPECT_EQ(Snapshot(), onA);
        std::set<std::string> uids;
        for (const auto& r : ServerCopies())
            EXPECT_TRUE(uids.insert(Sync::TodoUid(r.second.data)).second) << "twice: " << r.first;
        EXPECT_EQ(uids.size(), records);
        Use(0);
    }

    std::string m_passwordFile;
};
}

TEST_F(SyncFaultTest, KilledCliSyncsAreCompletedByTheNextWithoutDuplicates)
{
    FillMany(LongRun() ? 30 : 12);
    const int kills = LongRun() ? 50 : 3;
    std::mt19937 random(12345);
    int killed = 0, finished = 0;
    for (int round = 0; round < kills; ++round)
    {
        if (round % 4 == 1)
            ChangeSome(round);
        pid_t pid = StartCli(m_server.CollectionUrl());
        std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(5, 400)(random)));
        if (waitpid(pid, nullptr, WNOHANG) == 0)
        {
            kill(pid, SIGKILL);
            ++killed;
        }
        else
            ++finished;
        Wait(pid);
        // Someone else syncs in between now and then.
        if (round % 5 == 2)
        {
            Use(1);
            ASSERT_TRUE(SyncNow().ok);
            ChangeSome(round + 1000);
            ASSERT_TRUE(SyncNow().ok);
            Use(0);
        }
    }
    RecordProperty("killed", killed);
    // The first round uploads everything and is always cut; later ones carry
    // a few changes and may finish first on a fast machine.
    EXPECT_GE(killed, 1) << finished << " finished before the kill";
    pid_t last = StartCli(m_server.CollectionUrl());
    int status = Wait(last);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ExpectAllAgree(m_server.CollectionUrl());
}

TEST_F(SyncFaultTest, AServerStoppedMidSyncFailsItAndTheNextCompletes)
{
    FillMany(12);
    pid_t pid = StartCli(m_server.CollectionUrl());
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    m_server.Kill();
    int status = Wait(pid);
    EXPECT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 1) << "the sync ended before the server stopped";
    ASSERT_TRUE(m_server.Start());
    ExpectAllAgree(m_server.CollectionUrl());
}

TEST_F(SyncFaultTest, DelayedCutAndGarbledAnswersFailCleanlyAndTheNextCompletes)
{
    FillMany(6);
    FaultProxy proxy(m_server.Port());
    const std::string url = "http://127.0.0.1:" + std::to_string(proxy.Port()) + "/" + RadicaleServer::User() + "/tasks/";
    const CalDav::Account account{url, RadicaleServer::User(), RadicaleServer::Password(), false};
    CalDav::Limits limits;
    limits.requestSeconds = 5;
    limits.stallSeconds = 3;

    proxy.Set(FaultProxy::Mode::Delay);
    Sync::Report delayed = Sync::SyncOnce(account, limits);
    EXPECT_TRUE(delayed.ok) << delayed.error; // slow, not broken

    struct Fault
    {
        FaultProxy::Mode mode;
        long at;
    } faults[] = {{FaultProxy::Mode::Cut, 100},   {FaultProxy::Mode::Cut, 3000},   {FaultProxy::Mode::Cut, 20000},
                  {FaultProxy::Mode::Garble, 40}, {FaultProxy::Mode::Garble, 600}, {FaultProxy::Mode::Garble, 9000}};
    int round = 0;
    for (const Fault& f : faults)
    {
        ChangeSome(round++);
        Use(1);
        ChangeSome(round++);
        ASSERT_TRUE(SyncNow().ok);
        Use(0);
        proxy.Set(f.mode, f.at);
        Sync::Report r = Sync::SyncOnce(account, limits);
        if (!r.ok)
        {
            EXPECT_FALSE(r.error.empty());
        }
        proxy.Set(FaultProxy::Mode::Pass);
        ExpectAllAgree(url);
    }
}
