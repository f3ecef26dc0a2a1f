// The editor stores what it changes on top of the checklist as stored now:
// counts move from the stored counts, fields it does not change stay as
// another instance left them, and new items go after the last stored one.
#include "tests/editor/ListDlgTest.h"

#include "dialogs/CNoteDlg.h"
#include "editor/CItemDlg.h"

#include <wx/combobox.h>

namespace
{
const std::vector<ItemSpec> s_items = {{u"Bread", 0}, {u"Milk", 1}, {u"Eggs", 0}, {u"Tea", 1}, {u"Jam", 0}};

// What another instance does while the editor is open: adds an unchecked
// item, counts it, and files the checklist elsewhere under another name.
void ChangeElsewhere(int32_t listId)
{
    ListRecord list;
    ASSERT_TRUE(list.LoadList(listId));
    ItemRecord item;
    item.listId = listId;
    item.name = u"Butter";
    item.position = 9;
    ASSERT_TRUE(item.SaveItem());
    ++list.itemCount;
    ++list.uncheckedCount;
    list.name = u"Shopping";
    list.category = u"Business";
    ASSERT_TRUE(list.SaveList());
}
}

TEST_F(ListDlgTest, TicksAndDeletesMoveTheStoredCountsNotTheOpenedOnes)
{
    const ListRecord list = MakeList(u"Groceries", s_items);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        ChangeElsewhere(list.id); // 6 items, 4 unchecked
        TapRow(d, 0, d.m_list->FromDIP(8)); // Bread ticked
        ListRecord stored = Stored(list.id);
        EXPECT_EQ(1, stored.items[0].checked);
        EXPECT_EQ(6, stored.itemCount);
        EXPECT_EQ(3, stored.uncheckedCount);
        EXPECT_EQ(u"Shopping", stored.name);
        EXPECT_EQ(u"Business", stored.category);

        // Eggs (unchecked) deleted with the Delete button.
        TapRow(d, 2, d.m_list->FromDIP(80));
        wxTEST_DIALOG(ClickChild(d, ID_DELETE_ITEM_BUTTON),
                      ExpectMessage("Delete the item 'Eggs'?", "Confirm Item Delete", wxID_YES));
        stored = Stored(list.id);
        EXPECT_EQ(5, stored.itemCount);
        EXPECT_EQ(2, stored.uncheckedCount);
        EXPECT_EQ(u"Business", stored.category);
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgTest, BulkCommandsCountFromTheStoredCounts)
{
    const ListRecord list = MakeList(u"Groceries", s_items);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        ChangeElsewhere(list.id); // 6 items, 4 unchecked
        Command(d, ID_INVERT_CHECKS);
        ListRecord stored = Stored(list.id);
        EXPECT_EQ(2, stored.uncheckedCount);
        EXPECT_EQ(u"Shopping", stored.name);
        EXPECT_EQ(u"Business", stored.category);

        wxTEST_DIALOG(Command(d, ID_PURGE_CHECKED), ExpectMessage("Remove all checked items?", "Purge Checklist",
                                                                  wxID_YES));
        stored = Stored(list.id);
        EXPECT_EQ(2u, stored.items.size());
        EXPECT_EQ(2, stored.itemCount);
        EXPECT_EQ(2, stored.uncheckedCount);
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgTest, NewItemAfterDeletionsGoesAfterTheLastStoredItem)
{
    const ListRecord list = MakeList(u"Groceries", s_items);
    ASSERT_TRUE(ItemRecord::DeleteItemById(list.items[0].id));
    ASSERT_TRUE(ItemRecord::DeleteItemById(list.items[1].id));
    ListRecord counted = Stored(list.id);
    counted.itemCount = 3;
    counted.uncheckedCount = 2;
    ASSERT_TRUE(counted.SaveList());

    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        wxTEST_DIALOG(ClickChild(d, ID_NEW_ITEM), ExpectDialog<CItemDlg>([](CItemDlg& item) {
                          TextField(item, IDC_ITEM_NAME)->ChangeValue("Butter");
                          return ConfirmNested(item);
                      }));
        EXPECT_EQ((std::vector<std::u16string>{u"Eggs", u"Tea", u"Jam", u"Butter"}), RowNames(d));
        const ListRecord stored = Stored(list.id);
        EXPECT_EQ((std::vector<std::u16string>{u"Eggs", u"Tea", u"Jam", u"Butter"}), Names(stored.items));
        EXPECT_EQ(5, stored.items.back().position);
        EXPECT_EQ(4, stored.itemCount);
        EXPECT_EQ(3, stored.uncheckedCount);
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgTest, RenameNoteAndCategoryChangeOnlyThemselves)
{
    const ListRecord list = MakeList(u"Groceries", s_items);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        // Another instance ticks every item meanwhile.
        ASSERT_TRUE(ListStore::AdjustListCounts(list.id, 0, -3));
        d.m_categoryBox->SetSelection(static_cast<int>(d.m_categoryBox->GetCount()) - 2); // "Unfiled"
        wxCommandEvent chosen(wxEVT_COMBOBOX_CLOSEUP, IDC_CATEGORY);
        chosen.SetEventObject(d.m_categoryBox);
        d.m_categoryBox->ProcessWindowEvent(chosen);
        ListRecord stored = Stored(list.id);
        EXPECT_EQ(u"Unfiled", stored.category);
        EXPECT_EQ(0, stored.uncheckedCount);

        ChangeElsewhere(list.id);
        wxTEST_DIALOG(Command(d, ID_EDIT_NOTE), ExpectDialog<CNoteDlg>([](CNoteDlg& n) {
                          TextField(n, IDC_NOTE)->ChangeValue("market day");
                          return ConfirmNested(n);
                      }));
        stored = Stored(list.id);
        EXPECT_EQ(u"market day", stored.note);
        EXPECT_EQ(u"Shopping", stored.name);
        EXPECT_EQ(u"Business", stored.category);
        EXPECT_EQ(6, stored.itemCount);
        EXPECT_EQ(1, stored.uncheckedCount);
        TapTitleBar(d, TitleArea::Ok);
    });
}
