// Decoding throughput: beacon and sensor frames through DispatchFrame, and a whole "Open KISS
// File" of a 10,000-frame capture as the command-line tool runs it.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "intake/dispatch.hpp"
#include "intake/kiss_file_reader.hpp"
#include "sample_frames.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "support/fake_platform.hpp"

namespace {

using namespace quorbel;

samples::FieldValues SomeValues() {
    samples::FieldValues values{};
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<double>(i * 37 % 251);
    return values;
}

void DispatchFrames(benchmark::State& state, const samples::Bytes& frame) {
    quorbel::testing::FakePlatform platform;
    auto app = std::make_unique<AppState>(platform);
    app->frame.rxTimeText = "2023-11-14 22:13:20.000 UTC";
    for (auto _ : state) {
        ReceiveFrame(*app, frame);
        // Keep the stores from filling up, so every frame is decoded and stored.
        if (app->telemetry.IsFull() || app->sensor.IsFull()) {
            app->telemetry.Clear();
            app->sensor.Clear();
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_DispatchBeacon(benchmark::State& state) {
    DispatchFrames(state, samples::MakeBeacon(22, SomeValues()));
}
BENCHMARK(BM_DispatchBeacon);

void BM_DispatchSensorFrame(benchmark::State& state) {
    DispatchFrames(state, samples::MakeSensorFrame(22, SomeValues(), 1700000000000000ULL));
}
BENCHMARK(BM_DispatchSensorFrame);

void BM_OpenKiss10000Frames(benchmark::State& state) {
    samples::PassOptions options;
    options.beacons = 5000;
    options.sensorFrames = 4900;
    options.textMessages = 40;
    options.digipeatedMessages = 40;
    options.ssdvPackets = 19;
    const auto path = std::filesystem::temp_directory_path() / "quorbel-bench-10000.kss";
    samples::WriteBytes(path.string(), samples::MakePassCapture(options));
    // The SSDV packets go to packet files in a folder of the benchmark's own.
    const auto folder = std::filesystem::temp_directory_path() / "quorbel-bench-station";
    std::filesystem::create_directories(folder);
    quorbel::testing::FakePlatform platform;
    auto app = std::make_unique<AppState>(platform);
    app->settings.appDir = folder.string();
    StartUp(*app);
    for (auto _ : state) {
        OpenCaptureFiles(*app, {path.string()});
        benchmark::DoNotOptimize(app->telemetry.Count());
    }
    state.SetItemsProcessed(state.iterations() * 10000);
    std::filesystem::remove(path);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_OpenKiss10000Frames)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
