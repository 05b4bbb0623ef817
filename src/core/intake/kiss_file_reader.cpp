// File > "Open KISS File": capture files split at FEND, time stamp frames turned into receive
// times, every data frame dispatched.
#include "intake/kiss_file_reader.hpp"

#include <algorithm>

#include "intake/dispatch.hpp"
#include "intake/file_open.hpp"
#include "intake/kiss.hpp"
#include "shell/app_state.hpp"
#include "shell/text_file.hpp"
#include "view/number_format.hpp"

namespace quorbel {
namespace {

constexpr const char* kKissFilter = "KISS Files (*.kss)|*.kss|All Files (*.*)|*.*";
constexpr std::size_t kNumericStampLength = 9;
constexpr std::size_t kTextStampLead = 24;
constexpr std::size_t kTextStampLength = 27;

// The receive time a stamp frame (command byte included) gives, or none when it gives none.
std::optional<std::string> StampTime(const Bytes& frame) {
    if (frame.size() == kNumericStampLength) {
        std::uint64_t milliseconds = 0;
        for (std::size_t i = 1; i < frame.size(); ++i)
            milliseconds = (milliseconds << 8) | frame[i];
        const std::uint64_t seconds = milliseconds / 1000 + (milliseconds % 1000 >= 500 ? 1 : 0);
        return FormatEpochSeconds(static_cast<double>(seconds));
    }
    const std::string_view body(reinterpret_cast<const char*>(frame.data()) + 1, frame.size() - 1);
    const auto utc = body.find("UTC");
    if (utc == std::string_view::npos || utc < kTextStampLead)
        return std::nullopt;
    return std::string(body.substr(utc - kTextStampLead, kTextStampLength));
}

}  // namespace

void MnuOpenKISSFile_Click(AppState& app) {
    RunOpenCommand(app, kKissFilter, [&app](const std::string& path) {
        app.platform.DoEvents();
        ReadKissFile(app, path);
    });
}

void ReadKissFile(AppState& app, const std::string& path) {
    ReadingGuard reading(app.ui);
    const std::optional<std::string> contents = ReadWholeFile(path);
    const std::span<const std::uint8_t> bytes =
        contents
            ? std::span(reinterpret_cast<const std::uint8_t*>(contents->data()), contents->size())
            : std::span<const std::uint8_t>();
    // An unreadable or empty file counts -1 frames, as an empty split does.
    const long long fends = bytes.empty() ? -1 : std::count(bytes.begin(), bytes.end(), kFend);
    app.ui.Text5 += "kiss frames: " + std::to_string(fends) + "\r\n";
    app.ui.Busy = true;
    app.ui.ProgressBar1 = {true, static_cast<int>(std::max(fends, 0LL)), 0};

    DecodeCapture(app, bytes);
    PerformEndOfReadSteps(app);
}

void DecodeCapture(AppState& app, std::span<const std::uint8_t> bytes) {
    // The reader keeps its own stamp, so a live frame in the middle of the read does not change
    // the receive time of the file's later frames.
    std::string stamp = app.frame.rxTimeText;
    int piece = 0;
    KissDeframer deframer;
    deframer.Feed(bytes, [&](std::span<const std::uint8_t> escaped) {
        app.ui.ProgressBar1.value = ++piece;
        app.platform.DoEvents();
        if (escaped.empty())
            return;
        const Bytes frame = UnescapeKiss(escaped);
        if (frame[0] == kTimeStampCommand) {
            if (auto time = StampTime(frame)) {
                stamp = std::move(*time);
                app.frame.rxTimeText = stamp;
            }
            return;
        }
        if (frame.size() < 2)
            return;  // the command byte alone
        app.frame.rxTimeText = stamp;
        DispatchFrame(app, std::span(frame).subspan(1));
    });
}

}  // namespace quorbel
