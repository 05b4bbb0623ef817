// The 64-bit digest by which an archive finds a frame's earlier receptions: equal bytes give
// equal digests in every process and on every host; equal digests are confirmed on the bytes.
#pragma once

#include <cstdint>
#include <span>

namespace quorbel {

std::int64_t FrameDigest(std::span<const std::uint8_t> bytes);

}  // namespace quorbel
