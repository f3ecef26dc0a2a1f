// Position changes of Move Up and Move Down, on plain numbers and records.
#include "browser/MoveRows.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace
{
ListArray Lists(std::initializer_list<int> positions)
{
    ListArray lists;
    int n = 0;
    for (int p : positions)
    {
        ListRecord r;
        r.id = ++n;
        r.name = u"L" + std::u16string(1, static_cast<char16_t>(u'0' + n));
        r.position = static_cast<int16_t>(p);
        lists.push_back(r);
    }
    return lists;
}

std::vector<int> Positions(const ListArray& lists)
{
    std::vector<int> out;
    for (const ListRecord& r : lists)
        out.push_back(r.position);
    return out;
}

std::vector<int> Ids(const ListArray& lists)
{
    std::vector<int> out;
    for (const ListRecord& r : lists)
        out.push_back(r.id);
    return out;
}
}

TEST(MoveRows, DistinctPositionsAreExchangedAndOnlyThePairIsSaved)
{
    ListArray lists = Lists({0, 3, 7});
    // Move row 2 up: row 2 is the selected one and is saved first.
    EXPECT_EQ((std::vector<size_t>{2, 1}), ExchangeChecklists(lists, 1, 2));
    EXPECT_EQ((std::vector<int>{1, 3, 2}), Ids(lists));
    EXPECT_EQ((std::vector<int>{0, 3, 7}), Positions(lists));

    // Move row 0 down.
    EXPECT_EQ((std::vector<size_t>{0, 1}), ExchangeChecklists(lists, 0, 0));
    EXPECT_EQ((std::vector<int>{3, 1, 2}), Ids(lists));
    EXPECT_EQ((std::vector<int>{0, 3, 7}), Positions(lists));
}

TEST(MoveRows, EqualPositionsWithRoomAboveLowerOnlyTheMovedOne)
{
    ListArray lists = Lists({1, 5, 5, 9});
    EXPECT_EQ((std::vector<size_t>{2, 1}), ExchangeChecklists(lists, 1, 2));
    EXPECT_EQ((std::vector<int>{1, 3, 2, 4}), Ids(lists));
    EXPECT_EQ((std::vector<int>{1, 4, 5, 9}), Positions(lists));
}

TEST(MoveRows, EqualPositionsWithoutRoomAboveRaiseTheLowerOne)
{
    // Row 0 sits right below the pair's position, row 3 far above it.
    ListArray lists = Lists({4, 5, 5, 9});
    EXPECT_EQ((std::vector<size_t>{1, 2}), ExchangeChecklists(lists, 1, 1));
    EXPECT_EQ((std::vector<int>{1, 3, 2, 4}), Ids(lists));
    EXPECT_EQ((std::vector<int>{4, 5, 6, 9}), Positions(lists));
}

TEST(MoveRows, CrowdedPositionsPushTheFewestNeighbours)
{
    // Above: 3 rows would have to move; below: 1.
    std::vector<int> pos{2, 3, 4, 4, 5, 7};
    EXPECT_EQ((std::vector<size_t>{3, 4}), SeparateEqualPositions(pos, 2));
    EXPECT_EQ((std::vector<int>{2, 3, 4, 5, 6, 7}), pos);

    // A run of three equal positions: moving the middle one down separates
    // it from the first and keeps the last behind it.
    ListArray lists = Lists({8, 8, 8});
    const std::vector<size_t> saved = ExchangeChecklists(lists, 1, 1);
    EXPECT_EQ((std::vector<int>{1, 3, 2}), Ids(lists));
    EXPECT_LT(lists[1].position, lists[2].position);
    EXPECT_LE(lists[0].position, lists[1].position);
    EXPECT_EQ(2u, saved.size());
}

TEST(MoveRows, PositionsStayWithinSixteenBits)
{
    std::vector<int> top{-32768, -32768, 0};
    EXPECT_EQ((std::vector<size_t>{1}), SeparateEqualPositions(top, 0));
    EXPECT_EQ((std::vector<int>{-32768, -32767, 0}), top);

    std::vector<int> bottom{0, 32767, 32767};
    EXPECT_EQ((std::vector<size_t>{1}), SeparateEqualPositions(bottom, 1));
    EXPECT_EQ((std::vector<int>{0, 32766, 32767}), bottom);

    std::vector<int> ordered{1, 2};
    EXPECT_TRUE(SeparateEqualPositions(ordered, 0).empty());
    EXPECT_EQ((std::vector<int>{1, 2}), ordered);
}
