// Frame dispatch: the frame into the buffer, its hexadecimal text, the two header identifiers and
// the one decoder its application process identifier selects.
#include "intake/dispatch.hpp"

#include <algorithm>

namespace quorbel {
namespace {

DecodedFrame CallDecoder(const FrameState& frame) {
    DecodedFrame decoded;
    switch (frame.packetApid) {
        case kApidTextMessage:
            decoded.kind = FrameKind::TextMessage;
            decoded.line = ShowTextMessage(frame.buffer, frame.rxTimeText);
            break;
        case kApidBeacon:
            decoded.kind = FrameKind::Beacon;
            decoded.record = DecodeTelemetryBeacon(frame.buffer);
            break;
        case kApidSensor:
            decoded.kind = FrameKind::Sensor;
            decoded.record = DecodeSensorFrame(frame.buffer, frame.hexText);
            break;
        case kApidSsdv:
            break;  // SSDV packets are not handled yet
        case kApidDigipeater:
            decoded.kind = FrameKind::DigipeatedMessage;
            decoded.line = ShowDigipeatedMessage(frame.buffer, frame.rxTimeText);
            break;
        default:
            break;  // unknown kinds are dropped without a message
    }
    return decoded;
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
