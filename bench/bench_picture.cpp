// The picture that grows while packets arrive: one decode of the packets received so far (what
// every arriving packet costs), and the picture pass of the samples received frame by frame as
// the live client receives it, against the same pass without its SSDV frames.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "common/files.hpp"
#include "intake/kiss.hpp"
#include "intake/kiss_file_reader.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "support/fake_platform.hpp"
#include "view/received_picture.hpp"

namespace {

using namespace quorbel;

// The frames of the picture pass, each as DispatchFrame takes it.
std::vector<std::vector<std::uint8_t>> PictureFrames(bool withPackets) {
    const std::optional<std::string> capture =
        ReadWholeFile(QUORBEL_SOURCE_DIR "/samples/picture-pass.kss");
    std::vector<std::vector<std::uint8_t>> frames;
    if (!capture)
        return frames;
    KissDeframer deframer;
    CapturePiece piece;
    deframer.Feed(
        std::span(reinterpret_cast<const std::uint8_t*>(capture->data()), capture->size()),
        [&](std::span<const std::uint8_t> escaped) {
            ReadCapturePiece(escaped, piece);
            if (piece.kind != CapturePiece::Kind::Frame)
                return;
            const auto frame = piece.DataFrame();
            // Positions 7 and 8 (indices 6 and 7) hold the application identifier.
            const bool isPacket = frame.size() > 8 && (((frame[6] << 8) | frame[7]) & 0x7FF) == 500;
            if (withPackets || !isPacket)
                frames.emplace_back(frame.begin(), frame.end());
        });
    return frames;
}

struct Station {
    quorbel::testing::FakePlatform platform;
    std::unique_ptr<AppState> app = std::make_unique<AppState>(platform);
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "quorbel-bench-picture";
    Station() {
        std::filesystem::create_directories(folder);
        app->settings.appDir = folder.string();
    }
    ~Station() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

void BM_ReceivedPictureOfTheWholePass(benchmark::State& state) {
    Station station;
    for (const auto& frame : PictureFrames(true))
        ReceiveFrame(*station.app, frame);
    const int packets = station.app->ssdvPackets.Count(7);
    for (auto _ : state)
        benchmark::DoNotOptimize(DecodeReceivedPicture(station.app->ssdvPackets, 7));
    state.counters["packets"] = packets;
}
BENCHMARK(BM_ReceivedPictureOfTheWholePass)->Unit(benchmark::kMillisecond);

void ReceivePass(benchmark::State& state, bool withPackets) {
    const auto frames = PictureFrames(withPackets);
    for (auto _ : state) {
        state.PauseTiming();
        auto station = std::make_unique<Station>();
        state.ResumeTiming();
        for (const auto& frame : frames)
            ReceiveFrame(*station->app, frame);
        state.PauseTiming();
        station.reset();
        state.ResumeTiming();
    }
    state.counters["frames"] = static_cast<double>(frames.size());
}
void BM_PicturePassLive(benchmark::State& state) {
    ReceivePass(state, true);
}
void BM_PicturePassLiveWithoutItsPackets(benchmark::State& state) {
    ReceivePass(state, false);
}
BENCHMARK(BM_PicturePassLive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PicturePassLiveWithoutItsPackets)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
