// The "TCP client": its check box, the one-second state timer, the connection state shown as
// text and lamp, and every arrival of data from the KISS server decoded and recorded.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "intake/dispatch.hpp"
#include "shell/command_outcome.hpp"

namespace quorbel {

struct AppState;

// The text of a socket state (0 to 10; empty for any other), with the platform's reason for an
// error beside it, and the lamp colour it sets.
std::string ShowConnectionState(AppState& app);

// The box "TCP client" (its new value in tcpClient): set, it connects to the configured host and
// port, runs the timer and empties the log; cleared, it closes the socket and the capture file,
// shows the state ("Closed") and stops the timer.
void SetTcpClient(AppState& app);
void PollConnectionState(AppState& app);

// Starts the socket on the configured host and port; the stream begins anew at its first FEND.
// Settings that cannot work (see LiveSettingsProblem) are not tried: the status line names them.
void ConnectLiveClient(AppState& app);

// One arrival of data from the KISS server, cut anywhere in the stream. Every complete frame of
// more than 100 bytes after its command byte is decoded with the time of one clock reading,
// charted for the selected field and recorded, whole or not at all, behind a stamp frame of the
// same time into the capture file of that UTC day and the satellite name shown (before any beacon
// or sensor frame has named one: the satellite that sent the frame). The frames of the arrival
// reach the disk together, in one flush, before it returns. A capture file that was moved or
// deleted is started anew at its path. statusLine reports the arrival. A frame that grows past
// 64 KiB without an end is discarded and counted in the log.
// Returns what each decoded frame was, in order, and the outcome: the last record appended, the
// capture files started anew, one problem for every frame that could not be recorded (or for a
// group of frames the disk failed to flush, all counted in framesNotRecorded) and for every SSDV
// packet its packet file did not take, with the system's reason.
struct LiveReception {
    std::string rxTimeText;
    FrameKind kind = FrameKind::None;
    int spacecraftId = 0;
};
struct LiveArrival {
    std::vector<LiveReception> frames;
    CommandOutcome outcome;
};
LiveArrival ReceiveLiveBytes(AppState& app, std::span<const std::uint8_t> bytes);

}  // namespace quorbel
