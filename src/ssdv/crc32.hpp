// CRC-32 (reflected polynomial 0xEDB88320, as in zlib) used to protect every SSDV packet.
#pragma once

#include <cstdint>
#include <span>

namespace quorbel::ssdv {

// Returns the CRC-32 of the bytes (initial value 0xFFFFFFFF, final XOR 0xFFFFFFFF).
std::uint32_t ComputeCrc32(std::span<const std::uint8_t> bytes);

}  // namespace quorbel::ssdv
