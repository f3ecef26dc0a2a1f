#include "browser/MoveRows.h"

#include <cstdint>
#include <limits>
#include <utility>

namespace
{
constexpr int kMinPosition = std::numeric_limits<int16_t>::min();
constexpr int kMaxPosition = std::numeric_limits<int16_t>::max();

// Lowers the upper row and whatever above it would then tie or cross it.
bool PlanUpward(std::vector<int>& pos, size_t upper, std::vector<size_t>& changed)
{
    int need = pos[upper + 1] - 1;
    for (size_t k = upper + 1; k-- > 0;)
    {
        if (pos[k] <= need)
            break;
        if (need < kMinPosition)
            return false;
        pos[k] = need;
        changed.push_back(k);
        need = pos[k] - 1;
    }
    return true;
}

// Raises the lower row and whatever below it would then tie or cross it.
bool PlanDownward(std::vector<int>& pos, size_t upper, std::vector<size_t>& changed)
{
    int need = pos[upper] + 1;
    for (size_t k = upper + 1; k < pos.size(); ++k)
    {
        if (pos[k] >= need)
            break;
        if (need > kMaxPosition)
            return false;
        pos[k] = need;
        changed.push_back(k);
        need = pos[k] + 1;
    }
    return true;
}
}

std::vector<size_t> SeparateEqualPositions(std::vector<int>& pos, size_t upper)
{
    if (upper + 1 >= pos.size() || pos[upper] < pos[upper + 1])
        return {};

    std::vector<int> up = pos;
    std::vector<size_t> upChanged;
    const bool upOk = PlanUpward(up, upper, upChanged);
    std::vector<int> down = pos;
    std::vector<size_t> downChanged;
    const bool downOk = PlanDownward(down, upper, downChanged);

    if (upOk && (!downOk || upChanged.size() <= downChanged.size()))
    {
        pos = std::move(up);
        return upChanged;
    }
    if (downOk)
    {
        pos = std::move(down);
        return downChanged;
    }
    return {};
}

std::vector<size_t> ExchangeChecklists(ListArray& lists, size_t upper, size_t selectedRow)
{
    const size_t lower = upper + 1;
    std::swap(lists[upper].position, lists[lower].position);
    std::swap(lists[upper], lists[lower]);

    std::vector<size_t> rows{selectedRow, selectedRow == upper ? lower : upper};
    if (lists[upper].position != lists[lower].position)
        return rows;

    std::vector<int> pos;
    pos.reserve(lists.size());
    for (const ListRecord& list : lists)
        pos.push_back(list.position);
    for (size_t k : SeparateEqualPositions(pos, upper))
    {
        lists[k].position = static_cast<int16_t>(pos[k]);
        if (k != upper && k != lower)
            rows.push_back(k);
    }
    return rows;
}
