// Benchmark of the SatNOGS commands on a generated 100,000-line export: "Open SatNOGS CSV" (the
// reader and both passes of the station analysis) and the image-data crop.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "export/image_data_crop.hpp"
#include "intake/satnogs_reader.hpp"
#include "satnogs_gen.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"

namespace {

// Prints message boxes; everything else does nothing.
class BenchPlatform : public quorbel::Platform {
  public:
    std::optional<std::string> SelectSaveFile(const quorbel::SaveFileDialog&) override {
        return std::nullopt;
    }
    void ShowMessage(const quorbel::MessageBoxRequest& box) override {
        std::fprintf(stderr, "message: %s\n", box.text.c_str());
    }
    void DoEvents() override {}
    bool CanLoadPicture(const std::string&) override { return false; }
    std::string FindProgram(const std::string&) override { return {}; }
    std::optional<int> StartProgram(const std::string&, const std::vector<std::string>&) override {
        return std::nullopt;
    }
    void ConnectSocket(const std::string&, int) override {}
    void CloseSocket() override {}
    int SocketState() override { return 0; }
    std::chrono::system_clock::time_point Now() override { return {}; }
};

template <typename Step>
double BestSeconds(int runs, Step step) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        step();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::atoi(argv[1]) : 100000;
    const auto folder = std::filesystem::temp_directory_path() / "quorbel-bench-satnogs";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "export.csv").string();
    quorbel::tools::SatnogsExportOptions options;
    options.lines = lines;
    options.stations = 200;
    std::ofstream(path, std::ios::binary) << quorbel::tools::GenerateSatnogsExport(options);
    const auto bytes = std::filesystem::file_size(path);

    BenchPlatform platform;
    quorbel::AppState app(platform);
    app.settings.appDir = folder.string();
    quorbel::StartUp(app);
    const double open = BestSeconds(3, [&] { quorbel::OpenSatnogsExports(app, {path}); });
    const double crop = BestSeconds(3, [&] { quorbel::CropSatnogsImageData(app, path); });
    std::printf("export: %d lines, %.1f MB\n", lines, static_cast<double>(bytes) / 1e6);
    std::printf("open-satnogs (reader and station analysis): %.3f s\n", open);
    std::printf("crop-images: %.3f s\n", crop);
    std::printf("records: %d beacons, %d sensor frames\n", app.telemetry.Count(),
                app.sensor.Count());
    std::filesystem::remove_all(folder);
    return 0;
}
