#ifndef TALLYARD_TESTS_SUPPORT_TEMPXDG_H
#define TALLYARD_TESTS_SUPPORT_TEMPXDG_H

#include <gtest/gtest.h>
#include <string>

// Points XDG_DATA_HOME and XDG_CONFIG_HOME at a fresh temporary folder before
// every test and removes it afterwards, so no test sees another's files or
// the user's. Installed by both test mains.
class TempXdgListener : public testing::EmptyTestEventListener
{
public:
    void OnTestStart(const testing::TestInfo& info) override;
    void OnTestEnd(const testing::TestInfo& info) override;

    /// The current test's root (holds data/ and config/).
    static const std::string& Root();
    /// $XDG_DATA_HOME/tallyard and $XDG_CONFIG_HOME/tallyard of this test.
    static std::string DataDir();
    static std::string ConfigDir();

private:
    static std::string s_root;
};

/// Installs the listener; call after InitGoogleTest.
void InstallTempXdg();

#endif
