// The mission archive in the running program: opening it, frames in, failures out, and the stored
// frames read back into the window.
#include "shell/commands/archive_commands.hpp"

#include "archive/archive_location.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <numeric>

#include "common/files.hpp"
#include "common/number_format.hpp"
#include "intake/read_diagnostics.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/frame_commands.hpp"
#include "shell/commands/open_commands.hpp"
#include "shell/commands/ssdv_commands.hpp"
#include "shell/commands/view_refresh.hpp"
#include "view/time_axis.hpp"

namespace quorbel {
namespace {

constexpr std::int64_t kDayMs = 24 * 60 * 60 * 1000LL;
constexpr std::int64_t kPassGapMs = static_cast<std::int64_t>(kPassGapSeconds * 1000);
constexpr int kFramesPerEventLoop = 100;

// The archive's failure named in the status line, the log and the outcome.
void AddArchiveProblem(AppState& app, CommandOutcome& outcome, const std::string& what,
                       CommandProblem::Kind kind = CommandProblem::Kind::ArchiveFailed) {
    CommandProblem problem{kind, {}, what, 0};
    app.ui.statusLine = DescribeProblem(problem);
    app.ui.readerLog += "archive: " + what + "\r\n";
    outcome.AddProblem(std::move(problem));
}

// The oldest frames of each kind left out so that no kind brings more than kMostFramesPerKind,
// each named in the log.
std::map<FrameKind, std::int64_t> FramesLeftOut(AppState& app,
                                                const std::map<FrameKind, std::int64_t>& counts) {
    std::map<FrameKind, std::int64_t> leftOut;
    for (const auto& [kind, count] : counts) {
        if (count <= kMostFramesPerKind)
            continue;
        leftOut[kind] = count - kMostFramesPerKind;
        app.ui.readerLog += std::string(FrameKindName(kind)) + ": the newest " +
                            std::to_string(kMostFramesPerKind) + " of " + std::to_string(count) +
                            " frames\r\n";
    }
    return leftOut;
}

// Every frame of the range through the path of a file read, the oldest of a capped kind skipped.
void ReceiveStoredFrames(AppState& app, Archive& archive, const TimeRange& range,
                         std::map<FrameKind, std::int64_t> leftOut, ReadDiagnostics& diagnostics) {
    int done = 0;
    archive.ReadFrames(range, [&](const StoredFrame& frame) {
        if (auto skip = leftOut.find(frame.kind); skip != leftOut.end() && skip->second > 0) {
            --skip->second;
            return true;
        }
        if (++done % kFramesPerEventLoop == 0) {
            app.ui.progress.value = std::min(done, app.ui.progress.max);
            app.platform.DoEvents();
        }
        app.frame.rxTimeText = frame.firstRxTimeText;
        ReceiveFrame(app, frame.bytes, nullptr, &diagnostics);
        return true;
    });
}

}  // namespace

std::optional<std::string> ArchiveLocation(const Settings& settings) {
    const std::string& setting = settings.archive;
    if (setting.empty())
        return JoinPath(settings.appDir, kDefaultArchiveName);
    std::string lower = setting;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "off")
        return std::nullopt;
    if (IsServerArchiveUrl(setting))
        return setting;
    if (std::filesystem::path(setting).is_relative())
        return JoinPath(settings.appDir, setting);
    return setting;
}

std::string DescribeArchiveSetting(const Settings& settings) {
    const std::optional<std::string> location = ArchiveLocation(settings);
    return "Archive: " + (location ? LocationWithoutPassword(*location) : std::string("off"));
}

void OpenArchive(AppState& app, const ArchiveOpener& opener) {
    app.archive.reset();
    app.ui.archiveText = DescribeArchiveSetting(app.settings);
    const std::optional<std::string> location = ArchiveLocation(app.settings);
    if (!location)
        return;
    try {
        app.archive = std::make_unique<ArchiveWriter>(opener(*location));
    } catch (const std::exception& failure) {
        // The program goes on without an archive: decoding does not depend on it.
        const std::string text =
            std::string("the archive cannot be opened, frames are not archived: ") + failure.what();
        app.ui.statusLine = text;
        app.ui.readerLog += text + "\r\n";
        app.ui.archiveText =
            "Archive: none (" + LocationWithoutPassword(*location) + " cannot be opened)";
    }
}

void ArchiveFrame(AppState& app, std::span<const std::uint8_t> bytes) {
    if (!app.archive || app.readingArchive)
        return;
    Reception reception;
    reception.bytes.assign(bytes.begin(), bytes.end());
    reception.rxTimeMs = ReceiveTimeMs(app.frame.rxTimeText).value_or(0);
    reception.rxTimeText = app.frame.rxTimeText;
    reception.source = app.receptionSource;
    reception.station = app.receptionSource == ReceptionSource::Export ? app.receptionStation
                                                                       : app.settings.station;
    reception.sourceFile = app.receptionFile;
    app.archive->Add(std::move(reception));
}

void CheckArchive(AppState& app, CommandOutcome& outcome) {
    if (!app.archive)
        return;
    // A server that is away loses nothing: its frames wait on the disk. Only frames the archive
    // could not take at all make a failure.
    if (const std::optional<std::string> problem = app.archive->TakeNewProblem())
        AddArchiveProblem(app, outcome, *problem,
                          app.archive->Failed() ? CommandProblem::Kind::ArchiveFailed
                                                : CommandProblem::Kind::ArchiveWaiting);
}

ReceptionSourceGuard::ReceptionSourceGuard(AppState& app, ReceptionSource source, std::string file)
    : m_app(app), m_source(app.receptionSource), m_file(std::move(app.receptionFile)) {
    m_app.receptionSource = source;
    m_app.receptionFile = std::move(file);
}

ReceptionSourceGuard::~ReceptionSourceGuard() {
    m_app.receptionSource = m_source;
    m_app.receptionFile = std::move(m_file);
}

CommandOutcome OpenFromArchive(AppState& app, const TimeRange& range) {
    CommandOutcome outcome;
    if (app.ui.reading)
        return outcome;  // a read is running: this one would empty its stores
    ViewEvent event(app);
    PrepareOpenCommand(app);
    if (!app.archive) {
        AddArchiveProblem(
            app, outcome,
            "there is no archive to open (" + DescribeArchiveSetting(app.settings) + ")");
        return outcome;
    }
    ReadingGuard reading(app.ui);
    const std::string location =
        LocationWithoutPassword(ArchiveLocation(app.settings).value_or(app.archive->Describe()));
    app.sourceFileName = location;  // exports are named after the archive
    app.ui.statusLine = location;
    app.ui.busy = true;
    app.ui.readerLog += "archive: " + location + "\r\nfrom " + FormatUtcMs(range.fromMs) + " to " +
                        FormatUtcMs(range.toMs) + "\r\n";
    ReadDiagnostics diagnostics;
    diagnostics.file = location;
    try {
        app.archive->Flush();  // the frames received so far are in it
        Archive& archive = app.archive->Storage();
        const std::map<FrameKind, std::int64_t> counts = archive.CountFrames(range);
        const std::int64_t all =
            std::accumulate(counts.begin(), counts.end(), std::int64_t{0},
                            [](std::int64_t sum, const auto& kind) { return sum + kind.second; });
        app.ui.readerLog += "archived frames: " + std::to_string(all) + "\r\n";
        const std::map<FrameKind, std::int64_t> leftOut = FramesLeftOut(app, counts);
        app.ui.progress = {true, static_cast<int>(std::min<std::int64_t>(all, 1 << 30)), 0};
        app.readingArchive = true;
        ReceiveStoredFrames(app, archive, range, leftOut, diagnostics);
        app.readingArchive = false;
    } catch (const ArchiveError& failure) {
        app.readingArchive = false;
        AddArchiveProblem(app, outcome, failure.what());
    }
    outcome.framesRead = std::accumulate(diagnostics.frames.begin(), diagnostics.frames.end(), 0LL);
    outcome.recordsRefused = diagnostics.droppedAtCap;
    app.ui.diagnostics.push_back(std::move(diagnostics));
    outcome.Merge(DecodeSsdvImages(app));
    PerformEndOfReadSteps(app);
    return outcome;
}

std::optional<TimeRange> RangeOfChoice(ArchiveRangeChoice choice, Archive& archive,
                                       std::int64_t nowMs) {
    constexpr std::int64_t kOpenEnd = std::numeric_limits<std::int64_t>::max();
    switch (choice) {
        case ArchiveRangeChoice::Last24Hours:
            return TimeRange{nowMs - kDayMs, kOpenEnd};
        case ArchiveRangeChoice::Last7Days:
            return TimeRange{nowMs - 7 * kDayMs, kOpenEnd};
        case ArchiveRangeChoice::Last30Days:
            return TimeRange{nowMs - 30 * kDayMs, kOpenEnd};
        case ArchiveRangeChoice::Everything:
        case ArchiveRangeChoice::LastPass:
            break;
    }
    const std::optional<TimeRange> extent = archive.Extent();
    if (!extent)
        return std::nullopt;
    const TimeRange everything = *extent;
    if (choice == ArchiveRangeChoice::Everything)
        return everything;
    // The last pass: a window before the last frame, widened until it holds a gap or everything.
    for (std::int64_t width = kDayMs / 4;; width *= 4) {
        const std::int64_t from = std::max(extent->fromMs, extent->toMs - 1 - width);
        std::optional<std::int64_t> previous;
        std::optional<std::int64_t> passStart;
        archive.ReadFrames({from, everything.toMs}, [&](const StoredFrame& frame) {
            if (previous && frame.firstRxTimeMs - *previous > kPassGapMs)
                passStart = frame.firstRxTimeMs;
            previous = frame.firstRxTimeMs;
            return true;
        });
        if (passStart)
            return TimeRange{*passStart, everything.toMs};
        if (from == extent->fromMs)
            return everything;
    }
}

std::optional<std::int64_t> ParseUtcText(std::string_view text) {
    std::string stamp(text);
    if (stamp.size() == 10) {
        stamp += " 00:00:00";
    } else if (stamp.size() == 16 && stamp[10] == ' ') {
        stamp += ":00";
    } else if (stamp.size() > 11 && stamp[10] == 'T' && stamp.back() == 'Z') {
        stamp[10] = ' ';
        stamp.pop_back();
        if (stamp.size() != 19 && stamp.size() != 23)
            return std::nullopt;
    } else if (stamp.size() != 19 || stamp[10] != ' ') {
        return std::nullopt;
    }
    return ReceiveTimeMs(stamp);
}

std::optional<std::int64_t> ReceiveTimeMs(std::string_view rxTimeText) {
    const std::optional<double> seconds = ParseReceiveTime(rxTimeText);
    if (!seconds)
        return std::nullopt;
    return std::llround(*seconds * 1000.0);
}

std::string FormatUtcMs(std::int64_t ms) {
    // The open ends of a range stand at the first and the last moment a date is written for.
    constexpr std::int64_t kEarliest = -62135596800000;  // 0001-01-01 00:00:00.000
    constexpr std::int64_t kLatest = 253402300799999;    // 9999-12-31 23:59:59.999
    return FormatUtcMilliseconds(std::clamp(ms, kEarliest, kLatest));
}

}  // namespace quorbel
