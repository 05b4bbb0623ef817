// Frame digest: eight bytes at a time, each word mixed in with a multiply-and-shift finaliser.
#include "archive/frame_digest.hpp"

namespace quorbel {
namespace {

constexpr std::uint64_t Mix(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ULL;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBULL;
    x ^= x >> 31;
    return x;
}

}  // namespace

std::int64_t FrameDigest(std::span<const std::uint8_t> bytes) {
    std::uint64_t digest = 0x9E3779B97F4A7C15ULL ^ bytes.size();
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word = 0;
        for (int k = 0; k < 8; ++k)
            word |= std::uint64_t{bytes[i + static_cast<std::size_t>(k)]} << (8 * k);
        digest = Mix(digest ^ word) + 0x9E3779B97F4A7C15ULL;
    }
    std::uint64_t tail = 0;
    for (int k = 0; i < bytes.size(); ++i, ++k)
        tail |= std::uint64_t{bytes[i]} << (8 * k);
    return static_cast<std::int64_t>(Mix(digest ^ tail));
}

}  // namespace quorbel
