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

    // Small arrays (a store with a few records copied out) take ordinary memory.
    LargeArray small(100, 2.5);
    small.insert(small.end(), moved.begin(), moved.begin() + 3);
    EXPECT_EQ(small.size(), 103u);
    EXPECT_EQ(small[102], 3.0);

    // A size no memory holds is refused as any allocator refuses it.
    EXPECT_THROW(LargePageAllocator<double>().allocate(static_cast<std::size_t>(-1) / 4),
                 std::bad_alloc);
}

}  // namespace
}  // namespace quorbel
