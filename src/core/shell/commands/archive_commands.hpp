// The mission archive in the running program: where it lies, opening it through the front end's
// storage, every received frame handed to its writer, its failures reported, and the stored frames
// read back into the window as a file read fills it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "archive/archive.hpp"
#include "shell/command_outcome.hpp"

namespace quorbel {

struct AppState;
struct Settings;

// Opens the storage at a path; throws ArchiveError when it cannot. The front end passes it: the
// core links no database library.
using ArchiveOpener = std::function<std::unique_ptr<Archive>(const std::string& path)>;

// The name of the archive in the application folder when ARCHIVE is not set.
inline constexpr const char* kDefaultArchiveName = "archive.sqlite";

// Where the archive lies for these settings: ARCHIVE absent or empty gives archive.sqlite in the
// application folder, a relative path is taken from the application folder; none for "off".
std::optional<std::string> ArchiveLocation(const Settings& settings);
// "Archive: /path/archive.sqlite" or "Archive: off", as the Info page and --help name it.
std::string DescribeArchiveSetting(const Settings& settings);

// Opens the archive the settings name and starts its writer in app.archive, and sets
// ui.archiveText. A failure to open is one message in the status line and the log; the program
// goes on without an archive.
void OpenArchive(AppState& app, const ArchiveOpener& opener);

// Hands one received frame to the archive's writer with the receive time and text of app.frame,
// the source and file of app.receptionSource/receptionFile and the station of the source. Costs
// a copy of the bytes; nothing when there is no archive or frames come back out of it.
void ArchiveFrame(AppState& app, std::span<const std::uint8_t> bytes);

// The archive's first failure since the last check, once: named in the log and added to the
// outcome (so in the status line and the tool's exit status). Writing goes on.
void CheckArchive(AppState& app, CommandOutcome& outcome);

// Sets the source of the frames received while it lives, and restores the previous one.
class ReceptionSourceGuard {
  public:
    ReceptionSourceGuard(AppState& app, ReceptionSource source, std::string file);
    ~ReceptionSourceGuard();
    ReceptionSourceGuard(const ReceptionSourceGuard&) = delete;
    ReceptionSourceGuard& operator=(const ReceptionSourceGuard&) = delete;

  private:
    AppState& m_app;
    ReceptionSource m_source;
    std::string m_file;
};

// A kind of frame with more records than this in the range is read back with its newest this
// many only, as the record stores hold no more.
inline constexpr std::int64_t kMostFramesPerKind = 5'000;

// "Open from Archive": the record stores, the message log and the SSDV table filled as a file
// read fills them, from the frames whose first reception lies in the range, in the order of that
// time, each with its first reception's receive time text. Frames read back are not archived
// again. The log names the range and the frames of each kind left out for the cap.
CommandOutcome OpenFromArchive(AppState& app, const TimeRange& range);

enum class ArchiveRangeChoice { LastPass, Last24Hours, Last7Days, Last30Days, Everything };
// The range a choice of the dialog stands for at `nowMs`. The last pass: the frames after the
// last gap of more than kPassGapSeconds between two frames. None for the last pass and for
// everything when the archive is empty.
std::optional<TimeRange> RangeOfChoice(ArchiveRangeChoice choice, Archive& archive,
                                       std::int64_t nowMs);

// UTC milliseconds of "YYYY-MM-DD", "YYYY-MM-DD hh:mm", "YYYY-MM-DD hh:mm:ss" or
// "YYYY-MM-DDThh:mm:ss[.mmm]Z"; none for any other text.
std::optional<std::int64_t> ParseUtcText(std::string_view text);
// "YYYY-MM-DD hh:mm:ss.mmm" of UTC milliseconds.
std::string FormatUtcMs(std::int64_t ms);
// UTC milliseconds of a receive time text (ParseReceiveTime); none when it gives no time.
std::optional<std::int64_t> ReceiveTimeMs(std::string_view rxTimeText);

}  // namespace quorbel
