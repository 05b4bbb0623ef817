// Everything the running program holds: the window model, the shared frame values, the two record
// stores and the settings. One instance lives from start to end; handlers take it by reference.
#pragma once

#include <optional>
#include <string>

#include "common/append_file.hpp"
#include "decode/frame_buffer.hpp"
#include "intake/live_stream.hpp"
#include "shell/platform.hpp"
#include "shell/window_model.hpp"
#include "store/record_store.hpp"

namespace quorbel {

struct Settings {
    std::string appDir;          // the application folder (conf.ini, captures, SSDV files)
    char decimalMark = '.';      // the user's locale's decimal mark
    std::string tcpHost;         // TCP_SERVER, upper case
    std::optional<int> tcpPort;  // TCP_PORT
    std::string tcpPortText;     // the port as written, for the connection label
};

// The "TCP client": the states of its check box, the stream's deframer and the day's capture file.
enum class LiveMode { Idle, Off, On };

struct LiveClient {
    LiveMode mode = LiveMode::Idle;  // Idle: box clear, timer on; Off: box and timer off; On
    KissDeframer deframer{kMaxLiveFrameBytes};
    std::uint64_t discardsLogged = 0;  // discarded overlong frames already named in the log
    AppendFile capture;                // the capture file being written
};

struct AppState {
    explicit AppState(Platform& platformRef) : platform(platformRef) {}

    Platform& platform;
    Settings settings;
    WindowModel ui;
    FrameState frame;
    RecordStore telemetry;       // beacons, fields 0 to 66
    RecordStore sensor;          // sensor frames, fields 70 to 106
    std::string sourceFileName;  // the input file read last; exports are named after it
    int selectedField = 0;       // the field charted last
    LiveClient live;
};

}  // namespace quorbel
