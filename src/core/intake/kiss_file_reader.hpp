// Capture files (.kss): the pieces between FEND bytes, time stamp frames turned into receive
// times, and the data frames handed back for dispatch.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "intake/kiss.hpp"

namespace quorbel {

inline constexpr const char* kKissFilter = "KISS Files (*.kss)|*.kss|All Files (*.*)|*.*";

// The longest piece of a capture between two FENDs that is read, in escaped bytes, as for the live
// stream. Every decoder reads at most the first 255 bytes of a frame, so a longer piece holds
// nothing more to decode; it is skipped without being held in memory and counted.
inline constexpr std::size_t kMaxCaptureFrameBytes = 64 * 1024;

// The FEND bytes of a capture, as its "kiss frames: " log line counts them; -1 for no bytes.
long long CountCaptureFrames(std::span<const std::uint8_t> bytes);

// Sets `time` to the receive time a stamp frame (command byte 0x09 included) gives: a numeric
// stamp of exactly 9 bytes (milliseconds since 1970), or text that holds "UTC" with at least 24
// characters before it. False, and `time` unchanged, when it gives none.
bool ReadStampTime(const Bytes& frame, std::string& time);
// The same as a value: the receive time, or none.
std::optional<std::string> StampTime(const Bytes& frame);

// What one piece of a capture between two FENDs is.
struct CapturePiece {
    enum class Kind {
        Skip,   // empty, the command byte alone, or a stamp frame that gives no time
        Stamp,  // a time stamp frame: `stampTime` is the new receive time
        Frame,  // a data frame
    };
    Kind kind = Kind::Skip;
    std::string stampTime;
    Bytes unescaped;  // the whole piece unescaped, command byte first

    // The data frame without its command byte.
    std::span<const std::uint8_t> DataFrame() const {
        return std::span<const std::uint8_t>(unescaped).subspan(1);
    }
};

// Unescapes one piece and tells what it is. The piece's buffers serve piece after piece.
void ReadCapturePiece(std::span<const std::uint8_t> escaped, CapturePiece& piece);

}  // namespace quorbel
