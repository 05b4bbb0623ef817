// The live TCP client: check box, timer, state and the frames of the stream.
#include "shell/commands/live_commands.hpp"

#include <array>

#include "common/files.hpp"
#include "common/number_format.hpp"
#include "intake/live_stream.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/archive_commands.hpp"
#include "shell/commands/form_load.hpp"
#include "shell/commands/frame_commands.hpp"
#include "shell/commands/record_commands.hpp"
#include "shell/commands/share_commands.hpp"
#include "shell/commands/view_refresh.hpp"
#include "view/detail_view.hpp"

namespace quorbel {
namespace {

constexpr Rgb kYellow{255, 255, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kRed{255, 0, 0};

struct StateLook {
    const char* text;
    Rgb lamp;
};

constexpr std::array<StateLook, 11> kStates{{
    {"Closed", kLightGrey},
    {"Open", kYellow},
    {"Listening", kYellow},
    {"Connection pending", kYellow},
    {"Resolving host", kYellow},
    {"Host resolved", kYellow},
    {"Connecting", kYellow},
    {"Connected", kGreen},
    {"Peer is closing the connection", kYellow},
    {"Error", kRed},
    {"Connection reset by the peer", kRed},
}};

// Names the overlong frames discarded so far in the log.
void LogDiscards(AppState& app) {
    const std::uint64_t discarded = app.live.deframer.Discarded();
    app.ui.readerLog += "live frames discarded (no end within " +
                        std::to_string(kMaxLiveFrameBytes) +
                        " bytes): " + std::to_string(discarded) + "\r\n";
}

// The capture file of the frame: the day's file of the satellite name shown or, while no beacon
// or sensor frame has set one, of the satellite that sent this frame.
std::string CaptureFilePath(const AppState& app, const std::string& stamp) {
    const std::string satellite =
        app.ui.satelliteName.empty() ? SatelliteName(app.frame.spacecraftId) : app.ui.satelliteName;
    return JoinPath(app.settings.appDir, CaptureFileName(stamp.substr(0, 10), satellite));
}

// The frames appended to the open capture file since its last flush reach the disk. When the disk
// fails them, the file is cut back to the frames before them and they count as not recorded.
void FlushCapture(AppState& app, CommandOutcome& outcome) {
    AppendFile& capture = app.live.capture;
    const std::size_t waiting = capture.UnflushedRecords();
    const std::string path = capture.Path();
    if (capture.FlushToDisk())
        return;
    outcome.AddNotWritten(path, capture.Error());
    outcome.framesNotRecorded += static_cast<long long>(waiting);
    if (outcome.appended && outcome.appended->path == path)
        outcome.appended.reset();
}

// Records the frame behind a stamp frame into its capture file, whole or not at all.
void RecordLiveFrame(AppState& app, const std::string& stamp, std::span<const std::uint8_t> piece,
                     CommandOutcome& outcome) {
    const std::string path = CaptureFilePath(app, stamp);
    AppendFile& capture = app.live.capture;
    // The frames of the last file are on the disk before another file is written.
    if (path != capture.Path())
        FlushCapture(app, outcome);
    if (capture.Append(path, BuildCaptureRecord(stamp, piece))) {
        outcome.appended = AppendedRecord{path, piece.size() + 2};  // the frame, FEND to FEND
    } else {
        outcome.AddNotWritten(path, capture.Error());
        ++outcome.framesNotRecorded;
    }
    if (capture.StartedAnew())
        outcome.restartedCaptures.push_back(path);
}

// Decodes, charts and records one frame of the stream.
void ReceiveLiveFrame(AppState& app, std::span<const std::uint8_t> piece, LiveArrival& arrival) {
    const LiveFrame frame = ReadLiveFrame(piece);
    if (!frame.IsRecorded())
        return;
    // One reading of the clock gives the receive time, the stamp in the capture file and the
    // time the frame is shared with.
    const auto now = app.platform.Now();
    const std::string stamp = FormatUtcStamp(now);
    app.frame.rxTimeText = stamp;
    // A live frame may arrive in the middle of a file read: its reception is a live one.
    const ReceptionSourceGuard source(app, ReceptionSource::Live, {});
    const FrameKind kind = ReceiveFrame(app, frame.Frame(), nullptr, nullptr, &arrival.outcome);
    arrival.frames.push_back({stamp, kind, app.frame.spacecraftId});
    SelectField(app, app.selectedField);

    RecordLiveFrame(app, stamp, piece, arrival.outcome);
    QueueSharedFrame(
        app, frame.Frame(),
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count());
    app.frame.rxTimeText = stamp + " UTC";  // as the stamp frame in the capture file gives it
}

}  // namespace

std::string ShowConnectionState(AppState& app) {
    const int state = app.platform.SocketState();
    if (state < 0 || state >= static_cast<int>(kStates.size()))
        return {};
    const StateLook& look = kStates[static_cast<std::size_t>(state)];
    app.ui.connectionLamp = look.lamp;
    // The state, and beside it the reason the platform gives for an error.
    const std::string problem = app.platform.SocketProblem();
    return problem.empty() ? look.text : look.text + std::string(": ") + problem;
}

void ConnectLiveClient(AppState& app) {
    app.live.deframer.Reset();
    // Settings that cannot work are named rather than tried.
    if (const std::optional<std::string> problem = LiveSettingsProblem(app.settings)) {
        app.ui.statusLine = *problem;
        return;
    }
    app.platform.ConnectSocket(app.settings.tcpHost, app.settings.tcpPort.value_or(0));
}

void SetTcpClient(AppState& app) {
    if (app.ui.tcpClient) {
        ConnectLiveClient(app);
        app.ui.connectionTimerRunning = true;
        app.ui.readerLog.clear();
    } else {
        app.platform.CloseSocket();
        app.live.capture.Close();
        app.ui.connectionText = ShowConnectionState(app);
        app.ui.connectionTimerRunning = false;
    }
}

void PollConnectionState(AppState& app) {
    app.ui.connectionText = ShowConnectionState(app);
}

LiveArrival ReceiveLiveBytes(AppState& app, std::span<const std::uint8_t> bytes) {
    // The record view and the chart follow the last frame of the arrival, built once: the chart
    // takes the new records' points.
    ViewEvent event(app);
    LiveArrival arrival;
    const std::uint64_t discardedBefore = app.live.deframer.Discarded();
    app.live.deframer.Feed(
        bytes, [&](std::span<const std::uint8_t> piece) { ReceiveLiveFrame(app, piece, arrival); });
    if (app.live.deframer.Discarded() != discardedBefore)
        LogDiscards(app);
    // One flush for all the frames of the arrival, before the next one is handled.
    FlushCapture(app, arrival.outcome);
    CheckArchive(app, arrival.outcome);
    CheckSharedFrames(app, arrival.outcome);
    arrival.outcome.framesRead = static_cast<long long>(arrival.frames.size());
    arrival.outcome = ShowOutcome(app, std::move(arrival.outcome));
    return arrival;
}

}  // namespace quorbel
