// The generator of SatNOGS exports.
#include "satnogs_gen.hpp"

#include <ctime>
#include <random>
#include <string_view>
#include <vector>

namespace quorbel::tools {
namespace {

constexpr int kFrameBytes = 223;                  // a full frame: 446 hexadecimal characters
constexpr std::int64_t kNewestTime = 1673786096;  // 2023-01-15 12:34:56 UTC
constexpr std::string_view kImageDataStart = "86A24040404060AC8AB09E9C406103F003";

std::string FormatUtc(std::int64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

void AppendHex(std::string& out, std::uint8_t byte, bool lowerCase) {
    const char* digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    out.push_back(digits[byte >> 4]);
    out.push_back(digits[byte & 0x0F]);
}

// A beacon (identifier 300), a sensor frame (400) or an image-data frame, as upper-case hex.
std::string MakeFrameHex(std::mt19937& random, double imageRate) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::string hex;
    if (unit(random) < imageRate) {
        hex = kImageDataStart;
    } else {
        bool sensor = unit(random) < 0.3;
        // Spacecraft 22; the packet's low 11 bits 0x12C (300) or 0x190 (400).
        const std::uint8_t apidLow = sensor ? 0x90 : 0x2C;
        const std::uint8_t header[12] = {0x01, 0x60,    0x00, 0x00, 0x00, 0x00,
                                         0x09, apidLow, 0xC0, 0x00, 0x00, 0xD2};
        for (std::uint8_t b : header)
            AppendHex(hex, b, false);
    }
    while (hex.size() < 2 * kFrameBytes)
        AppendHex(hex, static_cast<std::uint8_t>(byte(random)), false);
    return hex;
}

std::string ToLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'F')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

struct Station {
    std::string name;
    bool truncates = false;
};

std::vector<Station> MakeStations(const SatnogsExportOptions& options, std::mt19937& random) {
    static constexpr std::string_view kLocators[] = {"JN58td", "JO62qm", "IO91wm", "FN31pr",
                                                     "QF22lb"};
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Station> stations;
    for (int i = 0; i < options.stations; ++i) {
        std::string name = "Station" + std::to_string(i + 1) + "-";
        name += kLocators[static_cast<std::size_t>(i) % std::size(kLocators)];
        stations.push_back({name, unit(random) < options.shortStationRate});
    }
    return stations;
}

}  // namespace

std::string GenerateSatnogsExport(const SatnogsExportOptions& options) {
    std::mt19937 random(options.seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Station> stations = MakeStations(options, random);
    std::uniform_int_distribution<std::size_t> pickStation(
        0, stations.empty() ? 0 : stations.size() - 1);
    const std::string_view lineEnd = options.lfOnly ? "\n" : "\r\n";
    std::string out;
    std::string line;
    std::int64_t time = kNewestTime;
    for (int written = 0; written < options.lines;) {
        std::string frame = MakeFrameHex(random, options.imageRate);
        const Station* station = stations.empty() ? nullptr : &stations[pickStation(random)];
        if (station && station->truncates && unit(random) < 0.4) {
            frame.resize(2 *
                         std::uniform_int_distribution<std::size_t>(1, kFrameBytes - 1)(random));
        }
        bool selfSubmitted = unit(random) < options.lowerCaseRate;
        if (selfSubmitted)
            frame = ToLower(frame);
        line = FormatUtc(time) + "|" + frame + "|";
        if (!selfSubmitted)
            line += std::to_string(7000000 + written);
        line += "|";
        if (station)
            line += station->name;
        int copies = unit(random) < options.duplicateRate ? 2 : 1;
        for (int c = 0; c < copies && written < options.lines; ++c, ++written) {
            out += line;
            if (written + 1 < options.lines || options.finalLineBreak)
                out += lineEnd;
        }
        if (unit(random) < options.blankLineRate)
            out += lineEnd;
        time -= std::uniform_int_distribution<int>(1, 30)(random);
    }
    return out;
}

}  // namespace quorbel::tools
