// The start-up picture window.
#include "tests/resources/ScreenGrab.h"
#include "tests/support/GuiTest.h"
#include "tests/support/HiddenResource.h"
#include "tests/support/SipPanelLog.h"

#include "app/CStartupSplash.h"
#include "resources/ResourceIds.h"
#include "resources/Resources.h"

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/stopwatch.h>
#include <wx/uiaction.h>

#include <memory>

namespace
{
const wxColour kFrameColour(255, 0, 255);

// A shown main window painted in one plain colour, and a clean splash state.
class SplashTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_frame = new wxFrame(nullptr, wxID_ANY, "Tallyard", wxPoint(300, 150), wxSize(600, 700));
        auto* panel = new wxPanel(m_frame);
        panel->SetBackgroundColour(kFrameColour);
        m_frame->Show();
        WaitFor([&] { return m_frame->IsShownOnScreen(); });
        Pump(100);
        CStartupSplash::Enable(true);
    }

    void TearDown() override
    {
        if (CStartupSplash::Window* s = CStartupSplash::Current())
            s->Hide();
        WaitForSplashGone(1000);
        CStartupSplash::Enable(false);
        m_frame->Destroy();
        Pump(50);
    }

    static bool WaitForSplashGone(int ms)
    {
        return WaitFor(
            [] {
                wxTheApp->ProcessIdle();
                return CStartupSplash::Current() == nullptr;
            },
            ms);
    }

    wxFrame* m_frame = nullptr;
};

int TopLevelCount()
{
    return static_cast<int>(wxTopLevelWindows.GetCount());
}
}

TEST_F(SplashTest, CentredOverTheFrameAndShowingTheWholePictureAtOnce)
{
    CStartupSplash::Show(m_frame);
    // No events have been pumped: the picture must already be on screen.
    CStartupSplash::Window* splash = CStartupSplash::Current();
    ASSERT_NE(nullptr, splash);
    EXPECT_TRUE(splash->IsShown());
    const wxRect sr = splash->GetScreenRect();
    EXPECT_EQ(m_frame->FromDIP(wxSize(240, 270)), splash->GetClientSize());
    EXPECT_EQ(sr.GetSize(), splash->GetClientSize()) << "no border or caption";
    const wxRect fr = m_frame->GetScreenRect();
    EXPECT_NEAR(fr.x + fr.width / 2, sr.x + sr.width / 2, 1);
    EXPECT_NEAR(fr.y + fr.height / 2, sr.y + sr.height / 2, 1);

    const wxImage shot = GrabScreen(sr);
    KeepShot(shot, "splash");
    const wxImage picture = Resources::Bitmap(IDB_SPLASH).GetBitmap(sr.GetSize()).ConvertToImage();
    int differing = 0;
    for (int y = 0; y < sr.height; y += 3)
        for (int x = 0; x < sr.width; x += 3)
            differing += PixelDistance(shot, wxPoint(x, y), picture, wxPoint(x, y)) > 6;
    EXPECT_EQ(0, differing);
    // Corners included: the whole picture, not a part of it.
    for (const wxPoint& p : {wxPoint(0, 0), wxPoint(sr.width - 1, 0), wxPoint(0, sr.height - 1),
                             wxPoint(sr.width - 1, sr.height - 1)})
        EXPECT_LE(PixelDistance(shot, p, picture, p), 6) << p.x << "," << p.y;
}

TEST_F(SplashTest, TapsAndKeysLeaveItOnlyTheTimerRemovesIt)
{
    wxStopWatch sw;
    CStartupSplash::Show(m_frame);
    CStartupSplash::Window* splash = CStartupSplash::Current();
    ASSERT_NE(nullptr, splash);
    const wxRect sr = splash->GetScreenRect();

    ClickAt(splash, wxPoint(120, 135));
    wxUIActionSimulator sim;
    sim.Char(WXK_ESCAPE);
    sim.Char(WXK_RETURN);
    sim.Char('a');
    Pump(700);
    EXPECT_EQ(splash, CStartupSplash::Current());
    EXPECT_TRUE(splash->IsShown());

    EXPECT_TRUE(WaitForSplashGone(3000));
    const long gone = sw.Time();
    EXPECT_GE(gone, CStartupSplash::kLifetimeMs - 50);
    EXPECT_LE(gone, CStartupSplash::kLifetimeMs + 1000);

    // What the picture covered is the main window again.
    const bool repainted = WaitForScreen(sr, [&](const wxImage& shot) {
        for (const wxPoint& p : {wxPoint(2, 2), wxPoint(sr.width / 2, sr.height / 2), wxPoint(sr.width - 3, sr.height - 3)})
            if (shot.GetRed(p.x, p.y) < 245 || shot.GetGreen(p.x, p.y) > 10 || shot.GetBlue(p.x, p.y) < 245)
                return false;
        return true;
    });
    KeepShot(GrabScreen(sr), "after_splash");
    EXPECT_TRUE(repainted);
}

TEST_F(SplashTest, AtMostOneAndNoneWhenDisabled)
{
    CStartupSplash::Show(m_frame);
    CStartupSplash::Window* first = CStartupSplash::Current();
    ASSERT_NE(nullptr, first);
    const int windows = TopLevelCount();
    CStartupSplash::Show(m_frame);
    EXPECT_EQ(first, CStartupSplash::Current());
    EXPECT_EQ(windows, TopLevelCount());

    first->Hide();
    ASSERT_TRUE(WaitForSplashGone(1000));
    CStartupSplash::Enable(false);
    CStartupSplash::Show(m_frame);
    EXPECT_EQ(nullptr, CStartupSplash::Current());
    EXPECT_EQ(windows - 1, TopLevelCount());
}

TEST_F(SplashTest, WithoutAFrameItIsCentredOnTheScreen)
{
    CStartupSplash::Show(nullptr);
    CStartupSplash::Window* splash = CStartupSplash::Current();
    ASSERT_NE(nullptr, splash);
    const wxRect screen = wxGetClientDisplayRect();
    const wxRect sr = splash->GetScreenRect();
    EXPECT_NEAR(screen.x + screen.width / 2, sr.x + sr.width / 2, 1);
    EXPECT_NEAR(screen.y + screen.height / 2, sr.y + sr.height / 2, 1);
}

TEST_F(SplashTest, MissingPictureMeansNoSplashAndNoMessage)
{
    {
        CHiddenResource hidden("splash.png");
        ASSERT_TRUE(hidden.IsHidden());
        const int windows = TopLevelCount();
        CStartupSplash::Show(m_frame);
        EXPECT_EQ(nullptr, CStartupSplash::Current());
        Pump(200);
        EXPECT_EQ(windows, TopLevelCount());
    }
    // The failed attempt leaves no stale current window behind.
    CStartupSplash::Show(m_frame);
    EXPECT_NE(nullptr, CStartupSplash::Current());
}

TEST_F(SplashTest, ForcesTheInputPanelDown)
{
    SipPanel::Reset();
    CStartupSplash::Show(m_frame);
    CStartupSplash::Window* splash = CStartupSplash::Current();
    ASSERT_NE(nullptr, splash);
    bool forcedDown = false;
    for (const SipPanel::Call& call : SipPanel::Calls())
        forcedDown |= call.kind == SipPanel::CallKind::Preference && call.state == SIP_FORCEDOWN &&
                      call.window == splash->GetHandle();
    EXPECT_TRUE(forcedDown);
}

TEST_F(SplashTest, ClosingTheFrameEarlyTakesTheSplashWithIt)
{
    CStartupSplash::Show(m_frame);
    ASSERT_NE(nullptr, CStartupSplash::Current());
    m_frame->Destroy();
    m_frame = new wxFrame(nullptr, wxID_ANY, "other");
    EXPECT_TRUE(WaitForSplashGone(1000));
    // Its timer must not fire into a deleted window.
    Pump(CStartupSplash::kLifetimeMs + 300);
    EXPECT_EQ(nullptr, CStartupSplash::Current());
}
