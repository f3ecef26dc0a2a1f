// Undo and redo in the main view: the keys of the frame, the Tools menu
// entries and the rows rebuilt from the store.
#include "tests/browser/BrowserFixture.h"

#include "controls/GestureListCtrl.h"
#include "controls/WxString.h"
#include "platform/UndoHistory.h"
#include "resources/ResourceIds.h"

#include <wx/menu.h>
#include <wx/toolbar.h>
#include <wx/uiaction.h>

using Strings = std::vector<std::string>;

namespace
{
class ViewUndoTest : public BrowserTest
{
protected:
    void SetUp() override
    {
        BrowserTest::SetUp();
        ObjectStore::Undo::Clear();
    }
    void TearDown() override
    {
        BrowserTest::TearDown();
        ObjectStore::Undo::Clear();
    }

    void CtrlKey(int key, bool shift = false)
    {
        m_list->SetFocus();
        Pump(20);
        wxUIActionSimulator sim;
        sim.Char(key, shift ? wxMOD_CONTROL | wxMOD_SHIFT : wxMOD_CONTROL);
        Pump(60);
    }

    /// The entry as the frame's Tools menu shows it when opened.
    std::string ToolsEntry(int id)
    {
        wxMenu* menu = m_frame->GetToolsMenu();
        menu->UpdateUI(m_frame);
        wxMenuItem* item = menu->FindItem(id);
        if (!item)
            return "<none>";
        return (item->GetItemLabelText() + (item->IsEnabled() ? "" : " (disabled)")).utf8_string();
    }

    void MenuCommand(int id)
    {
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(m_frame->GetToolsMenu());
        m_frame->ProcessWindowEvent(event);
    }

    static size_t StoredItems(int32_t listId)
    {
        ListRecord list;
        list.id = listId;
        list.LoadItems(FilterAll);
        return list.items.size();
    }
};

TEST_F(ViewUndoTest, CtrlZBringsADeletedChecklistBackAndCtrlYDeletesItAgain)
{
    AddChecklist(u"Keep", u"Unfiled", 0, 2, 1);
    const ListRecord gone = AddChecklist(u"Old stuff", u"Unfiled", 1, 3, 2);
    Open();
    EXPECT_EQ("Undo (disabled)", ToolsEntry(ID_EDIT_UNDO));
    EXPECT_EQ("Redo (disabled)", ToolsEntry(ID_EDIT_REDO));
    Select(1);
    wxTEST_DIALOG(Command(ID_DELETE_CHECKLIST),
                  ExpectMessage("Delete the 'Old stuff' checklist?", "Delete Checklist", wxID_YES));
    ASSERT_EQ(1u, Stored().size());
    EXPECT_EQ("Undo Delete Checklist", ToolsEntry(ID_EDIT_UNDO));

    CtrlKey('Z');
    ASSERT_EQ(2u, Stored().size());
    EXPECT_EQ(gone.id, Stored()[1].id);
    EXPECT_EQ(5u, StoredItems(gone.id));
    EXPECT_EQ((Strings{"1. Keep (2)", "2. Old stuff (3)"}), Rows());
    EXPECT_EQ("Undo (disabled)", ToolsEntry(ID_EDIT_UNDO));
    EXPECT_EQ("Redo Delete Checklist", ToolsEntry(ID_EDIT_REDO));

    CtrlKey('Y');
    EXPECT_EQ(1u, Stored().size());
    EXPECT_EQ(0u, StoredItems(gone.id));
    EXPECT_EQ((Strings{"1. Keep (2)"}), Rows());

    CtrlKey('Z');
    CtrlKey('Z', true);
    EXPECT_EQ((Strings{"1. Keep (2)"}), Rows()) << "Ctrl+Shift+Z redoes as well";
}

TEST_F(ViewUndoTest, ToolsMenuUndoesASortAndTheCategoriesShownFollow)
{
    AddChecklist(u"Zebra", u"Unfiled", 0);
    AddChecklist(u"Apple", u"Unfiled", 1);
    Open();
    MenuCommand(ID_SORT_ALPHA);
    EXPECT_EQ((Strings{"1. Apple (0)", "2. Zebra (0)"}), Rows());
    EXPECT_EQ("Undo Sort Alphabetically", ToolsEntry(ID_EDIT_UNDO));
    MenuCommand(ID_EDIT_UNDO);
    EXPECT_EQ((Strings{"1. Zebra (0)", "2. Apple (0)"}), Rows());
    EXPECT_EQ("Redo Sort Alphabetically", ToolsEntry(ID_EDIT_REDO));

    // A category made elsewhere in a step of this program comes and goes
    // with its undo in the drop-down.
    {
        ObjectStore::UndoStep step(u"New Category");
        CategoryList categories;
        ASSERT_TRUE(categories.LoadCategories());
        categories.push_back({u"Garden", 2});
        ASSERT_TRUE(categories.SaveCategories());
    }
    MenuCommand(ID_EDIT_UNDO);
    EXPECT_EQ((Strings{"All", "Personal", "Business", "Unfiled", "Edit..."}), CategoryEntries());
    MenuCommand(ID_EDIT_REDO);
    EXPECT_EQ((Strings{"All", "Personal", "Business", "Garden", "Unfiled", "Edit..."}), CategoryEntries());
}

TEST_F(ViewUndoTest, RefusedUndoInTheMainViewSaysSo)
{
    const ListRecord list = AddChecklist(u"Trip", u"Unfiled", 0);
    Open();
    Select(0);
    {
        ObjectStore::UndoStep step(u"Rename Checklist");
        ListRecord renamed = list;
        renamed.name = u"Journey";
        ASSERT_TRUE(renamed.SaveList());
    }
    ListRecord elsewhere;
    ASSERT_TRUE(elsewhere.LoadList(list.id));
    elsewhere.note = u"changed by another instance";
    ASSERT_TRUE(elsewhere.SaveList());
    wxTEST_DIALOG(CtrlKey('Z'),
                  ExpectMessage("\"Rename Checklist\" cannot be undone: a checklist, item or category it changed has "
                                "been changed elsewhere since. Nothing was changed.",
                                "Undo"));
    ListRecord stored;
    ASSERT_TRUE(stored.LoadList(list.id));
    EXPECT_EQ(u"Journey", stored.name);
}
}

namespace
{
TEST_F(ViewUndoTest, UndoKeepsTheSelectedChecklistAndTheFirstVisibleRow)
{
    std::vector<ListRecord> lists;
    for (int i = 0; i < 40; ++i)
        lists.push_back(AddChecklist(u"List " + FromWx(wxString::Format("%02d", i)), u"Unfiled", i));
    Open();
    m_list->EnsureVisible(39);
    m_list->EnsureVisible(20);
    Select(25);
    Pump(30);
    const long top = m_list->GetTopItem();
    ASSERT_GT(top, 0);
    {
        ObjectStore::UndoStep step(u"Rename Checklist");
        ListRecord renamed = lists[25];
        renamed.name = u"Renamed";
        ASSERT_TRUE(renamed.SaveList());
    }
    m_view->RefreshList();
    m_list->EnsureVisible(39);
    m_list->EnsureVisible(top);
    Select(25);
    Pump(30);

    CtrlKey('Z');
    EXPECT_EQ("26. List 25 (0)", Rows()[25]);
    EXPECT_EQ(25, m_view->SelectedRow());
    EXPECT_EQ(top, m_list->GetTopItem());
}
}

TEST_F(ViewUndoTest, ToolsMenuOpenedByATapNamesTheStepAndRunsIt)
{
    AddChecklist(u"Keep", u"Unfiled", 0, 1);
    const ListRecord gone = AddChecklist(u"Old stuff", u"Unfiled", 1, 2, 2);
    Open();
    Select(1);
    wxTEST_DIALOG(Command(ID_DELETE_CHECKLIST),
                  ExpectMessage("Delete the 'Old stuff' checklist?", "Delete Checklist", wxID_YES));
    ASSERT_EQ(1u, Stored().size());

    wxToolBar* bar = m_frame->GetCommandBar();
    // The "Tools" button is the bar's first, at its left end.
    const auto tapTools = [&] { ClickAt(bar, wxPoint(bar->FromDIP(12), bar->GetClientSize().y / 2)); };
    const std::vector<int> ids{ID_EDIT_UNDO, ID_EDIT_REDO};
    EXPECT_EQ((Strings{"Undo Delete Checklist", "Redo (disabled)"}),
              ChooseFromMenu(bar, m_frame->GetToolsMenu(), tapTools, ids, ID_EDIT_UNDO));
    ASSERT_EQ(2u, Stored().size());
    EXPECT_EQ(gone.id, Stored()[1].id);
    EXPECT_EQ(4u, StoredItems(gone.id));
    EXPECT_EQ((Strings{"1. Keep (1)", "2. Old stuff (2)"}), Rows());

    EXPECT_EQ((Strings{"Undo (disabled)", "Redo Delete Checklist"}),
              ChooseFromMenu(bar, m_frame->GetToolsMenu(), tapTools, ids, ID_EDIT_REDO));
    EXPECT_EQ(1u, Stored().size());
    EXPECT_EQ((Strings{"1. Keep (1)"}), Rows());
}
