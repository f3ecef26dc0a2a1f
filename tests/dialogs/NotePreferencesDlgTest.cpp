// The note and preferences dialogs, and the help topic of every dialog.
#include "tests/dialogs/DialogTest.h"

#include "app/SettingsKey.h"
#include "dialogs/CCategoriesDlg.h"
#include "dialogs/CCategoryNameDlg.h"
#include "dialogs/CListNameDlg.h"
#include "dialogs/CNoteDlg.h"
#include "dialogs/CPreferencesDlg.h"
#include "dialogs/CSyncSettingsDlg.h"
#include "platform/Registry.h"
#include "resources/ResourceIds.h"
#include "store/ListStore.h"

#include <wx/checkbox.h>

namespace
{
// The stored "ShowPriority", read without writing a default; -1 when missing.
long StoredShowPriority()
{
    HKEY key = nullptr;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, kPreferencesKey, &key) != ERROR_SUCCESS)
        return -2;
    uint32_t type = 0;
    uint32_t value = 0;
    uint32_t size = sizeof value;
    const long rc = RegQueryValueEx(key, u"ShowPriority", &type, &value, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return -1;
    EXPECT_EQ(REG_DWORD, type);
    return static_cast<long>(value);
}

wxCheckBox* ShowPriorityBox(wxDialog& dlg)
{
    return wxDynamicCast(dlg.FindWindow(IDC_SHOW_PRIORITY), wxCheckBox);
}

// Opens the preferences, clicks the box `clicks` times and ends with `area`.
int RunPreferences(int clicks, TitleArea area, bool* shownChecked = nullptr)
{
    CPreferencesDlg dlg(nullptr);
    return RunModal<CPreferencesDlg>(dlg, [&](CPreferencesDlg& d) {
        if (shownChecked)
            *shownChecked = ShowPriorityBox(d)->GetValue();
        for (int i = 0; i < clicks; ++i)
            ClickChild(d, IDC_SHOW_PRIORITY);
        TapTitleBar(d, area);
    });
}
}

TEST(NoteDlg, TitleIsNoteUnlessGivenAndLinesComeBack)
{
    CNoteDlg plain(nullptr);
    plain.SetNote(u"old");
    int rc = RunModal<CNoteDlg>(plain, [](CNoteDlg& d) {
        EXPECT_EQ("Note", d.FindWindow(IDC_TITLE_BAR)->GetLabel());
        EXPECT_EQ("Checklist Note", d.GetTitle());
        EXPECT_EQ("old", TextField(d, IDC_NOTE)->GetValue());
        TextField(d, IDC_NOTE)->ChangeValue("first line\nsecond line\n\nfourth");
        TapTitleBar(d, TitleArea::Ok);
    });
    EXPECT_EQ(wxID_OK, rc);
    EXPECT_EQ(u"first line\nsecond line\n\nfourth", plain.GetNote());

    CNoteDlg titled(nullptr);
    titled.SetTitle(u"Groceries \u00e9t\u00e9");
    titled.SetNote(u"keep me");
    rc = RunModal<CNoteDlg>(titled, [](CNoteDlg& d) {
        EXPECT_EQ(wxString::FromUTF8("Groceries \xc3\xa9t\xc3\xa9"), d.FindWindow(IDC_TITLE_BAR)->GetLabel());
        TextField(d, IDC_NOTE)->ChangeValue("");
        TapTitleBar(d, TitleArea::Ok);
    });
    EXPECT_EQ(wxID_OK, rc);
    EXPECT_EQ(u"", titled.GetNote());
}

TEST(NoteDlg, CancelKeepsTheOldNote)
{
    CNoteDlg dlg(nullptr);
    dlg.SetNote(u"old");
    const int rc = RunModal<CNoteDlg>(dlg, [](CNoteDlg& d) {
        TextField(d, IDC_NOTE)->ChangeValue("edited");
        TapTitleBar(d, TitleArea::Cancel);
    });
    EXPECT_EQ(wxID_CANCEL, rc);
    EXPECT_EQ(u"old", dlg.GetNote());
}

TEST(PreferencesDlg, FirstUseShowsUncheckedStoresDefaultAndUnchangedOkIsCancel)
{
    ASSERT_EQ(-1, StoredShowPriority());
    bool checked = true;
    EXPECT_EQ(wxID_CANCEL, RunPreferences(0, TitleArea::Ok, &checked));
    EXPECT_FALSE(checked);
    EXPECT_EQ(0, StoredShowPriority()); // written back by the read
}

TEST(PreferencesDlg, OnlyAConfirmedChangeIsWritten)
{
    // Checked and confirmed: written, and the next opening shows it.
    EXPECT_EQ(wxID_OK, RunPreferences(1, TitleArea::Ok));
    EXPECT_EQ(1, StoredShowPriority());
    bool checked = false;
    EXPECT_EQ(wxID_CANCEL, RunPreferences(0, TitleArea::Cancel, &checked));
    EXPECT_TRUE(checked);

    // Toggled twice: unchanged, so Cancel and nothing written.
    EXPECT_EQ(wxID_CANCEL, RunPreferences(2, TitleArea::Ok));
    EXPECT_EQ(1, StoredShowPriority());

    // Cancel never writes, whatever the box shows.
    EXPECT_EQ(wxID_CANCEL, RunPreferences(1, TitleArea::Cancel));
    EXPECT_EQ(1, StoredShowPriority());

    EXPECT_EQ(wxID_OK, RunPreferences(1, TitleArea::Ok));
    EXPECT_EQ(0, StoredShowPriority());
}

TEST(PreferencesDlg, AnyNonZeroStoredValueShowsChecked)
{
    {
        SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
        key.WriteNumber(u"ShowPriority", 7);
    }
    bool checked = false;
    EXPECT_EQ(wxID_CANCEL, RunPreferences(0, TitleArea::Ok, &checked));
    EXPECT_TRUE(checked);
    EXPECT_EQ(7, StoredShowPriority());
}

// A tap on the question mark starts the viewer at the dialog's own topic,
// each time, and leaves the dialog open.
template <class Dlg>
void ExpectHelpTopic(Dlg& dlg, const std::string& anchor)
{
    LaunchRecorder launches;
    const int rc = RunModal<Dlg>(dlg, [&](Dlg& d) {
        TapTitleBar(d, TitleArea::Help);
        TapTitleBar(d, TitleArea::Help);
        EXPECT_TRUE(d.IsModal());
        TapTitleBar(d, TitleArea::Cancel);
    });
    EXPECT_EQ(wxID_CANCEL, rc);
    EXPECT_EQ(2u, launches.Count()) << anchor;
    EXPECT_TRUE(EndsWith(launches.LastArgument(), anchor)) << launches.LastArgument();
}

TEST(DialogHelp, EachDialogOpensItsOwnTopic)
{
    ASSERT_TRUE(ListStore::CreateDatabases());
    {
        CCategoriesDlg dlg(nullptr);
        ExpectHelpTopic(dlg, "#Categories_Help");
    }
    for (const std::u16string& name : {std::u16string(), std::u16string(u"Business")})
    {
        CCategoryNameDlg dlg(nullptr);
        dlg.SetName(name);
        ExpectHelpTopic(dlg, "#NewCategory_Help");
    }
    {
        CListNameDlg dlg(nullptr);
        dlg.SetName(u"Groceries");
        dlg.SetCopyMode();
        ExpectHelpTopic(dlg, "#NewChecklist_Help");
    }
    {
        CNoteDlg dlg(nullptr);
        ExpectHelpTopic(dlg, "#Note_Help");
    }
    {
        CPreferencesDlg dlg(nullptr);
        ExpectHelpTopic(dlg, "#Preferences_Help");
    }
    {
        CSyncSettingsDlg dlg(nullptr);
        ExpectHelpTopic(dlg, "#SyncSettings_Help");
    }
}
