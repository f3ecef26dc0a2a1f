// A rebuild of the main view's rows keeps the first visible row and the
// selected checklist where they were.
#include "tests/browser/BrowserFixture.h"
#include "tests/browser/ExpectDialog.h"

#include "editor/CListDlg.h"
#include "resources/ResourceIds.h"

#include <wx/uiaction.h>

namespace
{
std::u16string Numbered(int i)
{
    const std::string text = "List " + std::to_string(100 + i);
    return std::u16string(text.begin(), text.end());
}
}

TEST_F(BrowserTest, RebuildsKeepTheFirstVisibleRowAndTheSelectedChecklist)
{
    for (int i = 0; i < 60; ++i)
        AddChecklist(Numbered(i), u"Unfiled", i, i % 3);
    Open();
    // Scrolled to the middle, where the first visible row could move
    // either way.
    m_list->EnsureVisible(59);
    m_list->EnsureVisible(20);
    Pump(30);
    const long top = m_list->GetTopItem();
    ASSERT_EQ(20, top);

    // A real click selects a row in the scrolled list.
    wxRect rect;
    ASSERT_TRUE(m_list->GetItemRect(top + 2, rect));
    ClickAt(m_list, m_list->MainToClient(rect.GetPosition() + wxPoint(20, rect.height / 2)));
    ASSERT_EQ(top + 2, m_view->SelectedRow());
    const int32_t selectedId = m_view->GetLists()[top + 2].id;

    // The editor opened and closed: rows rebuilt in place.
    wxTEST_DIALOG(Command(ID_OPEN_CHECKLIST), ExpectDialog<CListDlg>([](CListDlg*) { return wxID_OK; }));
    EXPECT_EQ(top, m_list->GetTopItem());
    EXPECT_EQ(top + 2, m_view->SelectedRow());

    // A checklist above goes: the selection stays with its checklist.
    ASSERT_TRUE(ListStore::DeleteChecklist(m_view->GetLists()[0].id));
    m_view->RefreshList();
    EXPECT_EQ(top + 1, m_view->SelectedRow());
    EXPECT_EQ(selectedId, m_view->GetLists()[top + 1].id);
    EXPECT_EQ(top, m_list->GetTopItem());

    // The selected checklist goes: nothing is selected, the place holds.
    ASSERT_TRUE(ListStore::DeleteChecklist(selectedId));
    m_view->RefreshList();
    EXPECT_EQ(m_list->GetItemCount(), m_view->SelectedRow());
    EXPECT_EQ(top, m_list->GetTopItem());

    // Choosing a category shows it from the top with nothing selected.
    Select(top + 3);
    CloseUpOn(0);
    EXPECT_EQ(0, m_list->GetTopItem());
    EXPECT_EQ(m_list->GetItemCount(), m_view->SelectedRow());
}
