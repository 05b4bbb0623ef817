// The live path without a socket: 100,000 distinct frames of a KISS stream through the client as
// a modem delivers them (deframing, decoding, the chart of the selected field, the record in the
// capture file), in arrivals of 1,400 bytes, in rounds of two runs: sharing off, then sharing on
// (every frame queued for the outbox and put there by its writer, the sender's turn every 100 ms,
// a SiDS server on 127.0.0.1 that answers each request 201 after 2 s). The event loop runs after
// every arrival in both runs, as in the window and listen. Prints frames per second of each run,
// how long after the last arrival the outbox held every frame, each round's ratio and their
// median, and the resident memory, which must stay flat once the stores are full.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDateTime>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "qt_http_poster.hpp"
#include "sample_frames.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "shell/commands/share_commands.hpp"
#include "sqlite_outbox.hpp"
#include "support/fake_platform.hpp"
#include "support/sids_test_server.hpp"

namespace {

using namespace quorbel;
using Clock = std::chrono::steady_clock;

constexpr int kDefaultFrames = 100000;
constexpr std::size_t kArrival = 1400;
constexpr auto kSharePump = std::chrono::milliseconds(100);
constexpr std::size_t kBatteryVoltage = 1;  // a beacon field of 16 bits

// The bytes this process made the kernel write to the disk so far.
long long DiskWriteBytes() {
    std::ifstream io("/proc/self/io");
    std::string line;
    while (std::getline(io, line)) {
        if (line.rfind("write_bytes:", 0) == 0)
            return std::stoll(line.substr(12));
    }
    return -1;
}

// The processor time of this process so far, user and system, in seconds.
double ProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

// Beacons and sensor frames in turn, each distinct (a beacon's battery voltage, a sensor frame's
// time), so that the outbox keeps every one.
samples::Bytes MakeStream(int frames) {
    samples::FieldValues values{};
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<double>(i * 37 % 251);
    samples::Bytes stream;
    for (int i = 0; i < frames; ++i) {
        const auto sequence = static_cast<std::uint16_t>(i / 2);
        values[kBatteryVoltage] = 4000 + i / 2;
        const samples::Bytes frame =
            i % 2 == 0 ? samples::KissDataFrame(samples::MakeBeacon(22, values, sequence))
                       : samples::KissDataFrame(samples::MakeSensorFrame(
                             22, values, 1700000000000000ULL + 1000ULL * static_cast<unsigned>(i),
                             sequence));
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    return stream;
}

// Sharing as the window and listen start it, against `url`.
void StartSharingTo(AppState& app, quorbel::testing::FakePlatform& platform, HttpPoster& poster,
                    const std::string& url) {
    ShareConfText& share = app.settings.share;
    share.share = "on";
    share.url = url;
    share.noradId = "99999";
    share.callsign = "DL1ABC";
    share.latitude = "52.52";
    share.longitude = "13.405";
    const ShareServices services{
        [](const std::string& path) { return OpenSqliteOutbox(path); },
        &poster,
        // The clock that stamps the frames.
        [&platform] {
            return static_cast<std::int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 platform.now.time_since_epoch())
                                                 .count());
        },
        {}};
    if (const auto problem = StartSharing(app, services)) {
        std::fprintf(stderr, "bench_live: %s\n", problem->c_str());
        std::exit(1);
    }
}

// One pass of the stream through a fresh client; returns the frames per second.
double RunStream(const samples::Bytes& stream, int frames, const std::string& url) {
    const bool share = !url.empty();
    const auto folder = std::filesystem::temp_directory_path() / "quorbel-bench-live";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);

    // The platform's clock runs as the wall clock does, from a fixed day: frames are stamped and
    // held for the outbox in real time, as the window and listen hold them.
    quorbel::testing::FakePlatform platform;
    const auto day = std::chrono::system_clock::time_point(std::chrono::seconds(1700000000));
    platform.now = day;
    platform.tick = std::chrono::milliseconds(0);
    auto app = std::make_unique<AppState>(platform);
    app->settings.appDir = folder.string();
    StartUp(*app);
    ClickFieldSelector(*app, 81);  // the chart follows a sensor field
    QtHttpPoster poster;
    if (share)
        StartSharingTo(*app, platform, poster, url);

    const std::span<const std::uint8_t> bytes(stream);
    const long before = ResidentKilobytes();
    const long long writtenBefore = DiskWriteBytes();
    const double processorBefore = ProcessorSeconds();
    long atHalf = 0;
    const auto start = Clock::now();
    auto pumped = start;
    for (std::size_t at = 0; at < bytes.size(); at += kArrival) {
        platform.now = day + std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                 Clock::now() - start);
        ReceiveLiveBytes(*app, bytes.subspan(at, std::min(kArrival, bytes.size() - at)));
        QCoreApplication::processEvents();
        if (share && Clock::now() - pumped >= kSharePump) {
            PumpSharing(*app);
            pumped = Clock::now();
        }
        if (atHalf == 0 && at >= bytes.size() / 2)
            atHalf = ResidentKilobytes();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const long after = ResidentKilobytes();
    // The outbox's writer puts the frames still queued: how long after the last arrival every
    // frame is in the outbox (it must keep up, not only take the frames off the receiving thread).
    double catchUp = 0;
    if (share) {
        const auto last = Clock::now();
        app->sharing.outbox->Flush();
        catchUp = std::chrono::duration<double>(Clock::now() - last).count();
    }
    app->live.capture.Close();
    const auto captured = std::filesystem::file_size(folder / "2023-11-14_QUORBEL-1U.kss");
    std::printf(
        "sharing %s: %d frames in %.3f s = %.0f frames/s (processor %.2f s); capture "
        "%.1f MB, %.1f MB written to the disk\n",
        share ? "on " : "off", frames, seconds, frames / seconds,
        ProcessorSeconds() - processorBefore, static_cast<double>(captured) / 1e6,
        static_cast<double>(DiskWriteBytes() - writtenBefore) / 1e6);
    if (share)
        std::printf("  every frame in the outbox %.3f s after the last arrival\n", catchUp);
    std::printf("  resident memory: %ld kB before, %ld kB halfway, %ld kB after\n", before, atHalf,
                after);
    std::printf("  records: %d beacons, %d sensor frames; chart points: %zu\n",
                app->telemetry.Count(), app->sensor.Count(),
                app->ui.chart.series.at(0).values.size());
    if (share) {
        PumpSharing(*app);
        std::printf("  %s\n", app->ui.shareText.c_str());
        StopSharing(*app);  // before the poster it uses goes
    }
    app.reset();
    std::filesystem::remove_all(folder);
    return frames / seconds;
}

}  // namespace

// bench_live [FRAMES [ROUNDS]]: 100,000 frames, 5 rounds unless told.
int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const int frames = argc > 1 ? std::stoi(argv[1]) : kDefaultFrames;
    const int rounds = argc > 2 ? std::max(1, std::stoi(argv[2])) : 5;
    const samples::Bytes stream = MakeStream(frames);
    std::printf("stream: %.1f MB in arrivals of %zu bytes\n",
                static_cast<double>(stream.size()) / 1e6, kArrival);

    // A server slower than the stream: the frames pile up in the outbox while it answers.
    quorbel::testing::SidsTestServer server;
    server.SetDefault(quorbel::testing::SidsAction::ReplyAfter(2000, 201));

    // The machine is shared: the two runs take turns, and the median of the rounds' ratios is
    // the result.
    std::vector<double> ratios;
    for (int round = 1; round <= rounds; ++round) {
        std::printf("round %d\n", round);
        const double off = RunStream(stream, frames, {});
        const double on = RunStream(stream, frames, server.Url());
        std::printf("  sharing on / off: %.3f\n", on / off);
        ratios.push_back(on / off);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("sharing on / off, median of %d rounds: %.3f (target: at least 0.90)\n", rounds,
                ratios[ratios.size() / 2]);
    return 0;
}
