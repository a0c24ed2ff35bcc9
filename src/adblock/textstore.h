#pragma once

#include "bulkallocator.h"

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

// The rules' texts one after another in blocks that never move, so that a rule views its
// text instead of owning an allocation of its own: the hundred thousand texts of the
// packaged lists were as many small allocations, and on a cold start as many page faults.
class TextStore
{
public:
    TextStore() = default;
    TextStore(const TextStore &) = delete;
    TextStore &operator=(const TextStore &) = delete;

    // Room for about this much text in one block (a cache read knows its size).
    void reserve(size_t bytes)
    {
        if (m_blocks.empty() || room() < bytes)
            newBlock(bytes);
    }

    // A lasting copy of `text`, as long as the store.
    std::string_view keep(std::string_view text)
    {
        if (text.empty())
            return {};
        if (m_blocks.empty() || room() < text.size())
            // Growing, so that a few lines take a small block and the lists a few large ones.
            newBlock(std::max(text.size(), std::min(kLargest, m_blocks.empty() ? kSmallest : m_blocks.back().capacity() * 2)));
        Block &block = m_blocks.back();
        const size_t at = block.size();
        block.insert(block.end(), text.begin(), text.end());
        return {block.data() + at, text.size()};
    }

private:
    using Block = std::vector<char, BulkAllocator<char>>;
    static constexpr size_t kSmallest = size_t(16) << 10;
    static constexpr size_t kLargest = size_t(8) << 20;

    size_t room() const { return m_blocks.back().capacity() - m_blocks.back().size(); }
    void newBlock(size_t bytes)
    {
        m_blocks.emplace_back();
        m_blocks.back().reserve(bytes);
    }

    // A block is only appended to within its capacity: its bytes stay where they are.
    std::vector<Block> m_blocks;
};
