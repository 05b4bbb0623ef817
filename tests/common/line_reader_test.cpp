// The line reader: the same lines as SplitLines, with their places in the file, across the
// boundaries of its blocks and for lines longer than a block.
#include "common/line_reader.hpp"

#include <fstream>

#include <gtest/gtest.h>

#include "common/text.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

constexpr std::size_t kBlock = 256 << 10;  // the reader's block size

struct ReadLine {
    std::string text;
    std::uint64_t offset;
    LineEnd end;
};

std::vector<ReadLine> ReadAll(LineReader& reader) {
    std::vector<ReadLine> lines;
    while (const auto line = reader.NextLine())
        lines.push_back({std::string(*line), reader.LineOffset(), reader.LastLineEnd()});
    return lines;
}

TEST(LineReader, GivesTheLinesOfSplitLinesWithTheirOffsetsAndLineEndsAndNoneOfMissingFiles) {
    const std::string crLfAcrossBlocks = std::string(kBlock - 1, 'a') + "\r\nb\r\n";
    const std::string lfAtBlockEnd = std::string(kBlock - 1, 'a') + "\nb";
    const std::string longerThanTwoBlocks = "x\r\n" + std::string(2 * kBlock + 5, 'y') + "\r\nz\n";
    std::string manyLines;
    for (int i = 0; i < 40000; ++i)
        manyLines += std::to_string(i) + (i % 3 == 0 ? "\n" : "\r\n");
    const std::string texts[] = {
        "",       "A\r\n\r\nB\n\nC", "\r\n",           "x\ry\r\n",   "\n\n",
        "no end", "cr at end\r",     crLfAcrossBlocks, lfAtBlockEnd, longerThanTwoBlocks,
        manyLines};
    testing::TempFolder folder;
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.substr(0, 20));
        LineReader reader(folder.Write("export.csv", text));
        ASSERT_TRUE(reader.IsOpen());
        const std::vector<ReadLine> lines = ReadAll(reader);
        EXPECT_FALSE(reader.Failed());
        EXPECT_EQ(reader.NextOffset(), text.size());
        const std::vector<std::string_view> expected = SplitLines(text);
        ASSERT_EQ(lines.size(), expected.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            ASSERT_EQ(lines[i].text, expected[i]) << i;
            const std::uint64_t offset =
                static_cast<std::uint64_t>(expected[i].data() - text.data());
            ASSERT_EQ(lines[i].offset, offset) << i;
            const std::string_view behind =
                std::string_view(text).substr(offset + lines[i].text.size());
            const LineEnd end = behind.starts_with("\r\n") ? LineEnd::CrLf
                                : behind.starts_with("\n") ? LineEnd::Lf
                                                           : LineEnd::None;
            ASSERT_EQ(lines[i].end, end) << i;
        }
        // The second pass of the station analysis reads the same lines again.
        reader.Rewind();
        EXPECT_EQ(ReadAll(reader).size(), lines.size());
    }
    for (const std::string& path : {folder.File("missing.csv"), folder.Path()}) {
        LineReader reader(path);
        EXPECT_FALSE(reader.IsOpen());
        EXPECT_FALSE(reader.NextLine());
        reader.Rewind();
        EXPECT_FALSE(reader.NextLine());
    }
}

// The first buffer is sized to the file as it was when opened; lines appended after that (a live
// capture beside the reader) are read whole, short ones and ones longer than a block.
TEST(LineReader, ReadsLinesAppendedAfterItWasOpened) {
    testing::TempFolder folder;
    const std::string path = folder.Write("export.csv", std::string("first\r\nsecond"));
    LineReader reader(path);
    const std::string longLine(kBlock + 3, 'x');
    std::ofstream(path, std::ios::binary | std::ios::app) << " half\r\n" << longLine << "\nlast";
    const std::vector<ReadLine> lines = ReadAll(reader);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, "first");
    EXPECT_EQ(lines[1].text, "second half");
    EXPECT_EQ(lines[2].text, longLine);
    EXPECT_EQ(lines[2].offset, 20u);
    EXPECT_EQ(lines[3].text, "last");
    EXPECT_EQ(lines[3].end, LineEnd::None);
}

}  // namespace
}  // namespace quorbel
