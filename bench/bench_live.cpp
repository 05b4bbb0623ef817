// The live path without a socket: 100,000 frames of a KISS stream through the client as a modem
// delivers them (deframing, decoding, the chart of the selected field, the record in the capture
// file), in arrivals of 1,400 bytes. Prints frames per second and the resident memory before and
// after, which must stay flat once the stores are full.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "sample_frames.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "support/fake_platform.hpp"

namespace {

using namespace quorbel;

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

samples::Bytes MakeStream(int frames) {
    samples::FieldValues values{};
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<double>(i * 37 % 251);
    const samples::Bytes beacon = samples::KissDataFrame(samples::MakeBeacon(22, values));
    const samples::Bytes sensor =
        samples::KissDataFrame(samples::MakeSensorFrame(22, values, 1700000000000000ULL));
    samples::Bytes stream;
    for (int i = 0; i < frames; ++i) {
        const samples::Bytes& frame = i % 2 == 0 ? beacon : sensor;
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    return stream;
}

}  // namespace

int main() {
    constexpr int kFrames = 100000;
    constexpr std::size_t kArrival = 1400;
    const auto folder = std::filesystem::temp_directory_path() / "quorbel-bench-live";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const samples::Bytes stream = MakeStream(kFrames);

    quorbel::testing::FakePlatform platform;
    platform.now = std::chrono::system_clock::time_point(std::chrono::seconds(1700000000));
    platform.tick = std::chrono::milliseconds(1);
    auto app = std::make_unique<AppState>(platform);
    app->settings.appDir = folder.string();
    StartUp(*app);
    ClickFieldSelector(*app, 81);  // the chart follows a sensor field

    const std::span<const std::uint8_t> bytes(stream);
    const long before = ResidentKilobytes();
    long atHalf = 0;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t at = 0; at < bytes.size(); at += kArrival) {
        ReceiveLiveBytes(*app, bytes.subspan(at, std::min(kArrival, bytes.size() - at)));
        if (atHalf == 0 && at >= bytes.size() / 2)
            atHalf = ResidentKilobytes();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long after = ResidentKilobytes();
    app->live.capture.Close();
    const auto captured = std::filesystem::file_size(folder / "2023-11-14_QUORBEL-1U.kss");
    std::printf("live path: %d frames in %.3f s = %.0f frames/s; capture %.1f MB\n", kFrames,
                seconds, kFrames / seconds, static_cast<double>(captured) / 1e6);
    std::printf("resident memory: %ld kB before, %ld kB halfway, %ld kB after\n", before, atHalf,
                after);
    std::printf("records: %d beacons, %d sensor frames; chart points: %zu\n",
                app->telemetry.Count(), app->sensor.Count(),
                app->ui.chart.series.at(0).values.size());
    std::filesystem::remove_all(folder);
    return 0;
}
