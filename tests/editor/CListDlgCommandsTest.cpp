// The checklist editor's commands on items and on the checklist, with the
// nested dialogs they open, checked in the store.
#include "tests/editor/ListDlgTest.h"

#include "dialogs/CCategoriesDlg.h"
#include "dialogs/CListNameDlg.h"
#include "dialogs/CNoteDlg.h"
#include "editor/CCopyListDlg.h"
#include "editor/CItemDlg.h"
#include "tests/reliability/FaultVfs.h"

#include <wx/app.h>
#include <wx/combobox.h>
#include <wx/radiobut.h>
#include <wx/uiaction.h>

namespace
{
const std::vector<ItemSpec> s_groceries = {
    {u"Bread", 0, 3}, {u"Milk", 1, 1}, {u"Eggs", 1, 3}, {u"Tea", 1, 2}, {u"Jam", 0, 5}};

struct AboutCounter
{
    int count = 0;
    void OnAbout(wxCommandEvent&) { ++count; }
};

std::vector<wxString> Entries(CListDlg& dlg)
{
    std::vector<wxString> entries;
    for (const wxString& entry : dlg.m_categoryBox->GetStrings())
        entries.push_back(entry);
    return entries;
}

void ChooseCategory(CListDlg& dlg, int index, wxEventType how = wxEVT_COMBOBOX_CLOSEUP)
{
    dlg.m_categoryBox->SetSelection(index);
    wxCommandEvent event(how, IDC_CATEGORY);
    event.SetEventObject(dlg.m_categoryBox);
    event.SetInt(index);
    dlg.m_categoryBox->ProcessWindowEvent(event);
}
}

TEST_F(ListDlgTest, NewItemIsCountedUnlessCancelled)
{
    const ListRecord list = MakeList(u"Groceries", s_groceries);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        wxTEST_DIALOG(ClickChild(d, ID_NEW_ITEM), ExpectDialog<CItemDlg>([&](CItemDlg& item) {
                          EXPECT_EQ(list.id, item.m_listId);
                          EXPECT_EQ(0, item.m_itemId);
                          TextField(item, IDC_ITEM_NAME)->ChangeValue("Butter");
                          return ConfirmNested(item);
                      }));
        EXPECT_EQ(u"Butter", RowNames(d).back());
        ListRecord stored = Stored(list.id);
        EXPECT_EQ(5, stored.items.back().position);
        EXPECT_EQ(6, stored.itemCount);
        EXPECT_EQ(3, stored.uncheckedCount);

        wxTEST_DIALOG(ClickChild(d, ID_NEW_ITEM),
                      ExpectDialog<CItemDlg>([](CItemDlg&) { return static_cast<int>(wxID_CANCEL); }));
        stored = Stored(list.id);
        EXPECT_EQ(6u, stored.items.size());
        EXPECT_EQ(6, stored.itemCount);
        EXPECT_EQ(6, d.m_list->GetItemCount());
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgTest, DoubleTapEditsTheRowAndRereadsTheCounts)
{
    const ListRecord list = MakeList(u"Groceries", s_groceries);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        wxRect rect;
        ASSERT_TRUE(d.m_list->GetItemRect(2, rect));
        wxUIActionSimulator sim;
        sim.MouseMove(d.m_list->ClientToScreen(wxPoint(d.m_list->FromDIP(80), rect.y + rect.height / 2)));
        Pump(30);
        wxTEST_DIALOG(
            {
                sim.MouseDblClick();
                WaitFor([&] { return RowNames(d)[2] != u"Eggs"; }, 2000);
            },
            ExpectDialog<CItemDlg>([&](CItemDlg& item) {
                EXPECT_EQ(list.items[2].id, item.m_itemId);
                TextField(item, IDC_ITEM_NAME)->ChangeValue("Brown eggs");
                return ConfirmNested(item);
            }));
        EXPECT_EQ(u"Brown eggs", RowNames(d)[2]);
        EXPECT_EQ(u"Brown eggs", Stored(list.id).items[2].name);

        // The item dialog deletes the unchecked Bread and lowers the stored
        // counts itself; the editor shows them afterwards.
        TapRow(d, 0, d.m_list->FromDIP(80));
        wxTEST_DIALOG(ClickChild(d, ID_EDIT_ITEM), ExpectDialog<CItemDlg>([](CItemDlg& item) {
                          wxCommandEvent command(wxEVT_TOOL, ID_DELETE_CURRENT_ITEM);
                          item.ProcessWindowEvent(command);
                          return item.GetReturnCode();
                      }),
                      ExpectMessage("Delete current item?", "Delete Item", wxID_YES));
        EXPECT_EQ((std::vector<std::u16string>{u"Milk", u"Brown eggs", u"Tea", u"Jam"}), RowNames(d));
        EXPECT_EQ(4, d.m_record.itemCount);
        EXPECT_EQ(1, d.m_record.uncheckedCount);

        // A later change keeps those counts: the editor stored nothing stale.
        TapRow(d, 3, d.m_list->FromDIP(10));
        const ListRecord stored = Stored(list.id);
        EXPECT_EQ(4, stored.itemCount);
        EXPECT_EQ(0, stored.uncheckedCount);
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgTest, DeleteItemAsksWithItsName)
{
    const ListRecord list = MakeList(u"Groceries", s_groceries);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        // Nothing selected: nothing to ask about.
        Command(d, ID_DELETE_ITEM);
        TapRow(d, 1, d.m_list->FromDIP(80));
        wxTEST_DIALOG(ClickChild(d, ID_DELETE_ITEM_BUTTON),
                      ExpectMessage("Delete the item 'Milk'?", "Confirm Item Delete", wxID_NO));
        EXPECT_EQ(5u, Stored(list.id).items.size());

        wxTEST_DIALOG(ClickChild(d, ID_DELETE_ITEM_BUTTON),
                      ExpectMessage("Delete the item 'Milk'?", "Confirm Item Delete", wxID_YES));
        ListRecord stored = Stored(list.id);
        EXPECT_EQ((std::vector<std::u16string>{u"Bread", u"Eggs", u"Tea", u"Jam"}), Names(stored.items));
        EXPECT_EQ(4, stored.itemCount);
        EXPECT_EQ(2, stored.uncheckedCount);
        EXPECT_FALSE(Enabled(d, ID_DELETE_ITEM_BUTTON));

        // The context menu's entry deletes an unchecked item the same way.
        d.m_list->SetItemState(3, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
        wxTEST_DIALOG(Command(d, ID_DELETE_ITEM),
                      ExpectMessage("Delete the item 'Jam'?", "Confirm Item Delete", wxID_YES));
        stored = Stored(list.id);
        EXPECT_EQ(3, stored.itemCount);
        EXPECT_EQ(1, stored.uncheckedCount);
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgTest, BulkCommandsActOnEveryItemWhateverTheFilter)
{
    const ListRecord list = MakeList(u"Groceries", s_groceries);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        Command(d, ID_SHOW_UNCHECKED);
        Command(d, ID_INVERT_CHECKS);
        ListRecord stored = Stored(list.id);
        EXPECT_EQ(3, stored.uncheckedCount);
        EXPECT_EQ((std::vector<std::u16string>{u"Milk", u"Eggs", u"Tea"}), RowNames(d));

        Command(d, ID_SHOW_CHECKED);
        Command(d, ID_CHECK_ALL);
        stored = Stored(list.id);
        EXPECT_EQ(0, stored.uncheckedCount);
        for (const ItemRecord& item : stored.items)
            EXPECT_EQ(1, item.checked) << ToWx(item.name);
        EXPECT_EQ(5, d.m_list->GetItemCount());

        Command(d, ID_SHOW_UNCHECKED);
        EXPECT_EQ(0, d.m_list->GetItemCount());
        Command(d, ID_UNCHECK_ALL);
        EXPECT_EQ(5, Stored(list.id).uncheckedCount);
        EXPECT_EQ(5, d.m_list->GetItemCount());
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgTest, PurgeUnderShowUncheckedRemovesEveryCheckedItem)
{
    const ListRecord list = MakeList(u"Groceries", s_groceries);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        Command(d, ID_SHOW_UNCHECKED);
        wxTEST_DIALOG(Command(d, ID_PURGE_CHECKED), ExpectMessage("Remove all checked items?", "Purge Checklist", wxID_NO));
        EXPECT_EQ(5u, Stored(list.id).items.size());

        wxTEST_DIALOG(Command(d, ID_PURGE_CHECKED),
                      ExpectMessage("Remove all checked items?", "Purge Checklist", wxID_YES));
        const ListRecord stored = Stored(list.id);
        EXPECT_EQ((std::vector<std::u16string>{u"Bread", u"Jam"}), Names(stored.items));
        EXPECT_EQ(2, stored.itemCount);
        EXPECT_EQ(2, stored.uncheckedCount);
        EXPECT_EQ((std::vector<std::u16string>{u"Bread", u"Jam"}), RowNames(d));
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgTest, DeleteListUnderAFilterDeletesEveryItemAndCloses)
{
    const ListRecord list = MakeList(u"Groceries", s_groceries);
    const ListRecord other = MakeList(u"Chores", {{u"Sweep"}});
    CListDlg dlg;
    dlg.SetListId(list.id);
    const int rc = Run(dlg, [&](CListDlg& d) {
        Command(d, ID_SHOW_CHECKED);
        wxTEST_DIALOG(Command(d, ID_DELETE_LIST), ExpectMessage("Delete current checklist?", "Delete Checklist", wxID_NO));
        EXPECT_TRUE(d.IsModal());
        EXPECT_EQ(5u, Stored(list.id).items.size());
        wxTEST_DIALOG(Command(d, ID_DELETE_LIST),
                      ExpectMessage("Delete current checklist?", "Delete Checklist", wxID_YES));
    });
    EXPECT_EQ(wxID_OK, rc);
    ListRecord gone;
    EXPECT_FALSE(gone.LoadList(list.id));
    EXPECT_TRUE(Stored(list.id).items.empty());
    EXPECT_EQ(1u, Stored(other.id).items.size());
}

// The shim that can fail writes is in place before the store opens.
class ListDlgFaultTest : public ListDlgTest
{
protected:
    void SetUp() override
    {
        FaultVfs::Install();
        ListDlgTest::SetUp();
    }
};

TEST_F(ListDlgFaultTest, AFailedDeleteListSaysSoAndKeepsTheEditorOpen)
{
    const ListRecord list = MakeList(u"Groceries", s_groceries);
    CListDlg dlg;
    dlg.SetListId(list.id);
    const int rc = Run(dlg, [&](CListDlg& d) {
        FaultVfs::Arm(FaultVfs::Op::Write, 1, true);
        wxTEST_DIALOG(Command(d, ID_DELETE_LIST),
                      ExpectMessage("Delete current checklist?", "Delete Checklist", wxID_YES),
                      ExpectMessage("Error deleting the checklist!", AppTitle()));
        EXPECT_GT(FaultVfs::Injected(), 0);
        FaultVfs::Disarm();
        EXPECT_TRUE(d.IsModal());
        EXPECT_EQ(5, d.m_list->GetItemCount());
        EXPECT_EQ(5u, Stored(list.id).items.size());

        // A checklist already gone from the store is deleted: the editor closes.
        ASSERT_TRUE(ListStore::DeleteChecklist(list.id));
        wxTEST_DIALOG(Command(d, ID_DELETE_LIST),
                      ExpectMessage("Delete current checklist?", "Delete Checklist", wxID_YES));
    });
    EXPECT_EQ(wxID_OK, rc);
}

TEST_F(ListDlgFaultTest, AFailedItemDeleteSaysSoAndKeepsItemAndCounts)
{
    const ListRecord list = MakeList(u"Groceries", s_groceries);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        TapRow(d, 0, d.m_list->FromDIP(80));
        FaultVfs::Arm(FaultVfs::Op::Write, 1, true);
        wxTEST_DIALOG(ClickChild(d, ID_DELETE_ITEM_BUTTON),
                      ExpectMessage("Delete the item 'Bread'?", "Confirm Item Delete", wxID_YES),
                      ExpectMessage("The item could not be deleted.", AppTitle()));
        EXPECT_GT(FaultVfs::Injected(), 0);
        FaultVfs::Disarm();
        EXPECT_EQ(5, d.m_list->GetItemCount());
        const ListRecord stored = Stored(list.id);
        EXPECT_EQ(5u, stored.items.size());
        EXPECT_EQ(5, stored.itemCount);
        EXPECT_EQ(2, stored.uncheckedCount);

        // Deleted meanwhile elsewhere: the row just goes.
        ASSERT_TRUE(ItemRecord::DeleteItemById(stored.items[0].id));
        TapRow(d, 0, d.m_list->FromDIP(80));
        wxTEST_DIALOG(ClickChild(d, ID_DELETE_ITEM_BUTTON),
                      ExpectMessage("Delete the item 'Bread'?", "Confirm Item Delete", wxID_YES));
        EXPECT_EQ(4, d.m_list->GetItemCount());
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgTest, CopyOfTheCheckedItemsOpensInASecondEditorAndClosingItClosesBoth)
{
    const ListRecord list = MakeList(u"Groceries", s_groceries);
    CListDlg dlg;
    dlg.SetListId(list.id);
    dlg.SetTotalCount(7);
    int32_t copyId = 0;
    const int rc = Run(dlg, [&](CListDlg& d) {
        ChooseCategory(d, 1); // "Business"
        // Cancelling the copy dialog ends the command.
        wxTEST_DIALOG(Command(d, ID_COPY_LIST),
                      ExpectDialog<CCopyListDlg>([](CCopyListDlg&) { return static_cast<int>(wxID_CANCEL); }));
        EXPECT_TRUE(d.IsModal());

        wxTEST_DIALOG(Command(d, ID_COPY_LIST), ExpectDialog<CCopyListDlg>([](CCopyListDlg& copy) {
                          auto* checked = wxDynamicCast(copy.FindWindow(IDC_COPY_CHECKED), wxRadioButton);
                          EXPECT_NE(nullptr, checked);
                          if (checked)
                              checked->SetValue(true);
                          return ConfirmNested(copy);
                      }),
                      ExpectDialog<CListNameDlg>([](CListNameDlg& name) {
                          EXPECT_TRUE(name.m_bCopyMode);
                          EXPECT_EQ("Groceries", TextField(name, IDC_LIST_NAME)->GetValue());
                          TextField(name, IDC_LIST_NAME)->ChangeValue("Groceries copy");
                          return ConfirmNested(name);
                      }),
                      ExpectDialog<CListDlg>([&](CListDlg& second) {
                          copyId = second.m_listId;
                          EXPECT_EQ(8, second.m_totalCount);
                          EXPECT_EQ((std::vector<std::u16string>{u"Milk", u"Eggs", u"Tea"}), RowNames(second));
                          EXPECT_EQ((std::vector<bool>{true, true, true}), RowTicks(second));
                          EXPECT_EQ("Groceries copy", second.m_titleBar->GetLabel());
                          return static_cast<int>(wxID_OK);
                      }));
    });
    EXPECT_EQ(wxID_OK, rc);
    ASSERT_NE(0, copyId);
    ASSERT_NE(list.id, copyId);
    const ListRecord copy = Stored(copyId);
    EXPECT_EQ(u"Groceries copy", copy.name);
    EXPECT_EQ(u"Business", copy.category);
    EXPECT_EQ(7, copy.position);
    EXPECT_EQ(3, copy.itemCount);
    EXPECT_EQ(0, copy.uncheckedCount);
    EXPECT_EQ(5u, Stored(list.id).items.size());
}

TEST_F(ListDlgTest, CategoryBoxRefilesAndEditsCategories)
{
    const ListRecord list = MakeList(u"Groceries", s_groceries);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        ASSERT_EQ((std::vector<wxString>{"Personal", "Business", "Unfiled", "Edit..."}), Entries(d));
        ChooseCategory(d, 1);
        EXPECT_EQ(u"Business", Stored(list.id).category);
        // A change without the drop-down (the mouse wheel) files it too.
        ChooseCategory(d, 2, wxEVT_COMBOBOX);
        EXPECT_EQ(u"Unfiled", Stored(list.id).category);
        ChooseCategory(d, 1);

        // "Edit...": the categories dialog renames Business to Work, with
        // its checklists; the box shows the new name chosen. The close-up
        // that follows the choice does not open the dialog again.
        wxTEST_DIALOG(
            {
                ChooseCategory(d, 3, wxEVT_COMBOBOX);
                ChooseCategory(d, d.m_categoryBox->GetSelection());
            },
            ExpectDialog<CCategoriesDlg>([](CCategoriesDlg&) {
                CategoryList categories;
                EXPECT_TRUE(categories.LoadCategories());
                for (CategoryRecord& category : categories)
                    if (category.name == u"Business")
                        category.name = u"Work";
                EXPECT_TRUE(categories.SaveCategories());
                EXPECT_TRUE(ListStore::MoveCategoryLists(u"Business", u"Work"));
                return static_cast<int>(wxID_OK);
            }),
            ExpectDialog<CCategoriesDlg>([](CCategoriesDlg&) {
                ADD_FAILURE() << "the categories dialog opened twice";
                return static_cast<int>(wxID_CANCEL);
            }).Optional());
        EXPECT_EQ((std::vector<wxString>{"Personal", "Work", "Unfiled", "Edit..."}), Entries(d));
        EXPECT_EQ("Work", d.m_categoryBox->GetStringSelection());
        EXPECT_EQ(u"Work", d.m_record.category);
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgTest, CategoryPickedFromTheDropDownIsFiledAtOnce)
{
    const ListRecord list = MakeList(u"Groceries", s_groceries);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        // The toolkit's own drop-down, opened and answered for real: the
        // entry below "Personal" is "Business".
        ClickChild(d, IDC_CATEGORY);
        Pump(300);
        wxUIActionSimulator keys;
        keys.Char(WXK_DOWN);
        Pump(100);
        keys.Char(WXK_RETURN);
        EXPECT_TRUE(WaitFor([&] { return Stored(list.id).category == u"Business"; }, 3000));
        EXPECT_EQ("Business", d.m_categoryBox->GetStringSelection());
        Pump(300);
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgTest, RenameNoteAndTheCommandsWithoutAMenu)
{
    const ListRecord list = MakeList(u"Groceries", s_groceries);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        wxTEST_DIALOG(Command(d, ID_RENAME_LIST), ExpectDialog<CListNameDlg>([](CListNameDlg& name) {
                          EXPECT_FALSE(name.m_bCopyMode);
                          EXPECT_EQ("Groceries", TextField(name, IDC_LIST_NAME)->GetValue());
                          TextField(name, IDC_LIST_NAME)->ChangeValue("Food");
                          return ConfirmNested(name);
                      }));
        EXPECT_EQ("Food", d.m_titleBar->GetLabel());
        EXPECT_EQ(u"Food", Stored(list.id).name);

        wxTEST_DIALOG(Command(d, ID_EDIT_NOTE), ExpectDialog<CNoteDlg>([](CNoteDlg& note) {
                          EXPECT_EQ(u"Food", note.m_title);
                          TextField(note, IDC_NOTE)->ChangeValue("Saturday\nmarket");
                          return ConfirmNested(note);
                      }));
        EXPECT_EQ(u"Saturday\nmarket", Stored(list.id).note);
        wxTEST_DIALOG(Command(d, ID_EDIT_NOTE),
                      ExpectDialog<CNoteDlg>([](CNoteDlg&) { return static_cast<int>(wxID_CANCEL); }));
        EXPECT_EQ(u"Saturday\nmarket", Stored(list.id).note);

        wxTEST_DIALOG(Command(d, ID_EXPORT_LIST), ExpectMessage("Export List", AppTitle()));
        wxTEST_DIALOG(Command(d, ID_IMPORT_LIST), ExpectMessage("Import List", AppTitle()));

        // About is the application's.
        AboutCounter abouts;
        wxTheApp->Bind(wxEVT_MENU, &AboutCounter::OnAbout, &abouts, ID_APP_ABOUT);
        Command(d, ID_APP_ABOUT);
        wxTheApp->Unbind(wxEVT_MENU, &AboutCounter::OnAbout, &abouts, ID_APP_ABOUT);
        EXPECT_EQ(1, abouts.count);

        LaunchRecorder launches;
        TapTitleBar(d, TitleArea::Help);
        EXPECT_EQ(1u, launches.Count());
        EXPECT_TRUE(EndsWith(launches.LastArgument(), "Tallyard.htm#ChecklistDlg_Help")) << launches.LastArgument();
        TapTitleBar(d, TitleArea::Cancel);
    });
}
