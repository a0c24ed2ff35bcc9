#pragma once

#include <cstddef>
#include <memory>
#include <new>

#include <sys/mman.h>

// For the filter set's few arrays of many megabytes, filled once at start: they take
// memory in large pages where the system allows it, so that filling them costs a handful
// of page faults rather than thousands (the faults were most of a cold load of the lists on
// a virtual machine). Smaller arrays are left to the ordinary allocator.
template <typename T> class BulkAllocator
{
public:
    using value_type = T;

    BulkAllocator() noexcept = default;
    template <typename U> BulkAllocator(const BulkAllocator<U> &) noexcept {}

    T *allocate(size_t n)
    {
        if (n > size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        const size_t bytes = n * sizeof(T);
        if (bytes < kLargePage)
            return std::allocator<T>().allocate(n);
        void *at = ::mmap(nullptr, rounded(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (at == MAP_FAILED)
            throw std::bad_alloc();
        // Only advice: without large pages the array is as it would be anyway.
        ::madvise(at, rounded(bytes), MADV_HUGEPAGE);
        return static_cast<T *>(at);
    }

    void deallocate(T *at, size_t n) noexcept
    {
        const size_t bytes = n * sizeof(T);
        if (bytes < kLargePage)
            std::allocator<T>().deallocate(at, n);
        else
            ::munmap(at, rounded(bytes));
    }

    template <typename U> bool operator==(const BulkAllocator<U> &) const noexcept { return true; }

private:
    static constexpr size_t kLargePage = size_t(2) << 20;
    // Whole large pages: the system places a mapping of such a length on their boundaries.
    static size_t rounded(size_t bytes) { return (bytes + kLargePage - 1) / kLargePage * kLargePage; }
};
