// File > "Open KISS File": capture files read frame by frame.
#include <algorithm>

#include "common/files.hpp"
#include "intake/kiss_file_reader.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/frame_commands.hpp"
#include "shell/commands/open_commands.hpp"
#include "shell/commands/ssdv_commands.hpp"

namespace quorbel {

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
    const long long fends = CountCaptureFrames(bytes);
    app.ui.Text5 += "kiss frames: " + std::to_string(fends) + "\r\n";
    app.ui.Busy = true;
    app.ui.ProgressBar1 = {true, static_cast<int>(std::max(fends, 0LL)), 0};

    DecodeCapture(app, bytes);
    DecodeSsdvImages(app);
    PerformEndOfReadSteps(app);
}

void DecodeCapture(AppState& app, std::span<const std::uint8_t> bytes) {
    // The reader keeps its own stamp, so a live frame in the middle of the read does not change
    // the receive time of the file's later frames.
    std::string stamp = app.frame.rxTimeText;
    int pieces = 0;
    KissDeframer deframer;
    deframer.Feed(bytes, [&](std::span<const std::uint8_t> escaped) {
        app.ui.ProgressBar1.value = ++pieces;
        app.platform.DoEvents();
        CapturePiece piece = ReadCapturePiece(escaped);
        switch (piece.kind) {
            case CapturePiece::Kind::Stamp:
                stamp = std::move(piece.stampTime);
                app.frame.rxTimeText = stamp;
                break;
            case CapturePiece::Kind::Frame:
                app.frame.rxTimeText = stamp;
                ReceiveFrame(app, piece.DataFrame());
                break;
            case CapturePiece::Kind::Skip:
                break;
        }
    });
}

}  // namespace quorbel
