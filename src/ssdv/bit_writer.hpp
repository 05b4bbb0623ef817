// MSB-first bit writer for JPEG scan data (with 0xFF byte stuffing) and SSDV payloads (without).
#pragma once

#include <cstdint>
#include <vector>

namespace quorbel::ssdv {

class BitWriter {
  public:
    explicit BitWriter(bool stuffBytes) : m_stuffBytes(stuffBytes) {}

    // Appends the low `count` bits of `value`, most significant first (count ≤ 24).
    void WriteBits(std::uint32_t value, int count) {
        m_pending = (m_pending << count) | (value & ((1U << count) - 1U));
        m_pendingCount += count;
        while (m_pendingCount >= 8) {
            m_pendingCount -= 8;
            PutByte(static_cast<std::uint8_t>(m_pending >> m_pendingCount));
        }
        m_pending &= (1U << m_pendingCount) - 1U;
    }

    // Fills the current byte with 1 bits.
    void PadToByte() {
        if (m_pendingCount > 0) {
            WriteBits(0xFF, 8 - m_pendingCount);
        }
    }

    // Appends bytes as they are, bypassing stuffing (marker segments).
    void WriteRaw(const std::vector<std::uint8_t>& bytes) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    }

    int PendingBits() const { return m_pendingCount; }
    std::vector<std::uint8_t>& Bytes() { return m_bytes; }
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

  private:
    void PutByte(std::uint8_t byte) {
        m_bytes.push_back(byte);
        if (m_stuffBytes && byte == 0xFF) {
            m_bytes.push_back(0x00);
        }
    }

    bool m_stuffBytes;
    std::uint32_t m_pending = 0;
    int m_pendingCount = 0;
    std::vector<std::uint8_t> m_bytes;
};

// Number of magnitude bits of a coefficient value (JPEG size category).
inline int CountMagnitudeBits(int value) {
    unsigned magnitude = static_cast<unsigned>(value < 0 ? -value : value);
    int bits = 0;
    while (magnitude != 0) {
        ++bits;
        magnitude >>= 1;
    }
    return bits;
}

// Magnitude bits of a value: v itself for v > 0, (v - 1) in two's complement for v < 0.
inline std::uint32_t EncodeMagnitude(int value, int category) {
    const int raw = value < 0 ? value - 1 : value;
    return static_cast<std::uint32_t>(raw) & ((1U << category) - 1U);
}

// Inverse of EncodeMagnitude.
inline int DecodeMagnitude(std::uint32_t bits, int category) {
    if (category == 0) {
        return 0;
    }
    const int value = static_cast<int>(bits);
    return value < (1 << (category - 1)) ? value - (1 << category) + 1 : value;
}

}  // namespace quorbel::ssdv
