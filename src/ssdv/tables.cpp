// Values of the standard Huffman tables and the SSDV base quantisation tables.
#include "tables.hpp"

#include <algorithm>

namespace quorbel::ssdv {
namespace {

constexpr std::array<std::uint8_t, kBlockSize> kBaseLuma = {
    16, 12, 12,  14,  12,  10, 16, 14,  14,  14,  18,  18,  16, 20,  24,  40,
    26, 24, 22,  22,  24,  50, 36, 38,  30,  40,  58,  52,  62, 60,  58,  52,
    56, 56, 64,  72,  92,  78, 64, 68,  88,  70,  56,  56,  80, 110, 82,  88,
    96, 98, 104, 104, 104, 62, 78, 114, 122, 112, 100, 120, 92, 102, 104, 100};

constexpr std::array<std::uint8_t, 15> kBaseChromaStart = {18, 18, 18,  22, 22, 22, 48, 26,
                                                           26, 48, 100, 66, 56, 66, 100};

constexpr std::array<int, 8> kQualityScale = {5000, 357, 172, 116, 100, 58, 28, 0};

HuffmanDefinition MakeDefinition(std::array<std::uint8_t, 16> counts,
                                 std::vector<std::uint8_t> values) {
    HuffmanDefinition definition;
    definition.counts = counts;
    definition.values = std::move(values);
    return definition;
}

std::vector<std::uint8_t> MakeDcValues() {
    return {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
}

std::array<HuffmanDefinition, 4> MakeStandardDefinitions() {
    return {
        MakeDefinition({0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0}, MakeDcValues()),
        MakeDefinition(
            {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D},
            {0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51,
             0x61, 0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xA1, 0x08, 0x23, 0x42, 0xB1, 0xC1,
             0x15, 0x52, 0xD1, 0xF0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0A, 0x16, 0x17, 0x18,
             0x19, 0x1A, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39,
             0x3A, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x53, 0x54, 0x55, 0x56, 0x57,
             0x58, 0x59, 0x5A, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x73, 0x74, 0x75,
             0x76, 0x77, 0x78, 0x79, 0x7A, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x92,
             0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7,
             0xA8, 0xA9, 0xAA, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xC2, 0xC3,
             0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8,
             0xD9, 0xDA, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xF1, 0xF2,
             0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA}),
        MakeDefinition({0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0}, MakeDcValues()),
        MakeDefinition(
            {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77},
            {0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07,
             0x61, 0x71, 0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xA1, 0xB1, 0xC1, 0x09,
             0x23, 0x33, 0x52, 0xF0, 0x15, 0x62, 0x72, 0xD1, 0x0A, 0x16, 0x24, 0x34, 0xE1, 0x25,
             0xF1, 0x17, 0x18, 0x19, 0x1A, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x35, 0x36, 0x37, 0x38,
             0x39, 0x3A, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x53, 0x54, 0x55, 0x56,
             0x57, 0x58, 0x59, 0x5A, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x73, 0x74,
             0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89,
             0x8A, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0xA2, 0xA3, 0xA4, 0xA5,
             0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA,
             0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6,
             0xD7, 0xD8, 0xD9, 0xDA, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xF2,
             0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA}),
    };
}

}  // namespace

const HuffmanDefinition& SelectHuffmanDefinition(TableKind kind) {
    static const std::array<HuffmanDefinition, 4> definitions = MakeStandardDefinitions();
    return definitions[static_cast<std::size_t>(kind)];
}

const HuffmanTable& SelectHuffmanTable(TableKind kind) {
    static const std::array<HuffmanTable, 4> tables = {
        *HuffmanTable::Build(SelectHuffmanDefinition(TableKind::DcLuma)),
        *HuffmanTable::Build(SelectHuffmanDefinition(TableKind::AcLuma)),
        *HuffmanTable::Build(SelectHuffmanDefinition(TableKind::DcChroma)),
        *HuffmanTable::Build(SelectHuffmanDefinition(TableKind::AcChroma)),
    };
    return tables[static_cast<std::size_t>(kind)];
}

QuantTable MakeQuantTable(bool chroma, int quality) {
    const int scale = kQualityScale[static_cast<std::size_t>(std::clamp(quality, 0, 7))];
    QuantTable table{};
    for (int i = 0; i < kBlockSize; ++i) {
        int base = 100;
        if (!chroma) {
            base = kBaseLuma[static_cast<std::size_t>(i)];
        } else if (i < static_cast<int>(kBaseChromaStart.size())) {
            base = kBaseChromaStart[static_cast<std::size_t>(i)];
        }
        table[static_cast<std::size_t>(i)] =
            static_cast<std::uint16_t>(std::clamp((base * scale + 50) / 100, 1, 255));
    }
    return table;
}

std::optional<HuffmanTable> HuffmanTable::Build(const HuffmanDefinition& definition) {
    HuffmanTable table;
    std::size_t total = 0;
    for (std::uint8_t count : definition.counts) {
        total += count;
    }
    if (total > 256 || total > definition.values.size()) {
        return std::nullopt;
    }
    table.m_values.assign(definition.values.begin(),
                          definition.values.begin() + static_cast<long>(total));
    std::int32_t code = 0;
    std::int32_t index = 0;
    for (int length = 1; length <= 16; ++length) {
        const int count = definition.counts[static_cast<std::size_t>(length - 1)];
        table.m_firstCode[length] = code;
        table.m_firstIndex[length] = index;
        table.m_maxCode[length] = count > 0 ? code + count - 1 : -1;
        if (code + count > (1 << length)) {
            return std::nullopt;  // more codes than this length can hold
        }
        for (int i = 0; i < count; ++i, ++code, ++index) {
            const std::uint8_t symbol = table.m_values[static_cast<std::size_t>(index)];
            table.m_codes[symbol] = static_cast<std::uint16_t>(code);
            table.m_lengths[symbol] = static_cast<std::uint8_t>(length);
            if (length <= 9) {
                const int shift = 9 - length;
                for (int fill = 0; fill < (1 << shift); ++fill) {
                    table.m_fast[static_cast<std::size_t>((code << shift) | fill)] =
                        static_cast<std::uint16_t>((length << 8) | symbol);
                }
            }
        }
        code <<= 1;
    }
    return table;
}

HuffmanMatch HuffmanTable::Decode(std::uint32_t bits, int available, std::uint8_t& symbol,
                                  int& length) const {
    if (available >= 9) {
        const std::uint16_t entry = m_fast[bits >> 23];
        if (entry != 0) {
            length = entry >> 8;
            symbol = static_cast<std::uint8_t>(entry & 0xFF);
            return HuffmanMatch::Found;
        }
    }
    for (int len = 1; len <= 16; ++len) {
        if (len > available) {
            return HuffmanMatch::NeedMore;
        }
        const std::int32_t code = static_cast<std::int32_t>(bits >> (32 - len));
        if (code <= m_maxCode[len]) {
            length = len;
            symbol =
                m_values[static_cast<std::size_t>(m_firstIndex[len] + code - m_firstCode[len])];
            return HuffmanMatch::Found;
        }
    }
    return HuffmanMatch::Invalid;
}

}  // namespace quorbel::ssdv
