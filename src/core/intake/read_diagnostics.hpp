// What one file read met: its frames by kind, the records a full store refused, the frames
// skipped for their length, and for a SatNOGS export the lines that held no frame of the satellite.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "intake/dispatch.hpp"

namespace quorbel {

struct ReadDiagnostics {
    std::string file;  // the path read
    // Frames dispatched, by kind, in the order of kDiagnosticKinds.
    std::array<long long, 6> frames{};
    // Beacons and sensor frames not stored because their store already held 5,000 records.
    long long droppedAtCap = 0;
    // Captures only: frames with no FEND within kMaxCaptureFrameBytes, skipped unread (a frame
    // cut off by the end of the file included), so a capture without FENDs cannot exhaust memory.
    long long overlongFrames = 0;
    // SatNOGS exports only: lines read that gave no frame the system decodes (no frame bytes, or
    // an identifier of no decoder).
    std::optional<long long> linesWithoutFrame;

    void CountFrame(FrameKind kind);
    long long Frames(FrameKind kind) const;
    bool operator==(const ReadDiagnostics&) const = default;
};

// The kinds in the order they are counted and shown; FrameKind::None is an unknown identifier.
inline constexpr std::array<FrameKind, 6> kDiagnosticKinds{
    FrameKind::Beacon,     FrameKind::Sensor, FrameKind::TextMessage, FrameKind::DigipeatedMessage,
    FrameKind::SsdvPacket, FrameKind::None};

// The caption of a kind's count: "beacon", "sensor", "text", "digipeater", "SSDV",
// "unknown identifier".
const char* DiagnosticKindCaption(FrameKind kind);

// The diagnostics as lines of text, each ended by `lineEnd`: the file, one line per kind, the
// records dropped at the cap, the frames skipped for their length and, for an export, the lines
// without a frame.
std::string FormatReadDiagnostics(const ReadDiagnostics& diagnostics, std::string_view lineEnd);

}  // namespace quorbel
