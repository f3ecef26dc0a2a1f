// Starts the help viewer's test build on a display and reads back, through
// its --report option, what it opened and where its view stands.
#include "platform/Process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
using Report = std::map<std::string, std::string>;

/// Runs the viewer with `argument` and returns its report ("exit" holds the
/// exit status). Gives up after `timeoutMs`.
Report RunViewer(const std::string& argument, int timeoutMs = 15000)
{
    Report report;
    int fds[2];
    if (pipe(fds) != 0)
        return report;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    const std::string viewer = TALLYARD_HELP_REPORT;
    std::vector<char*> argv = {const_cast<char*>(viewer.c_str()), const_cast<char*>("--report"),
                               const_cast<char*>(argument.c_str()), nullptr};
    pid_t pid = -1;
    int rc = posix_spawn(&pid, viewer.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0)
    {
        close(fds[0]);
        report["exit"] = "spawn failed";
        return report;
    }

    std::string output;
    pollfd pfd{fds[0], POLLIN, 0};
    char buffer[4096];
    while (poll(&pfd, 1, timeoutMs) > 0)
    {
        ssize_t n = read(fds[0], buffer, sizeof(buffer));
        if (n <= 0)
            break;
        output.append(buffer, static_cast<size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    pid_t ended = 0;
    for (int waited = 0; (ended = waitpid(pid, &status, WNOHANG)) == 0 && waited < timeoutMs; waited += 20)
        usleep(20000);
    if (ended == 0)
    {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        report["exit"] = "timed out";
    }
    else
    {
        report["exit"] = WIFEXITED(status) ? std::to_string(WEXITSTATUS(status)) : "signal";
    }

    size_t start = 0;
    while (start < output.size())
    {
        size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        const std::string line = output.substr(start, end - start);
        if (size_t eq = line.find('='); eq != std::string::npos)
            report[line.substr(0, eq)] = line.substr(eq + 1);
        start = end + 1;
    }
    return report;
}

int Number(const Report& report, const char* key)
{
    auto it = report.find(key);
    return it == report.end() ? -99999 : std::atoi(it->second.c_str());
}

class HelpViewer : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
            GTEST_SKIP() << "needs a display (run under xvfb-run)";
    }
};
}

TEST_F(HelpViewer, OpensTheManualAtEachAnchorWithTheAnchorInView)
{
    const char* const anchors[] = {"ChecklistDlg_Help", "Item_Help",  "Categories_Help", "NewCategory_Help",
                                   "NewChecklist_Help", "Note_Help", "Preferences_Help", "SyncSettings_Help"};
    int previousTop = -1;
    for (const char* anchor : anchors)
    {
        SCOPED_TRACE(anchor);
        Report report = RunViewer(Process::HelpFilePath() + "#" + anchor);
        EXPECT_EQ("0", report["exit"]);
        EXPECT_EQ("1", report["opened"]);
        EXPECT_EQ("1", report["shown"]) << "the window is on screen";
        EXPECT_EQ(anchor, report["anchor"]);
        EXPECT_NE(std::string::npos, report["page"].find("Tallyard.htm")) << report["page"];
        EXPECT_NE(std::string::npos, report["title"].find("Tallyard Help")) << report["title"];

        // The anchor lies within the visible part of the page, and the
        // sections follow each other down the page.
        const int top = Number(report, "anchor_top");
        const int scroll = Number(report, "scroll");
        const int height = Number(report, "height");
        EXPECT_GT(top, previousTop);
        EXPECT_GT(height, 100);
        EXPECT_GE(top, scroll);
        EXPECT_LT(top, scroll + height);
        previousTop = top;
    }
}

TEST_F(HelpViewer, UnknownAnchorsAndMissingFilesAreHandled)
{
    Report report = RunViewer(Process::HelpFilePath() + "#ChecklistDlg_Help");
    EXPECT_GT(Number(report, "scroll"), 0) << "the editor's section is not at the top of the manual";
    EXPECT_GT(Number(report, "icons"), 0) << "the program's icon is found beside the manual";

    Report unknown = RunViewer(Process::HelpFilePath() + "#No_Such_Help");
    EXPECT_EQ("0", unknown["exit"]) << "no message box holds the window open";
    EXPECT_EQ("1", unknown["opened"]);
    EXPECT_EQ(0, Number(unknown, "scroll")) << "an unknown anchor opens the page at its top";

    Report missing = RunViewer("/nonexistent/Tallyard.htm#Item_Help");
    EXPECT_EQ("0", missing["exit"]) << "no crash";
    EXPECT_EQ("0", missing["opened"]);
    EXPECT_EQ("1", missing["shown"]);
}
