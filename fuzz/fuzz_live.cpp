// Fuzzes the live client: any bytes as a KISS stream from the server, cut into arrivals at places
// the input chooses, through the deframer, the decoders, the chart and the capture file.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "support/fake_platform.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "quorbel-fuzz-live";
    static quorbel::testing::FakePlatform platform;
    static quorbel::AppState* app = [] {
        std::filesystem::create_directories(folder);
        auto* state = new quorbel::AppState(platform);
        state->settings.appDir = folder.string();
        platform.tick = std::chrono::milliseconds(1);
        return state;
    }();
    if (size < 2)
        return 0;
    // The first byte chooses the selected field, the second the length of the arrivals.
    app->selectedField = data[0] % quorbel::kFieldCount;
    const std::size_t arrival = 1 + data[1] % 64;
    const std::span<const std::uint8_t> stream(data + 2, size - 2);
    for (std::size_t at = 0; at < stream.size(); at += arrival)
        quorbel::Winsock1_DataArrival(*app,
                                      stream.subspan(at, std::min(arrival, stream.size() - at)));
    // A new connection for every input; the stores and the capture file stay bounded.
    quorbel::ConnectLiveClient(*app);
    if (app->telemetry.IsFull() || app->sensor.IsFull())
        quorbel::ClearStores(*app);
    if (app->ui.RichTextBox1.Text().size() > 100000)
        app->ui.RichTextBox1.Clear();
    app->ui.Text6.clear();
    app->live.capture.Close();
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
        std::filesystem::remove(entry.path(), ignored);
    return 0;
}
