// Fuzzes the SatNOGS path: any bytes as an export, through the line-end conversion, the reader
// with its dispatch and the station analysis with its report and cleaned copy.
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "intake/satnogs_reader.hpp"
#include "intake/satnogs_text.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "stations/station_analysis.hpp"
#include "support/fake_platform.hpp"

namespace {

std::string ExportPath() {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("quorbel-fuzz-satnogs-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    return (folder / "export.csv").string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static quorbel::testing::FakePlatform platform;
    static quorbel::AppState app(platform);
    static const std::string path = ExportPath();
    // SSDV packets of the export go to packet files beside it.
    app.settings.appDir = std::filesystem::path(path).parent_path().string();
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    quorbel::ConvertExportToCrLf(path);
    app.telemetry.Clear();
    app.sensor.Clear();
    app.ui.Text5.clear();
    app.ui.RichTextBox1.Clear();
    app.ui.Text6.clear();
    platform.messages.clear();  // the warning boxes of failed analyses
    quorbel::ReadSatnogsCsv(app, path);
    quorbel::AnalyseStations(app, path);
    return 0;
}
