// The main view: first showing, rows, column widths, the category drop-down
// and the two sorts.
#include "tests/browser/BrowserFixture.h"
#include "tests/browser/ExpectDialog.h"
#include "tests/support/TempXdg.h"

#include "controls/GestureListCtrl.h"
#include "dialogs/CCategoriesDlg.h"
#include "dialogs/CPreferencesDlg.h"
#include "resources/ResourceIds.h"

#include <wx/combobox.h>
#include <wx/filename.h>
#include <wx/uiaction.h>

#include <wx/settings.h>

#include <fstream>

using Strings = std::vector<std::string>;

TEST_F(BrowserTest, FirstStartCreatesTheStoreAndShowsAllWithAnEmptyList)
{
    EXPECT_EQ(u"<missing>", LastCategory());
    Open();
    EXPECT_TRUE(wxFileName::FileExists(TempXdgListener::DataDir() + "/objectstore.db"));
    EXPECT_EQ(u"All", LastCategory());
    EXPECT_EQ(0, m_list->GetItemCount());
    // The store's default categories sit between the two fixed entries.
    EXPECT_EQ((Strings{"All", "Personal", "Business", "Unfiled", "Edit..."}), CategoryEntries());
    EXPECT_EQ(0, m_frame->GetCategorySelector()->GetSelection());
    // The count column keeps its 40 pixels at the right edge; the names take
    // the rest of the list's width.
    EXPECT_EQ(m_list->FromDIP(40), m_list->GetColumnWidth(1));
    EXPECT_EQ(m_list->GetMainWindow()->GetClientSize().x, m_list->GetColumnWidth(0) + m_list->GetColumnWidth(1));
    EXPECT_EQ(wxLIST_FORMAT_RIGHT, [&] {
        wxListItem column;
        column.SetMask(wxLIST_MASK_FORMAT);
        m_list->GetColumn(1, column);
        return column.GetAlign();
    }());
}

TEST_F(BrowserTest, RowsShowRowNumberNameAndUncheckedCountInPositionOrder)
{
    AddChecklist(u"Packing", u"Travel", 2, 3, 1);
    AddChecklist(u"Groceries", u"Home", 0, 5);
    AddChecklist(u"Caf\u00e9 \u2603", u"Home", 7);
    Open();
    EXPECT_EQ((Strings{"1. Groceries (5)", "2. Packing (3)", "3. Caf\u00e9 \u2603 (0)"}), Rows());
    EXPECT_EQ(3, m_view->SelectedRow()); // nothing selected
}

TEST_F(BrowserTest, NameColumnMakesRoomForTheScrollBarFromSixteenRows)
{
    for (int i = 0; i < 15; ++i)
        AddChecklist(u"List", u"Unfiled", i);
    Open();
    EXPECT_EQ(15, m_list->GetItemCount());
    // Fifteen rows do not fit the device screen: the counts end left of the
    // scroll bar, before it shows and after.
    const int scrollBar = wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, m_list);
    const int width = m_list->GetSize().x;
    EXPECT_LE(m_list->GetColumnWidth(0) + m_list->GetColumnWidth(1), width - scrollBar);
    Pump(200);
    EXPECT_LE(m_list->GetColumnWidth(0) + m_list->GetColumnWidth(1), m_list->GetMainWindow()->GetClientSize().x);

    AddChecklist(u"Sixteenth", u"Unfiled", 15);
    m_view->RefreshList();
    EXPECT_EQ(16, m_list->GetItemCount());
    EXPECT_LE(m_list->GetColumnWidth(0) + m_list->GetColumnWidth(1), m_list->GetMainWindow()->GetClientSize().x);
    EXPECT_EQ("16. Sixteenth", m_list->GetItemText(15, 0).utf8_string());
}

TEST_F(BrowserTest, DropDownListsCategoriesBetweenAllAndUnfiledAndSelectsTheLastCategory)
{
    AddCategories({u"Home", u"Travel", u"Work"});
    AddChecklist(u"Groceries", u"Home", 0);
    AddChecklist(u"Packing", u"Travel", 1);
    AddChecklist(u"Loose", u"Unfiled", 2);
    SetLastCategory(u"Travel");
    Open();
    EXPECT_EQ((Strings{"All", "Home", "Travel", "Work", "Unfiled", "Edit..."}), CategoryEntries());
    EXPECT_EQ(2, m_frame->GetCategorySelector()->GetSelection());
    EXPECT_EQ((Strings{"1. Packing (0)"}), Rows());

    // Names compare exactly: "travel" is no category of ours.
    SetLastCategory(u"travel");
    m_view->FillCategorySelector();
    EXPECT_EQ(wxNOT_FOUND, m_frame->GetCategorySelector()->GetSelection());
}

TEST_F(BrowserTest, ClosingTheDropDownStoresTheChoiceAndRebuildsTheRows)
{
    AddCategories({u"Home", u"Travel"});
    AddChecklist(u"Groceries", u"Home", 0);
    AddChecklist(u"Packing", u"Travel", 1);
    AddChecklist(u"Loose", u"Unfiled", 2);
    Open();
    ASSERT_EQ(3, m_list->GetItemCount());

    CloseUpOn(1);
    EXPECT_EQ(u"Home", LastCategory());
    EXPECT_EQ((Strings{"1. Groceries (0)"}), Rows());

    CloseUpOn(3);
    EXPECT_EQ(u"Unfiled", LastCategory());
    EXPECT_EQ((Strings{"1. Loose (0)"}), Rows());

    // The same entry again still stores and rebuilds: the selection goes.
    Select(0);
    SetLastCategory(u"changed elsewhere");
    CloseUpOn(3);
    EXPECT_EQ(u"Unfiled", LastCategory());
    EXPECT_EQ(1, m_view->SelectedRow());

    CloseUpOn(0);
    EXPECT_EQ(u"All", LastCategory());
    EXPECT_EQ(3, m_list->GetItemCount());
}

TEST_F(BrowserTest, ClosingWithoutSelectionStoresAnEmptyNameThatListsEverything)
{
    AddChecklist(u"Groceries", u"Home", 0);
    AddChecklist(u"Packing", u"Travel", 1);
    SetLastCategory(u"Gone");
    Open();
    EXPECT_EQ(0, m_list->GetItemCount());
    EXPECT_EQ(wxNOT_FOUND, m_frame->GetCategorySelector()->GetSelection());

    CloseUpOn(wxNOT_FOUND);
    EXPECT_EQ(u"", LastCategory());
    EXPECT_EQ(2, m_list->GetItemCount());
    EXPECT_EQ(wxNOT_FOUND, m_frame->GetCategorySelector()->GetSelection());
}

TEST_F(BrowserTest, EditEntryOpensCategoriesAndKeepsLastCategoryAndRows)
{
    AddCategories({u"Home", u"Travel"});
    AddChecklist(u"Packing", u"Travel", 0);
    AddChecklist(u"Loose", u"Unfiled", 1);
    SetLastCategory(u"Travel");
    Open();
    Select(0);

    // The dialog deletes "Travel" meanwhile.
    wxTEST_DIALOG(CloseUpOn(4), ExpectDialog<CCategoriesDlg>([](CCategoriesDlg*) {
                      AddCategories({u"Home"});
                      return wxID_OK;
                  }));
    EXPECT_EQ(u"Travel", LastCategory());
    EXPECT_EQ((Strings{"All", "Home", "Unfiled", "Edit..."}), CategoryEntries());
    EXPECT_EQ(wxNOT_FOUND, m_frame->GetCategorySelector()->GetSelection());
    EXPECT_EQ(0, m_view->SelectedRow()); // rows were not rebuilt
}

TEST_F(BrowserTest, CategoryNamedAllSelectsTheFixedEntryAndListsEverything)
{
    AddCategories({u"All", u"Home"});
    AddChecklist(u"Filed under All", u"All", 0);
    AddChecklist(u"Groceries", u"Home", 1);
    Open();
    EXPECT_EQ((Strings{"All", "All", "Home", "Unfiled", "Edit..."}), CategoryEntries());

    CloseUpOn(1);
    EXPECT_EQ(u"All", LastCategory());
    EXPECT_EQ(2, m_list->GetItemCount());
    m_view->FillCategorySelector();
    EXPECT_EQ(0, m_frame->GetCategorySelector()->GetSelection());
}

TEST_F(BrowserTest, SortsRenumberEveryChecklistAndPersist)
{
    AddCategories({u"Home"});
    AddChecklist(u"banana", u"Home", 0, 2);
    AddChecklist(u"Zebra", u"Other", 1, 5);
    AddChecklist(u"apple", u"Home", 2, 2);
    AddChecklist(u"Apple", u"Home", 3, 0);
    SetLastCategory(u"Home");
    Open();
    EXPECT_EQ((Strings{"1. banana (2)", "2. apple (2)", "3. Apple (0)"}), Rows());

    Command(ID_SORT_ALPHA);
    EXPECT_EQ((Strings{"1. Apple (0)", "2. apple (2)", "3. banana (2)"}), Rows());
    ListArray stored = Stored();
    ASSERT_EQ(4u, stored.size());
    const std::vector<std::u16string> byName{u"Apple", u"Zebra", u"apple", u"banana"};
    for (size_t i = 0; i < stored.size(); ++i)
    {
        EXPECT_EQ(byName[i], stored[i].name);
        EXPECT_EQ(static_cast<int16_t>(i), stored[i].position);
    }

    // Most unchecked first; equal counts keep the alphabetical order.
    Command(ID_SORT_ITEM_COUNT);
    EXPECT_EQ((Strings{"1. apple (2)", "2. banana (2)", "3. Apple (0)"}), Rows());
    stored = Stored();
    const std::vector<std::u16string> byCount{u"Zebra", u"apple", u"banana", u"Apple"};
    for (size_t i = 0; i < stored.size(); ++i)
    {
        EXPECT_EQ(byCount[i], stored[i].name);
        EXPECT_EQ(static_cast<int16_t>(i), stored[i].position);
    }

    // A new session shows the stored order.
    Close();
    Open();
    EXPECT_EQ((Strings{"1. apple (2)", "2. banana (2)", "3. Apple (0)"}), Rows());
}

TEST_F(BrowserTest, PreferencesRunsItsDialogAndReloadsNothing)
{
    AddChecklist(u"Groceries", u"Home", 0);
    Open();
    Select(0);
    bool shown = false;
    wxTEST_DIALOG(Command(ID_PREFERENCES), ExpectDialog<CPreferencesDlg>([&](CPreferencesDlg*) {
                      shown = true;
                      return wxID_OK;
                  }));
    EXPECT_TRUE(shown);
    EXPECT_EQ(0, m_view->SelectedRow());
}

TEST_F(BrowserTest, UnreadableStoreIsReportedAndLeftAlone)
{
    // Not a database of ours: the view reports it and goes on; the file stays.
    ASSERT_TRUE(wxFileName::Mkdir(TempXdgListener::DataDir(), 0700, wxPATH_MKDIR_FULL));
    const std::string path = TempXdgListener::DataDir() + "/objectstore.db";
    const std::string garbage(4096, 'x');
    std::ofstream(path, std::ios::binary) << garbage;

    wxTEST_DIALOG(Open(), ExpectMessage("Error creating the databases!", AppTitle()),
                  ExpectMessage("Error loading the categories!", AppTitle()));
    EXPECT_EQ(0, m_list->GetItemCount());
    EXPECT_EQ((Strings{"All", "Unfiled", "Edit..."}), CategoryEntries());
    std::ifstream in(path, std::ios::binary);
    const std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(garbage, after);
}

TEST_F(BrowserTest, ChoosingFromTheOpenDropDownStoresTheNewEntry)
{
    AddCategories({u"Home", u"Travel"});
    AddChecklist(u"Groceries", u"Home", 0);
    AddChecklist(u"Packing", u"Travel", 1);
    Open();
    wxComboBox* combo = m_frame->GetCategorySelector();
    ASSERT_EQ(0, combo->GetSelection());

    // The real drop-down: opened, moved down two entries and chosen. GTK
    // reports the close before the new choice.
    combo->SetFocus();
    combo->Popup();
    Pump(300);
    wxUIActionSimulator sim;
    sim.Char(WXK_DOWN);
    Pump(50);
    sim.Char(WXK_DOWN);
    Pump(50);
    sim.Char(WXK_RETURN);
    EXPECT_TRUE(WaitFor([] { return LastCategory() == u"Travel"; }, 2000));
    EXPECT_EQ(u"Travel", LastCategory());
    EXPECT_EQ((Strings{"1. Packing (0)"}), Rows());
}
