// Memory for large arrays that are filled soon after they are made: taken from the system in
// blocks of 2 MB that the system may back with large pages. Filling such an array page by page
// costs one page fault per 4 KB; the record stores' values (about 4 MB when full) spent a quarter
// of a capture's reading in those faults.
#pragma once

#include <cstddef>
#include <new>

namespace quorbel {

// Arrays of at least this many bytes are given large-page blocks; smaller ones ordinary memory.
inline constexpr std::size_t kLargePageArrayBytes = std::size_t{1} << 20;

// A block of `bytes` (rounded up to whole 2 MB), aligned to 2 MB, marked for large pages where
// the system has them; throws std::bad_alloc when the system gives no memory.
void* AllocateLargePageBlock(std::size_t bytes);
// Gives back a block from AllocateLargePageBlock of the same size.
void FreeLargePageBlock(void* block, std::size_t bytes) noexcept;

// An allocator for std::vector that takes large-page blocks for large arrays. Memory is
// committed as it is first written, 2 MB at a time where large pages are used.
template <typename T>
struct LargePageAllocator {
    using value_type = T;

    LargePageAllocator() = default;
    template <typename U>
    LargePageAllocator(const LargePageAllocator<U>&) noexcept {}  // NOLINT: rebinding converts

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kLargePageArrayBytes)
            return static_cast<T*>(::operator new (bytes, std::align_val_t{alignof(T)}));
        return static_cast<T*>(AllocateLargePageBlock(bytes));
    }
    void deallocate(T* p, std::size_t n) noexcept {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kLargePageArrayBytes)
            ::operator delete (p, std::align_val_t{alignof(T)});
        else
            FreeLargePageBlock(p, bytes);
    }

    template <typename U>
    bool operator==(const LargePageAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace quorbel
