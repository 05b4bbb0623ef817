// Frame dispatch: the frame into the buffer, its hexadecimal text, the two header identifiers and
// the call of the one decoder its application process identifier selects.
#include "intake/dispatch.hpp"

#include <algorithm>
#include <array>

#include "decode/decoders.hpp"
#include "shell/app_state.hpp"

namespace quorbel {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHex(std::string& text, std::span<const std::uint8_t> frame) {
    const std::size_t start = text.size();
    text.resize(start + 2 * frame.size());
    char* out = text.data() + start;
    for (std::uint8_t byte : frame) {
        *out++ = kHexDigits[byte >> 4];
        *out++ = kHexDigits[byte & 0x0F];
    }
}

void CallDecoder(AppState& app) {
    switch (app.frame.packetApid) {
        case kApidTextMessage:
            ShowTextMessage(app);
            break;
        case kApidBeacon:
            DecodeTelemetryBeacon(app);
            break;
        case kApidSensor:
            DecodeSensorFrame(app);
            break;
        case kApidSsdv:
            // SSDV packets are not handled yet.
            break;
        case kApidDigipeater:
            ShowDigipeatedMessage(app);
            break;
        default:
            break;  // unknown kinds are dropped without a message
    }
}

}  // namespace

std::string ByteToHex2(std::uint8_t byte) {
    return {kHexDigits[byte >> 4], kHexDigits[byte & 0x0F]};
}

void DispatchFrame(AppState& app, std::span<const std::uint8_t> frame, const std::string* hexText) {
    FrameState& state = app.frame;
    state.hexText.clear();
    if (hexText != nullptr) {
        state.hexText = *hexText;
    } else {
        AppendHex(state.hexText, frame);
    }
    // Positions 1 to 255 only; the buffer keeps whatever lies above a shorter frame.
    const std::size_t stored = std::min<std::size_t>(frame.size(), kFrameBufferSize - 1);
    std::copy_n(frame.begin(), stored, state.buffer.begin() + 1);

    const FrameBuffer& b = state.buffer;
    state.spacecraftId = (((b[1] << 8) | b[2]) & 0x3FF0) >> 4;
    state.packetApid = ((b[7] << 8) | b[8]) & 0x07FF;
    try {
        CallDecoder(app);
    } catch (const FrameReadError&) {
        // A read outside the buffer abandons the rest of this frame; what was stored stays.
    }
}

}  // namespace quorbel
