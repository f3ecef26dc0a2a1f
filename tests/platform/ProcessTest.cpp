#include "platform/Process.h"

#include "dialogs/ContextHelp.h"
#include "tests/support/TempXdg.h"

#include <gtest/gtest.h>

#include <chrono>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace
{
using Argv = std::vector<std::string>;

const char* const kTopics[] = {"#ChecklistDlg_Help", "#Item_Help",   "#Categories_Help", "#NewCategory_Help",
                               "#NewChecklist_Help", "#Note_Help", "#Preferences_Help", "#SyncSettings_Help"};

/// Records what would have been started instead of starting it.
class ProcessTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Process::SetLauncher([this](const Argv& argv) {
            m_started.push_back(argv);
            return m_launchResult;
        });
    }
    void TearDown() override { Process::ResetLauncher(); }

    std::vector<Argv> m_started;
    bool m_launchResult = true;
};

std::u16string U16(const std::string& ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

/// Children of this process that have ended but were never waited for.
int ZombieChildren()
{
    int zombies = 0;
    DIR* proc = opendir("/proc");
    if (!proc)
        return -1;
    const std::string self = std::to_string(getpid());
    while (dirent* entry = readdir(proc))
    {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string line;
        if (!std::getline(stat, line))
            continue;
        // pid (comm) state ppid ...: comm may hold blanks, so read after its ')'.
        std::istringstream rest(line.substr(line.rfind(')') + 1));
        std::string state, ppid;
        rest >> state >> ppid;
        zombies += state == "Z" && ppid == self;
    }
    closedir(proc);
    return zombies;
}

bool WaitUntil(const std::function<bool()>& done, int ms)
{
    for (int waited = 0; !done(); waited += 10)
    {
        if (waited > ms)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
}

TEST_F(ProcessTest, EveryHelpTopicStartsTheViewerOnTheFileAtItsAnchor)
{
    for (const char* topic : kTopics)
        ShowHelpTopic(U16(topic).c_str());

    ASSERT_EQ(std::size(kTopics), m_started.size());
    for (size_t i = 0; i < m_started.size(); ++i)
    {
        const Argv expected = {Process::HelpViewerPath(), Process::HelpFilePath() + kTopics[i]};
        EXPECT_EQ(expected, m_started[i]) << kTopics[i];
    }
    EXPECT_EQ("/resources/Tallyard.htm", Process::HelpFilePath().substr(Process::HelpFilePath().size() - 23))
        << "run from the build tree, the source tree's manual is shown";
}

TEST_F(ProcessTest, RepeatedAndFailedRequestsStartTheViewerEachTime)
{
    m_launchResult = false;
    ShowHelpTopic(u"#Categories_Help");
    ShowHelpTopic(u"#Categories_Help");
    ShowHelpTopic(nullptr);
    ASSERT_EQ(3u, m_started.size());
    EXPECT_EQ(m_started[0], m_started[1]);
    EXPECT_EQ(Process::HelpFilePath(), m_started[2].at(1)) << "no anchor: the file alone";
}

TEST_F(ProcessTest, DeviceNamesAreMappedWhateverTheirCase)
{
    EXPECT_TRUE(CreateProcess(u"peghelp.EXE", u"\\windows\\TALLYARD.htm#Note_Help"));
    EXPECT_TRUE(CreateProcess(u"\\Windows\\PegHelp.exe", u""));
    ASSERT_EQ(2u, m_started.size());
    EXPECT_EQ((Argv{Process::HelpViewerPath(), Process::HelpFilePath() + "#Note_Help"}), m_started[0]);
    EXPECT_EQ((Argv{Process::HelpViewerPath()}), m_started[1]) << "an empty command line adds no argument";
}

TEST_F(ProcessTest, OtherProgramsAndArgumentsPassUnchangedAsOneArgument)
{
    CreateProcess(u"/bin/echo", u"two words; rm -rf \"$HOME\" \u00e9\U0001F600");
    CreateProcess(u"PegHelp.exe", u"\\Windows\\Other.htm#Item_Help");
    CreateProcess(u"NotPegHelp.exe", u"x");
    ASSERT_EQ(3u, m_started.size());
    EXPECT_EQ((Argv{"/bin/echo", "two words; rm -rf \"$HOME\" \xc3\xa9\xf0\x9f\x98\x80"}), m_started[0]);
    EXPECT_EQ("\\Windows\\Other.htm#Item_Help", m_started[1].at(1)) << "only the help file's path is mapped";
    EXPECT_EQ("NotPegHelp.exe", m_started[2].at(0));
}

TEST(ProcessPaths, ViewerAndHelpFileExistWithEveryTopic)
{
    const std::string viewer = Process::HelpViewerPath();
    EXPECT_EQ(0, access(viewer.c_str(), X_OK)) << viewer;
    EXPECT_EQ("tallyard-help", viewer.substr(viewer.rfind('/') + 1));

    std::ifstream in(Process::HelpFilePath());
    ASSERT_TRUE(in) << Process::HelpFilePath();
    const std::string manual((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const char* topic : kTopics)
        EXPECT_NE(std::string::npos, manual.find(std::string("<a name=\"") + (topic + 1) + "\">")) << topic;
}

TEST(ProcessSpawn, StartsWithoutAShellAndLeavesNoZombies)
{
    // The name holds blanks, a semicolon and quotes: a shell would split or run it.
    const std::string target = TempXdgListener::Root() + "/made by; \"touch\" $x";
    ASSERT_TRUE(CreateProcess(u"/usr/bin/touch", U16(target)));
    EXPECT_TRUE(WaitUntil([&] { return access(target.c_str(), F_OK) == 0; }, 5000));

    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(CreateProcess(u"/bin/true", u""));
    EXPECT_TRUE(WaitUntil([] { return ZombieChildren() == 0; }, 5000)) << ZombieChildren() << " zombies";

    EXPECT_FALSE(CreateProcess(u"/nonexistent/program", u"x"));
    EXPECT_FALSE(CreateProcess(u"", u"x"));
}
