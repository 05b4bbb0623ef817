// One frame as a SiDS server takes it: a POST of an application/x-www-form-urlencoded body.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "share/share_settings.hpp"

namespace quorbel {

// "2026-12-07T14:22:18.584Z" of UTC milliseconds.
std::string FormatIsoUtcMs(std::int64_t ms);
// "13.4050E" / "52.5200N": the absolute value with four decimals and its hemisphere.
std::string FormatLongitude(double degrees);
std::string FormatLatitude(double degrees);

// The body: noradID, source (the callsign), timestamp, frame (upper-case hex of the bytes after
// KISS unescaping, without the command byte), locator=longLat, longitude, latitude; every value
// percent-encoded as forms encode it.
std::string SidsRequestBody(const ShareSettings& settings, std::span<const std::uint8_t> frame,
                            std::int64_t rxTimeMs);

}  // namespace quorbel
