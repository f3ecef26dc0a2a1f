// The program's syncs as the main window runs them, against a real Radicale.
#include "tests/browser/BrowserFixture.h"

#include "app/CSyncController.h"
#include "resources/ResourceIds.h"
#include "sync/CalDavClient.h"
#include "sync/SyncRun.h"
#include "tests/sync/RadicaleServer.h"

#include <wx/stattext.h>

#include <chrono>

namespace
{
const char* const kServerList = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//other//EN\r\nBEGIN:VTODO\r\n"
                                "UID:from-the-server\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:From the server\r\n"
                                "END:VTODO\r\nEND:VCALENDAR\r\n";

class SyncWindowTest : public BrowserTest
{
protected:
    void SetUp() override
    {
        BrowserTest::SetUp();
        ASSERT_TRUE(m_server.Start());
    }
    CalDav::Account Account() const
    {
        return {m_server.CollectionUrl(), RadicaleServer::User(), RadicaleServer::Password(), false};
    }
    void UseAccount(bool automatic)
    {
        ASSERT_TRUE(Sync::SaveSettings({m_server.CollectionUrl(), RadicaleServer::User(), false, automatic}));
        Controller()->SettingsChanged(RadicaleServer::Password());
        Controller()->onFinished = [this](const Sync::Report& r) {
            ++m_finished;
            m_last = r;
        };
    }
    CSyncController* Controller() { return m_frame->GetSyncController(); }
    wxString BarText()
    {
        return m_frame->GetDialogBar()->FindWindow(IDC_DIALOGBAR_TEXT)->GetLabel();
    }
    bool WaitForSyncs(int count, int ms = 30000)
    {
        return WaitFor([&] { return m_finished >= count; }, ms);
    }
    size_t ServerCount()
    {
        CalDav::Client client(Account());
        std::vector<CalDav::Member> members;
        return client.Open(false) && client.ListTodos(members) ? members.size() : 0;
    }

    RadicaleServer m_server;
    int m_finished = 0;
    Sync::Report m_last;
};
}

TEST_F(SyncWindowTest, SyncNowBringsTheServersChecklistsIntoTheViewAndSaysWhenItEnded)
{
    AddChecklist(u"Made here", u"Personal", 0, 2, 1);
    Open();
    UseAccount(false);
    {
        CalDav::Client client(Account());
        ASSERT_TRUE(client.Open());
        std::string etag;
        ASSERT_EQ(client.Create(client.HrefFor("from-the-server"), kServerList, etag), CalDav::WriteResult::Ok);
    }
    Command(ID_SYNC_NOW);
    EXPECT_TRUE(Controller()->IsRunning());
    // The window keeps handling events while the sync runs.
    auto before = std::chrono::steady_clock::now();
    Pump(1);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    ASSERT_TRUE(WaitForSyncs(1));
    ASSERT_TRUE(m_last.ok) << m_last.error;
    EXPECT_TRUE(BarText().StartsWith("Synced at ")) << BarText();
    EXPECT_EQ(ServerCount(), 5u); // the server's list, ours and its three items

    bool shown = false;
    for (const std::string& row : Rows())
        shown |= row.find("From the server") != std::string::npos;
    EXPECT_TRUE(shown) << testing::PrintToString(Rows());
}

TEST_F(SyncWindowTest, AFailedSyncSaysWhyInTheDialogBar)
{
    Open();
    UseAccount(false);
    ASSERT_TRUE(Sync::SaveSettings({"http://tasks.example.org/dav/", "alice", false, false}));
    Command(ID_SYNC_NOW);
    ASSERT_TRUE(WaitForSyncs(1));
    EXPECT_FALSE(m_last.ok);
    EXPECT_TRUE(BarText().StartsWith("Sync failed at ")) << BarText();
    EXPECT_TRUE(BarText().Contains("unencrypted connection (http) refused")) << BarText();
    EXPECT_FALSE(BarText().Contains(RadicaleServer::Password()));
}

TEST_F(SyncWindowTest, AutomaticSyncRunsAtStartAndAfterAChange)
{
    AddChecklist(u"First", u"Personal", 0);
    Open();
    UseAccount(true);
    Controller()->Start();
    ASSERT_TRUE(WaitForSyncs(1));
    ASSERT_TRUE(m_last.ok) << m_last.error;
    EXPECT_EQ(ServerCount(), 1u);

    AddChecklist(u"Second", u"Personal", 1);
    ASSERT_TRUE(WaitFor([&] { return ServerCount() == 2u; }, 30000));
    EXPECT_TRUE(m_last.ok) << m_last.error;
}
