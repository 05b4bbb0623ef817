// File > "Open KISS File": capture files read frame by frame.
#include <algorithm>
#include <numeric>

#include "common/block_reader.hpp"
#include "intake/kiss_file_reader.hpp"
#include "intake/read_diagnostics.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/archive_commands.hpp"
#include "shell/commands/archive_import.hpp"
#include "shell/commands/frame_commands.hpp"
#include "shell/commands/open_commands.hpp"
#include "shell/commands/ssdv_commands.hpp"
#include "shell/commands/view_refresh.hpp"

namespace quorbel {

CommandOutcome OpenCaptureFiles(AppState& app, const std::vector<std::string>& paths) {
    return RunOpenCommand(app, paths, [&app](const std::string& path) {
        app.platform.DoEvents();
        return ReadKissFile(app, path);
    });
}

namespace {

// One capture's decoding, kept across the blocks of its file: the deframer, the pieces so far and
// the reader's own stamp, so a live frame in the middle of the read does not change the receive
// time of the file's later frames.
class CaptureDecoder {
  public:
    explicit CaptureDecoder(AppState& app) : m_app(app), m_stamp(app.frame.rxTimeText) {}

    void Feed(std::span<const std::uint8_t> bytes) {
        m_deframer.Feed(bytes, [this](std::span<const std::uint8_t> escaped) { Decode(escaped); });
    }
    // The frames decoded so far, by kind, the records refused by a full store and the frames
    // skipped for their length.
    const ReadDiagnostics& Diagnostics() {
        m_diagnostics.overlongFrames = static_cast<long long>(m_deframer.Discarded());
        return m_diagnostics;
    }

  private:
    void Decode(std::span<const std::uint8_t> escaped) {
        m_app.ui.progress.value = ++m_pieces;
        m_app.platform.DoEvents();
        ReadCapturePiece(escaped, m_piece);
        switch (m_piece.kind) {
            case CapturePiece::Kind::Stamp:
                m_stamp = m_piece.stampTime;
                m_app.frame.rxTimeText = m_stamp;
                break;
            case CapturePiece::Kind::Frame:
                m_app.frame.rxTimeText = m_stamp;
                ReceiveFrame(m_app, m_piece.DataFrame(), nullptr, &m_diagnostics);
                break;
            case CapturePiece::Kind::Skip:
                break;
        }
    }

    AppState& m_app;
    std::string m_stamp;
    int m_pieces = 0;
    KissDeframer m_deframer{kMaxCaptureFrameBytes};
    CapturePiece m_piece;
    ReadDiagnostics m_diagnostics;
};

// The FEND bytes of the whole capture, counted block by block; -1 for a file that cannot be read
// or holds no bytes.
long long CountFends(BlockReader& capture) {
    long long fends = 0;
    for (auto block = capture.Next(); !block.empty(); block = capture.Next())
        fends += CountCaptureFrames(block);
    return capture.Failed() || capture.Position() == 0 ? -1 : fends;
}

}  // namespace

CommandOutcome ReadKissFile(AppState& app, const std::string& path) {
    ViewEvent event(app);
    ReadingGuard reading(app.ui);
    // The capture is read twice through one small buffer: once to count its FENDs for the log
    // and the progress bar, then to decode exactly the bytes counted, even when the live client
    // appends to the same file during the read.
    BlockReader capture(path);
    const long long fends = CountFends(capture);
    app.ui.readerLog += "kiss frames: " + std::to_string(fends) + "\r\n";
    app.ui.busy = true;
    app.ui.progress = {true, static_cast<int>(std::max(fends, 0LL)), 0};

    ReadDiagnostics diagnostics;
    if (fends >= 0) {
        const std::uint64_t counted = capture.Position();
        capture.Rewind(counted);
        const ReceptionSourceGuard source(app, ReceptionSource::CaptureFile,
                                          ArchivedFileName(path));
        CaptureDecoder decoder(app);
        for (auto block = capture.Next(); !block.empty(); block = capture.Next())
            decoder.Feed(block);
        diagnostics = decoder.Diagnostics();
    }
    diagnostics.file = path;
    CommandOutcome outcome;
    if (!capture.IsOpen() || capture.Failed())
        outcome.AddNotRead(path, ReadFailureReason(path));
    outcome.framesRead = std::accumulate(diagnostics.frames.begin(), diagnostics.frames.end(), 0LL);
    outcome.recordsRefused = diagnostics.droppedAtCap;
    app.ui.diagnostics.push_back(std::move(diagnostics));
    outcome.Merge(DecodeSsdvImages(app));
    CheckArchive(app, outcome);
    PerformEndOfReadSteps(app);
    return outcome;
}

void DecodeCapture(AppState& app, std::span<const std::uint8_t> bytes) {
    CaptureDecoder(app).Feed(bytes);
}

}  // namespace quorbel
