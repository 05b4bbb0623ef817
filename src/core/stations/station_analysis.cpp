// The station analysis: two passes over an export, the grouping by station, the cleaned copy, the
// report, and the failure path that removes what a failed run wrote.
#include "stations/station_analysis.hpp"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <exception>
#include <filesystem>
#include <limits>
#include <optional>
#include <unordered_map>
#include <vector>

#include "common/files.hpp"
#include "common/line_reader.hpp"
#include "common/text.hpp"

namespace quorbel {

StationOutputPaths DeriveStationOutputPaths(const std::string& inputPath) {
    std::size_t dot = inputPath.rfind('.');
    std::size_t slash = inputPath.find_last_of("/\\");
    bool dotInName = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    std::string base = dotInName ? inputPath.substr(0, dot) : inputPath;
    return {base + "-cleaned.csv", base + "-stations.txt"};
}

std::string FormatPercent(std::int32_t count, std::int32_t total) {
    if (total == 0)
        return "0.0000";
    double percent = static_cast<double>(count) * 100.0 / static_cast<double>(total);
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", percent);
    std::string result(text);
    std::replace(result.begin(), result.end(), ',', '.');  // whatever the C locale says
    return result;
}

namespace {

struct StationStats {
    std::int32_t original = 0;
    std::int32_t shortCount = 0;
    std::int32_t minLength = 0;
    std::int32_t maxLength = 0;
    bool removed = false;
};

// One run's statistics. The names are copied once, in order of first appearance (the lines come
// from a reused buffer); the map's keys point to these copies.
struct StationTally {
    std::unordered_map<std::string_view, StationStats> stations;
    std::deque<std::string> firstAppearance;
    std::int32_t originalTotal = 0;
    std::int32_t shortTotal = 0;
    std::int32_t removedGroups = 0;
    std::int32_t retainedTotal = 0;
    std::int32_t retainedNamed = 0;
};

// The station's statistics, made on its first record with minimum and maximum at that record's
// payload length.
StationStats& StatsOf(StationTally& tally, std::string_view name, std::int32_t length) {
    auto it = tally.stations.find(name);
    if (it == tally.stations.end()) {
        const std::string& copy = tally.firstAppearance.emplace_back(name);
        it = tally.stations.try_emplace(copy, StationStats{0, 0, length, length, false}).first;
    }
    return it->second;
}

StationAnalysisError OtherFailure(std::int32_t number, const char* what, int systemError = 0) {
    return {number, "AnalyseStations", what, SystemErrorText(systemError)};
}

// The reading loop of one pass: every non-blank line is split and handed on with its fields; line
// numbers count from 1, blank lines included. The first format error ends the pass, and so does a
// failed read.
template <typename OnRecord>
std::optional<StationAnalysisError> ReadRecordLines(LineReader& reader, OnRecord&& onRecord) {
    std::int32_t lineNumber = 0;
    while (const auto line = reader.NextLine()) {
        if (lineNumber == std::numeric_limits<std::int32_t>::max())
            return OtherFailure(kUnexpectedError, "too many lines");
        ++lineNumber;
        if (IsBlankLine(*line))
            continue;
        auto parsed = ParseRecordLine(*line, lineNumber);
        if (auto* error = std::get_if<StationAnalysisError>(&parsed))
            return *error;
        onRecord(*line, std::get<RecordFields>(parsed));
    }
    if (reader.Failed())
        return OtherFailure(kInputUnreadableError, "input file cannot be read");
    return std::nullopt;
}

// First pass: every record is counted for its station.
std::optional<StationAnalysisError> CountStations(LineReader& reader, StationTally& tally) {
    return ReadRecordLines(reader, [&](std::string_view, const RecordFields& fields) {
        const auto length = static_cast<std::int32_t>(fields[1].size());
        ++tally.originalTotal;
        StationStats& stats = StatsOf(tally, TrimSpaces(fields[3]), length);
        ++stats.original;
        stats.minLength = std::min(stats.minLength, length);
        stats.maxLength = std::max(stats.maxLength, length);
    });
}

// A station that delivered at least one short record is removed with all its records.
void DecideGroups(StationTally& tally) {
    for (const std::string& name : tally.firstAppearance) {
        StationStats& stats = tally.stations.at(name);
        if (stats.minLength < kReferenceLength) {
            stats.removed = true;
            ++tally.removedGroups;
        } else {
            tally.retainedTotal += stats.original;
            if (!name.empty())
                ++tally.retainedNamed;
        }
    }
}

// Second pass: short records are counted and the retained stations' lines copied unchanged.
std::optional<StationAnalysisError> CopyRetainedLines(LineReader& reader, StationTally& tally,
                                                      AtomicFileWriter& cleaned) {
    return ReadRecordLines(reader, [&](std::string_view line, const RecordFields& fields) {
        const auto length = static_cast<std::int32_t>(fields[1].size());
        StationStats& stats = StatsOf(tally, TrimSpaces(fields[3]), length);
        if (length < kReferenceLength) {
            ++stats.shortCount;
            ++tally.shortTotal;
        }
        if (!stats.removed) {
            cleaned.Write(line);
            cleaned.Write("\r\n");
        }
    });
}

// By original record count, descending; equal counts by the names' character codes, ascending.
std::vector<std::string_view> SortedStationNames(const StationTally& tally) {
    std::vector<std::string_view> names;
    names.reserve(tally.stations.size());
    for (const auto& entry : tally.stations)
        names.push_back(entry.first);
    std::sort(names.begin(), names.end(), [&](std::string_view a, std::string_view b) {
        std::int32_t countA = tally.stations.at(a).original;
        std::int32_t countB = tally.stations.at(b).original;
        return countA != countB ? countA > countB : a < b;
    });
    return names;
}

void AppendLine(std::string& out, std::string_view a, std::string_view b = {}) {
    out.append(a);
    out.append(b);
    out.append("\r\n");
}

std::string ReportHeader(const StationTally& tally) {
    std::string out;
    AppendLine(out, "STATION STATISTICS");
    AppendLine(out, "Reference length: 446 hex characters (223 bytes)");
    AppendLine(out, "Original records: ", std::to_string(tally.originalTotal));
    AppendLine(out, "Short records: ", std::to_string(tally.shortTotal));
    AppendLine(out, "Removed station groups: ", std::to_string(tally.removedGroups));
    AppendLine(out, "Removed records: ", std::to_string(tally.originalTotal - tally.retainedTotal));
    AppendLine(out, "Retained records: ", std::to_string(tally.retainedTotal));
    AppendLine(out, "Retained named stations: ", std::to_string(tally.retainedNamed));
    AppendLine(out, "Sorted by original record count, descending.");
    AppendLine(out, std::string(72, '='));
    return out;
}

std::string StationBlock(std::string_view name, const StationStats& stats,
                         const StationTally& tally) {
    std::int32_t retained = stats.removed ? 0 : stats.original;
    std::string status = stats.original == 0 ? "not present"
                         : stats.removed     ? "removed"
                                             : "retained";
    std::string out;
    AppendLine(out, "Station: ", name.empty() ? std::string_view("(blank/missing)") : name);
    AppendLine(out, "  Status:           ", status);
    AppendLine(out, "  Original records: ",
               std::to_string(stats.original) + " (" +
                   FormatPercent(stats.original, tally.originalTotal) + "%)");
    AppendLine(out, "  Short records:    ", std::to_string(stats.shortCount));
    if (stats.original < 1) {
        AppendLine(out, "  Payload length:   n/a");
    } else {
        AppendLine(out, "  Payload length:   ",
                   std::to_string(stats.minLength) + " to " + std::to_string(stats.maxLength));
    }
    AppendLine(
        out, "  Retained records: ",
        std::to_string(retained) + " (" + FormatPercent(retained, tally.retainedTotal) + "%)");
    AppendLine(out, std::string(72, '-'));
    return out;
}

std::string BuildReport(StationTally& tally) {
    tally.stations.try_emplace(std::string_view{});  // the report always lists the empty name
    std::string report = ReportHeader(tally);
    for (std::string_view name : SortedStationNames(tally)) {
        report += StationBlock(name, tally.stations.at(name), tally);
    }
    return report;
}

// Both passes; the input stays open for both, and the cleaned copy is written to its temporary
// file during the second.
std::optional<StationAnalysisError> CountAndCopy(const std::string& inputPath,
                                                 const StationOutputPaths& paths,
                                                 StationTally& tally,
                                                 std::optional<AtomicFileWriter>& cleaned) {
    LineReader input(inputPath);
    if (!input.IsOpen())
        return OtherFailure(kInputUnreadableError, "input file cannot be read");
    if (auto error = CountStations(input, tally))
        return error;
    DecideGroups(tally);
    input.Rewind();
    if (!cleaned.emplace(paths.cleanedCopy).IsOpen())
        return OtherFailure(kCleanedCopyWriteError, "cleaned copy cannot be written",
                            cleaned->Error());
    return CopyRetainedLines(input, tally, *cleaned);
}

// Which outputs the run has written, so that a failure can remove them.
struct OutputMarks {
    bool cleanedCopyWritten = false;
    bool reportWritten = false;
};

// The cleaned copy put in place, then the report written.
std::optional<StationAnalysisError> WriteOutputs(AtomicFileWriter& cleaned, StationTally& tally,
                                                 const StationOutputPaths& paths,
                                                 OutputMarks& marks, std::string& report) {
    if (!cleaned.Commit())
        return OtherFailure(kCleanedCopyWriteError, "cleaned copy cannot be written",
                            cleaned.Error());
    marks.cleanedCopyWritten = true;
    std::string text = BuildReport(tally);
    int failure = 0;
    if (!WriteFileAtomically(paths.report, text, failure))
        return OtherFailure(kReportWriteError, "report cannot be written", failure);
    marks.reportWritten = true;
    report = std::move(text);
    return std::nullopt;
}

}  // namespace

std::string StationAnalysisFailureMessage(const StationAnalysisError& error) {
    if (error.source == kStationAnalysisSource)
        return error.description;
    return "Operation failed (error " + std::to_string(error.number) +
           "). Check the file paths, permissions and available disk space.";
}

struct StationAnalysis::Run {
    std::string inputPath;
    StationOutputPaths paths;
    StationTally tally;
    std::optional<AtomicFileWriter> cleaned;
    std::optional<StationAnalysisError> failure;
};

StationAnalysis::StationAnalysis(const std::string& inputPath) : m_run(std::make_unique<Run>()) {
    m_run->inputPath = inputPath;
    m_run->paths = DeriveStationOutputPaths(inputPath);
}

// The writer of a cleaned copy that was never put in place removes its temporary file.
StationAnalysis::~StationAnalysis() = default;

void StationAnalysis::Prepare() {
    Run& run = *m_run;
    try {
        run.failure = CountAndCopy(run.inputPath, run.paths, run.tally, run.cleaned);
    } catch (const std::exception&) {
        run.failure = OtherFailure(kUnexpectedError, "unexpected failure");
    }
}

StationAnalysisRun StationAnalysis::Finish() {
    Run& run = *m_run;
    OutputMarks marks;
    StationAnalysisRun result{{}, run.failure};
    if (!result.failure && !run.cleaned)
        result.failure = OtherFailure(kUnexpectedError, "finished before it was prepared");
    if (!result.failure) {
        try {
            result.failure = WriteOutputs(*run.cleaned, run.tally, run.paths, marks, result.report);
        } catch (const std::exception&) {
            result.failure = OtherFailure(kUnexpectedError, "unexpected failure");
        }
    }
    run.cleaned.reset();  // a cleaned copy not put in place goes with its temporary file
    if (result.failure) {
        // Clean-up: what this run wrote goes, even a cleaned copy that was already complete.
        std::error_code ignored;
        if (marks.cleanedCopyWritten)
            std::filesystem::remove(run.paths.cleanedCopy, ignored);
        if (marks.reportWritten)
            std::filesystem::remove(run.paths.report, ignored);
        result.report.clear();
    }
    return result;
}

StationAnalysisRun RunStationAnalysis(const std::string& inputPath) {
    StationAnalysis analysis(inputPath);
    analysis.Prepare();
    return analysis.Finish();
}

}  // namespace quorbel
