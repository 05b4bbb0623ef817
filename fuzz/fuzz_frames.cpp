// Fuzzes the frame intake: any bytes as a KISS capture, or as one frame with a hexadecimal text
// of any characters, then the views over whatever the decoders stored.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "intake/dispatch.hpp"
#include "intake/kiss_file_reader.hpp"
#include "shell/app_state.hpp"
#include "view/detail_view.hpp"
#include "view/value_chart.hpp"

namespace {

class NullPlatform : public quorbel::Platform {
  public:
    bool group = false;
    quorbel::FileSelection SelectFiles(const quorbel::OpenFileDialog&) override { return {}; }
    void ShowMessage(const quorbel::MessageBoxRequest&) override {}
    void DoEvents() override {}
    bool IsGroupModifierHeld() override { return group; }
    bool StartDetached(const std::string&, const std::vector<std::string>&) override {
        return false;
    }
    bool CanLoadPicture(const std::string&) override { return false; }
    std::chrono::system_clock::time_point Now() override { return {}; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    static NullPlatform platform;
    static quorbel::AppState app(platform);  // the buffer carries over between inputs, as in use
    platform.group = (data[1] & 1) != 0;
    const std::span<const std::uint8_t> body(data + 2, size - 2);
    if (data[0] % 2 == 0) {
        quorbel::DecodeCapture(app, body);
    } else {
        const std::string hex(reinterpret_cast<const char*>(body.data()), body.size());
        quorbel::DispatchFrame(app, body, &hex);
    }
    quorbel::Option1_Click(app, data[1] % quorbel::kFieldCount);
    quorbel::SetRecordPosition(app, data[0]);
    if (app.telemetry.IsFull() || app.sensor.IsFull()) {
        app.telemetry.Clear();
        app.sensor.Clear();
    }
    if (app.ui.RichTextBox1.Text().size() > 100000)
        app.ui.RichTextBox1.Clear();
    return 0;
}
