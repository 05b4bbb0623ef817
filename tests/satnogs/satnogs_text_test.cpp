// The SatNOGS text helpers: lines, adjacent repeats, hexadecimal pairs and line-end conversion.
#include "intake/satnogs_text.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "satnogs_test_support.hpp"

namespace quorbel {
namespace {

using Lines = std::vector<std::string_view>;

TEST(SatnogsText, SplitLinesKeepsEveryLineFromTheFirstToAnUnterminatedLast) {
    const struct {
        std::string_view text;
        Lines lines;
    } cases[] = {
        {"", {}},
        {"A\r\nB\r\nB\r\nC\r\n", {"A", "B", "B", "C"}},
        {"A\r\nB", {"A", "B"}},
        {"A\nB\n", {"A", "B"}},
        {"A\r\n\r\nB\n\nC", {"A", "", "B", "", "C"}},
        {"\r\n", {""}},
        {"x\ry\r\n", {"x\ry"}},  // a CR inside a line stays
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitLines(c.text), c.lines) << c.text;
}

TEST(SatnogsText, OnlyRepeatsThatFollowEachOtherGo) {
    const struct {
        Lines in, out;
    } cases[] = {
        {{"A", "B", "B", "C"}, {"A", "B", "C"}},
        {{"B", "A", "B"}, {"B", "A", "B"}},
        {{"A", "A", "A"}, {"A"}},
        {{"a", "A"}, {"a", "A"}},
        {{"", "", "x", ""}, {"", "x", ""}},
        {{}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RemoveAdjacentDuplicates(c.in), c.out);
}

TEST(SatnogsText, ParseHexValueReadsDigitsUpToTheFirstOther) {
    const struct {
        std::string_view text;
        int value;
    } cases[] = {{"1F", 31}, {"1f", 31},  {"A", 10},   {"1G", 1},    {"|2", 0},    {"", 0},
                 {"00", 0},  {"FF", 255}, {"0x", 0},   {"&H", 0},    {"0X1F", 31}, {"&hff", 255},
                 {"G", 0},   {"9", 9},    {"fF", 255}, {"123", 0x23}};
    for (const auto& c : cases)
        EXPECT_EQ(ParseHexValue(c.text), c.value) << c.text;
}

TEST(SatnogsText, LfOnlyExportsAreRewrittenWithCrLfAndOthersLeftAlone) {
    testing::ScratchFolder folder;
    const struct {
        const char* name;
        std::string before;
        LineEndConversion outcome;
        std::string after;
    } cases[] = {
        {"lf.csv", "A\nB\n", LineEndConversion::Converted, "A\r\nB\r\n"},
        {"crlf.csv", "A\r\nB\r\n", LineEndConversion::NotNeeded, "A\r\nB\r\n"},
        // One CR LF anywhere: the file counts as converted already.
        {"mixed.csv", "A\nB\r\nC\n", LineEndConversion::NotNeeded, "A\nB\r\nC\n"},
        {"single.csv", "A", LineEndConversion::NotNeeded, "A"},
        {"empty.csv", "", LineEndConversion::NotNeeded, ""},
    };
    for (const auto& c : cases) {
        const std::string path = folder.Write(c.name, c.before);
        EXPECT_EQ(ConvertExportToCrLf(path), c.outcome) << c.name;
        EXPECT_EQ(testing::ReadBytes(path), c.after) << c.name;
    }
    EXPECT_EQ(ConvertExportToCrLf(folder.Path("missing.csv")), LineEndConversion::Failed);
    // A converted export keeps its permissions.
    const std::string privateExport = folder.Write("private.csv", "A\n");
    const auto ownerOnly = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
    std::filesystem::permissions(privateExport, ownerOnly);
    EXPECT_EQ(ConvertExportToCrLf(privateExport), LineEndConversion::Converted);
    EXPECT_EQ(std::filesystem::status(privateExport).permissions(), ownerOnly);
    EXPECT_EQ(folder.Names().size(), 6u);  // no temporary file left
}

TEST(SatnogsText, FailedConversionLeavesTheExportWhole) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    testing::ScratchFolder folder;
    const std::string path = folder.Write("lf.csv", "A\nB\n");
    std::filesystem::permissions(
        folder.Path(""), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_EQ(ConvertExportToCrLf(path), LineEndConversion::Failed);
    std::filesystem::permissions(folder.Path(""), std::filesystem::perms::owner_all);
    EXPECT_EQ(testing::ReadBytes(path), "A\nB\n");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"lf.csv"});
}

}  // namespace
}  // namespace quorbel
