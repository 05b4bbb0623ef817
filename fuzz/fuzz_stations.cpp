// Fuzzes the station analysis on one export: each record line split into its fields, then the
// whole analysis with its cleaned copy and report, in a scratch folder in memory. A run either
// fails with a message and leaves no output, or writes both outputs.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <variant>

#include "common/text.hpp"
#include "fuzz_support.hpp"
#include "stations/record_line.hpp"
#include "stations/station_analysis.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorbel;
    static fuzz::ScratchFolder folder("fuzz-stations");
    static const std::string path = (folder.Path() / "export.csv").string();
    static const StationOutputPaths outputs = DeriveStationOutputPaths(path);
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    std::int32_t number = 0;
    bool formatError = false;
    for (std::string_view line : SplitLines(text)) {
        ++number;
        if (IsBlankLine(line))
            continue;
        const auto parsed = ParseRecordLine(line, number);
        if (const auto* fields = std::get_if<RecordFields>(&parsed)) {
            QUORBEL_FUZZ_CHECK(line.find('"') == std::string_view::npos);
            QUORBEL_FUZZ_CHECK(std::count(line.begin(), line.end(), '|') == 3);
            for (std::string_view field : *fields)
                QUORBEL_FUZZ_CHECK(field.data() >= line.data() &&
                                   field.data() + field.size() <= line.data() + line.size());
        } else {
            const auto& error = std::get<StationAnalysisError>(parsed);
            QUORBEL_FUZZ_CHECK(error.number == kQuotationMarksError ||
                               error.number == kColumnCountError);
            QUORBEL_FUZZ_CHECK(!StationAnalysisFailureMessage(error).empty());
            formatError = true;
        }
    }

    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
    const StationAnalysisRun run = RunStationAnalysis(path);
    const bool cleaned = std::filesystem::exists(outputs.cleanedCopy);
    const bool report = std::filesystem::exists(outputs.report);
    if (run.failure) {
        QUORBEL_FUZZ_CHECK(formatError);
        QUORBEL_FUZZ_CHECK(run.report.empty() && !cleaned && !report);
    } else {
        QUORBEL_FUZZ_CHECK(!formatError);
        QUORBEL_FUZZ_CHECK(run.report.starts_with("STATION STATISTICS\r\n"));
        QUORBEL_FUZZ_CHECK(cleaned && report);
        QUORBEL_FUZZ_CHECK(std::filesystem::file_size(outputs.cleanedCopy) <= 2 * size);
    }
    std::error_code ignored;
    std::filesystem::remove(outputs.cleanedCopy, ignored);
    std::filesystem::remove(outputs.report, ignored);
    return 0;
}
