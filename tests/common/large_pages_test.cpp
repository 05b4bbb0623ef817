// Large-page arrays: aligned whole blocks for large arrays, ordinary memory for small ones, and
// arrays that keep their values through growth, copies and moves.
#include "common/large_pages.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

namespace quorbel {
namespace {

using LargeArray = std::vector<double, LargePageAllocator<double>>;

TEST(LargePages, LargeArraysLieInAlignedBlocksAndKeepTheirValues) {
    constexpr std::size_t kLarge = 5000 * 67;  // a full beacon store: 2.7 MB
    LargeArray values;
    values.reserve(kLarge);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(values.data()) % (std::size_t{2} << 20), 0u);
    const double* const block = values.data();
    values.resize(kLarge);  // every entry zero, without moving
    EXPECT_EQ(values.data(), block);
    EXPECT_EQ(std::accumulate(values.begin(), values.end(), 0.0), 0.0);
    std::iota(values.begin(), values.end(), 1.0);

    LargeArray copy = values;
    EXPECT_EQ(copy, values);
    values.push_back(-1);  // grows into a new block, the old one given back
    EXPECT_EQ(values.size(), kLarge + 1);
    EXPECT_EQ(values[kLarge - 1], static_cast<double>(kLarge));
    LargeArray moved = std::move(copy);
    EXPECT_EQ(moved.back(), static_cast<double>(kLarge));
}

// Arrays from 1 MiB up take a large-page block, smaller ones ordinary memory, and each is given
// back the way it was taken: a block of exactly 1 MiB freed as ordinary memory would crash.
TEST(LargePages, TheOneMebibyteBoundaryIsTheSameForTakingAndGivingBack) {
    constexpr std::size_t kMebibyte = std::size_t{1} << 20;
    constexpr std::uintptr_t kBlock = std::size_t{2} << 20;
    LargePageAllocator<double> allocator;
    for (const std::size_t bytes : {kMebibyte - 8, kMebibyte, kMebibyte + 8}) {
        const std::size_t n = bytes / sizeof(double);
        double* const array = allocator.allocate(n);
        // Ordinary memory of this size never starts on a 2 MB boundary (the system's allocator
        // puts its own bookkeeping in front); a large-page block always does.
        const bool inBlock = reinterpret_cast<std::uintptr_t>(array) % kBlock == 0;
        EXPECT_EQ(inBlock, bytes >= kMebibyte) << bytes;
        array[0] = 1;
        array[n - 1] = 2;
        allocator.deallocate(array, n);
    }
}

// A size no memory holds is refused with bad_alloc, by the allocator and by the block itself
// (whose size, rounded up to whole 2 MB, must not wrap around to a small block).
TEST(LargePages, SizesNoMemoryHoldsAreRefused) {
    constexpr std::size_t kMax = static_cast<std::size_t>(-1);
    EXPECT_THROW(LargePageAllocator<double>().allocate(kMax / 4), std::bad_alloc);
    // Sizes that pass the allocator's own check and reach the block's.
    EXPECT_THROW(LargePageAllocator<double>().allocate(kMax / sizeof(double)), std::bad_alloc);
    EXPECT_THROW(LargePageAllocator<char>().allocate(kMax - 1000), std::bad_alloc);
    EXPECT_THROW(AllocateLargePageBlock(kMax), std::bad_alloc);
    EXPECT_THROW(AllocateLargePageBlock(kMax - (std::size_t{2} << 20) + 1), std::bad_alloc);
    // Not wrapped, but more than the address space: the system refuses it.
    EXPECT_THROW(AllocateLargePageBlock(std::size_t{1} << 62), std::bad_alloc);
}

}  // namespace
}  // namespace quorbel
