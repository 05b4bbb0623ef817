// Builds QUORBEL transfer frames and KISS capture files for samples, tests and benchmarks: beacons,
// sensor frames, messages and SSDV packets, with the satellite's fixed 223-byte frame length.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "decode/field_table.hpp"

namespace quorbel::samples {

using Bytes = std::vector<std::uint8_t>;
using FieldValues = std::array<double, kFieldCount>;

inline constexpr std::size_t kTransferFrameLength = 223;

// A transfer frame with a space packet of the given identifier: headers at positions 1 to 12,
// the packet data from position 13, padded with zeros to 223 bytes.
Bytes MakeFrame(int spacecraftId, int apid, std::span<const std::uint8_t> data,
                std::uint16_t sequence = 0);
// Writes a value at its field's frame position with its reader's width (the decoders' inverse).
void PutField(Bytes& frame, const FieldDef& field, double value);
Bytes MakeBeacon(int spacecraftId, const FieldValues& values, std::uint16_t sequence = 0);
// A sensor frame; field 70 is given as its microsecond count.
Bytes MakeSensorFrame(int spacecraftId, const FieldValues& values, std::uint64_t microseconds,
                      std::uint16_t sequence = 0);
Bytes MakeTextMessage(int spacecraftId, const std::string& text);
Bytes MakeDigipeatedMessage(int spacecraftId, const std::string& to, const std::string& from,
                            const std::string& text);
// A frame that carries a 118-byte SSDV packet at positions 9 to 126.
Bytes MakeSsdvFrame(int spacecraftId, std::span<const std::uint8_t> packet);
// The JPEG picture as the satellite sends it: 118-byte SSDV packets one after another, made by
// the project's codec. Empty when the codec refuses the picture.
Bytes EncodePicturePackets(std::span<const std::uint8_t> jpeg, int imageId);

// KISS capture file pieces.
Bytes KissEscape(std::span<const std::uint8_t> frame);
Bytes KissDataFrame(std::span<const std::uint8_t> frame);
// A text stamp as the live client writes it: "yyyy-MM-dd HH:nn:ss.mmm UTC".
Bytes KissTextStamp(const std::string& stamp27);
Bytes KissNumericStamp(std::uint64_t millisecondsSince1970);
std::string UtcStampText(std::int64_t millisecondsSince1970);

// A realistic pass of one satellite over a station, as a capture file.
struct PassOptions {
    int spacecraftId = 22;
    int beacons = 60;
    int sensorFrames = 60;
    int textMessages = 4;
    int digipeatedMessages = 3;
    int ssdvPackets = 6;  // SSDV-like packets (header fields, filler payload)
    // Their image ID: not that of the picture pass (7), so that reading both passes in one
    // application folder keeps the picture's packet file.
    int ssdvImageId = 2;
    Bytes picturePackets;  // when set: the packets of a real picture instead, all of them
    int unknownFrames = 1;
    std::int64_t startMilliseconds = 1700000000000;  // 2023-11-14 22:13:20 UTC
    int secondsBetweenFrames = 5;
    unsigned seed = 1;
    // When set: the beacons' values follow the mission's clock from this moment on, besides the
    // pass: the battery ages, the days warm and cool it, the seasons move it (a mission's history).
    std::optional<std::int64_t> missionStartMs;
};
Bytes MakePassCapture(const PassOptions& options);
// Passes one after another, each `minutesBetweenPasses` after the one before and with a seed of
// its own, as one capture file: a mission's history when `missionStartMs` is set.
Bytes MakePassesCapture(const PassOptions& options, int passes, int minutesBetweenPasses);
// Writes the bytes to a file, replacing it; false when it cannot be written.
bool WriteBytes(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace quorbel::samples
