// The SatNOGS CSV reader and "Open SatNOGS CSV": counts, order, receive times, hexadecimal text,
// LF-only files, the edges of an export and the real two-field export.
#include "intake/satnogs_reader.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "intake/satnogs_text.hpp"
#include "sample_frames.hpp"
#include "satnogs_test_support.hpp"
#include "shell/app_state.hpp"

namespace quorbel {
namespace {

using testing::FakePlatform;
using testing::ReadBytes;
using testing::ScratchFolder;

struct Fixture {
    FakePlatform platform;
    AppState app{platform};
    ScratchFolder folder;
};

std::string ToHex(const samples::Bytes& bytes, bool lowerCase = false) {
    const char* digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    std::string hex;
    for (std::uint8_t b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

// A beacon line whose battery voltage (field 1) tells the lines apart.
std::string BeaconLine(const std::string& time, double battVoltage, bool lowerCase = false) {
    samples::FieldValues values{};
    values[1] = battVoltage;
    return time + "|" + ToHex(samples::MakeBeacon(22, values), lowerCase) + "|8123456|Op-JN58td";
}

const std::string kA = BeaconLine("2023-01-15 12:34:59", 7401);
const std::string kB = BeaconLine("2023-01-15 12:34:58", 7402);
const std::string kC = BeaconLine("2023-01-15 12:34:57", 7403);

std::vector<std::pair<std::string, double>> Records(const AppState& app) {
    std::vector<std::pair<std::string, double>> records;
    for (int n = 1; n <= app.telemetry.Count(); ++n) {
        records.emplace_back(app.telemetry.Record(n).rxTime, app.telemetry.Record(n).values[1]);
    }
    return records;
}

TEST(SatnogsReader, EveryLineIsReadFromTheLastToTheFirstWithoutAdjacentRepeats) {
    const std::vector<std::pair<std::string, double>> expected{{"2023-01-15 12:34:57", 7403},
                                                               {"2023-01-15 12:34:58", 7402},
                                                               {"2023-01-15 12:34:59", 7401}};
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"crlf.csv", kA + "\r\n" + kB + "\r\n" + kB + "\r\n" + kC + "\r\n"},
        {"unterminated.csv", kA + "\r\n" + kB + "\r\n" + kB + "\r\n" + kC},
        {"lf.csv", kA + "\n" + kB + "\n" + kB + "\n" + kC + "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        const std::string path = f.folder.Write(c.name, c.text);
        ReadSatnogsCsv(f.app, path);
        EXPECT_EQ(f.app.ui.Text5, "file: " + path +
                                      "\r\nrecords from SatNOGS: 4\r\nafter removing duplicates: "
                                      "3\r\n\r\n");
        EXPECT_EQ(Records(f.app), expected);
        EXPECT_FALSE(f.app.ui.Busy);
        EXPECT_FALSE(f.app.ui.Reading);
        EXPECT_FALSE(f.app.ui.ProgressBar1.visible);
        EXPECT_EQ(f.app.ui.ProgressBar1.max, 3);
    }
}

TEST(SatnogsReader, LowerCaseFramesGiveTheSameBytesAndKeepTheirCaseInTheHexText) {
    Fixture f;
    const std::string lower = BeaconLine("2023-01-15 12:34:56", 7400, true);
    const std::string path = f.folder.Write("lower.csv", lower + "\r\n");
    ReadSatnogsCsv(f.app, path);
    ASSERT_EQ(f.app.telemetry.Count(), 1);
    EXPECT_EQ(f.app.telemetry.Record(1).values[1], 7400);
    EXPECT_EQ(f.app.telemetry.Record(1).rxTime, "2023-01-15 12:34:56");
    EXPECT_EQ(f.app.frame.hexText, lower.substr(20));  // frame, separators and fields 2 and 3
    EXPECT_NE(f.app.frame.hexText.find_first_of("abcdef"), std::string::npos);
}

TEST(SatnogsReader, ShortLinesSetTheTimeButDispatchNothing) {
    Fixture f;
    // Read from the bottom: the beacon first, then a 20-character line that only sets the time.
    const std::string path =
        f.folder.Write("short.csv", "2023-02-02 02:02:02|\r\n\r\n" + kA + "\r\n");
    ReadSatnogsCsv(f.app, path);
    EXPECT_EQ(f.app.telemetry.Count(), 1);
    EXPECT_EQ(f.app.frame.rxTimeText, "2023-02-02 02:02:02");
}

TEST(SatnogsReader, UnreadableFileLogsMinusOneAndAddsNothing) {
    Fixture f;
    const std::string path = f.folder.Path("missing.csv");
    ReadSatnogsCsv(f.app, path);
    EXPECT_EQ(f.app.ui.Text5, "file: " + path +
                                  "\r\nrecords from SatNOGS: -1\r\nafter removing duplicates: "
                                  "-1\r\n\r\n");
    EXPECT_EQ(f.app.telemetry.Count(), 0);
    EXPECT_FALSE(f.app.ui.Busy);
}

TEST(SatnogsReader, OpenCommandConvertsLfFilesReadsThemInOrderAndAnalysesEach) {
    Fixture f;
    const std::string second = f.folder.Write("b.csv", kC + "\n" + kB + "\n");
    const std::string first = f.folder.Write("A.csv", kA + "\r\n");
    f.platform.ChooseFiles({second, first});
    bool readingSeen = false;
    f.platform.onDoEvents = [&] { readingSeen = readingSeen || f.app.ui.Reading; };
    MnuOpenServerLog_Click(f.app);
    EXPECT_TRUE(readingSeen);
    EXPECT_FALSE(f.app.ui.Reading);
    ASSERT_EQ(f.platform.dialogs.size(), 1u);
    EXPECT_EQ(f.platform.dialogs[0].filter, "Log Files (*.csv)|*.csv|All Files (*.*)|*.*");
    EXPECT_EQ(ReadBytes(second), kC + "\r\n" + kB + "\r\n");  // converted on disk
    EXPECT_EQ(Records(f.app),
              (std::vector<std::pair<std::string, double>>{{"2023-01-15 12:34:59", 7401},
                                                           {"2023-01-15 12:34:58", 7402},
                                                           {"2023-01-15 12:34:57", 7403}}));
    EXPECT_EQ(f.app.sourceFileName, second);
    EXPECT_EQ(f.app.ui.Text4, second);
    // Each file's log lines are followed by its station report.
    const std::string& log = f.app.ui.Text5;
    const std::size_t firstFile = log.find("file: " + first);
    const std::size_t secondFile = log.find("file: " + second);
    ASSERT_NE(firstFile, std::string::npos);
    ASSERT_NE(secondFile, std::string::npos);
    EXPECT_EQ(log.find("STATION STATISTICS", firstFile), log.find("STATION STATISTICS"));
    EXPECT_LT(log.find("STATION STATISTICS"), secondFile);
    EXPECT_NE(log.find("STATION STATISTICS", secondFile), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(f.folder.Path("b-stations.txt")));
    EXPECT_TRUE(std::filesystem::exists(f.folder.Path("A-cleaned.csv")));
    EXPECT_TRUE(f.platform.messages.empty());
}

TEST(SatnogsReader, CancellingTheDialogReadsNothing) {
    Fixture f;
    f.app.ui.Text5 = "old log";
    f.app.telemetry.Take();
    MnuOpenServerLog_Click(f.app);
    EXPECT_EQ(f.app.ui.Text5, "");
    EXPECT_EQ(f.app.telemetry.Count(), 0);
    EXPECT_TRUE(f.app.sourceFileName.empty());
}

TEST(SatnogsReader, RealTwoFieldExportIsReadWholeAndRefusedByTheAnalysis) {
    const std::string real =
        std::string(QUORBEL_SHARED_TESTDATA) + "/real/satnogs-db-export-43617-month-head2000.csv";
    if (!std::filesystem::exists(real))
        GTEST_SKIP() << "no shared test data";
    Fixture f;
    const std::string original = ReadBytes(real);
    const std::string path = f.folder.Write("real.csv", original);
    f.platform.ChooseFiles({path});
    MnuOpenServerLog_Click(f.app);
    // 2000 lines, 1273 once adjacent repeats are gone (counted independently of the reader).
    EXPECT_EQ(f.app.ui.Text5, "file: " + path +
                                  "\r\nrecords from SatNOGS: 2000\r\nafter removing duplicates: "
                                  "1273\r\n\r\n");
    ASSERT_EQ(f.platform.messages.size(), 1u);
    EXPECT_EQ(f.platform.messages[0].text, "Expected four columns on line 1");
    EXPECT_EQ(ReadBytes(path), original);  // CR LF already: not rewritten
    EXPECT_EQ(f.folder.Names(), std::vector<std::string>{"real.csv"});
    EXPECT_EQ(f.app.frame.rxTimeText, "2018-10-22 01:59:41");  // the first line, read last
}

}  // namespace
}  // namespace quorbel
