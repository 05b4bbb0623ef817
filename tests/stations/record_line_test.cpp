// The split of record lines into four columns and the two format errors.
#include "stations/record_line.hpp"

#include <gtest/gtest.h>

namespace quorbel {
namespace {

TEST(RecordLine, SplitsIntoExactlyFourFieldsKeptAsTheyStand) {
    const struct {
        const char* line;
        RecordFields fields;
    } cases[] = {
        {"2023-01-15 12:34:56|A1B2|7|MyStation-JN58td",
         {"2023-01-15 12:34:56", "A1B2", "7", "MyStation-JN58td"}},
        {"|||", {"", "", "", ""}},
        {" t | A1 |  | name ", {" t ", " A1 ", "  ", " name "}},
    };
    for (const auto& c : cases) {
        auto parsed = ParseRecordLine(c.line, 1);
        ASSERT_TRUE(std::holds_alternative<RecordFields>(parsed)) << c.line;
        EXPECT_EQ(std::get<RecordFields>(parsed), c.fields);
    }
    EXPECT_EQ(TrimSpaces(" name "), "name");
    EXPECT_EQ(TrimSpaces("   "), "");
    EXPECT_TRUE(IsBlankLine("    "));
    EXPECT_TRUE(IsBlankLine(""));
    EXPECT_FALSE(IsBlankLine(" | "));
}

TEST(RecordLine, QuotationMarksComeBeforeTheColumnCount) {
    const struct {
        const char* line;
        std::int32_t lineNumber;
        std::int32_t number;
        const char* description;
    } cases[] = {
        {"a|b|c|d|e", 12, kColumnCountError, "Expected four columns on line 12"},
        {"a|b|c", 3, kColumnCountError, "Expected four columns on line 3"},
        {"no separators", 1, kColumnCountError, "Expected four columns on line 1"},
        {"a|\"b\"|c|d", 7, kQuotationMarksError, "Unsupported quotation marks on line 7"},
        {"\"", 2147483647, kQuotationMarksError, "Unsupported quotation marks on line 2147483647"},
        {"a|\"|c|d|e|f", 5, kQuotationMarksError, "Unsupported quotation marks on line 5"},
    };
    for (const auto& c : cases) {
        auto parsed = ParseRecordLine(c.line, c.lineNumber);
        ASSERT_TRUE(std::holds_alternative<StationAnalysisError>(parsed)) << c.line;
        const auto& error = std::get<StationAnalysisError>(parsed);
        EXPECT_EQ(error.number, c.number);
        EXPECT_EQ(error.source, "StationAnalysis");
        EXPECT_EQ(error.description, c.description);
    }
    EXPECT_EQ(static_cast<std::uint32_t>(kQuotationMarksError), 0x800403F2u);
    EXPECT_EQ(static_cast<std::uint32_t>(kColumnCountError), 0x800403F3u);
}

}  // namespace
}  // namespace quorbel
