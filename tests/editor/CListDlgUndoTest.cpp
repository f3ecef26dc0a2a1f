// Undo and redo in the checklist editor: the keys, the Tools menu entries
// and the rows rebuilt from the store.
#include "tests/editor/ListDlgTest.h"

#include "platform/UndoHistory.h"

#include <wx/menu.h>
#include <wx/uiaction.h>

namespace
{
const std::vector<ItemSpec> s_trip = {{u"Tent", 1}, {u"Map"}, {u"Stove", 1}, {u"Boots"}};

class ListDlgUndoTest : public ListDlgTest
{
protected:
    void SetUp() override
    {
        ListDlgTest::SetUp();
        ObjectStore::Undo::Clear();
    }
    void TearDown() override { ObjectStore::Undo::Clear(); }

    /// A key with Ctrl (and Shift) pressed for real on the editor's list.
    static void CtrlKey(CListDlg& dlg, int key, bool shift = false)
    {
        dlg.m_list->SetFocus();
        Pump(20);
        wxUIActionSimulator sim;
        sim.Char(key, shift ? wxMOD_CONTROL | wxMOD_SHIFT : wxMOD_CONTROL);
        Pump(60);
    }

    /// The entry's text and state as the Tools menu shows it when opened.
    static std::pair<wxString, bool> ToolsEntry(CListDlg& dlg, int id)
    {
        wxMenu* menu = dlg.GetBarMenu(ID_MENU_TOOLS);
        menu->UpdateUI(&dlg);
        wxMenuItem* item = menu->FindItem(id);
        return {item ? item->GetItemLabelText() : wxString("<none>"), item && item->IsEnabled()};
    }
};

TEST_F(ListDlgUndoTest, CtrlZUndoesAPurgeAndCtrlYRedoesIt)
{
    const ListRecord list = MakeList(u"Trip", s_trip);
    const ListRecord before = Stored(list.id);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        EXPECT_EQ(std::make_pair(wxString("Undo"), false), ToolsEntry(d, ID_EDIT_UNDO));
        EXPECT_EQ(std::make_pair(wxString("Redo"), false), ToolsEntry(d, ID_EDIT_REDO));
        wxTEST_DIALOG(Command(d, ID_PURGE_CHECKED),
                      ExpectMessage("Remove all checked items?", "Purge Checklist", wxID_YES));
        ASSERT_EQ(2u, Stored(list.id).items.size());
        EXPECT_EQ(std::make_pair(wxString("Undo Purge Checked Items"), true), ToolsEntry(d, ID_EDIT_UNDO));

        CtrlKey(d, 'Z');
        const ListRecord back = Stored(list.id);
        EXPECT_EQ(Names(before.items), Names(back.items));
        EXPECT_EQ(before.itemCount, back.itemCount);
        EXPECT_EQ(before.uncheckedCount, back.uncheckedCount);
        for (size_t i = 0; i < back.items.size(); ++i)
            EXPECT_EQ(before.items[i].id, back.items[i].id);
        EXPECT_EQ(Names(before.items), RowNames(d)) << "the rows show the items again";
        EXPECT_EQ((std::vector<bool>{true, false, true, false}), RowTicks(d));
        EXPECT_EQ(std::make_pair(wxString("Undo"), false), ToolsEntry(d, ID_EDIT_UNDO));
        EXPECT_EQ(std::make_pair(wxString("Redo Purge Checked Items"), true), ToolsEntry(d, ID_EDIT_REDO));

        CtrlKey(d, 'Y');
        EXPECT_EQ((std::vector<std::u16string>{u"Map", u"Boots"}), Names(Stored(list.id).items));
        EXPECT_EQ((std::vector<std::u16string>{u"Map", u"Boots"}), RowNames(d));

        CtrlKey(d, 'Z');
        CtrlKey(d, 'Z', true); // Ctrl+Shift+Z redoes too
        EXPECT_EQ((std::vector<std::u16string>{u"Map", u"Boots"}), Names(Stored(list.id).items));
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgUndoTest, ToolsMenuUndoesATickAndANewChangeClearsRedo)
{
    const ListRecord list = MakeList(u"Trip", s_trip);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        TapRow(d, 1, d.m_list->FromDIP(6)); // the box of "Map"
        ASSERT_EQ(1, Stored(list.id).items[1].checked);
        EXPECT_EQ(std::make_pair(wxString("Undo Check Item"), true), ToolsEntry(d, ID_EDIT_UNDO));
        Command(d, ID_EDIT_UNDO);
        EXPECT_EQ(0, Stored(list.id).items[1].checked);
        EXPECT_EQ(2, Stored(list.id).uncheckedCount);
        EXPECT_EQ((std::vector<bool>{true, false, true, false}), RowTicks(d));

        // A new change after an undo leaves nothing to redo.
        Command(d, ID_CHECK_ALL);
        EXPECT_EQ(std::make_pair(wxString("Redo"), false), ToolsEntry(d, ID_EDIT_REDO));
        EXPECT_EQ(std::make_pair(wxString("Undo Check All"), true), ToolsEntry(d, ID_EDIT_UNDO));
        Command(d, ID_EDIT_UNDO);
        EXPECT_EQ(2, Stored(list.id).uncheckedCount);
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgUndoTest, RefusedUndoSaysSoAndChangesNothing)
{
    const ListRecord list = MakeList(u"Trip", s_trip);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        Command(d, ID_UNCHECK_ALL);
        // Changed meanwhile outside this step, as another instance would.
        ItemRecord item = Stored(list.id).items[0];
        item.name = u"Tarp";
        ASSERT_TRUE(item.SaveItem());
        wxTEST_DIALOG(CtrlKey(d, 'Z'),
                      ExpectMessage("\"Uncheck All\" cannot be undone: a checklist, item or category it changed has "
                                    "been changed elsewhere since. Nothing was changed.",
                                    "Undo"));
        const ListRecord stored = Stored(list.id);
        EXPECT_EQ(u"Tarp", stored.items[0].name);
        EXPECT_EQ(4, stored.uncheckedCount);
        EXPECT_EQ(std::make_pair(wxString("Undo Uncheck All"), true), ToolsEntry(d, ID_EDIT_UNDO));
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgUndoTest, UndoingTheCopyThatOpenedThisEditorClosesIt)
{
    const ListRecord list = MakeList(u"Trip", s_trip);
    ListRecord copy;
    {
        ObjectStore::UndoStep step(u"Copy List");
        ASSERT_TRUE(ListStore::CopyChecklist(list.id, FilterAll, u"Trip 2", u"Personal", 1, copy));
    }
    CListDlg dlg;
    dlg.SetListId(copy.id);
    const int rc = Run(dlg, [&](CListDlg& d) { CtrlKey(d, 'Z'); });
    EXPECT_EQ(wxID_OK, rc);
    EXPECT_FALSE(ListRecord().LoadList(copy.id));
    EXPECT_EQ(4u, Stored(list.id).items.size());
}
}

namespace
{
TEST_F(ListDlgUndoTest, UndoKeepsTheSelectedItemAndTheFirstVisibleRow)
{
    std::vector<ItemSpec> items;
    for (int i = 0; i < 60; ++i)
        items.push_back({u"Item " + FromWx(wxString::Format("%02d", i)), int16_t(i % 2)});
    const ListRecord list = MakeList(u"Long", items);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        Command(d, ID_UNCHECK_ALL);
        d.m_list->EnsureVisible(59);
        d.m_list->EnsureVisible(30);
        const long both = wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED;
        d.m_list->SetItemState(35, both, both);
        Pump(30);
        const long top = d.m_list->GetTopItem();
        ASSERT_GT(top, 0);

        CtrlKey(d, 'Z');
        EXPECT_EQ(30, Stored(list.id).uncheckedCount);
        EXPECT_EQ(35, d.m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED));
        EXPECT_EQ(top, d.m_list->GetTopItem());
        EXPECT_TRUE(Enabled(d, ID_EDIT_ITEM)) << "the buttons follow the kept selection";
        TapTitleBar(d, TitleArea::Ok);
    });
}
}

TEST_F(ListDlgUndoTest, ToolsMenuOpenedByATapNamesTheStepAndRunsIt)
{
    const ListRecord list = MakeList(u"Trip", s_trip);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        Command(d, ID_INVERT_CHECKS);
        const std::vector<bool> inverted{false, true, false, true};
        ASSERT_EQ(inverted, RowTicks(d));
        const auto tapTools = [&] { ClickChild(d, ID_MENU_TOOLS); };
        wxMenu* tools = d.GetBarMenu(ID_MENU_TOOLS);
        const std::vector<int> ids{ID_EDIT_UNDO, ID_EDIT_REDO};
        EXPECT_EQ((std::vector<std::string>{"Undo Invert Checks", "Redo (disabled)"}),
                  ChooseFromMenu(&d, tools, tapTools, ids, ID_EDIT_UNDO));
        EXPECT_EQ((std::vector<bool>{true, false, true, false}), RowTicks(d));
        EXPECT_EQ(1, Stored(list.id).items[0].checked) << "Tent is ticked again";

        EXPECT_EQ((std::vector<std::string>{"Undo (disabled)", "Redo Invert Checks"}),
                  ChooseFromMenu(&d, tools, tapTools, ids, ID_EDIT_REDO));
        EXPECT_EQ(inverted, RowTicks(d));
        EXPECT_EQ(2, Stored(list.id).uncheckedCount);
        EXPECT_EQ(0, Stored(list.id).items[0].checked) << "Tent is unticked again";
        TapTitleBar(d, TitleArea::Ok);
    });
}
