// The one entry through which every frame of every source reaches its decoder.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quorbel {

struct AppState;

// Application process identifiers of the frame kinds the system decodes.
inline constexpr int kApidTextMessage = 100;
inline constexpr int kApidBeacon = 300;
inline constexpr int kApidSensor = 400;
inline constexpr int kApidSsdv = 500;
inline constexpr int kApidDigipeater = 600;

// Two upper-case hexadecimal digits.
std::string ByteToHex2(std::uint8_t byte);

// Copies the frame (positions from 1, KISS command byte removed) into the frame buffer, builds its
// hexadecimal text (or takes hexText as given by the SatNOGS source), reads the spacecraft and
// application process identifiers and calls the decoder of that identifier, if any. The source
// sets RxTimeText before the call.
void DispatchFrame(AppState& app, std::span<const std::uint8_t> frame,
                   const std::string* hexText = nullptr);

}  // namespace quorbel
