// Commands on the selected checklist: New, Open, Delete, Copy List, List
// Note, Move Up, Move Down, the tap-and-hold menu and the enabling rules.
#include "tests/browser/BrowserFixture.h"
#include "tests/browser/ExpectDialog.h"

#include "controls/GestureListCtrl.h"
#include "dialogs/CListNameDlg.h"
#include "dialogs/CNoteDlg.h"
#include "editor/CCopyListDlg.h"
#include "editor/CListDlg.h"
#include "resources/ResourceIds.h"

#include <wx/menu.h>
#include <wx/timer.h>
#include <wx/toolbar.h>
#include <wx/uiaction.h>

#include <algorithm>

using Strings = std::vector<std::string>;

namespace
{
const ListRecord* FindStored(const ListArray& lists, const std::u16string& name)
{
    auto it = std::find_if(lists.begin(), lists.end(), [&](const ListRecord& r) { return r.name == name; });
    return it == lists.end() ? nullptr : &*it;
}

size_t StoredItemCount(int32_t listId, ItemFilter filter = FilterAll)
{
    ListRecord list;
    list.id = listId;
    list.LoadItems(filter);
    return list.items.size();
}

auto Answer(int code)
{
    return [code](auto*) { return code; };
}
}

TEST_F(BrowserTest, SelectionDrivesTheToolbarAndMenuEnabling)
{
    AddChecklist(u"One", u"Unfiled", 0);
    AddChecklist(u"Two", u"Unfiled", 1);
    AddChecklist(u"Three", u"Unfiled", 2);
    Open();
    const int needSelection[] = {ID_OPEN_CHECKLIST, ID_DELETE_CHECKLIST, ID_LIST_NOTE, ID_COPY_LIST, ID_MOVE_UP,
                                 ID_MOVE_DOWN};
    for (int id : needSelection)
        EXPECT_FALSE(ToolEnabled(id)) << id;
    EXPECT_TRUE(ToolEnabled(ID_NEW_CHECKLIST));

    Select(0);
    EXPECT_TRUE(ToolEnabled(ID_OPEN_CHECKLIST));
    EXPECT_TRUE(ToolEnabled(ID_DELETE_CHECKLIST));
    EXPECT_TRUE(ToolEnabled(ID_LIST_NOTE));
    EXPECT_TRUE(ToolEnabled(ID_COPY_LIST));
    EXPECT_FALSE(ToolEnabled(ID_MOVE_UP));
    EXPECT_TRUE(ToolEnabled(ID_MOVE_DOWN));

    Select(1);
    EXPECT_TRUE(ToolEnabled(ID_MOVE_UP));
    EXPECT_TRUE(ToolEnabled(ID_MOVE_DOWN));

    Select(2);
    EXPECT_TRUE(ToolEnabled(ID_MOVE_UP));
    EXPECT_FALSE(ToolEnabled(ID_MOVE_DOWN));

    // With one row neither move is offered.
    CloseUpOn(0);
    ListArray stored = Stored();
    ListStore::DeleteChecklist(stored[1].id);
    ListStore::DeleteChecklist(stored[2].id);
    m_view->RefreshList();
    Select(0);
    EXPECT_FALSE(ToolEnabled(ID_MOVE_UP));
    EXPECT_FALSE(ToolEnabled(ID_MOVE_DOWN));
    EXPECT_TRUE(ToolEnabled(ID_OPEN_CHECKLIST));
}

TEST_F(BrowserTest, CommandsWithoutSelectionDoNothing)
{
    AddChecklist(u"One", u"Unfiled", 0, 2);
    AddChecklist(u"Two", u"Unfiled", 1);
    Open();
    // Any dialog or message box would fail the test: none is expected.
    for (int id : {ID_OPEN_CHECKLIST, ID_DELETE_CHECKLIST, ID_LIST_NOTE, ID_COPY_LIST, ID_MOVE_UP, ID_MOVE_DOWN})
        Command(id);
    wxListEvent activated(wxEVT_LIST_ITEM_ACTIVATED, IDC_CHECKLISTS);
    activated.SetEventObject(m_list);
    m_list->GetEventHandler()->ProcessEvent(activated);
    EXPECT_EQ((Strings{"1. One (2)", "2. Two (0)"}), Rows());
    EXPECT_EQ(2u, Stored().size());
}

TEST_F(BrowserTest, NewChecklistIsFiledUnfiledAndOpenedInTheEditor)
{
    AddCategories({u"Personal"});
    AddChecklist(u"Mine", u"Personal", 0);
    AddChecklist(u"Other", u"Unfiled", 1);
    SetLastCategory(u"Personal");
    Open();

    int32_t editedId = 0;
    int editorTotal = 0;
    wxTEST_DIALOG(Command(ID_NEW_CHECKLIST), ExpectDialog<CListNameDlg>([](CListNameDlg* dlg) {
                      EXPECT_TRUE(dlg->m_name.empty());
                      EXPECT_FALSE(dlg->m_bCopyMode);
                      dlg->m_name = u"Camping";
                      return wxID_OK;
                  }),
                  ExpectDialog<CListDlg>([&](CListDlg* dlg) {
                      editedId = dlg->m_listId;
                      editorTotal = dlg->m_totalCount;
                      return wxID_OK;
                  }));
    const ListArray stored = Stored();
    const ListRecord* created = FindStored(stored, u"Camping");
    ASSERT_NE(nullptr, created);
    EXPECT_EQ(u"Unfiled", created->category);
    EXPECT_EQ(2, created->position); // the count of checklists before it
    EXPECT_EQ(0, created->itemCount);
    EXPECT_TRUE(created->note.empty());
    EXPECT_EQ(created->id, editedId);
    EXPECT_EQ(3, editorTotal);
    // Not listed under "Personal".
    EXPECT_EQ((Strings{"1. Mine (0)"}), Rows());

    // Cancelling the name stores nothing and opens no editor.
    wxTEST_DIALOG(Command(ID_NEW_CHECKLIST), ExpectDialog<CListNameDlg>(Answer(wxID_CANCEL)));
    EXPECT_EQ(3u, Stored().size());
}

TEST_F(BrowserTest, OpenByCommandOrDoubleTapRunsTheEditorAndRebuildsBoth)
{
    AddCategories({u"Home"});
    const ListRecord first = AddChecklist(u"Groceries", u"Home", 0, 1);
    AddChecklist(u"Packing", u"Unfiled", 1);
    Open();
    Select(0);
    int32_t openedId = 0;
    int total = 0;
    // The editor files the checklist under a new category meanwhile.
    wxTEST_DIALOG(Command(ID_OPEN_CHECKLIST), ExpectDialog<CListDlg>([&](CListDlg* dlg) {
                      openedId = dlg->m_listId;
                      total = dlg->m_totalCount;
                      AddCategories({u"Home", u"Errands"});
                      return wxID_CANCEL;
                  }));
    EXPECT_EQ(first.id, openedId);
    EXPECT_EQ(2, total);
    EXPECT_EQ(0, m_view->SelectedRow()); // the rebuild keeps the opened checklist selected
    EXPECT_EQ((Strings{"All", "Home", "Errands", "Unfiled", "Edit..."}), CategoryEntries());

    // A real double click on the second row.
    wxRect rect;
    ASSERT_TRUE(m_list->GetItemRect(1, rect));
    const wxPoint at = m_list->MainToClient(rect.GetPosition() + wxPoint(20, rect.height / 2));
    wxTEST_DIALOG(
        {
            wxUIActionSimulator sim;
            sim.MouseMove(m_list->ClientToScreen(at));
            Pump(30);
            sim.MouseDblClick();
            Pump(100);
        },
        ExpectDialog<CListDlg>([&](CListDlg* dlg) {
            openedId = dlg->m_listId;
            return wxID_OK;
        }));
    EXPECT_EQ(Stored()[1].id, openedId);
}

TEST_F(BrowserTest, DeleteAsksFirstAndRemovesTheChecklistWithItsItems)
{
    const ListRecord keep = AddChecklist(u"Keep", u"Unfiled", 0, 2, 1);
    const ListRecord gone = AddChecklist(u"Old stuff", u"Unfiled", 1, 3, 2);
    Open();
    Select(1);
    wxTEST_DIALOG(Command(ID_DELETE_CHECKLIST),
                  ExpectMessage("Delete the 'Old stuff' checklist?", "Delete Checklist", wxID_NO));
    EXPECT_EQ(2u, Stored().size());
    EXPECT_EQ(5u, StoredItemCount(gone.id));
    EXPECT_EQ(1, m_view->SelectedRow()); // nothing rebuilt

    wxTEST_DIALOG(Command(ID_DELETE_CHECKLIST),
                  ExpectMessage("Delete the 'Old stuff' checklist?", "Delete Checklist", wxID_YES));
    const ListArray stored = Stored();
    ASSERT_EQ(1u, stored.size());
    EXPECT_EQ(keep.id, stored[0].id);
    EXPECT_EQ(0u, StoredItemCount(gone.id));
    EXPECT_EQ(3u, StoredItemCount(keep.id));
    EXPECT_EQ((Strings{"1. Keep (2)"}), Rows());
}

TEST_F(BrowserTest, DeletingAChecklistThatIsGoneIsReported)
{
    const ListRecord list = AddChecklist(u"Vanishing", u"Unfiled", 0);
    Open();
    Select(0);
    ASSERT_TRUE(ListStore::DeleteChecklist(list.id)); // deleted by another instance
    wxTEST_DIALOG(Command(ID_DELETE_CHECKLIST),
                  ExpectMessage("Delete the 'Vanishing' checklist?", "Delete Checklist", wxID_YES),
                  ExpectMessage("Error deleting the checklist!", AppTitle()));
    EXPECT_EQ(0, m_list->GetItemCount());
}

TEST_F(BrowserTest, CopyTakesTheChosenItemsIntoANewChecklistOfTheSameCategory)
{
    AddCategories({u"Home"});
    ListRecord source = AddChecklist(u"Groceries", u"Home", 0, 2, 3);
    source.note = u"a note that is not copied";
    ASSERT_TRUE(source.SaveList());
    AddChecklist(u"Other", u"Unfiled", 1);
    SetLastCategory(u"Home");

    struct Case
    {
        int choice;
        std::u16string name;
        size_t items;
        int unchecked;
    };
    const Case cases[] = {{0, u"All copy", 5, 2}, {1, u"Checked copy", 3, 0}, {2, u"Unchecked copy", 2, 2}};
    Open();
    int16_t expectedPosition = 2;
    for (const Case& c : cases)
    {
        Select(0);
        wxTEST_DIALOG(Command(ID_COPY_LIST), ExpectDialog<CCopyListDlg>([&](CCopyListDlg* dlg) {
                          dlg->m_choice = c.choice;
                          return wxID_OK;
                      }),
                      ExpectDialog<CListNameDlg>([&](CListNameDlg* dlg) {
                          EXPECT_EQ(u"Groceries", dlg->m_name);
                          EXPECT_TRUE(dlg->m_bCopyMode);
                          dlg->m_name = c.name;
                          return wxID_OK;
                      }));
        const ListArray stored = Stored();
        const ListRecord* copy = FindStored(stored, c.name);
        ASSERT_NE(nullptr, copy) << c.choice;
        EXPECT_EQ(u"Home", copy->category);
        EXPECT_EQ(expectedPosition++, copy->position);
        EXPECT_TRUE(copy->note.empty());
        EXPECT_EQ(static_cast<int>(c.items), copy->itemCount);
        EXPECT_EQ(c.unchecked, copy->uncheckedCount);
        EXPECT_EQ(c.items, StoredItemCount(copy->id));
        EXPECT_EQ(static_cast<size_t>(c.unchecked), StoredItemCount(copy->id, FilterUnchecked));
        EXPECT_NE(source.id, copy->id);
    }
    EXPECT_EQ(5u, StoredItemCount(source.id));
    EXPECT_EQ(4, m_list->GetItemCount());

    // Cancelling either dialog copies nothing.
    Select(0);
    wxTEST_DIALOG(Command(ID_COPY_LIST), ExpectDialog<CCopyListDlg>(Answer(wxID_CANCEL)));
    Select(0);
    wxTEST_DIALOG(Command(ID_COPY_LIST), ExpectDialog<CCopyListDlg>(Answer(wxID_OK)),
                  ExpectDialog<CListNameDlg>(Answer(wxID_CANCEL)));
    EXPECT_EQ(5u, Stored().size());
}

TEST_F(BrowserTest, ListNoteIsSavedOnOkOnly)
{
    ListRecord list = AddChecklist(u"Trip", u"Unfiled", 0, 1);
    list.note = u"old";
    ASSERT_TRUE(list.SaveList());
    Open();
    Select(0);
    wxTEST_DIALOG(Command(ID_LIST_NOTE), ExpectDialog<CNoteDlg>([](CNoteDlg* dlg) {
                      EXPECT_EQ(u"old", dlg->m_note);
                      dlg->m_note = u"discarded";
                      return wxID_CANCEL;
                  }));
    EXPECT_EQ(u"old", Stored()[0].note);

    wxTEST_DIALOG(Command(ID_LIST_NOTE), ExpectDialog<CNoteDlg>([](CNoteDlg* dlg) {
                      dlg->m_note = u"passport\nticket";
                      return wxID_OK;
                  }));
    const ListArray stored = Stored();
    EXPECT_EQ(u"passport\nticket", stored[0].note);
    EXPECT_EQ(u"Trip", stored[0].name);
    EXPECT_EQ(1, stored[0].uncheckedCount);
    EXPECT_EQ(0, m_view->SelectedRow());
}

TEST_F(BrowserTest, MovesRewriteTwoRowsFollowTheSelectionAndPersist)
{
    AddChecklist(u"A", u"Unfiled", 0, 1);
    AddChecklist(u"B", u"Unfiled", 1, 2);
    AddChecklist(u"C", u"Unfiled", 2, 3);
    Open();
    Select(2);
    Command(ID_MOVE_UP);
    EXPECT_EQ((Strings{"1. A (1)", "2. C (3)", "3. B (2)"}), Rows());
    EXPECT_EQ(1, m_view->SelectedRow());
    EXPECT_EQ(0, m_list->GetItemState(2, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED));

    Command(ID_MOVE_UP);
    EXPECT_EQ((Strings{"1. C (3)", "2. A (1)", "3. B (2)"}), Rows());
    EXPECT_EQ(0, m_view->SelectedRow());
    Command(ID_MOVE_UP); // first row: nothing
    EXPECT_EQ(0, m_view->SelectedRow());

    Command(ID_MOVE_DOWN);
    EXPECT_EQ((Strings{"1. A (1)", "2. C (3)", "3. B (2)"}), Rows());
    EXPECT_EQ(1, m_view->SelectedRow());

    ListArray stored = Stored();
    EXPECT_EQ(u"A", stored[0].name);
    EXPECT_EQ(u"C", stored[1].name);
    EXPECT_EQ(u"B", stored[2].name);
    EXPECT_EQ((std::vector<int16_t>{0, 1, 2}),
              (std::vector<int16_t>{stored[0].position, stored[1].position, stored[2].position}));

    Close();
    Open();
    EXPECT_EQ((Strings{"1. A (1)", "2. C (3)", "3. B (2)"}), Rows());
}

TEST_F(BrowserTest, MoveBetweenEqualPositionsSticksAfterReload)
{
    // A deletion left two checklists on position 1.
    AddChecklist(u"First", u"Unfiled", 0);
    AddChecklist(u"Second", u"Unfiled", 1);
    AddChecklist(u"Third", u"Unfiled", 1);
    AddChecklist(u"Fourth", u"Unfiled", 2);
    Open();
    const Strings before = Rows();
    ASSERT_EQ("4. Fourth (0)", before[3]);
    const std::string upper = before[1].substr(3);
    const std::string lower = before[2].substr(3);

    Select(2);
    Command(ID_MOVE_UP);
    EXPECT_EQ("2. " + lower, Rows()[1]);
    EXPECT_EQ(1, m_view->SelectedRow());
    m_view->RefreshList();
    EXPECT_EQ((Strings{"1. First (0)", "2. " + lower, "3. " + upper, "4. Fourth (0)"}), Rows());

    // And back down again, across a restart.
    Select(1);
    Command(ID_MOVE_DOWN);
    Close();
    Open();
    EXPECT_EQ((Strings{"1. First (0)", "2. " + upper, "3. " + lower, "4. Fourth (0)"}), Rows());
    const ListArray stored = Stored();
    for (size_t i = 1; i < stored.size(); ++i)
        EXPECT_LT(stored[i - 1].position, stored[i].position);
}

TEST_F(BrowserTest, TapAndHoldMenuOffersTheSixCommandsAndMoveUpActsLikeTheButton)
{
    AddChecklist(u"A", u"Unfiled", 0);
    AddChecklist(u"B", u"Unfiled", 1);
    AddChecklist(u"C", u"Unfiled", 2);
    Open();

    // Record the menu when it opens and choose "Move Up" from it, as GTK
    // does when an entry is activated.
    std::vector<std::pair<int, wxString>> entries;
    std::vector<bool> enabled;
    m_list->Bind(wxEVT_MENU_OPEN, [&](wxMenuEvent& event) {
        event.Skip();
        wxMenu* menu = event.GetMenu();
        if (!menu || !entries.empty())
            return;
        for (wxMenuItem* item : menu->GetMenuItems())
        {
            entries.emplace_back(item->GetId(), item->GetItemLabelText());
            enabled.push_back(item->IsEnabled());
        }
        m_frame->CallAfter([menu] {
            menu->SendEvent(ID_MOVE_UP);
            wxUIActionSimulator().Char(WXK_ESCAPE);
        });
    });

    // Hold the last row: the toolbar's Move Down is off there.
    wxRect rect;
    ASSERT_TRUE(m_list->GetItemRect(2, rect));
    HoldAt(m_list, m_list->MainToClient(rect.GetPosition() + wxPoint(20, rect.height / 2)),
           CGestureListCtrl::kHoldMs + 300);
    ASSERT_TRUE(WaitFor([&] { return !entries.empty(); }, 3000));
    WaitFor([&] { return Rows()[1] == "2. C (0)"; }, 2000);

    const std::vector<std::pair<int, wxString>> expected{{ID_OPEN_CHECKLIST, "Open..."},
                                                         {ID_DELETE_CHECKLIST, "Delete..."},
                                                         {ID_LIST_NOTE, "List Note..."},
                                                         {ID_COPY_LIST, "Copy List..."},
                                                         {ID_MOVE_UP, "Move Up"},
                                                         {ID_MOVE_DOWN, "Move Down"}};
    EXPECT_EQ(expected, entries);
    // Every entry is offered, Move Down too.
    EXPECT_EQ(std::vector<bool>(6, true), enabled);
    EXPECT_EQ((Strings{"1. A (0)", "2. C (0)", "3. B (0)"}), Rows());
    EXPECT_EQ(1, m_view->SelectedRow());
    EXPECT_EQ(u"C", Stored()[1].name);
}

TEST_F(BrowserTest, TapAndHoldBelowTheRowsOffersNothing)
{
    AddChecklist(u"A", u"Unfiled", 0);
    Open();
    bool opened = false;
    m_list->Bind(wxEVT_MENU_OPEN, [&](wxMenuEvent& event) {
        opened = true;
        event.Skip();
        wxUIActionSimulator().Char(WXK_ESCAPE);
    });
    HoldAt(m_list, wxPoint(20, m_list->GetClientSize().y - 5), CGestureListCtrl::kHoldMs + 300);
    Pump(200);
    EXPECT_FALSE(opened);
    EXPECT_EQ(1, m_view->SelectedRow());
}

TEST_F(BrowserTest, DoubleTapHeldOpensTheEditorWithoutTheMenuBehindIt)
{
    AddChecklist(u"A", u"Unfiled", 0);
    AddChecklist(u"B", u"Unfiled", 1);
    Open();
    const auto findEditor = [] {
        for (wxWindow* window : wxTopLevelWindows)
        {
            if (auto* dlg = dynamic_cast<CListDlg*>(window))
                return dlg;
        }
        return static_cast<CListDlg*>(nullptr);
    };

    // A real double click whose second press is held past the hold time
    // while the (really modal) editor runs. Then the editor is closed: it
    // finishes at once unless a menu popped up behind it holds it open.
    bool ended = false;
    bool heldOpen = false;
    bool done = false;
    wxTimer closer;
    closer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        CListDlg* dlg = findEditor();
        if (!ended && dlg && dlg->IsModal())
        {
            dlg->EndModal(wxID_CANCEL);
            ended = true;
        }
        else if (ended && dlg)
        {
            heldOpen = true;
            wxUIActionSimulator().Char(WXK_ESCAPE);
        }
        else if (ended)
        {
            done = true;
            closer.Stop();
        }
    });
    closer.Start(CGestureListCtrl::kHoldMs + 500);
    wxRect rect;
    ASSERT_TRUE(m_list->GetItemRect(1, rect));
    wxUIActionSimulator sim;
    sim.MouseMove(m_list->ClientToScreen(m_list->MainToClient(rect.GetPosition() + wxPoint(20, rect.height / 2))));
    Pump(30);
    sim.MouseDown();
    sim.MouseUp();
    sim.MouseDown();
    EXPECT_TRUE(WaitFor([&] { return done; }, 6000));
    sim.MouseUp();
    Pump(100);
    EXPECT_FALSE(heldOpen);
    EXPECT_EQ(2u, Stored().size());
}
