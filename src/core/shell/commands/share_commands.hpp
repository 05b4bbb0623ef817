// Sharing received frames with SatNOGS DB (or any SiDS server): the "Share with SatNOGS" box and
// its SHARE line in conf.ini, every live frame put in the outbox before any attempt to send it,
// the sender's turns on the front end's timer and its counts in the status strip, and the frames
// of capture files shared afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "share/http_poster.hpp"
#include "share/outbox.hpp"
#include "share/share_sender.hpp"
#include "share/share_settings.hpp"
#include "shell/command_outcome.hpp"

namespace quorbel {

struct AppState;
struct Settings;

// Opens the outbox's storage at a path; throws OutboxError when it cannot. The front end passes
// it: the core links no database library.
using OutboxOpener = std::function<std::unique_ptr<Outbox>(const std::string& path)>;

// What the front end lends to sharing: the outbox's storage, its HTTP client (which must live as
// long as sharing is on) and the clock.
struct ShareServices {
    OutboxOpener openOutbox;
    HttpPoster* poster = nullptr;
    std::function<std::int64_t()> nowMs;
    ShareSenderOptions options;
};

// The outbox lies in the application folder under this name.
inline constexpr const char* kOutboxName = "outbox.sqlite";
std::string OutboxPath(const Settings& settings);

// The sharing settings of conf.ini, or the message that names the key that is missing or wrong.
std::variant<ShareSettings, std::string> CheckShareSettings(const Settings& settings);

// True when conf.ini says SHARE=on (in any case): the window and listen share from the start.
bool SharingSwitchedOn(const Settings& settings);

// Starts sharing live frames: checks the settings, opens the outbox and starts its sender. What
// keeps it from starting is returned, and said in the status line and the log.
std::optional<std::string> StartSharing(AppState& app, const ShareServices& services);
// Ends sharing: the queued frames are put in the outbox, and requests in flight are left to it
// (their frames wait there).
void StopSharing(AppState& app);

// The "Share with SatNOGS" box (its new value in ui.shareFrames): set, sharing starts (a problem
// clears the box again); cleared, it stops. The box's state is written into conf.ini as SHARE=on
// or SHARE=off, so the next start shares as this one did.
void SetShareBox(AppState& app, const ShareServices& services);

// The sender's turn, on the front end's timer: a failure to put queued live frames is said, due
// requests are started, what the sender has to say goes to the reader's log (and is returned,
// for the command-line tool, with a failure to put frames), and shareText shows the counts.
std::vector<std::string> PumpSharing(AppState& app);

// "Shared: 12 sent, 3 waiting, 0 rejected", with "; last error: ..." when there is one.
std::string DescribeShareStatus(const ShareStatus& status);

// Puts frames in the outbox, in one transaction, and gives the sender its turn. A failure of the
// outbox is one ShareFailed problem in the outcome (said once until the outbox works again).
void PutSharedFrames(AppState& app, std::span<const OutboxPut> frames, CommandOutcome& outcome);

// Queues a recorded live frame for the outbox; the outbox's writer puts it in on its own thread
// within half a second, so the receiving thread never waits for the outbox's disk.
void QueueSharedFrame(AppState& app, std::span<const std::uint8_t> frame, std::int64_t rxTimeMs);
// A failure of the writer to put queued frames is one ShareFailed problem in the outcome, said
// once until a put works again; the arrivals and the sender's turns check for it.
void CheckSharedFrames(AppState& app, CommandOutcome& outcome);
// Puts the queued frames in the outbox now and waits for them (the end of sharing).
void FlushSharedFrames(AppState& app, CommandOutcome& outcome);

// Writes KEY=value into conf.ini in the application folder: the first line of that key is
// replaced, or the line is added at the end; every other line stays as it is. The file is
// replaced whole. The problem when it could not be written.
std::optional<std::string> SaveConfValue(const std::string& appDir, std::string_view key,
                                         std::string_view value);

// The data frames of capture files with the receive times of their stamp frames, for `share`.
// SatNOGS exports are refused (their frames came from the network); a file that cannot be read
// is a NotRead problem; frames before any stamp frame have no receive time and are counted.
struct FramesToShare {
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<std::int64_t> rxTimesMs;
    std::int64_t withoutTime = 0;
    CommandOutcome outcome;
};
FramesToShare ReadFramesToShare(const std::vector<std::string>& paths);

}  // namespace quorbel
