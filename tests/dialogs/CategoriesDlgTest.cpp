// The Edit Categories dialog, checked on screen and in the store.
#include "tests/dialogs/DialogTest.h"

#include "controls/WxString.h"
#include "dialogs/CCategoriesDlg.h"
#include "dialogs/CCategoryNameDlg.h"
#include "resources/ResourceIds.h"
#include "store/ListStore.h"
#include "tests/reliability/FaultVfs.h"

#include <wx/listbox.h>

#include <utility>
#include <vector>

namespace
{
using Stored = std::vector<std::pair<std::u16string, int>>;

Stored StoredCategories()
{
    CategoryList list;
    EXPECT_TRUE(list.LoadCategories());
    Stored out;
    for (const CategoryRecord& c : list)
        out.emplace_back(c.name, c.order);
    return out;
}

void StoreCategories(const Stored& categories)
{
    CategoryList list;
    for (const auto& [name, order] : categories)
        list.push_back(CategoryRecord{name, static_cast<int16_t>(order)});
    ASSERT_TRUE(list.SaveCategories());
}

int32_t AddList(const std::u16string& name, const std::u16string& category)
{
    ListRecord list;
    list.name = name;
    list.category = category;
    EXPECT_TRUE(list.SaveList());
    return list.id;
}

std::u16string CategoryOf(int32_t listId)
{
    ListRecord list;
    EXPECT_TRUE(list.LoadList(listId));
    return list.category;
}

std::vector<std::u16string> Lines(wxListBox* box)
{
    std::vector<std::u16string> out;
    for (unsigned i = 0; i < box->GetCount(); ++i)
        out.push_back(FromWx(box->GetString(i)));
    return out;
}

// The name dialog answered with `name` typed and confirmed; in rename mode
// it must show `expectOld`.
ExpectDialog<CCategoryNameDlg> TypeName(const std::u16string& name, const std::u16string& expectOld = u"")
{
    return ExpectDialog<CCategoryNameDlg>([name, expectOld](CCategoryNameDlg& d) {
        EXPECT_EQ(ToWx(expectOld), TextField(d, IDC_CATEGORY_NAME)->GetValue());
        TextField(d, IDC_CATEGORY_NAME)->ChangeValue(ToWx(name));
        return ConfirmNested(d);
    });
}

wxString Exists(const char* name)
{
    return wxString::Format("The category %s already exists.  Please use a different name.", name);
}

const char* const kDeleteQuestion = "Deleting a category name will cause all entries in that category to be moved "
                                    "to the Unfiled category.  Do you wish to continue?";
const char* const kMergeQuestion = "You have renamed the category to one that already exists.  This will merge "
                                   "those two categories.  Do you wish to continue?";

class CategoriesDlgTest : public testing::Test
{
protected:
    void SetUp() override
    {
        // The shim that can fail writes is in place before the store opens.
        FaultVfs::Install();
        ASSERT_TRUE(ListStore::CreateDatabases());
    }

    // Opens the dialog, runs `act` on it and closes it with OK.
    void Run(const std::function<void(CCategoriesDlg&, wxListBox*)>& act)
    {
        CCategoriesDlg dlg(nullptr);
        RunModal<CCategoriesDlg>(dlg, [&](CCategoriesDlg& d) {
            act(d, d.m_listBox);
            TapTitleBar(d, TitleArea::Ok);
        });
    }
};
}

TEST_F(CategoriesDlgTest, OpensWithNoLineChosenSoDeleteAndRenameWaitForTheUser)
{
    Run([](CCategoriesDlg& d, wxListBox* box) {
        EXPECT_EQ((std::vector<std::u16string>{u"Personal", u"Business"}), Lines(box));
        // The list has the focus once the dialog is up, and still no line.
        EXPECT_TRUE(WaitFor([&] { return box->HasFocus(); }, 1000));
        Pump(200);
        EXPECT_EQ(wxNOT_FOUND, box->GetSelection());
        {
            wxTestingModalHook noDialogs;
            ClickChild(d, IDC_DELETE_CATEGORY);
            ClickChild(d, IDC_RENAME_CATEGORY);
            noDialogs.CheckUnmetExpectations();
        }
        // Back on the list, it still waits for a choice.
        box->SetFocus();
        Pump(200);
        EXPECT_EQ(wxNOT_FOUND, box->GetSelection());

        // The user's own choice is what Delete acts on.
        const wxSize size = box->GetClientSize();
        int y = 0;
        while (y < size.y && box->HitTest(wxPoint(size.x / 2, y)) != 1)
            ++y;
        ASSERT_LT(y, size.y);
        SpacedClickAt(box, wxPoint(size.x / 2, y + 3));
        ASSERT_EQ(1, box->GetSelection());
        wxTEST_DIALOG(ClickChild(d, IDC_DELETE_CATEGORY), ExpectMessage(kDeleteQuestion, "Remove Category", wxID_YES));
        EXPECT_EQ((std::vector<std::u16string>{u"Personal"}), Lines(box));
    });
    EXPECT_EQ((Stored{{u"Personal", 0}}), StoredCategories());
}

TEST_F(CategoriesDlgTest, NewAppendsNamesAsTypedCaseSensitively)
{
    Run([](CCategoriesDlg& d, wxListBox* box) {
        EXPECT_EQ((std::vector<std::u16string>{u"Personal", u"Business"}), Lines(box));
        box->SetSelection(1);
        wxTEST_DIALOG(ClickChild(d, IDC_NEW_CATEGORY), TypeName(u"personal"));
        wxTEST_DIALOG(ClickChild(d, IDC_NEW_CATEGORY), TypeName(u"   "));
        wxTEST_DIALOG(ClickChild(d, IDC_NEW_CATEGORY), TypeName(u" Trips "));
        EXPECT_EQ((std::vector<std::u16string>{u"Personal", u"Business", u"personal", u"   ", u" Trips "}),
                  Lines(box));
        EXPECT_EQ(1, box->GetSelection());
    });
    EXPECT_EQ((Stored{{u"Personal", 0}, {u"Business", 1}, {u"personal", 2}, {u"   ", 3}, {u" Trips ", 4}}),
              StoredCategories());
}

TEST_F(CategoriesDlgTest, NewRefusesUnfiledAndListedNames)
{
    Run([](CCategoriesDlg& d, wxListBox* box) {
        wxTEST_DIALOG(ClickChild(d, IDC_NEW_CATEGORY), TypeName(u"Unfiled"),
                      ExpectMessage(Exists("Unfiled"), "Category Name"));
        wxTEST_DIALOG(ClickChild(d, IDC_NEW_CATEGORY), TypeName(u"Business"),
                      ExpectMessage(Exists("Business"), "Category Name"));
        wxTEST_DIALOG(ClickChild(d, IDC_NEW_CATEGORY),
                      ExpectDialog<CCategoryNameDlg>([](CCategoryNameDlg&) { return wxID_CANCEL; }));
        EXPECT_EQ((std::vector<std::u16string>{u"Personal", u"Business"}), Lines(box));
    });
    EXPECT_EQ((Stored{{u"Personal", 0}, {u"Business", 1}}), StoredCategories());
}

TEST_F(CategoriesDlgTest, DeleteRefilesOnlyThatCategorysChecklists)
{
    StoreCategories({{u"Personal", 0}, {u"Business", 1}, {u"All", 2}});
    const int32_t b1 = AddList(u"b1", u"Business");
    const int32_t p1 = AddList(u"p1", u"Personal");
    const int32_t a1 = AddList(u"a1", u"All");
    const int32_t b2 = AddList(u"b2", u"Business");
    const int32_t x1 = AddList(u"x1", u"business");

    Run([&](CCategoriesDlg& d, wxListBox* box) {
        box->SetSelection(1);
        wxTEST_DIALOG(ClickChild(d, IDC_DELETE_CATEGORY), ExpectMessage(kDeleteQuestion, "Remove Category", wxID_NO));
        EXPECT_EQ(3u, box->GetCount());
        EXPECT_EQ(u"Business", CategoryOf(b1));

        wxTEST_DIALOG(ClickChild(d, IDC_DELETE_CATEGORY),
                      ExpectMessage(kDeleteQuestion, "Remove Category", wxID_YES));
        EXPECT_EQ((std::vector<std::u16string>{u"Personal", u"All"}), Lines(box));
        EXPECT_EQ(u"Unfiled", CategoryOf(b1));
        EXPECT_EQ(u"Unfiled", CategoryOf(b2));
        EXPECT_EQ(u"Personal", CategoryOf(p1));
        EXPECT_EQ(u"All", CategoryOf(a1));
        EXPECT_EQ(u"business", CategoryOf(x1));
        // Orders keep their gaps; a new category counts the entries listed.
        EXPECT_EQ((Stored{{u"Personal", 0}, {u"All", 2}}), StoredCategories());
        wxTEST_DIALOG(ClickChild(d, IDC_NEW_CATEGORY), TypeName(u"Trips"));
        EXPECT_EQ((Stored{{u"Personal", 0}, {u"All", 2}, {u"Trips", 2}}), StoredCategories());

        // A category named "All" moves only the checklists filed under it.
        box->SetSelection(1);
        wxTEST_DIALOG(ClickChild(d, IDC_DELETE_CATEGORY),
                      ExpectMessage(kDeleteQuestion, "Remove Category", wxID_YES));
        EXPECT_EQ(u"Unfiled", CategoryOf(a1));
        EXPECT_EQ(u"Personal", CategoryOf(p1));
        EXPECT_EQ(u"Unfiled", CategoryOf(b1));
    });
    EXPECT_EQ((Stored{{u"Personal", 0}, {u"Trips", 2}}), StoredCategories());
}

TEST_F(CategoriesDlgTest, DeletingANameStoredTwiceRemovesBothLinesAndKeepsTheRestInStep)
{
    // Two instances may each have added the same name.
    StoreCategories({{u"Trips", 0}, {u"Personal", 1}, {u"Trips", 2}, {u"Business", 3}});
    Run([&](CCategoriesDlg& d, wxListBox* box) {
        box->SetSelection(0);
        wxTEST_DIALOG(ClickChild(d, IDC_DELETE_CATEGORY),
                      ExpectMessage(kDeleteQuestion, "Remove Category", wxID_YES));
        EXPECT_EQ((std::vector<std::u16string>{u"Personal", u"Business"}), Lines(box));
        // The line chosen next is the category acted on.
        box->SetSelection(1);
        wxTEST_DIALOG(ClickChild(d, IDC_DELETE_CATEGORY),
                      ExpectMessage(kDeleteQuestion, "Remove Category", wxID_YES));
        EXPECT_EQ((std::vector<std::u16string>{u"Personal"}), Lines(box));
    });
    EXPECT_EQ((Stored{{u"Personal", 1}}), StoredCategories());
}

TEST_F(CategoriesDlgTest, PlainRenameKeepsPlaceAndOrderAndRefilesChecklists)
{
    const int32_t b1 = AddList(u"b1", u"Business");
    const int32_t p1 = AddList(u"p1", u"Personal");
    Run([&](CCategoriesDlg& d, wxListBox* box) {
        box->SetSelection(1);
        wxTEST_DIALOG(ClickChild(d, IDC_RENAME_CATEGORY), TypeName(u"Work", u"Business"));
        EXPECT_EQ((std::vector<std::u16string>{u"Personal", u"Work"}), Lines(box));
        EXPECT_EQ(wxNOT_FOUND, box->GetSelection());
    });
    EXPECT_EQ((Stored{{u"Personal", 0}, {u"Work", 1}}), StoredCategories());
    EXPECT_EQ(u"Work", CategoryOf(b1));
    EXPECT_EQ(u"Personal", CategoryOf(p1));
}

TEST_F(CategoriesDlgTest, RenameOntoAnExistingNameMergesOnlyOnYes)
{
    StoreCategories({{u"Personal", 0}, {u"Business", 1}, {u"Trips", 5}});
    const int32_t b1 = AddList(u"b1", u"Business");
    const int32_t p1 = AddList(u"p1", u"Personal");
    Run([&](CCategoriesDlg& d, wxListBox* box) {
        box->SetSelection(1);
        wxTEST_DIALOG(ClickChild(d, IDC_RENAME_CATEGORY), TypeName(u"Personal", u"Business"),
                      ExpectMessage(kMergeQuestion, "Merge Category", wxID_NO));
        EXPECT_EQ((std::vector<std::u16string>{u"Personal", u"Business", u"Trips"}), Lines(box));
        EXPECT_EQ((Stored{{u"Personal", 0}, {u"Business", 1}, {u"Trips", 5}}), StoredCategories());
        EXPECT_EQ(u"Business", CategoryOf(b1));

        box->SetSelection(1);
        wxTEST_DIALOG(ClickChild(d, IDC_RENAME_CATEGORY), TypeName(u"Personal", u"Business"),
                      ExpectMessage(kMergeQuestion, "Merge Category", wxID_YES));
        EXPECT_EQ((std::vector<std::u16string>{u"Personal", u"Trips"}), Lines(box));
    });
    EXPECT_EQ((Stored{{u"Personal", 0}, {u"Trips", 5}}), StoredCategories());
    EXPECT_EQ(u"Personal", CategoryOf(b1));
    EXPECT_EQ(u"Personal", CategoryOf(p1));
}

TEST_F(CategoriesDlgTest, RenameRefusesUnfiledAndIgnoresItsOwnName)
{
    const int32_t b1 = AddList(u"b1", u"Business");
    Run([&](CCategoriesDlg& d, wxListBox* box) {
        box->SetSelection(1);
        wxTEST_DIALOG(ClickChild(d, IDC_RENAME_CATEGORY), TypeName(u"Unfiled", u"Business"),
                      ExpectMessage(Exists("Unfiled"), "Category Name"));
        // Confirming the old name asks nothing and changes nothing.
        box->SetSelection(1);
        wxTEST_DIALOG(ClickChild(d, IDC_RENAME_CATEGORY), TypeName(u"Business", u"Business"));
        box->SetSelection(1);
        wxTEST_DIALOG(ClickChild(d, IDC_RENAME_CATEGORY),
                      ExpectDialog<CCategoryNameDlg>([](CCategoryNameDlg&) { return wxID_CANCEL; }));
        EXPECT_EQ((std::vector<std::u16string>{u"Personal", u"Business"}), Lines(box));
    });
    EXPECT_EQ((Stored{{u"Personal", 0}, {u"Business", 1}}), StoredCategories());
    EXPECT_EQ(u"Business", CategoryOf(b1));
}

TEST_F(CategoriesDlgTest, DeleteAndRenameWithoutSelectionDoNothing)
{
    StoreCategories({});
    Run([](CCategoriesDlg& d, wxListBox* box) {
        EXPECT_EQ(0u, box->GetCount());
        {
            wxTestingModalHook noDialogs;
            ClickChild(d, IDC_DELETE_CATEGORY);
            ClickChild(d, IDC_RENAME_CATEGORY);
            noDialogs.CheckUnmetExpectations();
        }
        wxTEST_DIALOG(ClickChild(d, IDC_NEW_CATEGORY), TypeName(u"First"));
    });
    EXPECT_EQ((Stored{{u"First", 0}}), StoredCategories());
}

TEST_F(CategoriesDlgTest, EscapeCancelsAndEnterConfirms)
{
    for (int key : {WXK_ESCAPE, WXK_RETURN})
    {
        CCategoriesDlg dlg(nullptr);
        const int rc = RunModal<CCategoriesDlg>(dlg, [key](CCategoriesDlg& d) {
            wxKeyEvent event(wxEVT_CHAR_HOOK);
            event.m_keyCode = key;
            event.SetEventObject(&d);
            d.ProcessWindowEvent(event);
        });
        EXPECT_EQ(key == WXK_ESCAPE ? wxID_CANCEL : wxID_OK, rc);
    }
}

TEST_F(CategoriesDlgTest, AFailedWriteLosesNothingAndShowsWhatIsStored)
{
    const int32_t b1 = AddList(u"b1", u"Business");
    Run([&](CCategoriesDlg& d, wxListBox* box) {
        FaultVfs::Arm(FaultVfs::Op::Write, 1, true);
        box->SetSelection(1);
        wxTEST_DIALOG(ClickChild(d, IDC_DELETE_CATEGORY),
                      ExpectMessage(kDeleteQuestion, "Remove Category", wxID_YES));
        box->SetSelection(1);
        wxTEST_DIALOG(ClickChild(d, IDC_RENAME_CATEGORY), TypeName(u"Personal", u"Business"),
                      ExpectMessage(kMergeQuestion, "Merge Category", wxID_YES));
        const int injected = FaultVfs::Injected();
        FaultVfs::Disarm();
        EXPECT_GT(injected, 0);
        EXPECT_EQ((std::vector<std::u16string>{u"Personal", u"Business"}), Lines(box));
    });
    EXPECT_EQ((Stored{{u"Personal", 0}, {u"Business", 1}}), StoredCategories());
    EXPECT_EQ(u"Business", CategoryOf(b1));
}

TEST_F(CategoriesDlgTest, DeleteIsAllOrNothingWhicheverWriteFails)
{
    const int32_t b1 = AddList(u"b1", u"Business");
    const int32_t b2 = AddList(u"b2", u"Business");
    bool completed = false;
    for (int k = 1; k <= 40 && !completed; ++k)
    {
        StoreCategories({{u"Personal", 0}, {u"Business", 1}});
        ASSERT_TRUE(ListStore::MoveCategoryLists(u"Unfiled", u"Business"));
        Run([&](CCategoriesDlg& d, wxListBox* box) {
            FaultVfs::Arm(FaultVfs::Op::Write, k, false);
            box->SetSelection(1);
            wxTEST_DIALOG(ClickChild(d, IDC_DELETE_CATEGORY),
                          ExpectMessage(kDeleteQuestion, "Remove Category", wxID_YES));
            completed = FaultVfs::Injected() == 0;
            FaultVfs::Disarm();
            const bool deleted = Lines(box).size() == 1;
            EXPECT_EQ(deleted, StoredCategories().size() == 1u) << "write " << k;
            EXPECT_EQ(deleted ? u"Unfiled" : u"Business", CategoryOf(b1)) << "write " << k;
            EXPECT_EQ(deleted ? u"Unfiled" : u"Business", CategoryOf(b2)) << "write " << k;
        });
    }
    EXPECT_TRUE(completed);
}

TEST(CategoriesDlg, CategoriesThatCannotBeLoadedCloseTheDialogAsCancelled)
{
    // No databases were created, so the categories cannot be read.
    CCategoriesDlg dlg(nullptr);
    int rc = 0;
    wxTEST_DIALOG(rc = dlg.ShowModal(), ExpectMessage("The categories failed to load!", AppTitle()));
    EXPECT_EQ(wxID_CANCEL, rc);
    EXPECT_FALSE(dlg.IsShown());
}
