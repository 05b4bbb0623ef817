// Fixed SSDV tables: the four standard JPEG Huffman tables and the quality-scaled quantisation
// tables, plus a canonical Huffman table usable for both coding directions.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quorbel::ssdv {

inline constexpr int kBlockSize = 64;
using QuantTable = std::array<std::uint16_t, kBlockSize>;  // zig-zag order

enum class TableKind : std::uint8_t { DcLuma, AcLuma, DcChroma, AcChroma };

struct HuffmanDefinition {
    std::array<std::uint8_t, 16> counts{};  // codes of each length 1..16
    std::vector<std::uint8_t> values;
};

// The table of the given kind, as written into a DHT segment.
const HuffmanDefinition& SelectHuffmanDefinition(TableKind kind);

// Quantisation table for luma (chroma = false) or chroma at quality 0-7 (higher is clamped).
QuantTable MakeQuantTable(bool chroma, int quality);

enum class HuffmanMatch { Found, NeedMore, Invalid };

class HuffmanTable {
  public:
    // Builds the canonical codes; nothing if the counts do not describe a valid code.
    static std::optional<HuffmanTable> Build(const HuffmanDefinition& definition);

    bool HasSymbol(std::uint8_t symbol) const { return m_lengths[symbol] != 0; }
    std::uint16_t Code(std::uint8_t symbol) const { return m_codes[symbol]; }
    int Length(std::uint8_t symbol) const { return m_lengths[symbol]; }

    // Matches a code at the top of `bits` (left-aligned in 32 bits) with `available` valid bits.
    HuffmanMatch Decode(std::uint32_t bits, int available, std::uint8_t& symbol, int& length) const;

  private:
    std::array<std::uint16_t, 256> m_codes{};
    std::array<std::uint8_t, 256> m_lengths{};
    std::array<std::int32_t, 17> m_maxCode{};  // per length, -1 when none
    std::array<std::int32_t, 17> m_firstCode{};
    std::array<std::int32_t, 17> m_firstIndex{};
    std::vector<std::uint8_t> m_values;
    std::array<std::uint16_t, 512> m_fast{};  // 9-bit prefix -> (length << 8) | symbol, 0 if longer
};

// The standard tables, built once.
const HuffmanTable& SelectHuffmanTable(TableKind kind);

}  // namespace quorbel::ssdv
