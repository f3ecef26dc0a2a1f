// Moving items whose positions are equal or tied with their neighbours: the
// moved item stays where the user put it, with as few positions changed as
// that needs.
#include "tests/editor/ListDlgTest.h"

namespace
{
ItemArray WithPositions(const std::vector<int16_t>& positions)
{
    ItemArray items;
    for (size_t i = 0; i < positions.size(); ++i)
    {
        ItemRecord item;
        item.id = static_cast<int32_t>(i + 1);
        item.position = positions[i];
        items.push_back(item);
    }
    return items;
}

size_t Changed(const ItemArray& items, const std::vector<int16_t>& positions)
{
    size_t n = 0;
    for (size_t i = 0; i < items.size(); ++i)
        n += items[i].position != positions[i];
    return n;
}
}

TEST(ExchangedPositionsTest, DistinctPositionsSimplySwap)
{
    const ItemArray items = WithPositions({0, 1, 2, 5});
    EXPECT_EQ((std::vector<int16_t>{0, 2, 1, 5}), ExchangedPositions(items, 1, 2));
    EXPECT_EQ((std::vector<int16_t>{5, 1, 2, 0}), ExchangedPositions(items, 0, 3));
}

TEST(ExchangedPositionsTest, EqualPositionsChangeTheFewestItems)
{
    // All tied: lowering the moved-up item alone puts it first.
    EXPECT_EQ((std::vector<int16_t>{0, -1, 0}), ExchangedPositions(WithPositions({0, 0, 0}), 0, 1));
    // Lowering would collide with the item above; raising the other is one change.
    EXPECT_EQ((std::vector<int16_t>{-1, 1, 0, 3}), ExchangedPositions(WithPositions({-1, 0, 0, 3}), 1, 2));
    // A run of ties below is pushed along only as far as needed.
    const ItemArray run = WithPositions({-2, -1, 4, 4, 5, 5, 9});
    const std::vector<int16_t> moved = ExchangedPositions(run, 2, 3);
    EXPECT_LE(Changed(run, moved), 2u);
    EXPECT_LT(moved[3], moved[2]);
    // At the edge of the 16-bit range the checklist is numbered afresh.
    EXPECT_EQ((std::vector<int16_t>{0, 2, 1, 3}),
              ExchangedPositions(WithPositions({-32768, -32768, 32767, 32767}), 1, 2));
}

TEST(ExchangedPositionsTest, NothingChangesForAPairOutOfOrder)
{
    const ItemArray items = WithPositions({0, 1});
    EXPECT_EQ((std::vector<int16_t>{0, 1}), ExchangedPositions(items, 1, 0));
    EXPECT_EQ((std::vector<int16_t>{0, 1}), ExchangedPositions(items, 0, 2));
}

// Items tied at one position load in the store's own order, which need not
// be the order they were added in; the moves must not depend on it.
TEST_F(ListDlgTest, MovesOfTiedItemsStayAfterReopening)
{
    ListRecord list = MakeList(u"Tied", {});
    const std::u16string names[] = {u"Cups", u"Plates", u"Bowls", u"Forks", u"Spoons"};
    const int16_t positions[] = {2, 1, 1, 1, 2};
    for (size_t i = 0; i < 5; ++i)
    {
        ItemRecord item;
        item.listId = list.id;
        item.name = names[i];
        item.position = positions[i];
        ASSERT_TRUE(item.SaveItem());
    }
    const std::vector<std::u16string> before = Names(Stored(list.id).items);
    ASSERT_EQ(5u, before.size());

    std::vector<std::u16string> expected = before;
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        ASSERT_EQ(before, RowNames(d));
        // Up from row 2 (tied with row 1), down from row 2 (tied with row 3
        // only by the store's order), and the last one up.
        const struct
        {
            long row;
            int command;
        } moves[] = {{2, ID_ITEM_MOVE_UP}, {2, ID_ITEM_MOVE_DOWN}, {4, ID_ITEM_MOVE_UP}, {1, ID_ITEM_MOVE_UP}};
        for (const auto& move : moves)
        {
            const long to = move.command == ID_ITEM_MOVE_UP ? move.row - 1 : move.row + 1;
            std::swap(expected[move.row], expected[to]);
            d.m_list->SetItemState(move.row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
            Command(d, move.command);
            EXPECT_EQ(expected, RowNames(d));
            EXPECT_EQ(to, d.m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED));
            EXPECT_EQ(expected, Names(Stored(list.id).items)) << "after moving row " << move.row;
        }
        TapTitleBar(d, TitleArea::Ok);
    });

    CListDlg again;
    again.SetListId(list.id);
    Run(again, [&](CListDlg& d) {
        EXPECT_EQ(expected, RowNames(d));
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgTest, MoveUnderAFilterExchangesTheTwoVisibleItems)
{
    const ListRecord list =
        MakeList(u"Groceries", {{u"Bread", 0}, {u"Milk", 1}, {u"Eggs", 0}, {u"Tea", 1}, {u"Jam", 0}});
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        Command(d, ID_SHOW_UNCHECKED);
        d.m_list->SetItemState(2, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
        Command(d, ID_ITEM_MOVE_UP);
        EXPECT_EQ((std::vector<std::u16string>{u"Bread", u"Jam", u"Eggs"}), RowNames(d));
        TapTitleBar(d, TitleArea::Ok);
    });
    EXPECT_EQ((std::vector<std::u16string>{u"Bread", u"Milk", u"Jam", u"Tea", u"Eggs"}),
              Names(Stored(list.id).items));
}
