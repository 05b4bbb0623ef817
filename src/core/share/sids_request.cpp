// The form body of one shared frame and the texts of its time and position.
#include "share/sids_request.hpp"

#include <cmath>
#include <string_view>

#include "common/number_format.hpp"
#include "common/text.hpp"

namespace quorbel {
namespace {

// The absolute value with four decimals and the hemisphere's letter. A value that rounds to
// zero is on the positive side, so a station on the equator never reads "0.0000S".
std::string FormatHemisphere(double degrees, char positive, char negative) {
    const std::string magnitude = FormatFixed(std::fabs(degrees), 4);
    const bool isZero = magnitude.find_first_not_of("0.") == std::string::npos;
    return magnitude + (degrees < 0 && !isZero ? negative : positive);
}

// Appends a value as forms encode it: letters, digits and "-._~" stay, a space becomes "+",
// every other byte "%XX" with upper-case digits.
void AppendFormValue(std::string& body, std::string_view value) {
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~';
        if (unreserved) {
            body += c;
        } else if (c == ' ') {
            body += '+';
        } else {
            body += '%';
            body += kHexDigits[byte >> 4];
            body += kHexDigits[byte & 0x0F];
        }
    }
}

void AppendField(std::string& body, std::string_view name, std::string_view value) {
    if (!body.empty())
        body += '&';
    body += name;
    body += '=';
    AppendFormValue(body, value);
}

}  // namespace

std::string FormatIsoUtcMs(std::int64_t ms) {
    // "2026-12-07 14:22:18.584" with the date and time joined by "T" and UTC as "Z".
    std::string text = FormatUtcMilliseconds(ms);
    text[10] = 'T';
    return text + 'Z';
}

std::string FormatLongitude(double degrees) {
    return FormatHemisphere(degrees, 'E', 'W');
}

std::string FormatLatitude(double degrees) {
    return FormatHemisphere(degrees, 'N', 'S');
}

std::string SidsRequestBody(const ShareSettings& settings, std::span<const std::uint8_t> frame,
                            std::int64_t rxTimeMs) {
    std::string hex;
    AppendHex(hex, frame);
    std::string body;
    body.reserve(160 + hex.size());
    AppendField(body, "noradID", settings.noradId);
    AppendField(body, "source", settings.callsign);
    AppendField(body, "timestamp", FormatIsoUtcMs(rxTimeMs));
    AppendField(body, "frame", hex);
    AppendField(body, "locator", "longLat");
    AppendField(body, "longitude", FormatLongitude(settings.longitude));
    AppendField(body, "latitude", FormatLatitude(settings.latitude));
    return body;
}

}  // namespace quorbel
