// The split of a SatNOGS record line into its four columns, with the two format errors.
#include "stations/record_line.hpp"

namespace quorbel {

bool IsBlankLine(std::string_view line) {
    return line.find_first_not_of(' ') == std::string_view::npos;
}

namespace {

StationAnalysisError FormatError(std::int32_t number, const char* message,
                                 std::int32_t lineNumber) {
    return {number, kStationAnalysisSource, message + std::to_string(lineNumber), {}};
}

}  // namespace

std::variant<RecordFields, StationAnalysisError> ParseRecordLine(std::string_view line,
                                                                 std::int32_t lineNumber) {
    // Quoted fields are not supported; this check comes before the column count.
    if (line.find('"') != std::string_view::npos) {
        return FormatError(kQuotationMarksError, "Unsupported quotation marks on line ",
                           lineNumber);
    }
    RecordFields fields;
    std::size_t count = 0;
    std::size_t start = 0;
    while (true) {
        std::size_t bar = line.find('|', start);
        std::string_view piece =
            line.substr(start, bar == std::string_view::npos ? bar : bar - start);
        if (count < fields.size())
            fields[count] = piece;
        ++count;
        if (bar == std::string_view::npos)
            break;
        start = bar + 1;
    }
    if (count != fields.size()) {
        return FormatError(kColumnCountError, "Expected four columns on line ", lineNumber);
    }
    return fields;
}

}  // namespace quorbel
