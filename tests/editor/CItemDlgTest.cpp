// The item dialog: new, edit and delete, checked in the store.
#include "tests/dialogs/DialogTest.h"

#include "controls/WxString.h"
#include "editor/CItemDlg.h"
#include "resources/ResourceIds.h"
#include "store/ListStore.h"
#include "tests/reliability/FaultVfs.h"

#include <wx/choice.h>
#include <wx/toolbar.h>

#include <algorithm>

namespace
{
wxChoice* PriorityBox(wxDialog& dlg)
{
    return wxDynamicCast(dlg.FindWindow(IDC_PRIORITY), wxChoice);
}

wxToolBar* DeleteBar(wxDialog& dlg)
{
    return wxDynamicCast(dlg.FindWindow(IDR_ITEM_TOOLBAR), wxToolBar);
}

// The delete command as the toolbar's button issues it.
void PressDelete(wxDialog& dlg)
{
    wxToolBar* bar = DeleteBar(dlg);
    ASSERT_NE(nullptr, bar);
    wxCommandEvent command(wxEVT_TOOL, ID_DELETE_CURRENT_ITEM);
    command.SetEventObject(bar);
    bar->ProcessWindowEvent(command);
}

class ItemDlgTest : public testing::Test
{
protected:
    void SetUp() override
    {
        // The shim that can fail writes is in place before the store opens.
        FaultVfs::Install();
        ASSERT_TRUE(ListStore::CreateDatabases());
        m_list.name = u"Groceries";
        m_list.category = u"Personal";
        m_list.itemCount = 2;
        m_list.uncheckedCount = 1;
        ASSERT_TRUE(m_list.SaveList());
        m_unchecked = AddItem(u"Bread", 0, 3, 0);
        m_checked = AddItem(u"Milk", 1, 5, 1);
    }

    ItemRecord AddItem(const std::u16string& name, int16_t checked, int16_t priority, int16_t position)
    {
        ItemRecord item;
        item.listId = m_list.id;
        item.name = name;
        item.details = u"details of " + name;
        item.checked = checked;
        item.priority = priority;
        item.position = position;
        EXPECT_TRUE(item.SaveItem());
        return item;
    }

    ListRecord Stored()
    {
        ListRecord list;
        EXPECT_TRUE(list.LoadList(m_list.id));
        EXPECT_TRUE(list.LoadItems(FilterAll));
        return list;
    }

    ListRecord m_list;
    ItemRecord m_unchecked;
    ItemRecord m_checked;
};
}

TEST_F(ItemDlgTest, NewItemIsStoredUncheckedAtTheGivenPosition)
{
    CItemDlg dlg(nullptr);
    dlg.SetListId(m_list.id);
    const int rc = RunModal<CItemDlg>(dlg, [](CItemDlg& d) {
        EXPECT_EQ("", TextField(d, IDC_ITEM_NAME)->GetValue());
        EXPECT_EQ("", TextField(d, IDC_DETAILS)->GetValue());
        EXPECT_EQ(5u, PriorityBox(d)->GetCount());
        EXPECT_EQ("1", PriorityBox(d)->GetStringSelection());
        EXPECT_EQ(nullptr, DeleteBar(d));
        TextField(d, IDC_ITEM_NAME)->ChangeValue("Eggs");
        TextField(d, IDC_DETAILS)->ChangeValue("free range\nsix\n\nor twelve");
        PriorityBox(d)->SetSelection(3);
        TapTitleBar(d, TitleArea::Ok);
    });
    EXPECT_EQ(wxID_OK, rc);
    EXPECT_FALSE(dlg.CountedNewItem());

    const ListRecord list = Stored();
    ASSERT_EQ(3u, list.items.size());
    const ItemRecord& eggs = list.items.back();
    EXPECT_EQ(u"Eggs", eggs.name);
    EXPECT_EQ(u"free range\nsix\n\nor twelve", eggs.details);
    EXPECT_EQ(4, eggs.priority);
    EXPECT_EQ(0, eggs.checked);
    EXPECT_EQ(2, eggs.position);
    EXPECT_NE(0, eggs.id);
    // A new item is counted by the editor, not by the dialog.
    EXPECT_EQ(2, list.itemCount);
    EXPECT_EQ(1, list.uncheckedCount);
}

TEST_F(ItemDlgTest, EditShowsTheItemAndChangesOnlyNameDetailsAndPriority)
{
    CItemDlg dlg(nullptr);
    dlg.SetListId(m_list.id);
    dlg.SetItemId(m_checked.id);
    const int rc = RunModal<CItemDlg>(dlg, [](CItemDlg& d) {
        EXPECT_EQ("Milk", TextField(d, IDC_ITEM_NAME)->GetValue());
        EXPECT_EQ("details of Milk", TextField(d, IDC_DETAILS)->GetValue());
        EXPECT_EQ("5", PriorityBox(d)->GetStringSelection());
        EXPECT_NE(nullptr, DeleteBar(d));
        TextField(d, IDC_DETAILS)->ChangeValue("line one\nline two");
        TapTitleBar(d, TitleArea::Ok);
    });
    EXPECT_EQ(wxID_OK, rc);

    ItemRecord milk;
    ASSERT_TRUE(milk.LoadItem(m_checked.id));
    EXPECT_EQ(u"Milk", milk.name);
    EXPECT_EQ(u"line one\nline two", milk.details);
    EXPECT_EQ(5, milk.priority);
    EXPECT_EQ(1, milk.checked);
    EXPECT_EQ(1, milk.position);
    EXPECT_EQ(m_list.id, milk.listId);
    EXPECT_EQ(2, Stored().itemCount);

    // The details come back with their line breaks when edited again.
    CItemDlg again(nullptr);
    again.SetListId(m_list.id);
    again.SetItemId(m_checked.id);
    RunModal<CItemDlg>(again, [](CItemDlg& d) {
        EXPECT_EQ("line one\nline two", TextField(d, IDC_DETAILS)->GetValue());
        TapTitleBar(d, TitleArea::Cancel);
    });
}

TEST_F(ItemDlgTest, CancelLeavesTheItemUnchanged)
{
    CItemDlg dlg(nullptr);
    dlg.SetListId(m_list.id);
    dlg.SetItemId(m_unchecked.id);
    const int rc = RunModal<CItemDlg>(dlg, [](CItemDlg& d) {
        TextField(d, IDC_ITEM_NAME)->ChangeValue("Changed");
        PriorityBox(d)->SetSelection(0);
        TapTitleBar(d, TitleArea::Cancel);
    });
    EXPECT_EQ(wxID_CANCEL, rc);
    ItemRecord bread;
    ASSERT_TRUE(bread.LoadItem(m_unchecked.id));
    EXPECT_EQ(u"Bread", bread.name);
    EXPECT_EQ(3, bread.priority);
}

TEST_F(ItemDlgTest, EmptyNameIsRefusedAndOneBlankAccepted)
{
    CItemDlg dlg(nullptr);
    dlg.SetListId(m_list.id);
    const int rc = RunModal<CItemDlg>(dlg, [](CItemDlg& d) {
        TextField(d, IDC_DETAILS)->ChangeValue("kept");
        wxTEST_DIALOG(TapTitleBar(d, TitleArea::Ok), ExpectMessage("The Item Name cannot be empty.", AppTitle()));
        EXPECT_TRUE(d.IsModal());
        EXPECT_EQ("kept", TextField(d, IDC_DETAILS)->GetValue());
        TextField(d, IDC_ITEM_NAME)->ChangeValue(" ");
        TapTitleBar(d, TitleArea::Ok);
    });
    EXPECT_EQ(wxID_OK, rc);
    const ListRecord list = Stored();
    ASSERT_EQ(3u, list.items.size());
    const auto blank = std::find_if(list.items.begin(), list.items.end(),
                                    [](const ItemRecord& item) { return item.name == u" "; });
    ASSERT_NE(list.items.end(), blank);
    EXPECT_EQ(u"kept", blank->details);
}

TEST_F(ItemDlgTest, DeleteLowersTheCountsByTheItemsState)
{
    struct Case
    {
        ItemRecord item;
        int answer;
        int itemCount;
        int uncheckedCount;
    };
    // No first: nothing changes; then the unchecked item, then the checked one.
    for (const Case& c : {Case{m_unchecked, wxID_NO, 2, 1}, Case{m_unchecked, wxID_YES, 1, 0},
                          Case{m_checked, wxID_YES, 0, 0}})
    {
        CItemDlg dlg(nullptr);
        dlg.SetListId(m_list.id);
        dlg.SetItemId(c.item.id);
        const int rc = RunModal<CItemDlg>(dlg, [&](CItemDlg& d) {
            wxTEST_DIALOG(PressDelete(d), ExpectMessage("Delete current item?", "Delete Item", c.answer));
            if (d.IsModal())
                TapTitleBar(d, TitleArea::Cancel);
        });
        EXPECT_EQ(c.answer == wxID_YES ? wxID_OK : wxID_CANCEL, rc);
        EXPECT_EQ(c.answer == wxID_YES, dlg.DeletedItem());
        ItemRecord gone;
        EXPECT_EQ(c.answer != wxID_YES, gone.LoadItem(c.item.id));
        const ListRecord list = Stored();
        EXPECT_EQ(c.itemCount, list.itemCount);
        EXPECT_EQ(c.uncheckedCount, list.uncheckedCount);
        EXPECT_EQ(static_cast<size_t>(c.itemCount), list.items.size());
    }
}

TEST_F(ItemDlgTest, AnItemThatCannotBeReadIsStoredAsNewAndCounted)
{
    ASSERT_TRUE(ItemRecord::DeleteItemById(m_unchecked.id));
    m_list.itemCount = 1;
    m_list.uncheckedCount = 0;
    ASSERT_TRUE(m_list.SaveList());

    CItemDlg dlg(nullptr);
    dlg.SetListId(m_list.id);
    dlg.SetItemId(m_unchecked.id);
    const int rc = RunModal<CItemDlg>(dlg, [](CItemDlg& d) {
        EXPECT_EQ("", TextField(d, IDC_ITEM_NAME)->GetValue());
        EXPECT_EQ(nullptr, DeleteBar(d));
        TextField(d, IDC_ITEM_NAME)->ChangeValue("Butter");
        TapTitleBar(d, TitleArea::Ok);
    });
    EXPECT_EQ(wxID_OK, rc);
    EXPECT_TRUE(dlg.CountedNewItem());
    const ListRecord list = Stored();
    ASSERT_EQ(2u, list.items.size());
    EXPECT_EQ(u"Butter", list.items.back().name);
    EXPECT_NE(m_unchecked.id, list.items.back().id);
    EXPECT_EQ(0, list.items.back().checked);
    EXPECT_EQ(2, list.itemCount);
    EXPECT_EQ(1, list.uncheckedCount);
}

TEST_F(ItemDlgTest, MissingChecklistIdCancelsWithItsMessage)
{
    CItemDlg dlg(nullptr);
    int rc = 0;
    wxTEST_DIALOG(rc = dlg.ShowModal(), ExpectMessage("The checklist ID was not set!!", AppTitle()));
    EXPECT_EQ(wxID_CANCEL, rc);
    EXPECT_EQ(2u, Stored().items.size());
}

TEST_F(ItemDlgTest, PriorityOutsideOneToFiveSelectsNothingAndIsKept)
{
    ItemRecord odd = AddItem(u"Odd", 0, 0, 2);
    CItemDlg dlg(nullptr);
    dlg.SetListId(m_list.id);
    dlg.SetItemId(odd.id);
    RunModal<CItemDlg>(dlg, [](CItemDlg& d) {
        EXPECT_EQ(wxNOT_FOUND, PriorityBox(d)->GetSelection());
        TapTitleBar(d, TitleArea::Ok);
    });
    ItemRecord stored;
    ASSERT_TRUE(stored.LoadItem(odd.id));
    EXPECT_EQ(0, stored.priority);
}

TEST_F(ItemDlgTest, EnterConfirmsFromTheNameButStartsALineInTheDetails)
{
    CItemDlg dlg(nullptr);
    dlg.SetListId(m_list.id);
    const int rc = RunModal<CItemDlg>(dlg, [](CItemDlg& d) {
        auto sendKey = [&](int key) {
            wxKeyEvent event(wxEVT_CHAR_HOOK);
            event.m_keyCode = key;
            event.SetEventObject(wxWindow::FindFocus());
            d.ProcessWindowEvent(event);
            return event.GetSkipped();
        };
        TextField(d, IDC_ITEM_NAME)->ChangeValue("Tea");
        TextField(d, IDC_DETAILS)->SetFocus();
        WaitFor([&] { return wxWindow::FindFocus() == TextField(d, IDC_DETAILS); }, 1000);
        if (wxWindow::FindFocus() != TextField(d, IDC_DETAILS))
        {
            // Without keyboard focus on the display, Enter cannot be aimed.
            TapTitleBar(d, TitleArea::Ok);
            GTEST_SKIP() << "no keyboard focus on this display";
        }
        EXPECT_TRUE(sendKey(WXK_RETURN)); // passed on to the details field
        EXPECT_TRUE(d.IsModal());
        TextField(d, IDC_ITEM_NAME)->SetFocus();
        WaitFor([&] { return wxWindow::FindFocus() == TextField(d, IDC_ITEM_NAME); }, 1000);
        sendKey(WXK_RETURN);
    });
    EXPECT_EQ(wxID_OK, rc);
    EXPECT_EQ(3u, Stored().items.size());
}

TEST_F(ItemDlgTest, HelpOpensTheItemTopic)
{
    LaunchRecorder launches;
    CItemDlg dlg(nullptr);
    dlg.SetListId(m_list.id);
    RunModal<CItemDlg>(dlg, [](CItemDlg& d) {
        TapTitleBar(d, TitleArea::Help);
        TapTitleBar(d, TitleArea::Cancel);
    });
    EXPECT_EQ(1u, launches.Count());
    EXPECT_TRUE(EndsWith(launches.LastArgument(), "#Item_Help")) << launches.LastArgument();
}

TEST_F(ItemDlgTest, TheToolbarButtonAsksBeforeDeleting)
{
    CItemDlg dlg(nullptr);
    dlg.SetListId(m_list.id);
    dlg.SetItemId(m_unchecked.id);
    const int rc = RunModal<CItemDlg>(dlg, [](CItemDlg& d) {
        wxToolBar* bar = DeleteBar(d);
        ASSERT_NE(nullptr, bar);
        // At the bottom, where the device's command bar is.
        EXPECT_EQ(d.GetClientSize().y, bar->GetPosition().y + bar->GetSize().y);
        const int middle = bar->GetSize().y / 2;
        wxTEST_DIALOG(SpacedClickAt(bar, wxPoint(middle, middle)),
                      ExpectMessage("Delete current item?", "Delete Item", wxID_NO));
        TapTitleBar(d, TitleArea::Cancel);
    });
    EXPECT_EQ(wxID_CANCEL, rc);
    EXPECT_EQ(2u, Stored().items.size());
}

TEST_F(ItemDlgTest, AFailedSaveKeepsTheDialogOpenAndCountsNothing)
{
    ASSERT_TRUE(ItemRecord::DeleteItemById(m_unchecked.id)); // the edit falls back to a new item
    CItemDlg dlg(nullptr);
    dlg.SetListId(m_list.id);
    dlg.SetItemId(m_unchecked.id);
    const int rc = RunModal<CItemDlg>(dlg, [&](CItemDlg& d) {
        TextField(d, IDC_ITEM_NAME)->ChangeValue("Jam");
        FaultVfs::Arm(FaultVfs::Op::Write, 1, true);
        wxTEST_DIALOG(TapTitleBar(d, TitleArea::Ok), ExpectMessage("The item could not be saved.", AppTitle()));
        FaultVfs::Disarm();
        EXPECT_TRUE(d.IsModal());
        EXPECT_EQ("Jam", TextField(d, IDC_ITEM_NAME)->GetValue());
        const ListRecord list = Stored();
        EXPECT_EQ(1u, list.items.size());
        EXPECT_EQ(2, list.itemCount);
        TapTitleBar(d, TitleArea::Ok);
    });
    EXPECT_EQ(wxID_OK, rc);
    EXPECT_TRUE(dlg.CountedNewItem());
    const ListRecord list = Stored();
    EXPECT_EQ(2u, list.items.size());
    EXPECT_EQ(3, list.itemCount);
    EXPECT_EQ(2, list.uncheckedCount);
}

TEST_F(ItemDlgTest, AFailedDeleteSaysSoAndKeepsItemAndCountsTogether)
{
    CItemDlg dlg(nullptr);
    dlg.SetListId(m_list.id);
    dlg.SetItemId(m_unchecked.id);
    const int rc = RunModal<CItemDlg>(dlg, [&](CItemDlg& d) {
        FaultVfs::Arm(FaultVfs::Op::Write, 1, true);
        wxTEST_DIALOG(PressDelete(d), ExpectMessage("Delete current item?", "Delete Item", wxID_YES),
                      ExpectMessage("The item could not be deleted.", AppTitle()));
        EXPECT_GT(FaultVfs::Injected(), 0);
        FaultVfs::Disarm();
        EXPECT_TRUE(d.IsModal());
        EXPECT_FALSE(d.DeletedItem());
        const ListRecord list = Stored();
        EXPECT_EQ(2u, list.items.size());
        EXPECT_EQ(2, list.itemCount);
        EXPECT_EQ(1, list.uncheckedCount);

        // Deleted meanwhile by someone else: gone, so the dialog closes and
        // the counts are not lowered for it.
        ASSERT_TRUE(ItemRecord::DeleteItemById(m_unchecked.id));
        wxTEST_DIALOG(PressDelete(d), ExpectMessage("Delete current item?", "Delete Item", wxID_YES));
    });
    EXPECT_EQ(wxID_OK, rc);
    const ListRecord list = Stored();
    EXPECT_EQ(1u, list.items.size());
    EXPECT_EQ(2, list.itemCount);
    EXPECT_EQ(1, list.uncheckedCount);
}
