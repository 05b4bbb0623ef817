// Decode and encode time of the 640x480 SSDV vector (noise640x480: 484 FEC packets of 118 bytes).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "decoder.hpp"
#include "encoder.hpp"

namespace {

std::vector<std::uint8_t> ReadVector(const char* name) {
    std::ifstream in(std::filesystem::path(QUORBEL_SSDV_TESTDATA) / name, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void BM_DecodeNoise640x480(benchmark::State& state) {
    const std::vector<std::uint8_t> packets = ReadVector("noise640x480-l118.bin");
    if (packets.empty()) {
        state.SkipWithError("noise640x480-l118.bin not found");
        return;
    }
    for (auto _ : state) {
        auto result = quorbel::ssdv::DecodeImage(packets, 118);
        benchmark::DoNotOptimize(result.jpeg.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(packets.size()));
}
BENCHMARK(BM_DecodeNoise640x480)->Unit(benchmark::kMillisecond);

void BM_EncodeNoise640x480(benchmark::State& state) {
    const std::vector<std::uint8_t> jpeg = ReadVector("noise640x480.jpg");
    if (jpeg.empty()) {
        state.SkipWithError("noise640x480.jpg not found");
        return;
    }
    quorbel::ssdv::EncodeOptions options;
    options.callsign = "QRBL01";
    options.imageId = 2;
    options.packetLength = 118;
    for (auto _ : state) {
        auto result = quorbel::ssdv::EncodeImage(jpeg, options);
        benchmark::DoNotOptimize(result.packets.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(jpeg.size()));
}
BENCHMARK(BM_EncodeNoise640x480)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
