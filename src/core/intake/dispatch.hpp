// The one entry through which every frame of every source reaches its decoder.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "common/text.hpp"
#include "decode/decoders.hpp"
#include "decode/frame_buffer.hpp"
#include "decode/ssdv_packet.hpp"

namespace quorbel {

// Application process identifiers of the frame kinds the system decodes.
inline constexpr int kApidTextMessage = 100;
inline constexpr int kApidBeacon = 300;
inline constexpr int kApidSensor = 400;
inline constexpr int kApidSsdv = 500;
inline constexpr int kApidDigipeater = 600;

enum class FrameKind { None, Beacon, Sensor, TextMessage, DigipeatedMessage, SsdvPacket };
// "beacon", "sensor", "text", "digipeater", "ssdv"; "other" for a kind that was not decoded.
const char* FrameKindName(FrameKind kind);

// What one dispatched frame gave: a record for its store, a line for the message log, an SSDV
// packet, or nothing (an unknown kind).
struct DecodedFrame {
    FrameKind kind = FrameKind::None;
    DecodedRecord record;  // Beacon, Sensor
    MessageLine line;      // TextMessage, DigipeatedMessage
    SsdvPacket packet;     // SsdvPacket
};

// Copies the frame (positions from 1, KISS command byte removed) into the frame buffer, builds its
// hexadecimal text (or takes hexText as given by the SatNOGS source), reads the spacecraft and
// application process identifiers and runs the decoder of that identifier, if any. The source
// sets the frame's RxTimeText before the call.
DecodedFrame DispatchFrame(FrameState& frame, std::span<const std::uint8_t> bytes,
                           const std::string* hexText = nullptr);

}  // namespace quorbel
