// Syncs cut off at random moments: tallyard-cli killed, the server stopped,
// answers delayed, cut or garbled. One more sync then gives both sides the
// same checklists, each once, with counts right.
#include "tests/sync/FaultProxy.h"
#include "tests/sync/StoreFixture.h"

#include "sync/SyncCalDav.h"
#include "sync/SyncMerge.h"
#include "sync/SyncRun.h"
#include "sync/SyncStore.h"
#include "tests/support/TempXdg.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
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
        AddChecklist(u"Added in round " + std::u16string(1, char16_t(u'A' + round % 26)) + u" " +
                         std::u16string(1, char16_t(u'a' + round / 26 % 26)),
                     int16_t(100 + round));
        if (lists.size() > 4 && round % 2)
        {
            ASSERT_TRUE(ListStore::DeleteChecklist(lists[1].id));
        }
    }

    /// A new checklist of three unchecked items at positions 0 to 2.
    static void AddChecklist(const std::u16string& name, int16_t position)
    {
        ListRecord added;
        added.name = name;
        added.category = u"Personal";
        added.position = position;
        ASSERT_TRUE(added.SaveList());
        for (int16_t p = 0; p < 3; ++p)
        {
            ItemRecord item;
            item.listId = added.id;
            item.name = u"new item";
            item.position = p;
            ASSERT_TRUE(item.SaveItem());
        }
        ASSERT_TRUE(ListStore::AdjustListCounts(added.id, 3, 3));
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

namespace
{
/// The resource files of a Radicale collection: name -> (inode, mtime).
using FileStamps = std::map<std::string, std::pair<ino_t, long long>>;

FileStamps Stamps(const std::string& folder)
{
    FileStamps stamps;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    {
        const std::string name = entry.path().filename().string();
        struct stat st{};
        if (name[0] == '.' || stat(entry.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        stamps[name] = {st.st_ino, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
    }
    return stamps;
}

/// How many resources were written or removed since `before`.
int Written(const FileStamps& before, const FileStamps& now)
{
    int n = 0;
    for (const auto& entry : now)
    {
        auto was = before.find(entry.first);
        n += was == before.end() || was->second != entry.second ? 1 : 0;
    }
    for (const auto& entry : before)
        n += now.count(entry.first) ? 0 : 1;
    return n;
}

/// What the store must hold after every sync: per checklist, per item
/// position, the item's name and details.
using Model = std::map<std::u16string, std::map<int16_t, std::pair<std::u16string, std::u16string>>>;

std::u16string Text(const std::string& s) { return std::u16string(s.begin(), s.end()); }
std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }
}

TEST_F(SyncFaultTest, KilledCliSyncsAreCompletedByTheNextWithoutDuplicates)
{
    const int lists = LongRun() ? 30 : 12;
    const int kills = LongRun() ? 50 : 3;
    FillMany(lists);
    Model model;
    {
        ListArray all;
        ASSERT_TRUE(all.LoadLists(u"All"));
        for (ListRecord& l : all)
        {
            ASSERT_TRUE(l.LoadItems(FilterAll));
            for (const ItemRecord& i : l.items)
                model[l.name][i.position] = {i.name, i.details};
        }
    }
    // Renames every item of a third of the checklists (hundreds of changes
    // in the long run, with what earlier cut syncs left), adds a checklist
    // now and then and deletes an added one.
    auto changeHere = [&](int round) {
        ListArray all;
        ASSERT_TRUE(all.LoadLists(u"All"));
        ListStore::Transaction tx;
        int n = 0;
        for (ListRecord& l : all)
        {
            if (l.name.compare(0, 5, u"List ") != 0 || n++ % 3 != round % 3)
                continue;
            ASSERT_TRUE(l.LoadItems(FilterAll));
            for (ItemRecord& i : l.items)
            {
                i.name = Text("item " + std::to_string(i.position) + " of round " + std::to_string(round));
                ASSERT_TRUE(i.SaveItem());
                model[l.name][i.position].first = i.name;
            }
        }
        if (round % 4 == 1)
        {
            const std::u16string name = Text("Added in round " + std::to_string(round));
            AddChecklist(name, int16_t(100 + round));
            for (int16_t p = 0; p < 3; ++p)
                model[name][p] = {u"new item", u""};
        }
        if (round % 8 == 5)
        {
            const std::u16string name = Text("Added in round " + std::to_string(round - 4));
            ASSERT_NE(ListId(name), 0);
            ASSERT_TRUE(ListStore::DeleteChecklist(ListId(name)));
            model.erase(name);
        }
        ASSERT_TRUE(tx.Commit());
    };
    // Store B changes details (another field) of the first checklists.
    auto changeThere = [&](int round) {
        ListArray all;
        ASSERT_TRUE(all.LoadLists(u"All"));
        for (ListRecord& l : all)
        {
            if (l.name.compare(0, 5, u"List ") != 0 || l.position % 4 != round % 4)
                continue;
            ASSERT_TRUE(l.LoadItems(FilterAll));
            if (l.items.empty())
                continue; // its items are not on the server yet
            ItemRecord& i = l.items[size_t(round) % l.items.size()];
            i.details = Text("details of round " + std::to_string(round));
            ASSERT_TRUE(i.SaveItem());
            model[l.name][i.position].second = i.details;
        }
    };

    const std::string folder = m_server.CollectionFolder();
    std::mt19937 random(12345);
    int killed = 0, finished = 0, syncs = 0, rounds = 0;
    for (; killed < kills && rounds < 2 * kills + 10; ++rounds)
    {
        if (rounds > 0)
            changeHere(rounds);
        // Cut after a random number of the sync's writes have landed.
        const int cutAfter = std::uniform_int_distribution<int>(1, LongRun() ? 40 : 10)(random);
        const FileStamps before = Stamps(folder);
        pid_t pid = StartCli(m_server.CollectionUrl());
        ++syncs;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        bool running = true;
        while (running && Written(before, Stamps(folder)) < cutAfter && std::chrono::steady_clock::now() < deadline)
        {
            running = waitpid(pid, nullptr, WNOHANG) == 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (running && waitpid(pid, nullptr, WNOHANG) == 0 && Written(before, Stamps(folder)) >= cutAfter)
        {
            kill(pid, SIGKILL);
            Wait(pid);
            ++killed;
        }
        else
        {
            if (running)
                Wait(pid);
            ++finished;
        }
        // Someone else syncs in between now and then.
        if (rounds % 5 == 2)
        {
            Use(1);
            ASSERT_TRUE(SyncNow().ok);
            changeThere(rounds);
            ASSERT_TRUE(SyncNow().ok);
            syncs += 2;
            Use(0);
        }
    }
    pid_t last = StartCli(m_server.CollectionUrl());
    int status = Wait(last);
    ++syncs;
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ExpectAllAgree(m_server.CollectionUrl());

    // Lost: a change of either store missing from the synced store;
    // duplicates: a task twice on the server, or more records here than made.
    int lost = 0, duplicates = 0;
    std::set<std::string> uids;
    for (const auto& r : ServerCopies())
        duplicates += uids.insert(Sync::TodoUid(r.second.data)).second ? 0 : 1;
    ListArray all;
    ASSERT_TRUE(all.LoadLists(u"All"));
    duplicates += std::max(0, int(all.size()) - int(model.size()));
    for (ListRecord& l : all)
    {
        ASSERT_TRUE(l.LoadItems(FilterAll));
        auto expected = model.find(l.name);
        if (expected == model.end())
        {
            ADD_FAILURE() << "not made, or deleted: " << Narrow(l.name);
            continue;
        }
        for (const auto& entry : expected->second)
        {
            auto item = std::find_if(l.items.begin(), l.items.end(),
                                     [&](const ItemRecord& i) { return i.position == entry.first; });
            if (item == l.items.end() || item->name != entry.second.first || item->details != entry.second.second)
            {
                ++lost;
                ADD_FAILURE() << "lost in " << Narrow(l.name) << " at " << entry.first << ": "
                              << Narrow(entry.second.first) << " | " << Narrow(entry.second.second)
                              << " is "
                              << (item == l.items.end() ? "gone" : Narrow(item->name) + " | " + Narrow(item->details));
            }
        }
        duplicates += std::max(0, int(l.items.size()) - int(expected->second.size()));
    }
    RecordProperty("killed", killed);
    RecordProperty("syncs", syncs);
    std::printf("%d syncs of tallyard-cli killed after some of their writes, %d finished first, %d syncs in all, "
                "%d duplicates, %d lost changes\n",
                killed, finished, syncs, duplicates, lost);
    EXPECT_EQ(all.size(), model.size());
    EXPECT_EQ(duplicates, 0);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(killed, kills) << finished << " syncs finished before their cut, in " << rounds << " rounds";
}

namespace
{
struct Killed
{
};

/// The store's side of a sync that dies at a chosen status write, as a
/// process killed there would.
class DyingStore : public Sync::StoreSide
{
public:
    using StoreSide::StoreSide;
    bool beforeCreatesNoted = false; ///< dies instead of saving the creates' final statuses
    bool afterFirstNoted = false;    ///< dies right after the first final status it saves
    bool SaveStatus(const Sync::StatusEntry& entry) override
    {
        const bool ok = StoreSide::SaveStatus(entry);
        if (afterFirstNoted && !entry.etag.empty())
            throw Killed();
        return ok;
    }
    bool SaveStatuses(const std::vector<Sync::StatusEntry>& entries) override
    {
        if (beforeCreatesNoted && !entries.empty() && !entries[0].etag.empty())
            throw Killed();
        return StoreSide::SaveStatuses(entries);
    }
};
}

TEST_F(SyncFaultTest, ACreateCutOffBeforeItsStatusWasNotedIsNeitherBroughtBackNorDoubled)
{
    const CalDav::Account account = Account();
    auto dyingSync = [&account](bool beforeCreatesNoted) {
        DyingStore local(account.url);
        local.beforeCreatesNoted = beforeCreatesNoted;
        local.afterFirstNoted = !beforeCreatesNoted;
        Sync::CalDavSide remote(account);
        EXPECT_THROW(Sync::Engine(local, remote).Run(), Killed);
    };
    auto tasks = [this](const std::string& summary) {
        int n = 0;
        for (const auto& r : ServerCopies())
        {
            const std::string& text = r.second.data;
            const std::string line = "SUMMARY:" + summary;
            for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
                n += at + line.size() < text.size() && (text[at + line.size()] == '\r' || text[at + line.size()] == '\n');
        }
        return n;
    };
    FillMany(2);
    ASSERT_TRUE(SyncNow().ok);

    // Created on the server, the sync killed before it noted so; the next
    // killed once it noted the checklist's (checklists go first), its
    // items' still under way. Then deleted here.
    AddChecklist(u"Deleted here", 10);
    dyingSync(true);
    ASSERT_EQ(tasks("Deleted here"), 1);
    dyingSync(false);
    ASSERT_TRUE(ListStore::DeleteChecklist(ListId(u"Deleted here")));
    ASSERT_TRUE(SyncNow().ok);
    EXPECT_EQ(tasks("Deleted here"), 0);
    EXPECT_EQ(tasks("new item"), 0);
    ExpectAllAgree(account.url);
    EXPECT_EQ(ListId(u"Deleted here"), 0);

    // Created there unnoted, then an item renamed and ticked here and
    // another deleted here: one task each, the change on both sides.
    AddChecklist(u"Edited here", 11);
    dyingSync(true);
    ListRecord edited;
    ASSERT_TRUE(edited.LoadList(ListId(u"Edited here")) && edited.LoadItems(FilterAll));
    ASSERT_EQ(edited.items.size(), 3u);
    edited.items[1].name = u"renamed here";
    edited.items[1].checked = 1;
    ASSERT_TRUE(edited.items[1].SaveItem());
    ASSERT_TRUE(ItemRecord::DeleteItemById(edited.items[2].id));
    ASSERT_TRUE(ListStore::AdjustListCounts(edited.id, -1, -2));
    ASSERT_TRUE(SyncNow().ok);
    EXPECT_EQ(tasks("Edited here"), 1);
    EXPECT_EQ(tasks("renamed here"), 1);
    EXPECT_EQ(tasks("new item"), 1);
    ExpectAllAgree(account.url);
    Use(1);
    EXPECT_EQ(FindItem(u"Edited here", u"renamed here").checked, 1);
    ASSERT_TRUE(edited.LoadList(ListId(u"Edited here")) && edited.LoadItems(FilterAll));
    EXPECT_EQ(edited.items.size(), 2u);

    // Created there unnoted, then deleted by the other store, which saw it
    // all: the delete holds here too.
    Use(0);
    AddChecklist(u"Deleted there", 12);
    dyingSync(true);
    Use(1);
    ASSERT_TRUE(SyncNow().ok);
    ASSERT_NE(ListId(u"Deleted there"), 0);
    ASSERT_TRUE(ListStore::DeleteChecklist(ListId(u"Deleted there")));
    ASSERT_TRUE(SyncNow().ok);
    Use(0);
    ASSERT_TRUE(SyncNow().ok);
    EXPECT_EQ(ListId(u"Deleted there"), 0);
    EXPECT_EQ(tasks("Deleted there"), 0);
    ExpectAllAgree(account.url);
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
