// Station analysis: the report and cleaned copy against golden files, output naming, percentages,
// and the failure path (message, warning box, nothing left behind).
#include "stations/station_analysis.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "satnogs_test_support.hpp"
#include "shell/app_state.hpp"

namespace quorbel {
namespace {

using testing::FakePlatform;
using testing::Golden;
using testing::ReadBytes;
using testing::ScratchFolder;

struct Fixture {
    FakePlatform platform;
    AppState app{platform};
    ScratchFolder folder;
};

TEST(StationAnalysis, ReportsAndCleanedCopiesMatchGoldenFiles) {
    for (const char* name : {"five_records", "every_removed", "blank_only", "case_and_ties"}) {
        SCOPED_TRACE(name);
        Fixture f;
        const std::string golden = std::string("stations/golden/") + name;
        const std::string input =
            f.folder.Write(std::string(name) + ".csv", Golden(golden + ".csv"));
        f.app.ui.Text5 = "before";
        AnalyseStations(f.app, input);
        EXPECT_TRUE(f.platform.messages.empty());
        const std::string report = Golden(golden + "-stations.txt");
        EXPECT_EQ(ReadBytes(f.folder.Path(std::string(name) + "-stations.txt")), report);
        EXPECT_EQ(ReadBytes(f.folder.Path(std::string(name) + "-cleaned.csv")),
                  Golden(golden + "-cleaned.csv"));
        EXPECT_EQ(f.app.ui.Text5, "before\r\n" + report);
        EXPECT_EQ(f.folder.Names().size(), 3u);  // input, cleaned copy, report: no temporary left
    }
}

TEST(StationAnalysis, OutputsAreNamedAfterTheInputsLastDotInItsFileName) {
    const struct {
        const char* input;
        const char* cleaned;
        const char* report;
    } cases[] = {
        {"/d/pass.csv", "/d/pass-cleaned.csv", "/d/pass-stations.txt"},
        {"/d/pass.2024.csv", "/d/pass.2024-cleaned.csv", "/d/pass.2024-stations.txt"},
        {"/d/export", "/d/export-cleaned.csv", "/d/export-stations.txt"},
        {"/home/op/sat.data/export", "/home/op/sat.data/export-cleaned.csv",
         "/home/op/sat.data/export-stations.txt"},
        {"C:\\sat.data\\export", "C:\\sat.data\\export-cleaned.csv",
         "C:\\sat.data\\export-stations.txt"},
        {"export.csv", "export-cleaned.csv", "export-stations.txt"},
    };
    for (const auto& c : cases) {
        StationOutputPaths paths = DeriveStationOutputPaths(c.input);
        EXPECT_EQ(paths.cleanedCopy, c.cleaned) << c.input;
        EXPECT_EQ(paths.report, c.report) << c.input;
    }
}

TEST(StationAnalysis, InputWithoutExtensionInADottedFolderGetsSuffixesOnTheWholePath) {
    Fixture f;
    std::filesystem::create_directories(f.folder.Path("sat.data"));
    const std::string input =
        f.folder.Write("sat.data/export", Golden("stations/golden/five_records.csv"));
    AnalyseStations(f.app, input);
    EXPECT_TRUE(f.platform.messages.empty());
    EXPECT_EQ(ReadBytes(input + "-stations.txt"),
              Golden("stations/golden/five_records-stations.txt"));
    EXPECT_EQ(ReadBytes(input + "-cleaned.csv"),
              Golden("stations/golden/five_records-cleaned.csv"));
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

TEST(StationAnalysis, FormatErrorsEndTheRunBeforeAnyOutputWithTheParsersMessage) {
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {FullLine("A") + "\r\n" + "2023-01-15 12:34:56|\"AB\"|1|B\r\n" + FullLine("A"),
         "Unsupported quotation marks on line 3"},
        {FullLine("A") + "   \r\n" + FullLine("B") + "2023-01-15|AB|B\r\n",
         "Expected four columns on line 4"},
        {FullLine("A") + FullLine("B|extra"), "Expected four columns on line 2"},
        // The last line counts even without its line end.
        {FullLine("A") + "x|y\"", "Unsupported quotation marks on line 2"},
    };
    for (const auto& c : cases) {
        Fixture f;
        const std::string input = f.folder.Write("export.csv", c.text);
        f.app.ui.Text5 = "log";
        AnalyseStations(f.app, input);
        ASSERT_EQ(f.platform.messages.size(), 1u);
        EXPECT_EQ(f.platform.messages[0].title, "Station analysis failed");
        EXPECT_EQ(f.platform.messages[0].text, c.message);
        EXPECT_EQ(f.platform.messages[0].icon, MessageIcon::Warning);
        EXPECT_EQ(f.app.ui.Text5, "log");
        EXPECT_EQ(f.folder.Names(), std::vector<std::string>{"export.csv"});
    }
}

std::string OperationFailed(int number) {
    return "Operation failed (error " + std::to_string(number) +
           "). Check the file paths, permissions and available disk space.";
}

// Root ignores permissions, so an output is made unwritable by a folder standing at its path.
TEST(StationAnalysis, OutputFailuresRemoveWhatTheRunWroteAndNameTheirNumber) {
    const struct {
        const char* blockedOutput;
        int number;
    } cases[] = {{"export-cleaned.csv", kCleanedCopyWriteError},
                 {"export-stations.txt", kReportWriteError}};
    for (const auto& c : cases) {
        Fixture f;
        const std::string input = f.folder.Write("export.csv", FullLine("A") + FullLine("B", 20));
        std::filesystem::create_directories(f.folder.Path(c.blockedOutput) + "/inside");
        AnalyseStations(f.app, input);
        ASSERT_EQ(f.platform.messages.size(), 1u);
        EXPECT_EQ(f.platform.messages[0].text, OperationFailed(c.number));
        EXPECT_EQ(f.app.ui.Text5, "");
        std::vector<std::string> expected{c.blockedOutput, "export.csv"};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(f.folder.Names(), expected);  // the finished cleaned copy is gone too
    }
}

TEST(StationAnalysis, MissingInputCreatesNothing) {
    Fixture f;
    AnalyseStations(f.app, f.folder.Path("missing.csv"));
    ASSERT_EQ(f.platform.messages.size(), 1u);
    EXPECT_EQ(f.platform.messages[0].text, OperationFailed(kInputUnreadableError));
    EXPECT_TRUE(f.folder.Names().empty());
}

TEST(StationAnalysis, ReadOnlyFolderFailsWithoutLeavingFiles) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    Fixture f;
    const std::string input = f.folder.Write("export.csv", FullLine("A"));
    std::filesystem::permissions(
        f.folder.Path(""), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    AnalyseStations(f.app, input);
    std::filesystem::permissions(f.folder.Path(""), std::filesystem::perms::owner_all);
    ASSERT_EQ(f.platform.messages.size(), 1u);
    EXPECT_EQ(f.platform.messages[0].text, OperationFailed(kCleanedCopyWriteError));
    EXPECT_EQ(f.folder.Names(), std::vector<std::string>{"export.csv"});
}

TEST(StationAnalysis, RealTwoFieldExportIsRefusedWithTheColumnCountMessage) {
    const std::string path =
        std::string(QUORBEL_SHARED_TESTDATA) + "/real/satnogs-db-export-43617-month-head2000.csv";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "no shared test data";
    Fixture f;
    const std::string input = f.folder.Write("real.csv", ReadBytes(path));
    AnalyseStations(f.app, input);
    ASSERT_EQ(f.platform.messages.size(), 1u);
    EXPECT_EQ(f.platform.messages[0].text, "Expected four columns on line 1");
    EXPECT_EQ(f.folder.Names(), std::vector<std::string>{"real.csv"});
}

}  // namespace
}  // namespace quorbel
