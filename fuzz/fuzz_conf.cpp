// Fuzzes conf.ini: any text split into lines as start-up reads it, each line applied to the
// settings. A TCP port is only ever taken as a number from 0 to 65535, and what is kept is upper
// case.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/text.hpp"
#include "fuzz_support.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/form_load.hpp"
#include "support/fake_platform.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorbel;
    static testing::FakePlatform platform;
    static AppState app(platform);
    app.settings = Settings{};
    app.ui.connectionText.clear();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (std::string_view line : SplitLines(text))
        ApplyConfLine(app, line);

    const Settings& settings = app.settings;
    if (settings.tcpPort) {
        QUORBEL_FUZZ_CHECK(*settings.tcpPort >= 0 && *settings.tcpPort <= 65535);
        QUORBEL_FUZZ_CHECK(!settings.tcpPortText.empty() && settings.tcpPortText.size() <= 5);
        for (char c : settings.tcpPortText)
            QUORBEL_FUZZ_CHECK(c >= '0' && c <= '9');
    } else {
        QUORBEL_FUZZ_CHECK(settings.tcpPortText.empty());
    }
    for (char c : settings.tcpHost)
        QUORBEL_FUZZ_CHECK(!(c >= 'a' && c <= 'z'));
    if (!settings.tcpHost.empty() || settings.tcpPort)
        QUORBEL_FUZZ_CHECK(app.ui.connectionText.starts_with("[") &&
                           app.ui.connectionText.ends_with("]"));
    return 0;
}
