// Generated SatNOGS exports for tests and benchmarks: lines "time|frame hex|observation|station",
// newest frame first, with beacons, sensor frames, image-data frames, truncated frames from some
// stations, adjacent duplicates, lower-case hex and a choice of line ends.
#pragma once

#include <cstdint>
#include <string>

namespace quorbel::tools {

struct SatnogsExportOptions {
    int lines = 1000;   // record lines written (duplicates included)
    int stations = 20;  // receiving stations
    std::uint32_t seed = 1;
    bool lfOnly = false;            // LF line ends instead of CR LF
    bool finalLineBreak = true;     // whether the last line has its line end
    double duplicateRate = 0.1;     // chance that a line is repeated right after itself
    double shortStationRate = 0.2;  // share of stations that deliver truncated frames
    double lowerCaseRate = 0.05;    // chance that a frame is written in lower-case hex
    double imageRate = 0.2;         // share of image-data frames (the rest: beacons, sensors)
    double blankLineRate = 0.0;     // chance of a blank line between records
};

std::string GenerateSatnogsExport(const SatnogsExportOptions& options);

}  // namespace quorbel::tools
