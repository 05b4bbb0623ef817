// The beacon and sensor decoders: every field of the field table read from its frame position.
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/text.hpp"
#include "decode/decoders.hpp"

namespace quorbel {
namespace {

double ReadField(const FrameBuffer& buffer, const FieldDef& field) {
    switch (field.reader) {
        case FieldReader::U8:
            return ReadU8(buffer, field.position);
        case FieldReader::S8:
            return ReadS8(buffer, field.position);
        case FieldReader::U16BE:
            return ReadU16BE(buffer, field.position);
        case FieldReader::S16BE:
            return ReadS16BE(buffer, field.position);
        case FieldReader::U32BE:
            return ReadU32BE(buffer, field.position);
        case FieldReader::S32BE:
            return ReadS32BE(buffer, field.position);
        case FieldReader::F32BE:
            return ReadF32BE(buffer, field.position);  // widened without change of value
        default:
            return 0;
    }
}

// Field 70: the 15 hexadecimal characters from the 26th of the frame's text (the low digit of
// position 13 and positions 14 to 20), a microsecond count, as seconds. None when they are not
// all hexadecimal digits or there are none.
std::optional<double> ReadHexMicroseconds(std::string_view hexText) {
    if (hexText.size() < 26)
        return std::nullopt;
    const std::string_view digits = hexText.substr(25, 15);
    std::uint64_t count = 0;
    for (char c : digits) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        count = count * 16 + static_cast<std::uint64_t>(digit);
    }
    return static_cast<double>(count) / 1000000.0;
}

// Decodes the fields of the range in table order, up to the first that cannot be read.
DecodedRecord DecodeFields(const FrameBuffer& buffer, std::string_view hexText, FieldRange range) {
    DecodedRecord decoded;
    decoded.fields = range;
    for (int i = range.first; i <= range.last; ++i) {
        const FieldDef& field = kFields[static_cast<std::size_t>(i)];
        double value;
        if (field.reader == FieldReader::HexMicroseconds) {
            const std::optional<double> seconds = ReadHexMicroseconds(hexText);
            if (!seconds)
                break;
            value = *seconds;
        } else {
            value = ReadField(buffer, field);
        }
        decoded.values[static_cast<std::size_t>(i)] = value;
        ++decoded.decodedCount;
    }
    return decoded;
}

}  // namespace

DecodedRecord DecodeTelemetryBeacon(const FrameBuffer& buffer) {
    return DecodeFields(buffer, {}, kBeaconFields);
}

DecodedRecord DecodeSensorFrame(const FrameBuffer& buffer, std::string_view hexText) {
    return DecodeFields(buffer, hexText, kSensorFields);
}

}  // namespace quorbel
