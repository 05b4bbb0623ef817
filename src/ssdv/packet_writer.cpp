// Packet filling rules of the encoder.
#include "packet_writer.hpp"

#include <algorithm>

namespace quorbel::ssdv {

PacketWriter::PacketWriter(const PacketHeader& header, std::size_t packetLength)
    : m_header(header),
      m_packetLength(packetLength),
      m_payloadLength(ComputePayloadLength(header.type, packetLength).value_or(0)) {
    m_payload.reserve(m_payloadLength);
}

void PacketWriter::PutByte(std::uint8_t byte) {
    if (m_payload.size() < m_payloadLength) {
        m_payload.push_back(byte);
    } else {
        m_carry.push_back(byte);
    }
}

void PacketWriter::WriteBits(std::uint32_t value, int count) {
    m_unitPending = true;
    m_bits = (m_bits << count) | (value & ((1U << count) - 1U));
    m_bitCount += count;
    while (m_bitCount >= 8) {
        m_bitCount -= 8;
        PutByte(static_cast<std::uint8_t>(m_bits >> m_bitCount));
    }
    m_bits &= (1U << m_bitCount) - 1U;
}

void PacketWriter::PadToByte() {
    if (m_bitCount > 0) {
        WriteBits(0xFF, 8 - m_bitCount);
    }
}

void PacketWriter::BeginUnit() {
    if (m_unitPending) {
        m_unitPending = false;
        while (m_payload.size() == m_payloadLength) {
            FinishPacket(false);
        }
    }
}

bool PacketWriter::EndMcu(int nextMcu) {
    bool recorded = false;
    if (!m_hasRecord) {
        PadToByte();
        m_hasRecord = true;
        m_recordMcu = nextMcu;
        m_recordPosition = m_payload.size() + m_carry.size();
        recorded = true;
    }
    m_unitPending = true;
    BeginUnit();
    return recorded;
}

void PacketWriter::FinishPacket(bool endOfImage) {
    PacketHeader header = m_header;
    header.packetId = static_cast<std::uint16_t>(m_packetCount);
    header.endOfImage = endOfImage;
    const bool recordHere = m_hasRecord && m_recordPosition < m_payloadLength;
    header.mcuIndex = recordHere ? static_cast<std::uint16_t>(m_recordMcu) : kNoMcuIndex;
    header.mcuOffset = recordHere ? static_cast<std::uint8_t>(m_recordPosition) : kNoMcuOffset;
    if (m_hasRecord && !recordHere) {
        m_recordPosition -= m_payloadLength;  // the recorded MCU starts in a later packet
    } else {
        m_hasRecord = false;
    }

    const std::size_t start = m_output.size();
    m_output.resize(start + m_packetLength, 0);
    std::span<std::uint8_t> packet(m_output.data() + start, m_packetLength);
    WritePacketHeader(header, packet);
    std::uint8_t filler = 0;
    for (std::size_t i = 0; i < m_payloadLength; ++i) {
        if (i < m_payload.size()) {
            packet[kHeaderSize + i] = m_payload[i];
        } else {
            filler = static_cast<std::uint8_t>(filler * 245 + 45);
            packet[kHeaderSize + i] = filler;
        }
    }
    SealPacket(header.type, packet);
    ++m_packetCount;

    const std::size_t moved = std::min(m_carry.size(), m_payloadLength);
    m_payload.assign(m_carry.begin(), m_carry.begin() + static_cast<long>(moved));
    m_carry.erase(m_carry.begin(), m_carry.begin() + static_cast<long>(moved));
}

std::vector<std::uint8_t> PacketWriter::Finish() {
    PadToByte();
    while (!m_carry.empty()) {
        FinishPacket(false);
    }
    FinishPacket(true);
    return std::move(m_output);
}

}  // namespace quorbel::ssdv
