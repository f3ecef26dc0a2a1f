// Ticking down a long scrolled list: every rebuild keeps the first visible
// row and the selected item where they were.
#include "tests/editor/ListDlgTest.h"

TEST_F(ListDlgTest, TickingInAScrolledListKeepsItsPlace)
{
    std::vector<ItemSpec> items;
    for (int i = 0; i < 60; ++i)
    {
        const std::string name = "Item " + std::to_string(100 + i);
        items.push_back({std::u16string(name.begin(), name.end()), 0});
    }
    const ListRecord list = MakeList(u"Long", items);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        d.m_list->EnsureVisible(59);
        d.m_list->EnsureVisible(20);
        Pump(30);
        const long top = d.m_list->GetTopItem();
        ASSERT_EQ(20, top);

        // A row selected by a tap on its text, then boxes ticked below it.
        TapRow(d, top + 1, d.m_list->FromDIP(80));
        ASSERT_EQ(top + 1, d.m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED));
        for (long row = top + 2; row < top + 5; ++row)
        {
            TapRow(d, row, d.m_list->FromDIP(8));
            EXPECT_EQ(top, d.m_list->GetTopItem()) << row;
            EXPECT_TRUE(d.m_list->IsItemChecked(row)) << row;
            EXPECT_EQ(top + 1, d.m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) << row;
            EXPECT_TRUE(Enabled(d, ID_EDIT_ITEM));
        }
        const ListRecord stored = Stored(list.id);
        EXPECT_EQ(57, stored.uncheckedCount);
        EXPECT_EQ(1, stored.items[top + 4].checked);

        // Shown unchecked only, the ticked rows go and the selected item
        // keeps its selection at its new row.
        Command(d, ID_SHOW_UNCHECKED);
        EXPECT_EQ(57, d.m_list->GetItemCount());
        EXPECT_EQ(top + 1, d.m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED));
        TapTitleBar(d, TitleArea::Ok);
    });
}
