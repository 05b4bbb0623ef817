// Rebuilds a baseline JPEG from SSDV packets fed in packet-ID order: regenerates the headers,
// converts the payload bit stream back to JPEG DC differences and fills lost MCUs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bit_writer.hpp"
#include "packet.hpp"
#include "tables.hpp"

namespace quorbel::ssdv {

enum class FeedOutcome {
    Decoded,        // the payload was read to its end
    Completed,      // the last MCU of the image was decoded in this packet
    SkippedNoMcu,   // after a gap, a packet without an MCU start cannot be used
    OutOfOrder,     // packet ID below the expected one
    UnexpectedMcu,  // the recorded MCU does not match the decoding position; rest dropped
    BadCode,        // a code that cannot occur; rest of the packet dropped
};

class JpegRebuilder {
  public:
    // `first` defines the image: size, MCU mode and quality.
    explicit JpegRebuilder(const PacketHeader& first);

    // Decodes one packet of the image. Notes for the user are appended to `notes`.
    FeedOutcome Feed(const ValidatedPacket& packet, std::vector<std::string>& notes);

    bool IsComplete() const { return m_complete; }
    int DecodedMcus() const { return m_mcu; }

    // Fills any MCUs not received, closes the scan and returns the JPEG file.
    std::vector<std::uint8_t> Finish();

  private:
    struct Symbol {
        std::uint8_t value = 0;
        int codeLength = 0;
        std::uint32_t extraBits = 0;
    };

    void WriteHeaders(const PacketHeader& first);
    int FindComponent(int block) const {
        return block < m_lumaBlocks ? 0 : block - m_lumaBlocks + 1;
    }
    const HuffmanTable& SelectDcTable(int component) const;
    const HuffmanTable& SelectAcTable(int component) const;
    std::uint32_t PeekBits() const;
    HuffmanMatch TakeSymbol(const HuffmanTable& table, bool isDc, Symbol& symbol);
    HuffmanMatch DecodeNextSymbol();
    bool DecodeDc(const Symbol& symbol, int component);
    bool DecodeAc(const Symbol& symbol, int component);
    void FinishBlock();
    void WriteFlatBlock(int component);
    void FillTo(int targetMcu);
    void ResetBits() {
        m_bits = 0;
        m_bitCount = 0;
    }
    FeedOutcome ReadPayload(const ValidatedPacket& packet, std::size_t start,
                            std::vector<std::string>& notes);

    BitWriter m_out{true};
    int m_lumaBlocks;
    int m_blocksPerMcu;
    int m_mcuCount;
    int m_expectedId = 0;
    int m_mcu = 0;
    int m_block = 0;
    int m_coefficient = 0;  // 0: DC next, 1..63: AC position
    std::array<int, 3> m_predictor{};
    int m_resetMcu = 0;
    int m_nextResetMcu = 0;
    std::uint64_t m_bits = 0;
    int m_bitCount = 0;
    bool m_complete = false;
};

}  // namespace quorbel::ssdv
