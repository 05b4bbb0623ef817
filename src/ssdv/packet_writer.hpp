// Cuts the re-coded scan into SSDV packets: byte-aligned recorded MCUs, carried bytes, header,
// CRC, Reed-Solomon parity and the whitening filler of the last packet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "packet.hpp"

namespace quorbel::ssdv {

class PacketWriter {
  public:
    // `header` supplies the fixed fields (type, callsign, image ID, size, quality, mode).
    PacketWriter(const PacketHeader& header, std::size_t packetLength);

    void WriteBits(std::uint32_t value, int count);

    // Called before the bits of each source symbol: finishes the packet if the previous
    // symbol filled it.
    void BeginUnit();

    // Called after the last symbol of an MCU that is not the image's last. If the open packet
    // has no recorded MCU yet, aligns to a byte and records `nextMcu` there; returns true when
    // `nextMcu` became a recorded (reset) MCU.
    bool EndMcu(int nextMcu);

    // Pads the last byte, writes the remaining packets (the last with the EOI flag) and returns
    // all packets.
    std::vector<std::uint8_t> Finish();

    std::size_t PacketCount() const { return m_packetCount; }

  private:
    void PutByte(std::uint8_t byte);
    void PadToByte();
    void FinishPacket(bool endOfImage);

    PacketHeader m_header;
    std::size_t m_packetLength;
    std::size_t m_payloadLength;
    std::vector<std::uint8_t> m_payload;  // open packet's payload
    std::vector<std::uint8_t> m_carry;    // complete bytes that did not fit
    std::uint32_t m_bits = 0;
    int m_bitCount = 0;
    bool m_hasRecord = true;  // packet 0 records MCU 0 at offset 0
    int m_recordMcu = 0;
    std::size_t m_recordPosition = 0;  // from the start of the open packet's payload
    bool m_unitPending = false;
    std::size_t m_packetCount = 0;
    std::vector<std::uint8_t> m_output;
};

}  // namespace quorbel::ssdv
