// The commands over the mission archive: import files into it, open a time range of it as a file
// read would, query one field's values, its statistics as JSON, and decoding every frame again.
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <limits>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>
#include <string_view>

#include "cli_app.hpp"
#include "common/files.hpp"
#include "common/text.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"

namespace quorbel::cli {
namespace {

constexpr int kDefaultBuckets = 2'000;
constexpr auto kProgressEvery = std::chrono::milliseconds(200);

// The options of archive-open and archive-query, read and checked.
struct RangeOptions {
    TimeRange range{std::numeric_limits<std::int64_t>::min(),
                    std::numeric_limits<std::int64_t>::max()};
    int field = -1;
    int buckets = kDefaultBuckets;
    std::string csvFile;
};

// The field named by its index or its caption (any case); the error text when it names none that
// the archive keeps.
std::optional<std::string> ReadField(const std::string& text, int& field) {
    if (IsWholeNumber(text)) {
        field = std::stoi(text);
        if (field >= kFieldCount)
            return "FIELD must be a field number from 0 to 106 or a field's caption";
    } else {
        field = -1;
        for (const FieldDef& row : kFields) {
            if (!row.caption.empty() &&
                ToLowerAscii(std::string(row.caption)) == ToLowerAscii(text))
                field = row.index;
        }
        if (field < 0)
            return "no field has the caption \"" + text + "\"";
    }
    if (!kBeaconFields.Contains(field) && !kSensorFields.Contains(field))
        return "field " + std::to_string(field) + " is not decoded from frames (fields 67 to 69)";
    return std::nullopt;
}

// Reads --from, --to and (for a query) --buckets and --csv; the error text for a wrong one.
std::optional<std::string> ReadRangeOptions(const Args& args, std::size_t first, bool query,
                                            RangeOptions& options) {
    for (std::size_t i = first; i < args.size(); i += 2) {
        const std::string& option = args[i];
        if (i + 1 >= args.size())
            return "missing value of " + option;
        const std::string& value = args[i + 1];
        if (option == "--from" || option == "--to") {
            const std::optional<std::int64_t> ms = ParseUtcText(value);
            if (!ms) {
                return option + " " + value +
                       " is not a UTC time (YYYY-MM-DD, YYYY-MM-DD hh:mm[:ss] or "
                       "YYYY-MM-DDThh:mm:ss[.mmm]Z)";
            }
            (option == "--from" ? options.range.fromMs : options.range.toMs) = *ms;
        } else if (query && option == "--buckets") {
            if (!IsWholeNumber(value) || std::stoi(value) < 1)
                return "--buckets must be a whole number of at least 1";
            options.buckets = std::stoi(value);
        } else if (query && option == "--csv") {
            options.csvFile = value;
        } else {
            return "unknown option " + option;
        }
    }
    if (options.range.fromMs >= options.range.toMs)
        return "--from must come before --to";
    return std::nullopt;
}

RangeOptions QueryOptions(const Args& args) {
    RangeOptions options;
    ReadField(args[0], options.field);
    ReadRangeOptions(args, 1, true, options);
    return options;
}

// False, and the tool fails, when there is no archive: said for ARCHIVE=off; one that could not
// be opened has been said at the start.
bool HasArchive(CliContext& context) {
    if (context.app.archive)
        return true;
    if (!ArchiveLocation(context.app.settings)) {
        context.err << "quorbel-cli: no archive (" << DescribeArchiveSetting(context.app.settings)
                    << ")\n";
    }
    context.failed = true;
    return false;
}

// The archive for reading, every frame handed to it written; none when there is none.
Archive* ReadyArchive(CliContext& context) {
    if (!HasArchive(context))
        return nullptr;
    context.app.archive->Flush();
    return &context.app.archive->Storage();
}

// Runs a reading of the archive; its failure is said and fails the tool.
void ReadArchive(CliContext& context, const std::function<void(Archive&)>& read) {
    Archive* archive = ReadyArchive(context);
    if (archive == nullptr)
        return;
    try {
        read(*archive);
    } catch (const ArchiveError& failure) {
        context.err << "quorbel-cli: " << failure.what() << "\n";
        context.failed = true;
    }
}

std::string Number(double value) {
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

// A progress line on standard error, redrawn at most five times a second, only on a terminal.
class ProgressLine {
  public:
    explicit ProgressLine(std::ostream& err) : m_err(err), m_shown(isatty(STDERR_FILENO) == 1) {}
    ~ProgressLine() {
        if (m_drawn)
            m_err << "\n";
    }
    void Show(const std::string& text) {
        const auto now = std::chrono::steady_clock::now();
        if (!m_shown || now - m_last < kProgressEvery)
            return;
        m_last = now;
        m_drawn = true;
        m_err << "\r" << text << "\x1b[K" << std::flush;
    }

  private:
    std::ostream& m_err;
    bool m_shown;
    bool m_drawn = false;
    std::chrono::steady_clock::time_point m_last{};
};

void Import(CliContext& context, const Args& files) {
    if (!HasArchive(context))
        return;
    ArchiveImport import;
    {
        ProgressLine line(context.err);
        import = ImportIntoArchive(*context.app.archive, files, context.app.settings.station,
                                   [&](const ImportProgress& progress) {
                                       line.Show("importing file " + std::to_string(progress.file) +
                                                 " of " + std::to_string(progress.files) + ": " +
                                                 std::to_string(progress.framesRead) + " frames");
    });
}
context.out << "files: " << import.files << "\nframes read: " << import.framesRead
            << "\nnew frames: " << import.newFrames << "\nnew receptions: " << import.newReceptions
            << "\n";
ReportOutcome(context, import.outcome);
}  // namespace

void Open(CliContext& context, const Args& args) {
    RangeOptions options;
    ReadRangeOptions(args, 0, false, options);
    const CommandOutcome outcome = OpenFromArchive(context.app, options.range);
    ReportReadDiagnostics(context);
    ReportOutcome(context, outcome);
}

// The series as semicolon-separated rows under a header line, each row ended by `lineEnd`.
std::string SeriesText(const FieldSeries& series, std::string_view lineEnd) {
    std::ostringstream text;
    if (series.bucketWidthMs == 0) {
        text << "time;value" << lineEnd;
        for (const FieldPoint& point : series.points)
            text << FormatUtcMs(point.timeMs) << ';' << Number(point.value) << lineEnd;
    } else {
        text << "bucket start;min;max;mean;count" << lineEnd;
        for (const FieldBucket& bucket : series.buckets) {
            text << FormatUtcMs(bucket.startMs) << ';' << Number(bucket.min) << ';'
                 << Number(bucket.max) << ';' << Number(bucket.mean) << ';' << bucket.count
                 << lineEnd;
        }
    }
    return text.str();
}

// The range asked for within the times the archive holds: the buckets divide the time of the
// records, not all time; none when they do not meet.
std::optional<TimeRange> HeldPartOf(Archive& archive, const TimeRange& range) {
    const std::optional<TimeRange> extent = archive.Extent();
    if (!extent)
        return std::nullopt;
    const TimeRange held{std::max(range.fromMs, extent->fromMs),
                         std::min(range.toMs, extent->toMs)};
    if (held.fromMs >= held.toMs)
        return std::nullopt;
    return held;
}

void Query(CliContext& context, const Args& args) {
    const RangeOptions options = QueryOptions(args);
    ReadArchive(context, [&](Archive& archive) {
        const std::optional<TimeRange> range = HeldPartOf(archive, options.range);
        const FieldSeries series =
            range ? archive.QueryField(options.field, *range, options.buckets) : FieldSeries{};
        if (options.csvFile.empty()) {
            context.out << SeriesText(series, "\n");
            return;
        }
        // A file with CR LF line ends, as every text file the program writes; replaced whole or
        // not at all, as the exports are.
        const std::string text = SeriesText(series, "\r\n");
        int error = 0;
        if (!WriteFileAtomically(options.csvFile, text, error)) {
            context.err << "quorbel-cli: " << options.csvFile
                        << " could not be written: " << SystemErrorText(error) << "\n";
            context.failed = true;
        }
    });
}

void Stats(CliContext& context, const Args&) {
    ReadArchive(context, [&](Archive& archive) {
        using Json = nlohmann::ordered_json;
        const ArchiveStats stats = archive.Stats();
        Json frames = Json::object();
        Json receptions = Json::object();
        for (const KindCount& kind : stats.kinds) {
            frames[FrameKindName(kind.kind)] = kind.frames;
            receptions[FrameKindName(kind.kind)] = kind.receptions;
        }
        Json stations = Json::array();
        for (const StationCount& station : stats.stations)
            stations.push_back({{"station", station.station}, {"frames", station.frames}});
        const auto time = [](const std::optional<std::int64_t>& ms) {
            return ms ? Json(FormatUtcMs(*ms)) : Json(nullptr);
        };
        Json json = {{"location", stats.location},
                     {"schemaVersion", stats.schemaVersion},
                     {"fileBytes", stats.fileBytes},
                     {"frames", std::move(frames)},
                     {"receptions", std::move(receptions)},
                     {"firstRxTime", time(stats.firstRxTimeMs)},
                     {"lastRxTime", time(stats.lastRxTimeMs)},
                     {"stations", std::move(stations)},
                     {"waiting", stats.waiting}};
        if (!stats.unreachable.empty())
            json["unreachable"] = stats.unreachable;
        // Station names come from the files as 8-bit text: what is not UTF-8 is replaced.
        context.out << json.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
    });
}

// Makes the archive's tables where there are none (a server's database before the first station
// writes to it) and says what stands there.
void Init(CliContext& context, const Args&) {
    ReadArchive(context, [&](Archive& archive) {
        const ArchiveStats stats = archive.Stats();
        if (!stats.unreachable.empty())
            throw ArchiveError(stats.unreachable);
        context.out << "archive ready: " << stats.location << " (schema version "
                    << stats.schemaVersion << ")\n";
    });
}

void Rebuild(CliContext& context, const Args&) {
    ReadArchive(context, [&](Archive& archive) {
        std::int64_t frames = 0;
        {
            ProgressLine line(context.err);
            archive.Rebuild([&](std::int64_t done, std::int64_t all) {
                frames = all;
                line.Show("decoding again: " + std::to_string(done) + " of " + std::to_string(all) +
                          " frames");
            });
        }
        context.out << "frames decoded again: " << frames << "\n";
    });
}

}  // namespace quorbel::cli

void AddArchiveCommands(CommandTable& table) {
    table.push_back({"archive-import", "FILE...",
                     "put every frame of capture files and SatNOGS exports into the archive",
                     [](const Args& args) { return ExpectCount(args, 1, SIZE_MAX); }, Import,
                     kLeavesPicturesAlone, kArchives});
    table.push_back({"archive-open", "[--from UTC] [--to UTC]",
                     "open the archive's frames received in the range, as a file read would",
                     [](const Args& args) {
                         RangeOptions options;
                         return ReadRangeOptions(args, 0, false, options);
                     },
                     Open});
    table.push_back({"archive-query", "FIELD [--from UTC] [--to UTC] [--buckets N] [--csv FILE]",
                     "one field's values (index or caption) over time, in N buckets (2000)",
                     [](const Args& args) -> std::optional<std::string> {
                         if (args.empty())
                             return "missing argument";
                         RangeOptions options;
                         if (auto error = ReadField(args[0], options.field))
                             return error;
                         return ReadRangeOptions(args, 1, true, options);
                     },
                     Query, kLeavesPicturesAlone});
    table.push_back({"archive-stats", "", "the archive's frames, times and stations as JSON",
                     [](const Args& args) { return ExpectCount(args, 0, 0); }, Stats,
                     kLeavesPicturesAlone});
    table.push_back({"archive-init", "", "make the archive's tables where there are none yet",
                     [](const Args& args) { return ExpectCount(args, 0, 0); }, Init,
                     kLeavesPicturesAlone});
    table.push_back({"archive-rebuild", "", "decode every archived frame again from its bytes",
                     [](const Args& args) { return ExpectCount(args, 0, 0); }, Rebuild,
                     kLeavesPicturesAlone});
}

}  // namespace quorbel::cli
