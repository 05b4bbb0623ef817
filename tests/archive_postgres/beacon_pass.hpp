// The live beacons of one pass over a station, for the tests of the archive on a server.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive.hpp"
#include "sample_frames.hpp"

namespace quorbel::testing {

// `count` beacons of a pass, a second apart from `startMs`, with values that change; `seed` moves
// the battery voltages, so that passes of the same length differ.
inline std::vector<Reception> Pass(int count, std::int64_t startMs, const std::string& station,
                                   int seed = 0) {
    std::vector<Reception> pass;
    for (int i = 0; i < count; ++i) {
        samples::FieldValues values{};
        values[0] = -200 + (i * 13) % 400;         // battery current
        values[1] = 7000 + (i * 37 + seed) % 900;  // battery voltage
        Reception reception;
        reception.bytes = samples::MakeBeacon(1, values, static_cast<std::uint16_t>(i));
        reception.rxTimeMs = startMs + i * 1000;
        reception.rxTimeText = "t" + std::to_string(i);
        reception.station = station;
        reception.source = ReceptionSource::Live;
        pass.push_back(reception);
    }
    return pass;
}

}  // namespace quorbel::testing
