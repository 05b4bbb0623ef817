// Station analysis: the split of record lines and their format errors, the report and cleaned
// copy against golden files, output naming, percentages, and failures that leave nothing behind.
#include "stations/station_analysis.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "satnogs_test_support.hpp"
#include "stations/record_line.hpp"
#include "support/unprivileged_user.hpp"

namespace quorbel {
namespace {

using testing::FileNames;
using testing::Fixture;
using testing::Golden;
using testing::TempFolder;

// The four fields in brackets, or the error's number in hexadecimal, source and description.
std::string Parsed(std::string_view line, std::int32_t lineNumber) {
    const auto parsed = ParseRecordLine(line, lineNumber);
    if (const auto* error = std::get_if<StationAnalysisError>(&parsed)) {
        char number[16];
        std::snprintf(number, sizeof number, "%08X", static_cast<std::uint32_t>(error->number));
        return std::string(number) + " " + error->source + ": " + error->description;
    }
    std::string text;
    for (std::string_view field : std::get<RecordFields>(parsed))
        text += "[" + std::string(field) + "]";
    return text;
}

// Fields are kept as they stand; quotation marks are checked before the column count.
TEST(RecordLine, SplitsIntoExactlyFourFieldsOrGivesTheFormatErrorOfTheLine) {
    const struct {
        const char* line;
        std::int32_t lineNumber;
        const char* parsed;
    } cases[] = {
        {"2023-01-15 12:34:56|A1B2|7|MyStation-JN58td", 1,
         "[2023-01-15 12:34:56][A1B2][7][MyStation-JN58td]"},
        {"|||", 1, "[][][][]"},
        {" t | A1 |  | name ", 1, "[ t ][ A1 ][  ][ name ]"},
        {"a|b|c|d|e", 12, "800403F3 StationAnalysis: Expected four columns on line 12"},
        {"a|b|c", 3, "800403F3 StationAnalysis: Expected four columns on line 3"},
        {"no separators", 1, "800403F3 StationAnalysis: Expected four columns on line 1"},
        {"a|\"b\"|c|d", 7, "800403F2 StationAnalysis: Unsupported quotation marks on line 7"},
        {"\"", 2147483647,
         "800403F2 StationAnalysis: Unsupported quotation marks on line 2147483647"},
        {"a|\"|c|d|e|f", 5, "800403F2 StationAnalysis: Unsupported quotation marks on line 5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Parsed(c.line, c.lineNumber), c.parsed) << c.line;
    // Blank lines and trimmed station names are checked through the golden files.
    EXPECT_FALSE(IsBlankLine(" | "));
}

TEST(StationAnalysis, ReportsAndCleanedCopiesMatchGoldenFiles) {
    // The golden files' name, the input, and the output paths without their suffixes.
    const char* const cases[][3] = {
        {"five_records", "five_records.csv", "five_records"},
        {"every_removed", "every_removed.csv", "every_removed"},
        {"blank_only", "blank_only.csv", "blank_only"},
        {"case_and_ties", "case_and_ties.csv", "case_and_ties"},
        // No extension in a dotted folder: the suffixes go on the whole path.
        {"five_records", "sat.data/export", "sat.data/export"},
    };
    for (const auto& [name, inputName, outputName] : cases) {
        SCOPED_TRACE(inputName);
        Fixture f;
        const std::string golden = std::string("stations/golden/") + name;
        const auto folder = std::filesystem::path(f.folder.File(inputName)).parent_path();
        std::filesystem::create_directories(folder);
        const std::string input = f.folder.Write(inputName, Golden(golden + ".csv"));
        f.app.ui.readerLog = "before";
        AnalyseStations(f.app, input);
        EXPECT_TRUE(f.platform.messages.empty());
        const std::string report = Golden(golden + "-stations.txt");
        const std::string outputs = f.folder.File(outputName);
        EXPECT_EQ(TempFolder::Read(outputs + "-stations.txt"), report);
        EXPECT_EQ(TempFolder::Read(outputs + "-cleaned.csv"), Golden(golden + "-cleaned.csv"));
        EXPECT_EQ(f.app.ui.readerLog, "before\r\n" + report);
        // The input, the cleaned copy and the report: no temporary file left.
        EXPECT_EQ(FileNames(folder.string()).size(), 3u);
    }
}

// The golden runs cover an extension and a path without one in a dotted folder.
TEST(StationAnalysis, OutputsAreNamedAfterTheInputsLastDotInItsFileName) {
    const char* const cases[][3] = {
        {"/d/pass.2024.csv", "/d/pass.2024-cleaned.csv", "/d/pass.2024-stations.txt"},
        {"C:\\sat.data\\export", "C:\\sat.data\\export-cleaned.csv",
         "C:\\sat.data\\export-stations.txt"},
    };
    for (const auto& [input, cleaned, report] : cases) {
        const StationOutputPaths paths = DeriveStationOutputPaths(input);
        EXPECT_EQ(paths.cleanedCopy, cleaned) << input;
        EXPECT_EQ(paths.report, report) << input;
    }
}

TEST(StationAnalysis, FormatPercentHasFourDecimalsAndAPoint) {
    const struct {
        std::int32_t count, total;
        const char* text;
    } cases[] = {{1, 3, "33.3333"}, {2, 3, "66.6667"}, {3, 3, "100.0000"}, {0, 5, "0.0000"},
                 {0, 0, "0.0000"},  {7, 0, "0.0000"},  {1, 8, "12.5000"},  {1, 100000, "0.0010"}};
    for (const auto& c : cases)
        EXPECT_EQ(FormatPercent(c.count, c.total), c.text);
}

std::string FullLine(const std::string& station, std::size_t hexLength = 446) {
    return "2023-01-15 12:34:56|" + std::string(hexLength, 'A') + "|1|" + station + "\r\n";
}

std::string OperationFailed(int number) {
    return "Operation failed (error " + std::to_string(number) +
           "). Check the file paths, permissions and available disk space.";
}

// An export many times larger than the analysis reads at once: the last line of the file removes
// a station whose lines stand in every part of it, and the cleaned copy keeps the others in order.
TEST(StationAnalysis, LargeExportsAreJudgedWholeAndCopiedInOrder) {
    std::string text;
    std::string cleaned;
    for (int i = 0; i < 3000; ++i) {
        const std::string station = "S" + std::to_string(i % 7);
        const std::string line = FullLine(station, i == 2999 ? 300 : 446);
        text += line;
        if (station != "S3")
            cleaned += line;
        if (i % 100 == 0)
            text += "   \r\n";  // blank lines are never copied
    }
    Fixture f;
    AnalyseStations(f.app, f.folder.Write("export.csv", text));
    EXPECT_TRUE(f.platform.messages.empty());
    EXPECT_EQ(TempFolder::Read(f.folder.File("export-cleaned.csv")), cleaned);
    const std::string report = TempFolder::Read(f.folder.File("export-stations.txt"));
    for (const char* line :
         {"Original records: 3000\r\n", "Short records: 1\r\n", "Removed station groups: 1\r\n",
          "Removed records: 429\r\n", "Retained records: 2571\r\n"}) {
        EXPECT_NE(report.find(line), std::string::npos) << line;
    }
}

// Format errors end the run before any output; an unwritable output (a folder standing at its
// path, which root cannot write either) removes what the run wrote, the finished cleaned copy too.
TEST(StationAnalysis, FailuresShowTheirMessageAndLeaveNothingBehind) {
    const std::string twoStations = FullLine("A") + FullLine("B", 20);
    const struct {
        std::string text;  // empty: the input is missing
        const char* blockedOutput;
        std::string message;
    } cases[] = {
        {FullLine("A") + "\r\n" + "2023-01-15 12:34:56|\"AB\"|1|B\r\n" + FullLine("A"), nullptr,
         "Unsupported quotation marks on line 3"},
        {FullLine("A") + "   \r\n" + FullLine("B") + "2023-01-15|AB|B\r\n", nullptr,
         "Expected four columns on line 4"},
        {FullLine("A") + FullLine("B|extra"), nullptr, "Expected four columns on line 2"},
        // The last line counts even without its line end.
        {FullLine("A") + "x|y\"", nullptr, "Unsupported quotation marks on line 2"},
        {"", nullptr, OperationFailed(kInputUnreadableError)},
        {twoStations, "export-cleaned.csv", OperationFailed(kCleanedCopyWriteError)},
        {twoStations, "export-stations.txt", OperationFailed(kReportWriteError)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Fixture f;
        std::vector<std::string> names;
        if (c.blockedOutput) {
            std::filesystem::create_directories(f.folder.File(c.blockedOutput) + "/inside");
            names.push_back(c.blockedOutput);
        }
        if (!c.text.empty()) {
            f.folder.Write("export.csv", c.text);
            names.push_back("export.csv");
        }
        f.app.ui.readerLog = "log";
        AnalyseStations(f.app, f.folder.File("export.csv"));
        ASSERT_EQ(f.platform.messages.size(), 1u);
        EXPECT_EQ(f.platform.messages[0].title, "Station analysis failed");
        EXPECT_EQ(f.platform.messages[0].text, c.message);
        EXPECT_EQ(f.platform.messages[0].icon, MessageIcon::Warning);
        EXPECT_EQ(f.app.ui.readerLog, "log");
        EXPECT_EQ(FileNames(f.folder.Path()), names);
    }
}

// The first step, which runs beside the reader, puts nothing in place: the cleaned copy and the
// report appear with the second, and an analysis dropped before it leaves nothing behind.
TEST(StationAnalysis, OutputsAppearOnlyWhenTheAnalysisIsFinished) {
    Fixture f;
    const std::string input = f.folder.Write("export.csv", FullLine("A") + FullLine("B", 20));
    {
        StationAnalysis dropped(input);
        dropped.Prepare();
        const std::vector<std::string> names = FileNames(f.folder.Path());
        ASSERT_EQ(names.size(), 2u);
        EXPECT_TRUE(names[0].starts_with("export-cleaned.csv.part")) << names[0];
    }
    EXPECT_EQ(FileNames(f.folder.Path()), std::vector<std::string>{"export.csv"});
    StationAnalysis analysis(input);
    analysis.Prepare();
    EXPECT_FALSE(analysis.Finish().failure);
    EXPECT_EQ(
        FileNames(f.folder.Path()),
        (std::vector<std::string>{"export-cleaned.csv", "export-stations.txt", "export.csv"}));
    EXPECT_EQ(TempFolder::Read(f.folder.File("export-cleaned.csv")), FullLine("A"));
}

// The folder belongs to the user (the unprivileged one when the tests run as root), who may read
// it but not write in it.
TEST(StationAnalysis, ReadOnlyFolderFailsWithoutLeavingFiles) {
    Fixture f;
    if (const std::string problem = testing::UnprivilegedRunProblem(f.folder.Path());
        !problem.empty())
        GTEST_SKIP() << problem;
    const std::string input = f.folder.Write("export.csv", FullLine("A"));
    ASSERT_TRUE(testing::GiveToUnprivilegedUser(f.folder.Path()));
    ASSERT_TRUE(testing::GiveToUnprivilegedUser(input));
    std::filesystem::permissions(
        f.folder.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const auto messages = testing::RunUnprivileged([&f, &input] {
        AnalyseStations(f.app, input);
        std::string texts;
        for (const MessageBoxRequest& message : f.platform.messages)
            texts += message.text + "\n";
        return texts;
    });
    std::filesystem::permissions(f.folder.Path(), std::filesystem::perms::owner_all);
    EXPECT_EQ(messages, OperationFailed(kCleanedCopyWriteError) + "\n");
    EXPECT_EQ(FileNames(f.folder.Path()), std::vector<std::string>{"export.csv"});
}

}  // namespace
}  // namespace quorbel
