// KISS framing: the byte-at-a-time deframer shared by the capture-file reader and the live client,
// and the undoing of KISS byte stuffing.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quorbel {

inline constexpr std::uint8_t kFend = 0xC0;
inline constexpr std::uint8_t kFesc = 0xDB;
inline constexpr std::uint8_t kTfend = 0xDC;
inline constexpr std::uint8_t kTfesc = 0xDD;
inline constexpr std::uint8_t kTimeStampCommand = 0x09;

using Bytes = std::vector<std::uint8_t>;

// Undoes byte stuffing in two passes over the whole frame: first FESC TFEND becomes FEND, then
// FESC TFESC becomes FESC. A FESC followed by neither stays as it is.
Bytes UnescapeKiss(std::span<const std::uint8_t> escaped);

// Splits a byte stream at FEND bytes. Each piece between two FENDs (empty pieces included) is
// handed on; bytes before the first FEND are dropped and bytes after the last wait for more input.
class KissDeframer {
  public:
    template <typename OnPiece>
    void Feed(std::span<const std::uint8_t> bytes, OnPiece&& onPiece) {
        for (std::uint8_t byte : bytes) {
            if (byte == kFend) {
                if (m_seenFend)
                    onPiece(std::span<const std::uint8_t>(m_piece));
                m_piece.clear();
                m_seenFend = true;
            } else if (m_seenFend) {
                m_piece.push_back(byte);
            }
        }
    }
    void Reset() {
        m_piece.clear();
        m_seenFend = false;
    }

  private:
    Bytes m_piece;
    bool m_seenFend = false;
};

}  // namespace quorbel
