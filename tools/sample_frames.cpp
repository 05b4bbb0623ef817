// Frame and capture-file builders for samples, tests and benchmarks.
#include "sample_frames.hpp"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>

#include "ssdv/encoder.hpp"

namespace quorbel::samples {
namespace {

void PutBigEndian(Bytes& frame, int position, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
        frame[static_cast<std::size_t>(position - 1 + i)] =
            static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
    }
}

void PutText(Bytes& frame, int position, const std::string& text, std::size_t room) {
    for (std::size_t i = 0; i < text.size() && i < room; ++i) {
        frame[static_cast<std::size_t>(position - 1) + i] = static_cast<std::uint8_t>(text[i]);
    }
}

Bytes Padded(Bytes frame) {
    if (frame.size() < kTransferFrameLength)
        frame.resize(kTransferFrameLength, 0);
    return frame;
}

}  // namespace

Bytes MakeFrame(int spacecraftId, int apid, std::span<const std::uint8_t> data,
                std::uint16_t sequence) {
    Bytes frame(12, 0);
    // Transfer frame primary header: version 0, spacecraft id, virtual channel 0, no OCF.
    PutBigEndian(frame, 1, static_cast<std::uint64_t>((spacecraftId & 0x3FF) << 4), 2);
    frame[2] = static_cast<std::uint8_t>(sequence);  // master channel frame count
    frame[3] = static_cast<std::uint8_t>(sequence);  // virtual channel frame count
    PutBigEndian(frame, 5, 0x1800, 2);               // no secondary header, first header at 0
    // Space packet primary header: telemetry, no secondary header, unsegmented.
    PutBigEndian(frame, 7, static_cast<std::uint64_t>(apid & 0x7FF), 2);
    PutBigEndian(frame, 9, 0xC000u | (sequence & 0x3FFFu), 2);
    PutBigEndian(frame, 11, data.empty() ? 0 : data.size() - 1, 2);
    frame.insert(frame.end(), data.begin(), data.end());
    return Padded(std::move(frame));
}

void PutField(Bytes& frame, const FieldDef& field, double value) {
    const int width = ReaderWidth(field.reader);
    if (width == 0 || field.position == 0)
        return;
    std::uint64_t bits;
    if (field.reader == FieldReader::F32BE) {
        const float single = static_cast<float>(value);
        std::uint32_t raw;
        std::memcpy(&raw, &single, sizeof raw);
        bits = raw;
    } else if (field.reader == FieldReader::HexMicroseconds) {
        bits = static_cast<std::uint64_t>(std::llround(value * 1e6));
    } else {
        bits = static_cast<std::uint64_t>(static_cast<std::int64_t>(std::llround(value)));
    }
    PutBigEndian(frame, field.position, bits, width);
}

Bytes MakeBeacon(int spacecraftId, const FieldValues& values, std::uint16_t sequence) {
    Bytes frame = MakeFrame(spacecraftId, 300, Bytes(120, 0), sequence);
    for (int i = 0; i <= 66; ++i)
        PutField(frame, kFields[static_cast<std::size_t>(i)], values[static_cast<std::size_t>(i)]);
    return frame;
}

Bytes MakeSensorFrame(int spacecraftId, const FieldValues& values, std::uint64_t microseconds,
                      std::uint16_t sequence) {
    Bytes frame = MakeFrame(spacecraftId, 400, Bytes(126, 0), sequence);
    PutBigEndian(frame, 13, microseconds, 8);
    for (int i = 71; i <= 105; ++i)
        PutField(frame, kFields[static_cast<std::size_t>(i)], values[static_cast<std::size_t>(i)]);
    return frame;
}

Bytes MakeTextMessage(int spacecraftId, const std::string& text) {
    Bytes frame = MakeFrame(spacecraftId, 100, Bytes(64, 0));
    PutText(frame, 13, text, 64);
    return frame;
}

Bytes MakeDigipeatedMessage(int spacecraftId, const std::string& to, const std::string& from,
                            const std::string& text) {
    Bytes frame = MakeFrame(spacecraftId, 600, Bytes(81, 0));
    PutText(frame, 15, to, 6);
    PutText(frame, 21, from, 6);
    PutText(frame, 27, text, 67);
    return frame;
}

Bytes MakeSsdvFrame(int spacecraftId, std::span<const std::uint8_t> packet) {
    Bytes frame = MakeFrame(spacecraftId, 500, Bytes(114, 0));
    for (std::size_t i = 0; i < packet.size() && i < 118; ++i)
        frame[8 + i] = packet[i];
    // The packet overlays the space packet header from position 9: keep the identifier bytes.
    PutBigEndian(frame, 7, 500, 2);
    return frame;
}

Bytes EncodePicturePackets(std::span<const std::uint8_t> jpeg, int imageId) {
    ssdv::EncodeOptions options;
    options.callsign = "QRB1U";
    options.imageId = static_cast<std::uint8_t>(imageId);
    options.packetLength = 118;
    ssdv::EncodeResult encoded = ssdv::EncodeImage(jpeg, options);
    return encoded.ok ? std::move(encoded.packets) : Bytes();
}

Bytes KissEscape(std::span<const std::uint8_t> frame) {
    Bytes out;
    out.reserve(frame.size() + 8);
    for (std::uint8_t byte : frame) {
        if (byte == 0xC0) {
            out.insert(out.end(), {0xDB, 0xDC});
        } else if (byte == 0xDB) {
            out.insert(out.end(), {0xDB, 0xDD});
        } else {
            out.push_back(byte);
        }
    }
    return out;
}

Bytes KissDataFrame(std::span<const std::uint8_t> frame) {
    Bytes out{0xC0, 0x00};
    const Bytes escaped = KissEscape(frame);
    out.insert(out.end(), escaped.begin(), escaped.end());
    out.push_back(0xC0);
    return out;
}

Bytes KissTextStamp(const std::string& stamp27) {
    Bytes out;
    out.reserve(stamp27.size() + 3);
    out.push_back(0xC0);
    out.push_back(0x09);
    for (char c : stamp27)
        out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(0xC0);
    return out;
}

Bytes KissNumericStamp(std::uint64_t millisecondsSince1970) {
    Bytes body(8, 0);
    for (int i = 0; i < 8; ++i)
        body[static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(millisecondsSince1970 >> (56 - 8 * i));
    Bytes out{0xC0, 0x09};
    const Bytes escaped = KissEscape(body);
    out.insert(out.end(), escaped.begin(), escaped.end());
    out.push_back(0xC0);
    return out;
}

std::string UtcStampText(std::int64_t milliseconds) {
    const std::int64_t seconds = milliseconds / 1000;
    std::int64_t days = seconds / 86400;
    const std::int64_t rest = seconds % 86400;
    // Civil date from days since 1970 (dates after 1970 only).
    days += 719468;
    const std::int64_t era = days / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02lld:%02lld:%02lld.%03lld UTC", year,
                  month, day, static_cast<long long>(rest / 3600),
                  static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60),
                  static_cast<long long>(milliseconds % 1000));
    return text;
}

bool WriteBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file.flush());
}

}  // namespace quorbel::samples
