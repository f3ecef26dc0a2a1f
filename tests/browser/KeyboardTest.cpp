// Keyboard use of the main view: the list and the category drop-down.
#include "tests/browser/BrowserFixture.h"
#include "tests/browser/ExpectDialog.h"

#include "dialogs/CCategoriesDlg.h"
#include "editor/CListDlg.h"
#include "resources/ResourceIds.h"

#include <wx/combobox.h>
#include <wx/uiaction.h>

using Strings = std::vector<std::string>;

TEST_F(BrowserTest, ListKeysMoveTheSelectionOpenAndDeleteWithTheQuestion)
{
    AddChecklist(u"Groceries", u"Unfiled", 0, 2);
    const ListRecord second = AddChecklist(u"Packing", u"Unfiled", 1, 1);
    Open();
    m_list->SetFocus();
    Select(0);
    Pump(50);
    wxUIActionSimulator sim;
    sim.Char(WXK_DOWN);
    EXPECT_TRUE(WaitFor([&] { return m_view->SelectedRow() == 1; }, 2000));

    int32_t openedId = 0;
    wxTEST_DIALOG(
        {
            sim.Char(WXK_RETURN);
            Pump(200);
        },
        ExpectDialog<CListDlg>([&](CListDlg* dlg) {
            openedId = dlg->m_listId;
            return wxID_CANCEL;
        }));
    EXPECT_EQ(second.id, openedId);

    // Delete asks first; No keeps everything, Yes removes the selected one.
    Select(1);
    wxTEST_DIALOG(
        {
            sim.Char(WXK_DELETE);
            Pump(200);
        },
        ExpectMessage("Delete the 'Packing' checklist?", "Delete Checklist", wxID_NO));
    EXPECT_EQ(2u, Stored().size());
    wxTEST_DIALOG(
        {
            sim.Char(WXK_DELETE);
            Pump(200);
        },
        ExpectMessage("Delete the 'Packing' checklist?", "Delete Checklist", wxID_YES));
    EXPECT_EQ(1u, Stored().size());
    EXPECT_EQ((Strings{"1. Groceries (2)"}), Rows());

    // Without a selection the key asks nothing (a box would fail the test).
    sim.Char(WXK_DELETE);
    Pump(200);
    EXPECT_EQ(1u, Stored().size());
}

TEST_F(BrowserTest, FirstArrowAfterARefreshSelectsTheFirstRow)
{
    AddChecklist(u"Groceries", u"Unfiled", 0);
    AddChecklist(u"Packing", u"Unfiled", 1);
    AddChecklist(u"Tools", u"Unfiled", 2);
    Open();
    m_list->SetFocus();
    Pump(50);
    wxUIActionSimulator sim;
    sim.Char(WXK_DOWN);
    EXPECT_TRUE(WaitFor([&] { return m_view->SelectedRow() == 0; }, 2000));
    sim.Char(WXK_DOWN);
    EXPECT_TRUE(WaitFor([&] { return m_view->SelectedRow() == 1; }, 2000));

    // A sort keeps the selected checklist selected.
    Command(ID_SORT_ALPHA);
    EXPECT_EQ(1, m_view->SelectedRow());
    // Choosing a category clears the selection but not the list's focus.
    CloseUpOn(0);
    ASSERT_EQ(3, m_view->SelectedRow());
    m_list->SetFocus();
    Pump(50);
    sim.Char(WXK_DOWN);
    EXPECT_TRUE(WaitFor([&] { return m_view->SelectedRow() == 0; }, 2000));
}

TEST_F(BrowserTest, DropDownChangedByKeysWithoutOpeningShowsThatCategory)
{
    AddCategories({u"Home", u"Travel"});
    AddChecklist(u"Groceries", u"Home", 0);
    AddChecklist(u"Packing", u"Travel", 1);
    AddChecklist(u"Loose", u"Unfiled", 2);
    Open();
    wxComboBox* combo = m_frame->GetCategorySelector();
    ASSERT_EQ(0, combo->GetSelection());
    combo->SetFocus();
    Pump(100);

    wxUIActionSimulator sim;
    sim.Char(WXK_DOWN);
    ASSERT_TRUE(WaitFor([&] { return combo->GetSelection() == 1; }, 2000));
    EXPECT_TRUE(WaitFor([] { return LastCategory() == u"Home"; }, 2000));
    EXPECT_EQ((Strings{"1. Groceries (0)"}), Rows());

    // On to "Edit...": the categories dialog opens once, then the entry of
    // the shown category comes back.
    sim.Char(WXK_DOWN);
    ASSERT_TRUE(WaitFor([] { return LastCategory() == u"Travel"; }, 2000));
    sim.Char(WXK_DOWN);
    ASSERT_TRUE(WaitFor([] { return LastCategory() == u"Unfiled"; }, 2000));
    int opened = 0;
    wxTEST_DIALOG(
        {
            sim.Char(WXK_DOWN);
            WaitFor([&] { return opened > 0; }, 2000);
            Pump(300);
        },
        ExpectDialog<CCategoriesDlg>([&](CCategoriesDlg*) {
            ++opened;
            return wxID_OK;
        }));
    EXPECT_EQ(1, opened);
    EXPECT_EQ(u"Unfiled", LastCategory());
    EXPECT_EQ(3, combo->GetSelection());
    EXPECT_EQ((Strings{"1. Loose (0)"}), Rows());
}

TEST_F(BrowserTest, EditPickedInTheOpenDropDownIsAnsweredOnce)
{
    AddCategories({u"Home", u"Travel"});
    AddChecklist(u"Packing", u"Travel", 0);
    SetLastCategory(u"Travel");
    Open();
    Select(0);
    wxComboBox* combo = m_frame->GetCategorySelector();
    ASSERT_EQ(2, combo->GetSelection());

    // The pick reports both a change and a close. The dialog deletes the
    // shown category, so the refilled drop-down has no selection: answering
    // the pick a second time would store that as an empty LastCategory.
    int opened = 0;
    wxTEST_DIALOG(
        {
            combo->SetFocus();
            combo->Popup();
            Pump(300);
            wxUIActionSimulator sim;
            for (int i = 0; i < 2; ++i)
            {
                sim.Char(WXK_DOWN);
                Pump(50);
            }
            sim.Char(WXK_RETURN);
            WaitFor([&] { return opened > 0; }, 2000);
            Pump(300);
        },
        ExpectDialog<CCategoriesDlg>([&](CCategoriesDlg*) {
            ++opened;
            AddCategories({u"Home"});
            return wxID_OK;
        }));
    EXPECT_EQ(1, opened);
    EXPECT_EQ(u"Travel", LastCategory());
    EXPECT_EQ(wxNOT_FOUND, combo->GetSelection());
    EXPECT_EQ((Strings{"1. Packing (0)"}), Rows());
    EXPECT_EQ(0, m_view->SelectedRow()); // rows were not rebuilt
}
