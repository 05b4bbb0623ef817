// The record lines of a SatNOGS export as the station analysis reads them: blank lines, the split
// into four columns and the two format errors.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "common/text.hpp"

namespace quorbel {

// Every failure of the station analysis is a number, a source and a description.
struct StationAnalysisError {
    std::int32_t number = 0;
    std::string source;
    std::string description;
    std::string systemReason;  // a file not written: the system's reason, when it gave one
};

inline constexpr const char* kStationAnalysisSource = "StationAnalysis";
// The object-error base 0x80040000 plus 1010 and 1011.
inline constexpr std::int32_t kObjectErrorBase = static_cast<std::int32_t>(0x80040000u);
inline constexpr std::int32_t kQuotationMarksError = kObjectErrorBase + 1010;  // 0x800403F2
inline constexpr std::int32_t kColumnCountError = kObjectErrorBase + 1011;     // 0x800403F3

// Field 0 time, 1 frame as hexadecimal text, 2 not interpreted, 3 station.
using RecordFields = std::array<std::string_view, 4>;

// A line that is empty once its leading and trailing spaces are removed.
bool IsBlankLine(std::string_view line);

// Splits a record line (as read, not trimmed) into its four "|"-separated fields. A double
// quotation mark anywhere, or other than four fields, gives the format error for the line's
// number. The views point into `line`.
std::variant<RecordFields, StationAnalysisError> ParseRecordLine(std::string_view line,
                                                                 std::int32_t lineNumber);

}  // namespace quorbel
