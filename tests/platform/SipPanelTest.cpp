#include "tests/support/SipPanelLog.h"

#include <gtest/gtest.h>

namespace
{
class SipPanelTest : public testing::Test
{
protected:
    void SetUp() override { SipPanel::Reset(); }

    static SIPINFO Query(bool* ok = nullptr)
    {
        SIPINFO info{};
        info.cbSize = 48;
        bool result = SipInfo(SPI_GETSIPINFO, 0, &info, 0);
        if (ok)
            *ok = result;
        return info;
    }

    static bool Store(uint32_t flags)
    {
        SIPINFO info{};
        info.cbSize = sizeof(SIPINFO);
        info.fdwFlags = flags;
        return SipInfo(SPI_SETSIPINFO, 0, &info, 0);
    }

    const int m_window = 0; // stands for a window handle
};
}

TEST_F(SipPanelTest, PreferenceRaisesAndLowersAndQueriesReportIt)
{
    EXPECT_FALSE(SipPanel::IsRaised());
    ASSERT_TRUE(SHSipPreference(&m_window, SIP_UP));
    EXPECT_TRUE(SipPanel::IsRaised());
    bool ok = false;
    SIPINFO info = Query(&ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(48u, info.cbSize);
    EXPECT_LT(info.rcVisibleDesktop.bottom, 320) << "the raised panel covers the bottom of the screen";

    ASSERT_TRUE(SHSipPreference(&m_window, SIP_FORCEDOWN));
    EXPECT_FALSE(SipPanel::IsRaised());
    EXPECT_EQ(320, Query().rcVisibleDesktop.bottom);
    EXPECT_FALSE(SHSipPreference(&m_window, 99));
    EXPECT_FALSE(SipPanel::IsRaised()) << "an unknown state changes nothing";
}

TEST_F(SipPanelTest, StoredFlagWordIsReturnedByLaterQueries)
{
    ASSERT_TRUE(Store(SIPF_DISABLECOMPLETION));
    EXPECT_EQ(SIPF_DISABLECOMPLETION, Query().fdwFlags);
    EXPECT_EQ(SIPF_DISABLECOMPLETION, SipPanel::Flags());
    ASSERT_TRUE(Store(0));
    EXPECT_EQ(0u, Query().fdwFlags);

    // The word is kept as written; only the preference call moves the panel.
    ASSERT_TRUE(Store(SIPF_ON | SIPF_DISABLECOMPLETION));
    EXPECT_FALSE(SipPanel::IsRaised());
    ASSERT_TRUE(SHSipPreference(&m_window, SIP_UP));
    ASSERT_TRUE(SHSipPreference(&m_window, SIP_FORCEDOWN));
    EXPECT_EQ(SIPF_ON | SIPF_DISABLECOMPLETION, Query().fdwFlags);
}

TEST_F(SipPanelTest, RecordsOfTheWrongSizeAreRefused)
{
    ASSERT_TRUE(Store(SIPF_DISABLECOMPLETION));
    SIPINFO info{};
    info.cbSize = 44;
    info.fdwFlags = 0;
    EXPECT_FALSE(SipInfo(SPI_GETSIPINFO, 0, &info, 0));
    EXPECT_EQ(0u, info.fdwFlags) << "a refused query leaves the record alone";
    EXPECT_FALSE(SipInfo(SPI_SETSIPINFO, 0, &info, 0));
    EXPECT_EQ(SIPF_DISABLECOMPLETION, SipPanel::Flags()) << "a refused write changes nothing";
    EXPECT_FALSE(SipInfo(SPI_GETSIPINFO, 0, nullptr, 0));
    EXPECT_FALSE(SipInfo(12345, 0, &info, 0));
}

TEST_F(SipPanelTest, FailedQueriesAreCountedAndLogged)
{
    SipPanel::FailQueries(2);
    bool ok = true;
    Query(&ok);
    EXPECT_FALSE(ok);
    Query(&ok);
    EXPECT_FALSE(ok);
    Query(&ok);
    EXPECT_TRUE(ok) << "only the number asked for fail";
    ASSERT_EQ(3u, SipPanel::Calls().size());
    EXPECT_FALSE(SipPanel::Calls()[0].succeeded);
    EXPECT_FALSE(SipPanel::Calls()[1].succeeded);
    EXPECT_TRUE(SipPanel::Calls()[2].succeeded);
}

TEST_F(SipPanelTest, CallsAreLoggedInOrderAndResetClearsEverything)
{
    // What a text field does when it gains the focus, then loses it.
    SIPINFO info = Query();
    info.fdwFlags |= SIPF_DISABLECOMPLETION;
    SipInfo(SPI_SETSIPINFO, 0, &info, 0);
    SHSipPreference(&m_window, SIP_FORCEDOWN);
    SHSipPreference(&m_window, SIP_UP);
    EXPECT_TRUE(SipPanel::IsRaised());
    SHSipPreference(&m_window, SIP_FORCEDOWN);

    const auto& calls = SipPanel::Calls();
    ASSERT_EQ(5u, calls.size());
    EXPECT_EQ(SipPanel::CallKind::GetInfo, calls[0].kind);
    EXPECT_EQ(0u, calls[0].flags);
    EXPECT_EQ(SipPanel::CallKind::SetInfo, calls[1].kind);
    EXPECT_EQ(SIPF_DISABLECOMPLETION, calls[1].flags);
    EXPECT_EQ(SipPanel::CallKind::Preference, calls[2].kind);
    EXPECT_EQ(SIP_FORCEDOWN, calls[2].state);
    EXPECT_EQ(&m_window, calls[2].window);
    EXPECT_EQ(SIP_UP, calls[3].state);
    EXPECT_EQ(SIP_FORCEDOWN, calls[4].state);

    SipPanel::FailQueries(5);
    SipPanel::Reset();
    EXPECT_TRUE(SipPanel::Calls().empty());
    EXPECT_FALSE(SipPanel::IsRaised());
    EXPECT_EQ(0u, SipPanel::Flags());
    bool ok = false;
    Query(&ok);
    EXPECT_TRUE(ok) << "reset forgets pending failures";
}

TEST_F(SipPanelTest, WithoutAnObserverNothingIsKeptAndNoQueryIsRefused)
{
    // As in the program, which installs no observer.
    SipPanel::FailQueries(1);
    SipPanel::Observer* recorder = SipPanel::SetObserver(nullptr);
    ASSERT_NE(nullptr, recorder) << "tests record from the start";
    bool ok = false;
    Query(&ok);
    EXPECT_TRUE(ok) << "only an observer refuses queries";
    ASSERT_TRUE(SHSipPreference(&m_window, SIP_UP));
    EXPECT_TRUE(SipPanel::IsRaised()) << "the panel works without an observer";
    EXPECT_EQ(nullptr, SipPanel::SetObserver(recorder));
    EXPECT_TRUE(SipPanel::Calls().empty());

    Query(&ok);
    EXPECT_FALSE(ok) << "the pending failure waited for the observer's return";
    EXPECT_EQ(1u, SipPanel::Calls().size());
}
