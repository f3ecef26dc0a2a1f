#include "tests/support/TempXdg.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

std::string TempXdgListener::s_root;

void TempXdgListener::OnTestStart(const testing::TestInfo&)
{
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/tallyard-test-XXXXXX";
    if (!mkdtemp(templ.data()))
        throw std::runtime_error("mkdtemp failed");
    s_root = templ;
    fs::create_directories(s_root + "/data");
    fs::create_directories(s_root + "/config");
    setenv("XDG_DATA_HOME", (s_root + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (s_root + "/config").c_str(), 1);
}

void TempXdgListener::OnTestEnd(const testing::TestInfo&)
{
    if (s_root.empty())
        return;
    std::error_code ec;
    // A test may have made files read-only or immutable-like; make them removable.
    for (auto it = fs::recursive_directory_iterator(s_root, ec); it != fs::recursive_directory_iterator(); it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(s_root, ec);
    s_root.clear();
}

const std::string& TempXdgListener::Root() { return s_root; }
std::string TempXdgListener::DataDir() { return s_root + "/data/tallyard"; }
std::string TempXdgListener::ConfigDir() { return s_root + "/config/tallyard"; }

void InstallTempXdg()
{
    testing::UnitTest::GetInstance()->listeners().Append(new TempXdgListener);
}
