// Positions for moving an item up or down. Items load by position; among
// equal positions the store keeps an order of its own, which this code only
// knows for items that were already tied. So the exchange must never leave
// two neighbours tied unless they were tied before, in the same order.
#include "editor/CListDlg.h"

#include <limits>

namespace
{
class Exchange
{
public:
    Exchange(const ItemArray& all, size_t upper, size_t lower) : m_all(all), m_upper(upper), m_lower(lower)
    {
        // Positions stay with the slots; the two items change slots.
        for (const ItemRecord& item : all)
            m_initial.push_back(item.position);
    }

    /// The item shown at slot k after the exchange.
    size_t ItemAt(size_t k) const { return k == m_upper ? m_lower : k == m_lower ? m_upper : k; }

    /// Whether slots k - 1 and k load in this order with slot positions q.
    bool InOrder(const std::vector<int>& q, size_t k) const
    {
        if (q[k] != q[k - 1])
            return q[k] > q[k - 1];
        const size_t x = ItemAt(k - 1), y = ItemAt(k);
        return m_all[x].position == m_all[y].position && x < y;
    }

    /// Raises positions from the pair downwards until the order holds.
    bool PushDown(std::vector<int>& q) const
    {
        q = m_initial;
        for (size_t k = m_upper > 0 ? m_upper : 1; k < q.size(); ++k)
        {
            if (InOrder(q, k))
            {
                if (k > m_lower)
                    break;
                continue;
            }
            q[k] = q[k - 1] + 1;
            if (q[k] > std::numeric_limits<int16_t>::max())
                return false;
        }
        return true;
    }

    /// Lowers positions from the pair upwards until the order holds.
    bool PushUp(std::vector<int>& q) const
    {
        q = m_initial;
        if (q.size() < 2)
            return true;
        for (size_t k = m_lower < q.size() - 1 ? m_lower : q.size() - 2;; --k)
        {
            if (InOrder(q, k + 1))
            {
                if (k < m_upper)
                    break;
            }
            else
            {
                q[k] = q[k + 1] - 1;
                if (q[k] < std::numeric_limits<int16_t>::min())
                    return false;
            }
            if (k == 0)
                break;
        }
        return true;
    }

    /// Slot positions turned into each item's new position.
    std::vector<int16_t> ByItem(const std::vector<int>& q) const
    {
        std::vector<int16_t> result(q.size());
        for (size_t k = 0; k < q.size(); ++k)
            result[ItemAt(k)] = static_cast<int16_t>(q[k]);
        return result;
    }

    size_t Changes(const std::vector<int16_t>& positions) const
    {
        size_t n = 0;
        for (size_t i = 0; i < positions.size(); ++i)
            n += positions[i] != m_all[i].position;
        return n;
    }

private:
    const ItemArray& m_all;
    const size_t m_upper;
    const size_t m_lower;
    std::vector<int> m_initial;
};
}

std::vector<int16_t> ExchangedPositions(const ItemArray& all, size_t upper, size_t lower)
{
    std::vector<int16_t> unchanged;
    for (const ItemRecord& item : all)
        unchanged.push_back(item.position);
    if (upper >= lower || lower >= all.size())
        return unchanged;

    const Exchange exchange(all, upper, lower);
    std::vector<int> q;
    std::vector<int16_t> best;
    if (exchange.PushDown(q))
        best = exchange.ByItem(q);
    if (exchange.PushUp(q))
    {
        std::vector<int16_t> up = exchange.ByItem(q);
        if (best.empty() || exchange.Changes(up) < exchange.Changes(best))
            best = std::move(up);
    }
    if (best.empty())
    {
        // Both directions run out of 16-bit positions: number the whole
        // checklist afresh in its new order.
        std::vector<int> fresh(all.size());
        for (size_t k = 0; k < fresh.size(); ++k)
            fresh[k] = static_cast<int>(k);
        best = exchange.ByItem(fresh);
    }
    return best;
}
