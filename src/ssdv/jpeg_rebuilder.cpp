// Payload-to-JPEG conversion: header segments, symbol decoding with DC re-basing, gap filling.
#include "jpeg_rebuilder.hpp"

namespace quorbel::ssdv {
namespace {

constexpr int kMaxDcCategory = 11;
constexpr int kMaxDcDifference = 2047;
constexpr std::uint8_t kEndOfBlock = 0x00;
constexpr std::uint8_t kZeroRun = 0xF0;

void AppendHuffmanSegment(std::vector<std::uint8_t>& out, std::uint8_t tableClassId,
                          TableKind kind) {
    const HuffmanDefinition& definition = SelectHuffmanDefinition(kind);
    const std::size_t length = 2 + 1 + 16 + definition.values.size();
    out.insert(out.end(), {0xFF, 0xC4, static_cast<std::uint8_t>(length >> 8),
                           static_cast<std::uint8_t>(length & 0xFF), tableClassId});
    out.insert(out.end(), definition.counts.begin(), definition.counts.end());
    out.insert(out.end(), definition.values.begin(), definition.values.end());
}

void AppendQuantSegment(std::vector<std::uint8_t>& out, std::uint8_t tableId,
                        const QuantTable& table) {
    out.insert(out.end(), {0xFF, 0xDB, 0x00, 0x43, tableId});
    for (std::uint16_t entry : table) {
        out.push_back(static_cast<std::uint8_t>(entry));
    }
}

std::uint8_t MakeLumaSamplingByte(McuMode mode) {
    switch (mode) {
        case McuMode::H2V2:
            return 0x22;
        case McuMode::H1V2:
            return 0x12;
        case McuMode::H2V1:
            return 0x21;
        case McuMode::H1V1:
            break;
    }
    return 0x11;
}

}  // namespace

JpegRebuilder::JpegRebuilder(const PacketHeader& first)
    : m_lumaBlocks(CountLumaBlocks(first.mode)),
      m_blocksPerMcu(CountLumaBlocks(first.mode) + 2),
      m_mcuCount(first.McuCount()) {
    WriteHeaders(first);
}

void JpegRebuilder::WriteHeaders(const PacketHeader& first) {
    std::vector<std::uint8_t> head = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J',  'F',  'I',  'F',
                                      0x00, 0x01, 0x01, 0x01, 0x00, 0x48, 0x00, 0x48, 0x00, 0x00};
    AppendQuantSegment(head, 0, MakeQuantTable(false, first.quality));
    AppendQuantSegment(head, 1, MakeQuantTable(true, first.quality));
    const int width = first.Width();
    const int height = first.Height();
    head.insert(head.end(),
                {0xFF, 0xC0, 0x00, 0x11, 0x08, static_cast<std::uint8_t>(height >> 8),
                 static_cast<std::uint8_t>(height & 0xFF), static_cast<std::uint8_t>(width >> 8),
                 static_cast<std::uint8_t>(width & 0xFF), 0x03, 0x01,
                 MakeLumaSamplingByte(first.mode), 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01});
    AppendHuffmanSegment(head, 0x00, TableKind::DcLuma);
    AppendHuffmanSegment(head, 0x10, TableKind::AcLuma);
    AppendHuffmanSegment(head, 0x01, TableKind::DcChroma);
    AppendHuffmanSegment(head, 0x11, TableKind::AcChroma);
    head.insert(head.end(), {0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x11, 0x03, 0x11, 0x00,
                             0x3F, 0x00});
    m_out.WriteRaw(head);
}

const HuffmanTable& JpegRebuilder::SelectDcTable(int component) const {
    return SelectHuffmanTable(component == 0 ? TableKind::DcLuma : TableKind::DcChroma);
}

const HuffmanTable& JpegRebuilder::SelectAcTable(int component) const {
    return SelectHuffmanTable(component == 0 ? TableKind::AcLuma : TableKind::AcChroma);
}

std::uint32_t JpegRebuilder::PeekBits() const {
    if (m_bitCount <= 32) {
        return static_cast<std::uint32_t>(m_bits << (32 - m_bitCount));
    }
    return static_cast<std::uint32_t>(m_bits >> (m_bitCount - 32));
}

// Takes a code and its magnitude bits only when all of them have arrived.
HuffmanMatch JpegRebuilder::TakeSymbol(const HuffmanTable& table, bool isDc, Symbol& symbol) {
    const HuffmanMatch match =
        table.Decode(PeekBits(), m_bitCount, symbol.value, symbol.codeLength);
    if (match != HuffmanMatch::Found) {
        return match;
    }
    const int extra = isDc ? symbol.value : (symbol.value & 0x0F);
    if (isDc && extra > kMaxDcCategory) {
        return HuffmanMatch::Invalid;
    }
    if (symbol.codeLength + extra > m_bitCount) {
        return HuffmanMatch::NeedMore;
    }
    m_bitCount -= symbol.codeLength + extra;
    symbol.extraBits = static_cast<std::uint32_t>(m_bits >> m_bitCount) & ((1U << extra) - 1U);
    m_bits &= (std::uint64_t{1} << m_bitCount) - 1;
    return HuffmanMatch::Found;
}

HuffmanMatch JpegRebuilder::DecodeNextSymbol() {
    // At the start of an MCU the latest recorded MCU becomes the one whose first luma and
    // chroma blocks carry absolute DC values.
    if (m_block == 0 && m_coefficient == 0 && m_nextResetMcu > m_resetMcu) {
        m_resetMcu = m_nextResetMcu;
    }
    const int component = FindComponent(m_block);
    const bool isDc = m_coefficient == 0;
    const std::uint64_t savedBits = m_bits;
    const int savedCount = m_bitCount;
    Symbol symbol;
    const HuffmanMatch match =
        TakeSymbol(isDc ? SelectDcTable(component) : SelectAcTable(component), isDc, symbol);
    if (match != HuffmanMatch::Found) {
        return match;
    }
    const bool accepted = isDc ? DecodeDc(symbol, component) : DecodeAc(symbol, component);
    if (!accepted) {
        m_bits = savedBits;
        m_bitCount = savedCount;
        return HuffmanMatch::Invalid;
    }
    return HuffmanMatch::Found;
}

// Converts an absolute or relative DC value into a plain JPEG difference and writes it.
bool JpegRebuilder::DecodeDc(const Symbol& symbol, int component) {
    const int value = DecodeMagnitude(symbol.extraBits, symbol.value);
    const bool absolute = m_mcu == m_resetMcu && (m_block == 0 || component > 0);
    const int difference = absolute ? value - m_predictor[component] : value;
    if (difference > kMaxDcDifference || difference < -kMaxDcDifference) {
        return false;
    }
    m_predictor[component] += difference;
    const int category = CountMagnitudeBits(difference);
    const HuffmanTable& table = SelectDcTable(component);
    m_out.WriteBits(table.Code(static_cast<std::uint8_t>(category)),
                    table.Length(static_cast<std::uint8_t>(category)));
    m_out.WriteBits(EncodeMagnitude(difference, category), category);
    m_coefficient = 1;
    return true;
}

// AC symbols are the same in the payload and the JPEG: they are copied after a range check.
bool JpegRebuilder::DecodeAc(const Symbol& symbol, int component) {
    const int run = symbol.value >> 4;
    const int size = symbol.value & 0x0F;
    int next = m_coefficient;
    if (symbol.value == kEndOfBlock) {
        next = kBlockSize;
    } else if (symbol.value == kZeroRun) {
        next += 16;
    } else if (size == 0) {
        return false;
    } else {
        next += run + 1;
    }
    if (next > kBlockSize) {
        return false;
    }
    const HuffmanTable& table = SelectAcTable(component);
    m_out.WriteBits(table.Code(symbol.value), table.Length(symbol.value));
    m_out.WriteBits(symbol.extraBits, size);
    m_coefficient = next;
    if (m_coefficient == kBlockSize) {
        FinishBlock();
    }
    return true;
}

void JpegRebuilder::FinishBlock() {
    m_coefficient = 0;
    if (++m_block < m_blocksPerMcu) {
        return;
    }
    m_block = 0;
    if (++m_mcu >= m_mcuCount) {
        m_complete = true;
        m_out.PadToByte();
    }
}

void JpegRebuilder::WriteFlatBlock(int component) {
    const HuffmanTable& dc = SelectDcTable(component);
    const HuffmanTable& ac = SelectAcTable(component);
    m_out.WriteBits(dc.Code(0), dc.Length(0));
    m_out.WriteBits(ac.Code(kEndOfBlock), ac.Length(kEndOfBlock));
}

// Completes a partly decoded MCU and writes flat MCUs up to (not including) `targetMcu`.
void JpegRebuilder::FillTo(int targetMcu) {
    ResetBits();
    if (m_complete) {
        return;
    }
    if (m_block > 0 || m_coefficient > 0) {
        if (m_coefficient > 0) {
            const HuffmanTable& ac = SelectAcTable(FindComponent(m_block));
            m_out.WriteBits(ac.Code(kEndOfBlock), ac.Length(kEndOfBlock));
            FinishBlock();
        }
        while (m_block != 0 && !m_complete) {
            WriteFlatBlock(FindComponent(m_block));
            FinishBlock();
        }
    }
    while (m_mcu < targetMcu && !m_complete) {
        for (int block = 0; block < m_blocksPerMcu; ++block) {
            WriteFlatBlock(FindComponent(block));
            FinishBlock();
        }
    }
}

FeedOutcome JpegRebuilder::Feed(const ValidatedPacket& packet, std::vector<std::string>& notes) {
    const PacketHeader& header = packet.header;
    const int id = header.packetId;
    if (id < m_expectedId) {
        notes.push_back("Packets are not in order. " + std::to_string(m_expectedId - 1) + " > " +
                        std::to_string(id));
        return FeedOutcome::OutOfOrder;
    }
    std::size_t start = 0;
    if (id > m_expectedId) {
        if (!header.HasMcuStart()) {
            return FeedOutcome::SkippedNoMcu;
        }
        notes.push_back("Gap detected between packets " + std::to_string(m_expectedId - 1) +
                        " and " + std::to_string(id));
        FillTo(header.mcuIndex);
        m_expectedId = id;
        start = header.mcuOffset;
    }
    return ReadPayload(packet, start, notes);
}

FeedOutcome JpegRebuilder::ReadPayload(const ValidatedPacket& packet, std::size_t start,
                                       std::vector<std::string>& notes) {
    const PacketHeader& header = packet.header;
    const std::span<const std::uint8_t> payload = packet.Payload();
    for (std::size_t at = start; at < payload.size() && !m_complete; ++at) {
        if (header.HasMcuStart() && at == header.mcuOffset) {
            ResetBits();
            if (m_mcu != header.mcuIndex || m_block != 0 || m_coefficient != 0) {
                notes.push_back("Unexpected MCU ID in packet " + std::to_string(header.packetId) +
                                ".");
                return FeedOutcome::UnexpectedMcu;
            }
            // The recorded MCU takes effect where it starts: an MCU whose first code straddles
            // into this packet still belongs to the earlier packet's reset point.
            m_nextResetMcu = header.mcuIndex;
        }
        m_bits = (m_bits << 8) | payload[at];
        m_bitCount += 8;
        HuffmanMatch match = HuffmanMatch::Found;
        while (!m_complete && (match = DecodeNextSymbol()) == HuffmanMatch::Found) {
        }
        if (match == HuffmanMatch::Invalid) {
            notes.push_back("Undecodable data in packet " + std::to_string(header.packetId) + ".");
            return FeedOutcome::BadCode;
        }
    }
    if (m_complete) {
        return FeedOutcome::Completed;
    }
    ++m_expectedId;
    return FeedOutcome::Decoded;
}

std::vector<std::uint8_t> JpegRebuilder::Finish() {
    FillTo(m_mcuCount);
    m_out.PadToByte();
    m_out.WriteRaw({0xFF, 0xD9});
    return std::move(m_out.Bytes());
}

}  // namespace quorbel::ssdv
