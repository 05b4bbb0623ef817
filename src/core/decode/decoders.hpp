// The decoders of the frame kinds: each reads the frame buffer and the receive time and adds a
// record to its store or a line to the message log.
#pragma once

#include <string>

namespace quorbel {

struct AppState;
struct Rgb;
class RichText;

// A beacon (identifier 300): fields 0 to 66 of a new telemetry record.
void DecodeTelemetryBeacon(AppState& app);
// A sensor frame (identifier 400): fields 70 to 106 of a new sensor record.
void DecodeSensorFrame(AppState& app);
// A text message (identifier 100): a black line in the message log.
void ShowTextMessage(AppState& app);
// A digipeated message (identifier 600): a blue line in the message log.
void ShowDigipeatedMessage(AppState& app);
// Inserts the text at the box's insertion point in the colour and leaves the point behind it.
void AppendColoredText(RichText& box, const std::string& text, Rgb colour);

}  // namespace quorbel
