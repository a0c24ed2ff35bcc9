#pragma once

#include "bulkallocator.h"

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

// Rule ids by the hash of a token, in two flat arrays: an open-addressed table of the
// hashes, and every bucket's ids one after another. Built once, then only read; the
// compiled cache stores both arrays as they are, so a load allocates twice, not once
// for every token of every list.
class TokenIndex
{
public:
    struct Slot
    {
        uint64_t hash = 0;
        uint32_t begin = 0;
        uint32_t count = 0; // 0: the slot is free (a bucket is never empty)
    };
    // The lists' tables run to megabytes, filled at each start.
    using Slots = std::vector<Slot, BulkAllocator<Slot>>;
    using Ids = std::vector<uint32_t, BulkAllocator<uint32_t>>;

    void build(const std::unordered_map<uint64_t, std::vector<uint32_t>> &buckets);
    // Takes the arrays as the cache holds them; false (and empty) when they do not make an
    // index of ids below `limit`.
    bool assign(Slots table, Ids ids, size_t limit);

    std::span<const uint32_t> find(uint64_t hash) const;
    size_t size() const { return m_size; }
    const Slots &table() const { return m_slots; }
    const Ids &ids() const { return m_ids; }

    template <typename Visit> void forEach(Visit visit) const
    {
        for (const Slot &slot : m_slots)
            if (slot.count)
                visit(slot.hash, std::span<const uint32_t>(m_ids.data() + slot.begin, slot.count));
    }

private:
    // Where a hash's search starts in a table of 2^(64 - shift) slots.
    static size_t home(uint64_t hash, int shift) { return size_t((hash * 0x9e3779b97f4a7c15ull) >> shift); }

    Slots m_slots; // a power of two, at most half full
    Ids m_ids;
    size_t m_size = 0;
    int m_shift = 64;
};
