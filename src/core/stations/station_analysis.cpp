// The station analysis: two passes over an export, the grouping by station, the cleaned copy, the
// report, and the failure path that removes what a failed run wrote.
#include "stations/station_analysis.hpp"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <limits>
#include <optional>
#include <unordered_map>
#include <vector>

#include "common/files.hpp"
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

// One run's statistics; the names point into the export's text.
struct StationTally {
    std::unordered_map<std::string_view, StationStats> stations;
    std::vector<std::string_view> firstAppearance;
    std::int32_t originalTotal = 0;
    std::int32_t shortTotal = 0;
    std::int32_t removedGroups = 0;
    std::int32_t retainedTotal = 0;
    std::int32_t retainedNamed = 0;
};

// First pass: every non-blank line is parsed and counted for its station.
std::optional<StationAnalysisError> CountStations(const std::vector<std::string_view>& lines,
                                                  StationTally& tally) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (IsBlankLine(lines[i]))
            continue;
        auto parsed = ParseRecordLine(lines[i], static_cast<std::int32_t>(i + 1));
        if (auto* error = std::get_if<StationAnalysisError>(&parsed))
            return *error;
        const RecordFields& fields = std::get<RecordFields>(parsed);
        std::string_view name = TrimSpaces(fields[3]);
        auto length = static_cast<std::int32_t>(fields[1].size());
        ++tally.originalTotal;
        auto [it, isNew] = tally.stations.try_emplace(name);
        StationStats& stats = it->second;
        if (isNew) {
            stats.minLength = length;
            stats.maxLength = length;
            tally.firstAppearance.push_back(name);
        }
        ++stats.original;
        stats.minLength = std::min(stats.minLength, length);
        stats.maxLength = std::max(stats.maxLength, length);
    }
    return std::nullopt;
}

// A station that delivered at least one short record is removed with all its records.
void DecideGroups(StationTally& tally) {
    for (std::string_view name : tally.firstAppearance) {
        StationStats& stats = tally.stations[name];
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
std::string CopyRetainedLines(const std::vector<std::string_view>& lines, StationTally& tally) {
    std::string cleaned;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (IsBlankLine(lines[i]))
            continue;
        auto parsed = ParseRecordLine(lines[i], static_cast<std::int32_t>(i + 1));
        const RecordFields& fields = std::get<RecordFields>(parsed);  // checked in the first pass
        StationStats& stats = tally.stations[TrimSpaces(fields[3])];
        if (static_cast<std::int32_t>(fields[1].size()) < kReferenceLength) {
            ++stats.shortCount;
            ++tally.shortTotal;
        }
        if (!stats.removed) {
            cleaned.append(lines[i]);
            cleaned.append("\r\n");
        }
    }
    return cleaned;
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

}  // namespace

std::variant<StationAnalysisOutput, StationAnalysisError> AnalyseStationText(
    std::string_view text) {
    std::vector<std::string_view> lines = SplitLines(text);
    if (lines.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return StationAnalysisError{kUnexpectedError, "AnalyseStations", "too many lines"};
    }
    StationTally tally;
    if (auto error = CountStations(lines, tally))
        return *error;
    DecideGroups(tally);
    StationAnalysisOutput output;
    output.cleanedCopy = CopyRetainedLines(lines, tally);
    tally.stations.try_emplace(std::string_view{});  // the report always lists the empty name
    output.report = ReportHeader(tally);
    for (std::string_view name : SortedStationNames(tally)) {
        output.report += StationBlock(name, tally.stations.at(name), tally);
    }
    return output;
}

namespace {

// Which outputs the run has written, so that a failure can remove them.
struct OutputMarks {
    bool cleanedCopyWritten = false;
    bool reportWritten = false;
};

StationAnalysisError OtherFailure(std::int32_t number, const char* what) {
    return {number, "AnalyseStations", what};
}

std::optional<StationAnalysisError> AnalyseAndWrite(const std::string& inputPath,
                                                    const StationOutputPaths& paths,
                                                    OutputMarks& marks, std::string& report) {
    std::optional<std::string> text = ReadWholeFile(inputPath);
    if (!text)
        return OtherFailure(kInputUnreadableError, "input file cannot be read");
    auto analysed = AnalyseStationText(*text);
    if (auto* error = std::get_if<StationAnalysisError>(&analysed))
        return *error;
    const StationAnalysisOutput& output = std::get<StationAnalysisOutput>(analysed);
    if (!WriteFileAtomically(paths.cleanedCopy, output.cleanedCopy)) {
        return OtherFailure(kCleanedCopyWriteError, "cleaned copy cannot be written");
    }
    marks.cleanedCopyWritten = true;
    if (!WriteFileAtomically(paths.report, output.report)) {
        return OtherFailure(kReportWriteError, "report cannot be written");
    }
    marks.reportWritten = true;
    report = output.report;
    return std::nullopt;
}

}  // namespace

std::string StationAnalysisFailureMessage(const StationAnalysisError& error) {
    if (error.source == kStationAnalysisSource)
        return error.description;
    return "Operation failed (error " + std::to_string(error.number) +
           "). Check the file paths, permissions and available disk space.";
}

StationAnalysisRun RunStationAnalysis(const std::string& inputPath) {
    const StationOutputPaths paths = DeriveStationOutputPaths(inputPath);
    OutputMarks marks;
    StationAnalysisRun run;
    try {
        run.failure = AnalyseAndWrite(inputPath, paths, marks, run.report);
    } catch (const std::exception&) {
        run.failure = OtherFailure(kUnexpectedError, "unexpected failure");
    }
    if (run.failure) {
        // Clean-up: what this run wrote goes, even a cleaned copy that was already complete.
        std::error_code ignored;
        if (marks.cleanedCopyWritten)
            std::filesystem::remove(paths.cleanedCopy, ignored);
        if (marks.reportWritten)
            std::filesystem::remove(paths.report, ignored);
        run.report.clear();
    }
    return run;
}

}  // namespace quorbel
