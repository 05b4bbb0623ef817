// The decoders of the frame kinds: pure functions of the frame buffer (and the receive time or
// hexadecimal text where they need it) that return what the frame holds. Applying it to the
// stores and the log is the caller's step.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "common/rgb.hpp"
#include "decode/field_table.hpp"
#include "decode/frame_buffer.hpp"

namespace quorbel {

// The values of one beacon or sensor frame. Fields are decoded in table order from the range's
// first on; a field that cannot be read ends the frame, so only the first `decodedCount` fields
// of the range hold new values (the record keeps older values for the others). Only those are
// set: the array is left unfilled elsewhere, as every frame of the live stream and the files
// passes through here.
struct DecodedRecord {
    FieldRange fields{0, -1};
    int decodedCount = 0;
    std::array<double, kFieldCount> values;
};

// One coloured line of the message log, with its line end.
struct MessageLine {
    std::string text;
    Rgb colour;
};

// A beacon (identifier 300): fields 0 to 66.
DecodedRecord DecodeTelemetryBeacon(const FrameBuffer& buffer);
// A sensor frame (identifier 400): fields 70 to 106; field 70 comes from the hexadecimal text.
DecodedRecord DecodeSensorFrame(const FrameBuffer& buffer, std::string_view hexText);
// A text message (identifier 100): the black line it shows in the message log.
MessageLine ShowTextMessage(const FrameBuffer& buffer, const std::string& rxTimeText);
// A digipeated message (identifier 600): the blue line it shows in the message log.
MessageLine ShowDigipeatedMessage(const FrameBuffer& buffer, const std::string& rxTimeText);

}  // namespace quorbel
