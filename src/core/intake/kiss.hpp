// KISS framing: the byte-at-a-time deframer shared by the capture-file reader and the live client,
// and the undoing of KISS byte stuffing.
#pragma once

#include <algorithm>
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
// The same into `unescaped`, whose memory serves frame after frame.
void UnescapeKiss(std::span<const std::uint8_t> escaped, Bytes& unescaped);

// Splits a byte stream at FEND bytes. Each piece between two FENDs (empty pieces included) is
// handed on; bytes before the first FEND are dropped and bytes after the last wait for more input,
// so a stream may arrive cut anywhere. With a limit, an unfinished piece that grows past it is
// discarded up to the next FEND and counted, so a peer that never sends FEND cannot exhaust memory.
class KissDeframer {
  public:
    explicit KissDeframer(std::size_t maxPiece = 0) : m_maxPiece(maxPiece) {}

    template <typename OnPiece>
    void Feed(std::span<const std::uint8_t> bytes, OnPiece&& onPiece) {
        // The bytes up to each FEND go to the piece in one step, not one by one.
        auto from = bytes.begin();
        while (true) {
            const auto fend = std::find(from, bytes.end(), kFend);
            Collect(std::span<const std::uint8_t>(from, fend));
            if (fend == bytes.end())
                return;
            if (m_seenFend && !m_discarding)
                onPiece(std::span<const std::uint8_t>(m_piece));
            m_piece.clear();
            m_seenFend = true;
            m_discarding = false;
            from = fend + 1;
        }
    }
    // Forgets a started piece and waits for a first FEND again (a new connection).
    void Reset() {
        m_piece.clear();
        m_seenFend = false;
        m_discarding = false;
    }
    // Pieces discarded for their length so far.
    std::uint64_t Discarded() const { return m_discarded; }

  private:
    // Bytes without FEND for the unfinished piece: dropped before the first FEND and while
    // discarding; a piece that grows past the limit is discarded.
    void Collect(std::span<const std::uint8_t> bytes) {
        if (!m_seenFend || m_discarding || bytes.empty())
            return;
        if (m_maxPiece != 0 && m_piece.size() + bytes.size() > m_maxPiece) {
            m_piece.clear();
            m_piece.shrink_to_fit();
            m_discarding = true;
            ++m_discarded;
            return;
        }
        m_piece.insert(m_piece.end(), bytes.begin(), bytes.end());
    }

    Bytes m_piece;
    std::size_t m_maxPiece;
    std::uint64_t m_discarded = 0;
    bool m_seenFend = false;
    bool m_discarding = false;
};

}  // namespace quorbel
