// The beacon and sensor decoders: every field of the field table read from its frame position.
#include <cstdint>
#include <optional>
#include <string_view>

#include "decode/decoders.hpp"
#include "decode/field_table.hpp"
#include "shell/app_state.hpp"
#include "store/field_catalogue.hpp"

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
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            return std::nullopt;
        }
        count = count * 16 + static_cast<std::uint64_t>(digit);
    }
    return static_cast<double>(count) / 1000000.0;
}

// Decodes fields first..last of the table into record n of the store.
void DecodeFields(AppState& app, RecordStore& store, int n, int first, int last) {
    TelemetryRecord& record = store.Record(n);
    for (int i = first; i <= last; ++i) {
        const FieldDef& field = kFields[static_cast<std::size_t>(i)];
        if (field.reader == FieldReader::HexMicroseconds) {
            const std::optional<double> seconds = ReadHexMicroseconds(app.frame.hexText);
            if (!seconds)
                return;  // the record keeps its receive time and older values
            record.values[static_cast<std::size_t>(i)] = *seconds;
        } else {
            record.values[static_cast<std::size_t>(i)] = ReadField(app.frame.buffer, field);
        }
    }
}

}  // namespace

void DecodeTelemetryBeacon(AppState& app) {
    const std::optional<int> n = AppendRecord(app, app.telemetry);
    if (n)
        DecodeFields(app, app.telemetry, *n, 0, 66);
}

void DecodeSensorFrame(AppState& app) {
    const std::optional<int> n = AppendRecord(app, app.sensor);
    if (n)
        DecodeFields(app, app.sensor, *n, 70, 106);
}

}  // namespace quorbel
