// The station analysis of a SatNOGS export: per-station statistics, the cleaned copy without the
// stations that delivered truncated frames ("-cleaned.csv") and the report ("-stations.txt").
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "stations/record_line.hpp"

namespace quorbel {

// A frame of full length has 446 hexadecimal characters (223 bytes); fewer make a short record.
inline constexpr std::int32_t kReferenceLength = 446;

inline constexpr const char* kStationAnalysisFailedTitle = "Station analysis failed";

// The numbers of the failures other than the two format errors, shown as "Operation failed
// (error N)". They are stable: the README lists them.
inline constexpr std::int32_t kInputUnreadableError = 1001;
inline constexpr std::int32_t kCleanedCopyWriteError = 1002;
inline constexpr std::int32_t kReportWriteError = 1003;
inline constexpr std::int32_t kUnexpectedError = 1004;

struct StationOutputPaths {
    std::string cleanedCopy;  // base + "-cleaned.csv"
    std::string report;       // base + "-stations.txt"
};

// The base is the path up to its last "." when that dot lies in the file-name part, else the
// whole path.
StationOutputPaths DeriveStationOutputPaths(const std::string& inputPath);

// count × 100 ÷ total with exactly four decimals and "." as the decimal mark; "0.0000" for a
// total of 0. Halfway cases round to the nearer binary value of the double (as printf does).
std::string FormatPercent(std::int32_t count, std::int32_t total);

// The message of a failure as the warning box shows it: the description of a format error, or
// "Operation failed (error N)" with a hint for the others.
std::string StationAnalysisFailureMessage(const StationAnalysisError& error);

// What one analysis of an export did: the report it wrote, or the failure that stopped it.
struct StationAnalysisRun {
    std::string report;
    std::optional<StationAnalysisError> failure;
};

// One analysis of an export in two steps. Prepare makes both passes over the file and writes the
// cleaned copy to a temporary file beside its target; it only reads the export, writes that one
// file and keeps no state outside this object, so it may run on a thread of its own beside the
// reader of the same export. Finish, on the caller's thread, then puts the cleaned copy in place
// and writes the report. A failure in either step removes what the run wrote and is returned by
// Finish, never thrown. An analysis dropped unfinished leaves no file behind.
class StationAnalysis {
  public:
    explicit StationAnalysis(const std::string& inputPath);
    ~StationAnalysis();
    StationAnalysis(const StationAnalysis&) = delete;
    StationAnalysis& operator=(const StationAnalysis&) = delete;

    void Prepare();
    StationAnalysisRun Finish();

  private:
    struct Run;
    std::unique_ptr<Run> m_run;
};

// Analyses one export: both steps, one after the other.
StationAnalysisRun RunStationAnalysis(const std::string& inputPath);

}  // namespace quorbel
