// Frame dispatch: the frame into the buffer, its hexadecimal text, the two header identifiers and
// the one decoder its application process identifier selects.
#include "intake/dispatch.hpp"

#include <algorithm>

namespace quorbel {
namespace {

// Each kind's decoded values are made in place in the returned frame, without copies.
DecodedFrame CallDecoder(const FrameState& frame) {
    switch (frame.packetApid) {
        case kApidTextMessage:
            return {
                FrameKind::TextMessage, {}, ShowTextMessage(frame.buffer, frame.rxTimeText), {}};
        case kApidBeacon:
            return {FrameKind::Beacon, DecodeTelemetryBeacon(frame.buffer), {}, {}};
        case kApidSensor:
            return {FrameKind::Sensor, DecodeSensorFrame(frame.buffer, frame.hexText), {}, {}};
        case kApidSsdv:
            return {FrameKind::SsdvPacket, {}, {}, ReadSsdvPacket(frame.buffer)};
        case kApidDigipeater:
            return {FrameKind::DigipeatedMessage,
                    {},
                    ShowDigipeatedMessage(frame.buffer, frame.rxTimeText),
                    {}};
        default:
            return {};  // unknown kinds are dropped without a message
    }
}

}  // namespace

const char* FrameKindName(FrameKind kind) {
    switch (kind) {
        case FrameKind::Beacon:
            return "beacon";
        case FrameKind::Sensor:
            return "sensor";
        case FrameKind::TextMessage:
            return "text";
        case FrameKind::DigipeatedMessage:
            return "digipeater";
        case FrameKind::SsdvPacket:
            return "ssdv";
        case FrameKind::None:
            break;
    }
    return "other";
}

DecodedFrame DispatchFrame(FrameState& frame, std::span<const std::uint8_t> bytes,
                           const std::string* hexText) {
    frame.hexText.clear();
    if (hexText != nullptr) {
        frame.hexText = *hexText;
    } else {
        AppendHex(frame.hexText, bytes);
    }
    // Positions 1 to 255 only; the buffer keeps whatever lies above a shorter frame.
    const std::size_t stored = std::min<std::size_t>(bytes.size(), kFrameBufferSize - 1);
    std::copy_n(bytes.begin(), stored, frame.buffer.begin() + 1);

    const FrameBuffer& b = frame.buffer;
    frame.spacecraftId = (((b[1] << 8) | b[2]) & 0x3FF0) >> 4;
    frame.packetApid = ((b[7] << 8) | b[8]) & 0x07FF;
    return CallDecoder(frame);
}

}  // namespace quorbel
