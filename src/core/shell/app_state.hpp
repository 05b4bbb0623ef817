// Everything the running program holds: the window model, the shared frame values, the two record
// stores and the settings. One instance lives from start to end; handlers take it by reference.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_writer.hpp"
#include "common/append_file.hpp"
#include "decode/frame_buffer.hpp"
#include "intake/live_stream.hpp"
#include "share/outbox_writer.hpp"
#include "share/share_sender.hpp"
#include "share/share_settings.hpp"
#include "shell/app_folder.hpp"
#include "shell/platform.hpp"
#include "shell/view_requests.hpp"
#include "shell/window_model.hpp"
#include "store/record_store.hpp"
#include "store/ssdv_packet_table.hpp"

namespace quorbel {

struct Settings {
    std::string appDir;          // the application folder (conf.ini, captures, SSDV files)
    char decimalMark = '.';      // the user's locale's decimal mark
    std::string tcpHost;         // TCP_SERVER, upper case
    std::optional<int> tcpPort;  // TCP_PORT
    std::string tcpPortText;     // the port as written, for the connection label
    // What keeps conf.ini's settings from use, said to the user instead of connecting: a
    // TCP_PORT line whose value is not a port, a conf.ini that is there and cannot be read.
    std::string tcpPortProblem;
    std::string confProblem;
    // ARCHIVE: empty for archive.sqlite in the application folder, "off", or the archive's path.
    std::string archive;
    std::string station;  // STATION: the station named in the receptions of live frames and files
    ShareConfText share;  // SHARE, SIDS_URL, NORAD_ID and the other keys of sharing, as written

    // Why appDir is that folder: --app-dir, a portable copy or the user's data folder.
    AppFolderOrigin appDirOrigin = AppFolderOrigin::Portable;
};

// The "TCP client": the stream's deframer and the capture file being written. Every frame is on
// the disk once it is appended, so a crash or power cut loses at most the frame being written.
struct LiveClient {
    KissDeframer deframer{kMaxLiveFrameBytes};
    AppendFile capture{AppendFile::Flush::ToDisk};
};

// The states of the "TCP client", as its box and timer show them.
enum class LiveMode {
    Idle,  // box clear, timer on: from start-up until the box is first cleared
    Off,   // box clear, timer off
    On,    // box set
};
inline LiveMode LiveModeOf(const WindowModel& ui) {
    if (ui.tcpClient)
        return LiveMode::On;
    return ui.connectionTimerRunning ? LiveMode::Idle : LiveMode::Off;
}

// The picture box's received picture: the image whose packet arrived last, waiting to be shown
// while a file is read.
struct ReceivedPictureState {
    std::optional<int> pendingImage;
    std::optional<std::chrono::system_clock::time_point> lastShown;  // in the read
};

// Sharing live frames with a SiDS server: the outbox every frame is put in first and the sender
// that works through it. Both are there only while sharing is on; the front end makes the outbox's
// storage and the HTTP client (they lie outside the core).
struct SharingState {
    std::function<std::int64_t()> nowMs;  // the clock frames are put in the outbox by
    bool putFailed = false;  // frames could not be put in the outbox since sharing started
    // Recorded live frames are queued here and put in the outbox on the writer's thread.
    std::unique_ptr<OutboxWriter> outbox;
    std::unique_ptr<ShareSender> sender;  // after the outbox it uses: ends first
    bool problemTold = false;             // a failed put of capture frames has been said
};

struct AppState {
    explicit AppState(Platform& platformRef) : platform(platformRef) {}

    Platform& platform;
    Settings settings;
    WindowModel ui;
    FrameState frame;
    RecordStore telemetry{kBeaconFields};  // beacons, fields 0 to 66
    RecordStore sensor{kSensorFields};     // sensor frames, fields 70 to 106
    std::string sourceFileName;            // the input file read last; exports are named after it
    int selectedField = 0;                 // the field charted last
    ViewState view;                        // what the running event asks the window to show
    LiveClient live;
    SsdvPacketTable ssdvPackets;  // every SSDV packet received while the program runs
    ReceivedPictureState receivedPicture;
    std::map<int, std::string> runningDecoders;  // program id -> the picture its decoder writes
    // The mission archive every received frame goes to; none when ARCHIVE=off or it could not be
    // opened. The front end opens it (the storage lies outside the core).
    std::unique_ptr<ArchiveWriter> archive;
    // What the frames being received are: their source and file, for their receptions.
    ReceptionSource receptionSource = ReceptionSource::Live;
    std::string receptionFile;
    std::string receptionStation;  // the station of the export line being read
    bool readingArchive = false;   // frames come back out of the archive: not archived again
    SharingState sharing;
};

}  // namespace quorbel
