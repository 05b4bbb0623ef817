// Fuzzes the frame intake: any bytes as a KISS capture, or as one frame with a hexadecimal text
// of any characters, then the views over whatever the decoders stored.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "intake/dispatch.hpp"
#include "intake/kiss_file_reader.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "support/fake_platform.hpp"
#include "view/detail_view.hpp"
#include "view/value_chart.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    static quorbel::testing::FakePlatform platform;
    static quorbel::AppState app(platform);  // the buffer carries over between inputs, as in use
    if (app.settings.appDir.empty()) {  // SSDV packets go to packet files in a folder of its own
        const auto folder = std::filesystem::temp_directory_path() /
                            ("quorbel-fuzz-frames-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        app.settings.appDir = folder.string();
    }
    const std::span<const std::uint8_t> body(data + 2, size - 2);
    if (data[0] % 2 == 0) {
        quorbel::DecodeCapture(app, body);
    } else {
        const std::string hex(reinterpret_cast<const char*>(body.data()), body.size());
        quorbel::ReceiveFrame(app, body, &hex);
    }
    quorbel::Option1_Click(app, data[1] % quorbel::kFieldCount, (data[1] & 1) != 0);
    quorbel::SetRecordPosition(app, data[0]);
    if (app.telemetry.IsFull() || app.sensor.IsFull()) {
        app.telemetry.Clear();
        app.sensor.Clear();
    }
    if (app.ui.RichTextBox1.Text().size() > 100000)
        app.ui.RichTextBox1.Clear();
    if (app.ui.Text6.size() > 100000)
        app.ui.Text6.clear();
    return 0;
}
