#include "tokenindex.h"

#include <bit>

namespace {

int shiftFor(size_t capacity)
{
    return 64 - std::countr_zero(capacity);
}

} // namespace

void TokenIndex::build(const std::unordered_map<uint64_t, std::vector<uint32_t>> &buckets)
{
    m_size = 0;
    m_ids.clear();
    const size_t capacity = std::bit_ceil(std::max<size_t>(2, buckets.size() * 2));
    m_slots.assign(capacity, Slot{});
    m_shift = shiftFor(capacity);
    size_t total = 0;
    for (const auto &[hash, ids] : buckets)
        total += ids.size();
    m_ids.reserve(total);
    for (const auto &[hash, ids] : buckets) {
        if (ids.empty())
            continue;
        size_t at = home(hash, m_shift);
        while (m_slots[at].count)
            at = (at + 1) & (capacity - 1);
        m_slots[at] = Slot{hash, uint32_t(m_ids.size()), uint32_t(ids.size())};
        m_ids.insert(m_ids.end(), ids.begin(), ids.end());
        ++m_size;
    }
}

bool TokenIndex::assign(Slots table, Ids ids, size_t limit)
{
    *this = TokenIndex();
    if (table.size() < 2 || !std::has_single_bit(table.size()))
        return false;
    for (uint32_t id : ids)
        if (id >= limit)
            return false;
    size_t used = 0;
    const int shift = shiftFor(table.size());
    for (size_t i = 0; i < table.size(); ++i) {
        const Slot &slot = table[i];
        if (!slot.count)
            continue;
        if (slot.begin > ids.size() || slot.count > ids.size() - slot.begin)
            return false;
        // Reachable from its home without crossing a free slot, or lookups would miss it.
        for (size_t at = home(slot.hash, shift); at != i; at = (at + 1) & (table.size() - 1))
            if (!table[at].count)
                return false;
        ++used;
    }
    // At most half full: a lookup always meets a free slot.
    if (used > table.size() / 2)
        return false;
    m_slots = std::move(table);
    m_ids = std::move(ids);
    m_size = used;
    m_shift = shift;
    return true;
}

std::span<const uint32_t> TokenIndex::find(uint64_t hash) const
{
    if (m_slots.empty())
        return {};
    const size_t mask = m_slots.size() - 1;
    for (size_t at = home(hash, m_shift);; at = (at + 1) & mask) {
        const Slot &slot = m_slots[at];
        if (!slot.count)
            return {};
        if (slot.hash == hash)
            return {m_ids.data() + slot.begin, slot.count};
    }
}
