// Sync Settings: what it stores, what it never stores, and its connection test.
#include "tests/dialogs/DialogTest.h"

#include "dialogs/CSyncSettingsDlg.h"
#include "platform/Registry.h"
#include "resources/ResourceIds.h"
#include "sync/SyncRun.h"
#include "tests/sync/RadicaleServer.h"

#include <wx/checkbox.h>
#include <wx/stattext.h>

#include <wx/dcmemory.h>
#include <wx/dcscreen.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace
{
wxString ResultText(wxDialog& d)
{
    wxString text = d.FindWindow(IDC_SYNC_RESULT)->GetLabel();
    text.Replace("\n", " ");
    return text;
}

/// With TALLYARD_SCREENSHOTS set to a folder, saves what the dialog shows.
void SaveScreenshot(wxDialog& d, const std::string& name)
{
    const char* folder = std::getenv("TALLYARD_SCREENSHOTS");
    if (!folder)
        return;
    Pump(200);
    const wxRect rect = d.GetScreenRect();
    wxBitmap shot(rect.width, rect.height);
    wxMemoryDC memory(shot);
    wxScreenDC screen;
    memory.Blit(0, 0, rect.width, rect.height, &screen, rect.x, rect.y);
    memory.SelectObject(wxNullBitmap);
    shot.SaveFile(std::string(folder) + "/" + name + ".png", wxBITMAP_TYPE_PNG);
}

std::string FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
}

TEST(SyncSettingsDlg, OkStoresTheAccountButNeverThePassword)
{
    ASSERT_TRUE(Sync::SaveSettings({"https://old.example/tasks/", "old", false, false}));
    CSyncSettingsDlg dlg(nullptr);
    int rc = RunModal<CSyncSettingsDlg>(dlg, [](CSyncSettingsDlg& d) {
        EXPECT_EQ("Sync Settings", d.FindWindow(IDC_TITLE_BAR)->GetLabel());
        EXPECT_EQ("https://old.example/tasks/", TextField(d, IDC_SYNC_URL)->GetValue());
        EXPECT_EQ("old", TextField(d, IDC_SYNC_USER)->GetValue());
        EXPECT_EQ("", TextField(d, IDC_SYNC_PASSWORD)->GetValue());
        EXPECT_TRUE(TextField(d, IDC_SYNC_PASSWORD)->HasFlag(wxTE_PASSWORD));
        TextField(d, IDC_SYNC_URL)->ChangeValue("http://dav.example.org/alice/tasks/");
        TextField(d, IDC_SYNC_USER)->ChangeValue("alice");
        TextField(d, IDC_SYNC_PASSWORD)->ChangeValue("s3cret-Pa55");
        ClickChild(d, IDC_SYNC_AUTOMATIC);
        ClickChild(d, IDC_SYNC_UNENCRYPTED);
        TapTitleBar(d, TitleArea::Ok);
    });
    EXPECT_EQ(wxID_OK, rc);
    Sync::Settings s = Sync::LoadSettings();
    EXPECT_EQ(s.url, "http://dav.example.org/alice/tasks/");
    EXPECT_EQ(s.user, "alice");
    EXPECT_TRUE(s.automatic);
    EXPECT_TRUE(s.allowUnencrypted);
    // No Secret Service runs here: the password is for this run only.
    EXPECT_EQ(dlg.UnkeptPassword(), "s3cret-Pa55");
    const std::string registry = FileBytes(Registry::FilePath()) + FileBytes(Registry::FilePath() + "-wal");
    EXPECT_EQ(registry.find("s3cret-Pa55"), std::string::npos);
    const std::u16string wide = u"s3cret-Pa55";
    EXPECT_EQ(registry.find(std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2)),
              std::string::npos);
}

TEST(SyncSettingsDlg, CancelChangesNothing)
{
    ASSERT_TRUE(Sync::SaveSettings({"https://kept.example/tasks/", "kept", false, true}));
    CSyncSettingsDlg dlg(nullptr);
    int rc = RunModal<CSyncSettingsDlg>(dlg, [](CSyncSettingsDlg& d) {
        EXPECT_TRUE(wxDynamicCast(d.FindWindow(IDC_SYNC_AUTOMATIC), wxCheckBox)->GetValue());
        TextField(d, IDC_SYNC_URL)->ChangeValue("https://other.example/");
        ClickChild(d, IDC_SYNC_AUTOMATIC);
        SaveScreenshot(d, "sync-settings");
        TapTitleBar(d, TitleArea::Cancel);
    });
    EXPECT_EQ(wxID_CANCEL, rc);
    EXPECT_EQ(Sync::LoadSettings().url, "https://kept.example/tasks/");
    EXPECT_TRUE(Sync::LoadSettings().automatic);
}

TEST(SyncSettingsDlg, TestConnectionSaysWhatItFound)
{
    RadicaleServer server;
    ASSERT_TRUE(server.Start());
    CSyncSettingsDlg dlg(nullptr);
    RunModal<CSyncSettingsDlg>(dlg, [&](CSyncSettingsDlg& d) {
        TextField(d, IDC_SYNC_URL)->ChangeValue(server.CollectionUrl());
        TextField(d, IDC_SYNC_USER)->ChangeValue(RadicaleServer::User());
        TextField(d, IDC_SYNC_PASSWORD)->ChangeValue("wrong");
        ClickChild(d, IDC_SYNC_TEST);
        ASSERT_TRUE(WaitFor([&] { return ResultText(d) != "Testing the connection..."; }, 20000));
        EXPECT_TRUE(ResultText(d).Contains("refused the user name or password")) << ResultText(d);
        EXPECT_FALSE(ResultText(d).Contains("wrong"));

        TextField(d, IDC_SYNC_PASSWORD)->ChangeValue(RadicaleServer::Password());
        ClickChild(d, IDC_SYNC_TEST);
        ASSERT_TRUE(WaitFor([&] { return ResultText(d) != "Testing the connection..."; }, 20000));
        EXPECT_TRUE(ResultText(d).Contains("no task list at this address yet")) << ResultText(d);
        SaveScreenshot(d, "sync-settings-tested");
        const wxRect shown = d.FindWindow(IDC_SYNC_RESULT)->GetRect();
        EXPECT_TRUE(wxRect(d.GetClientSize()).Contains(shown)) << shown.x << "," << shown.y << " " << shown.width
                                                               << "x" << shown.height;
        EXPECT_GT(shown.height, d.FromDIP(20));

        TextField(d, IDC_SYNC_URL)->ChangeValue("http://tasks.example.org/dav/");
        ClickChild(d, IDC_SYNC_TEST);
        ASSERT_TRUE(WaitFor([&] { return ResultText(d) != "Testing the connection..."; }, 20000));
        EXPECT_TRUE(ResultText(d).Contains("unencrypted connection (http) refused")) << ResultText(d);
        TapTitleBar(d, TitleArea::Cancel);
    });
}
