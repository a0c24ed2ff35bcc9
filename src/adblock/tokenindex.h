#pragma once

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

    void build(const std::unordered_map<uint64_t, std::vector<uint32_t>> &buckets);
    // Takes the arrays as the cache holds them; false (and empty) when they do not make an
    // index of ids below `limit`.
    bool assign(std::vector<Slot> table, std::vector<uint32_t> ids, size_t limit);

    std::span<const uint32_t> find(uint64_t hash) const;
    size_t size() const { return m_size; }
    const std::vector<Slot> &table() const { return m_slots; }
    const std::vector<uint32_t> &ids() const { return m_ids; }

    template <typename Visit> void forEach(Visit visit) const
    {
        for (const Slot &slot : m_slots)
            if (slot.count)
                visit(slot.hash, std::span<const uint32_t>(m_ids.data() + slot.begin, slot.count));
    }

private:
    // Where a hash's search starts in a table of 2^(64 - shift) slots.
    static size_t home(uint64_t hash, int shift) { return size_t((hash * 0x9e3779b97f4a7c15ull) >> shift); }

    std::vector<Slot> m_slots; // a power of two, at most half full
    std::vector<uint32_t> m_ids;
    size_t m_size = 0;
    int m_shift = 64;
};
