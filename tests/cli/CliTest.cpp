// tallyard-cli run as a separate process on the test's store.

#include "tests/sync/ExchangeSupport.h"

#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <atomic>

extern char** environ;

using namespace ExchangeSupport;

namespace
{
struct Outcome
{
    int code = -1;
    std::string out;
    std::string err;
};

Outcome RunCli(const std::vector<std::string>& args, const std::string& input = "")
{
    const std::string dir = TempXdgListener::Root();
    const std::string in = dir + "/cli.in", out = dir + "/cli.out", err = dir + "/cli.err";
    std::ofstream(in, std::ios::binary) << input;
    const std::string program = TALLYARD_CLI;
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    Outcome o;
    EXPECT_EQ(0, posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ)) << program;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        o.code = WEXITSTATUS(status);
    o.out = ReadFile(out);
    o.err = ReadFile(err);
    return o;
}

// One line on standard error, starting with the program's name.
void ExpectOneMessage(const Outcome& o, const std::string& starts)
{
    EXPECT_EQ(0u, o.err.rfind("tallyard-cli: " + starts, 0)) << o.err;
    EXPECT_EQ(1, std::count(o.err.begin(), o.err.end(), '\n')) << o.err;
}

class CliTest : public StoreTest
{
};
}

TEST_F(CliTest, HelpAndUsageErrors)
{
    Outcome o = RunCli({"--help"});
    EXPECT_EQ(0, o.code);
    EXPECT_EQ(0u, o.out.rfind("Usage: tallyard-cli export [--category NAME] FILE\n", 0)) << o.out;
    EXPECT_TRUE(o.err.empty());
    EXPECT_EQ(0, RunCli({"list", "--help"}).code);

    const std::vector<std::vector<std::string>> wrong = {{},
                                                         {"frobnicate"},
                                                         {"export"},
                                                         {"export", "a.ics", "b.ics"},
                                                         {"import", "--category", "X", "a.ics"},
                                                         {"list", "extra"},
                                                         {"list", "--category"},
                                                         {"list", "--category", "A", "--category", "B"},
                                                         {"list", "--verbose"}};
    for (const auto& args : wrong)
    {
        o = RunCli(args);
        EXPECT_EQ(2, o.code) << (args.empty() ? "" : args[0]);
        ExpectOneMessage(o, "");
        EXPECT_TRUE(o.out.empty());
    }
    EXPECT_EQ(0u, Lists()) << "a usage error touches no checklist";
}

TEST_F(CliTest, ListIsTabSeparatedInTheMainViewsOrder)
{
    ListRecord b = SaveNewList(u"back\\slash\tand tab", u"Business", 2);
    AddItems(b, {0, 1, 0});
    SaveNewList(u"first", u"Personal", 0);
    SaveNewList(u"two\nlines", u"Cat\tTab", 1);
    Outcome o = RunCli({"list"});
    EXPECT_EQ(0, o.code) << o.err;
    EXPECT_EQ("Personal\tfirst\t0\t0\n"
              "Cat\\tTab\ttwo\\nlines\t0\t0\n"
              "Business\tback\\\\slash\\tand tab\t2\t3\n",
              o.out);
    o = RunCli({"list", "--category", "Business"});
    EXPECT_EQ("Business\tback\\\\slash\\tand tab\t2\t3\n", o.out);
    EXPECT_EQ("", RunCli({"list", "--category=Nothing"}).out);
    EXPECT_EQ(3u, std::count(o.out.begin(), o.out.end(), '\t'));
}

TEST_F(CliTest, ExportAndImportThroughFilesAndPipes)
{
    ListRecord trip = SaveNewList(u"Trip \U0001F3D6", u"Personal", 0);
    AddItems(trip, {1, 0});
    SaveNewList(u"Work", u"Business", 1);

    Outcome exported = RunCli({"export", "-"});
    EXPECT_EQ(0, exported.code) << exported.err;
    EXPECT_EQ(0u, exported.out.rfind("BEGIN:VCALENDAR\r\n", 0));
    const std::string file = TempXdgListener::Root() + "/personal.ics";
    EXPECT_EQ(0, RunCli({"export", "--category", "Personal", file}).code);
    EXPECT_NE(std::string::npos, ReadFile(file).find("SUMMARY:Trip"));
    EXPECT_EQ(std::string::npos, ReadFile(file).find("SUMMARY:Work"));
    const std::string before = RunCli({"list"}).out;

    UseSecondStore();
    Outcome imported = RunCli({"import", "-"}, exported.out);
    EXPECT_EQ(0, imported.code) << imported.err;
    EXPECT_EQ("2 checklists and 2 items added, 0 checklists and 0 items updated.\n", imported.out);
    EXPECT_EQ(before, RunCli({"list"}).out);
    imported = RunCli({"import", file});
    EXPECT_EQ("0 checklists and 0 items added, 1 checklist and 2 items updated.\n", imported.out);
}

TEST_F(CliTest, RefusalsAndFailuresExitOne)
{
    SaveNewList(u"Keep", u"Personal");
    const std::string before = Snapshot();
    const std::string bad = TempXdgListener::Root() + "/bad.ics";
    std::ofstream(bad) << "BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nSUMMARY:x\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
    Outcome o = RunCli({"import", bad});
    EXPECT_EQ(1, o.code);
    ExpectOneMessage(o, "line 2: VTODO without a UID");
    o = RunCli({"import", "-"}, "not a calendar\n");
    EXPECT_EQ(1, o.code);
    ExpectOneMessage(o, "line 1: not an iCalendar file");
    o = RunCli({"import", TempXdgListener::Root() + "/missing.ics"});
    EXPECT_EQ(1, o.code);
    ExpectOneMessage(o, "cannot open");
    EXPECT_EQ(before, Snapshot()) << "refused imports change nothing";
    o = RunCli({"export", TempXdgListener::Root() + "/no/such/dir/out.ics"});
    EXPECT_EQ(1, o.code);
    ExpectOneMessage(o, "cannot write");
}

TEST_F(CliTest, WorksWhileAnotherProcessChangesTheStore)
{
    std::string body;
    for (int i = 0; i < 300; ++i)
        body += "BEGIN:VTODO\r\nUID:t" + std::to_string(i) + "\r\nSUMMARY:task " + std::to_string(i) +
                "\r\nEND:VTODO\r\n";
    const std::string text = "BEGIN:VCALENDAR\r\nX-WR-CALNAME:Big\r\n" + body + "END:VCALENDAR\r\n";

    std::atomic<bool> stop{false};
    std::atomic<int> saved{0};
    ListRecord mine = SaveNewList(u"Edited meanwhile", u"Personal");
    std::thread editor([&] {
        for (int n = 0; !stop; ++n)
        {
            mine.note = u"note " + IcalText::FromUtf8(std::to_string(n));
            if (mine.SaveList())
                ++saved;
        }
    });
    Outcome o = RunCli({"import", "-"}, text);
    const Outcome listed = RunCli({"list"});
    stop = true;
    editor.join();
    EXPECT_EQ(0, o.code) << o.err;
    EXPECT_GT(saved.load(), 0);
    EXPECT_NE(std::string::npos, listed.out.find("Unfiled\tBig\t300\t300\n")) << listed.out;
    EXPECT_NE(std::string::npos, listed.out.find("Personal\tEdited meanwhile\t0\t0\n"));
    ListArray all;
    ASSERT_TRUE(all.LoadLists(u"All"));
    EXPECT_EQ(2u, all.size()) << "this process sees the other's checklist at once";
}
