// SatNOGS export text and the reader: lines, adjacent repeats, hexadecimal pairs, line-end
// conversion, "Open SatNOGS CSV" and the real two-field export.
#include "intake/satnogs_reader.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "intake/satnogs_text.hpp"
#include "sample_frames.hpp"
#include "satnogs_test_support.hpp"
#include "support/unprivileged_user.hpp"

namespace quorbel {
namespace {

using testing::FileNames;
using testing::Fixture;
using testing::TempFolder;
using Lines = std::vector<std::string_view>;
using Records = std::vector<std::pair<std::string, double>>;

// A,B,B,C with CR LF, LF or an unterminated last line is read through the reader below.
TEST(SatnogsText, EveryLineFromTheFirstToAnUnterminatedLastAndOnlyAdjacentRepeatsGo) {
    const struct {
        std::string_view text;
        Lines lines;
    } splits[] = {
        {"", {}},
        {"A\r\n\r\nB\n\nC", {"A", "", "B", "", "C"}},
        {"\r\n", {""}},
        {"x\ry\r\n", {"x\ry"}},  // a CR inside a line stays
    };
    for (const auto& c : splits)
        EXPECT_EQ(SplitLines(c.text), c.lines) << c.text;
    const struct {
        Lines in, out;
    } repeats[] = {
        {{"B", "A", "B"}, {"B", "A", "B"}},
        {{"A", "A", "A"}, {"A"}},
        {{"a", "A"}, {"a", "A"}},
        {{"", "", "x", ""}, {"", "x", ""}},
        {{}, {}},
    };
    for (const auto& c : repeats)
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
    TempFolder folder;
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
        EXPECT_EQ(TempFolder::Read(path), c.after) << c.name;
    }
    EXPECT_EQ(ConvertExportToCrLf(folder.File("missing.csv")), LineEndConversion::Failed);
    // A converted export keeps its permissions.
    const std::string privateExport = folder.Write("private.csv", std::string("A\n"));
    const auto ownerOnly = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
    std::filesystem::permissions(privateExport, ownerOnly);
    EXPECT_EQ(ConvertExportToCrLf(privateExport), LineEndConversion::Converted);
    EXPECT_EQ(std::filesystem::status(privateExport).permissions(), ownerOnly);
    EXPECT_EQ(FileNames(folder.Path()).size(), 6u);  // no temporary file left
}

// The folder belongs to the user (the unprivileged one when the tests run as root), who may read
// it but not write in it: the converted copy cannot be made beside the export.
TEST(SatnogsText, FailedConversionLeavesTheExportWhole) {
    TempFolder folder;
    if (const std::string problem = testing::UnprivilegedRunProblem(folder.Path());
        !problem.empty())
        GTEST_SKIP() << problem;
    const std::string path = folder.Write("lf.csv", std::string("A\nB\n"));
    ASSERT_TRUE(testing::GiveToUnprivilegedUser(folder.Path()));
    ASSERT_TRUE(testing::GiveToUnprivilegedUser(path));
    std::filesystem::permissions(
        folder.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const auto conversion = testing::RunUnprivileged([&path] {
        return std::string(ConvertExportToCrLf(path) == LineEndConversion::Failed ? "failed"
                                                                                  : "not failed");
    });
    EXPECT_EQ(conversion, "failed");
    std::filesystem::permissions(folder.Path(), std::filesystem::perms::owner_all);
    EXPECT_EQ(TempFolder::Read(path), "A\nB\n");
    EXPECT_EQ(FileNames(folder.Path()), std::vector<std::string>{"lf.csv"});
}

// A beacon line whose battery voltage (field 1) tells the lines apart.
std::string BeaconLine(const std::string& time, double battVoltage, bool lowerCase = false) {
    samples::FieldValues values{};
    values[1] = battVoltage;
    const char* digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    std::string line = time + "|";
    for (std::uint8_t b : samples::MakeBeacon(22, values)) {
        line += digits[b >> 4];
        line += digits[b & 15];
    }
    return line + "|8123456|Op-JN58td";
}

const std::string kA = BeaconLine("2023-01-15 12:34:59", 7401);
const std::string kB = BeaconLine("2023-01-15 12:34:58", 7402);
const std::string kC = BeaconLine("2023-01-15 12:34:57", 7403);

Records ReadRecords(const AppState& app) {
    Records records;
    for (int n = 1; n <= app.telemetry.Count(); ++n)
        records.emplace_back(app.telemetry.Record(n).rxTime, app.telemetry.Record(n).values[1]);
    return records;
}

std::string ReadLog(const std::string& path, const std::string& lines, const std::string& kept) {
    return "file: " + path + "\r\nrecords from SatNOGS: " + lines +
           "\r\nafter removing duplicates: " + kept + "\r\n\r\n";
}

TEST(SatnogsReader, EveryLineIsReadFromTheLastToTheFirstWithoutAdjacentRepeats) {
    for (const auto& [name, text] :
         {std::pair{"crlf.csv", kA + "\r\n" + kB + "\r\n" + kB + "\r\n" + kC + "\r\n"},
          {"unterminated.csv", kA + "\r\n" + kB + "\r\n" + kB + "\r\n" + kC},
          {"lf.csv", kA + "\n" + kB + "\n" + kB + "\n" + kC + "\n"}}) {
        SCOPED_TRACE(name);
        Fixture f;
        const std::string path = f.folder.Write(name, text);
        ReadSatnogsCsv(f.app, path);
        EXPECT_EQ(f.app.ui.readerLog, ReadLog(path, "4", "3"));
        EXPECT_EQ(ReadRecords(f.app), (Records{{"2023-01-15 12:34:57", 7403},
                                               {"2023-01-15 12:34:58", 7402},
                                               {"2023-01-15 12:34:59", 7401}}));
        EXPECT_FALSE(f.app.ui.busy);
        EXPECT_FALSE(f.app.ui.reading);
        EXPECT_FALSE(f.app.ui.progress.visible);
        EXPECT_EQ(f.app.ui.progress.max, 3);
    }
    Fixture f;  // an unreadable file
    const std::string missing = f.folder.File("missing.csv");
    ReadSatnogsCsv(f.app, missing);
    EXPECT_EQ(f.app.ui.readerLog, ReadLog(missing, "-1", "-1"));
    EXPECT_EQ(f.app.telemetry.Count(), 0);
    EXPECT_FALSE(f.app.ui.busy);
}

// Read from the bottom: the lower-case beacon first, then a 20-character line that only sets the
// receive time and dispatches nothing.
TEST(SatnogsReader, LowerCaseFramesKeepTheirCaseAndShortLinesOnlySetTheTime) {
    Fixture f;
    const std::string lower = BeaconLine("2023-01-15 12:34:56", 7400, true);
    const std::string path =
        f.folder.Write("lower.csv", "2023-02-02 02:02:02|\r\n\r\n" + lower + "\r\n");
    ReadSatnogsCsv(f.app, path);
    EXPECT_EQ(ReadRecords(f.app), (Records{{"2023-01-15 12:34:56", 7400}}));
    EXPECT_EQ(f.app.frame.rxTimeText, "2023-02-02 02:02:02");
    EXPECT_EQ(f.app.frame.hexText, lower.substr(20));  // frame, separators and fields 2 and 3
    EXPECT_NE(f.app.frame.hexText.find_first_of("abcdef"), std::string::npos);
}

TEST(SatnogsReader, OpenCommandConvertsLfFilesReadsThemInOrderAndAnalysesEach) {
    Fixture f;
    const std::string second = f.folder.Write("b.csv", kC + "\n" + kB + "\n");
    const std::string first = f.folder.Write("A.csv", kA + "\r\n");
    bool readingSeen = false;
    f.platform.onDoEvents = [&] { readingSeen = readingSeen || f.app.ui.reading; };
    OpenSatnogsExports(f.app, {second, first});
    EXPECT_TRUE(readingSeen);
    EXPECT_FALSE(f.app.ui.reading);
    EXPECT_EQ(TempFolder::Read(second), kC + "\r\n" + kB + "\r\n");  // converted on disk
    EXPECT_EQ(ReadRecords(f.app), (Records{{"2023-01-15 12:34:59", 7401},
                                           {"2023-01-15 12:34:58", 7402},
                                           {"2023-01-15 12:34:57", 7403}}));
    EXPECT_EQ(f.app.sourceFileName, second);
    EXPECT_EQ(f.app.ui.statusLine, second);
    // Each file's log lines are followed by its station report.
    const std::string& log = f.app.ui.readerLog;
    const std::size_t secondFile = log.find("file: " + second);
    EXPECT_LT(log.find("file: " + first), log.find("STATION STATISTICS"));
    EXPECT_LT(log.find("STATION STATISTICS"), secondFile);
    EXPECT_NE(log.find("STATION STATISTICS", secondFile), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(f.folder.File("b-stations.txt")));
    EXPECT_TRUE(std::filesystem::exists(f.folder.File("A-cleaned.csv")));
    EXPECT_TRUE(f.platform.messages.empty());
    // Cancelling the next open empties the log and the store and reads nothing.
    OpenSatnogsExports(f.app, {});
    EXPECT_EQ(f.app.ui.readerLog, "");
    EXPECT_EQ(f.app.telemetry.Count(), 0);
}

// Every pair of characters, the two-digit pairs read directly included, gives the byte that
// ParseHexValue gives; a last single character is a pair of its own.
TEST(SatnogsReader, EveryPairOfAFrameIsReadAsParseHexValueReadsIt) {
    std::string payload;
    std::vector<std::uint8_t> expected;
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            const char pair[] = {static_cast<char>(first), static_cast<char>(second)};
            payload.append(pair, 2);
            expected.push_back(ParseHexValue(std::string_view(pair, 2)));
        }
    }
    payload += 'c';
    expected.push_back(12);
    SatnogsFrame frame;
    ASSERT_EQ(ReadSatnogsLine("2023-01-15 12:34:56|" + payload, frame), SatnogsLineKind::Frame);
    EXPECT_EQ(frame.rxTimeText, "2023-01-15 12:34:56");
    EXPECT_EQ(frame.bytes, expected);
    EXPECT_EQ(frame.hexText, payload);
}

// An export of many blocks, with runs of repeats everywhere, mixed line ends and a last line
// without one, is read back from its last kept line to its first as the lines of the whole text.
TEST(SatnogsReader, BlocksReadBackwardsGiveTheKeptLinesOfTheWholeExport) {
    std::string text;
    for (int i = 0; i < 6000; ++i) {
        const std::string line = std::to_string(i) + "|" + std::string(40 + i * 7 % 500, 'A');
        for (int repeat = 0; repeat <= i % 4; ++repeat)
            text += line + (i % 5 == 0 ? "\n" : "\r\n");
    }
    text += "last|AB";
    TempFolder folder;
    const std::string path = folder.Write("export.csv", text);
    const std::optional<SatnogsIndex> index = IndexSatnogsExport(path);
    ASSERT_TRUE(index);
    const Lines lines = SplitLines(text);
    const Lines kept = RemoveAdjacentDuplicates(lines);
    EXPECT_EQ(index->lineCount, lines.size());
    EXPECT_EQ(index->keptCount, kept.size());
    EXPECT_GT(index->blocks.size(), 10u);
    std::vector<std::pair<std::size_t, std::string>> read;
    ReadKeptLinesBackwards(path, *index, [&](std::size_t number, std::string_view line) {
        read.emplace_back(number, line);
    });
    std::vector<std::pair<std::size_t, std::string>> expected;
    for (std::size_t number = kept.size(); number >= 1; --number)
        expected.emplace_back(number, kept[number - 1]);
    EXPECT_EQ(read, expected);
    EXPECT_FALSE(IndexSatnogsExport(folder.File("missing.csv")));
}

TEST(SatnogsReader, RealTwoFieldExportIsReadWholeAndRefusedByTheAnalysis) {
    const std::string real =
        std::string(QUORBEL_SHARED_TESTDATA) + "/real/satnogs-db-export-43617-month-head2000.csv";
    if (!std::filesystem::exists(real))
        GTEST_SKIP() << "no shared test data";
    Fixture f;
    const std::string original = TempFolder::Read(real);
    const std::string path = f.folder.Write("real.csv", original);
    OpenSatnogsExports(f.app, {path});
    // 2000 lines, 1273 once adjacent repeats are gone (counted independently of the reader).
    EXPECT_EQ(f.app.ui.readerLog, ReadLog(path, "2000", "1273"));
    ASSERT_EQ(f.platform.messages.size(), 1u);
    EXPECT_EQ(f.platform.messages[0].text, "Expected four columns on line 1");
    EXPECT_EQ(f.platform.messages[0].title, "Station analysis failed");
    EXPECT_EQ(TempFolder::Read(path), original);  // CR LF already: not rewritten
    EXPECT_EQ(FileNames(f.folder.Path()), std::vector<std::string>{"real.csv"});
    EXPECT_EQ(f.app.frame.rxTimeText, "2018-10-22 01:59:41");  // the first line, read last
}

}  // namespace
}  // namespace quorbel
