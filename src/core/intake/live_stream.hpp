// The live KISS stream over TCP: frames cut out of the byte stream at FEND bytes, which of them
// are decoded and recorded, and the records of the day's capture file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "intake/kiss.hpp"

namespace quorbel {

// An unfinished frame longer than this is discarded.
inline constexpr std::size_t kMaxLiveFrameBytes = 64 * 1024;
// Frames of this many bytes or fewer after the command byte (empty frames, the time stamps some
// servers send) are neither decoded nor recorded.
inline constexpr std::size_t kShortestIgnoredLength = 100;

// One frame of the stream, unescaped; its command byte first.
struct LiveFrame {
    Bytes unescaped;

    // Longer than 100 bytes after the command byte: decoded and recorded.
    bool IsRecorded() const { return unescaped.size() > kShortestIgnoredLength + 1; }
    // The frame without its command byte.
    std::span<const std::uint8_t> Frame() const {
        return std::span<const std::uint8_t>(unescaped).subspan(unescaped.empty() ? 0 : 1);
    }
};

// Unescapes one piece of the stream (the bytes between two FENDs).
LiveFrame ReadLiveFrame(std::span<const std::uint8_t> piece);

// The capture file of a UTC day and satellite name: "<yyyy-MM-dd>_<name>.kss".
std::string CaptureFileName(std::string_view utcDate, std::string_view satelliteName);

// One record of a capture file: the time stamp frame (FEND, 0x09, the 23 characters of the stamp
// and " UTC", FEND) and the frame exactly as received between its FENDs (FEND, command byte,
// escaped body, FEND).
std::string BuildCaptureRecord(std::string_view utcStamp, std::span<const std::uint8_t> piece);

}  // namespace quorbel
