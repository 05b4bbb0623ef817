// quorbel-cli and the mission archive, end to end on a real SQLite file: reads and imports fill it,
// archive-open gives back what the reads gave, queries agree with the frames, failures of the
// archive are said once and fail the tool while decoding goes on.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "cli_run.hpp"
#include "intake/dispatch.hpp"
#include "intake/kiss_file_reader.hpp"
#include "sample_frames.hpp"
#include "satnogs_gen.hpp"
#include "shell/commands/archive_commands.hpp"
#include "support/mounted_folder.hpp"
#include "support/state_json.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

using nlohmann::json;
using testing::CliRun;
using testing::DumpedState;
using testing::RunCliIn;

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The parts of a dumped state a read fills: the stores, the record shown, the chart, the message
// log and the SSDV packets.
json Stores(const json& state) {
    json stores;
    for (const char* key :
         {"telemetryCount", "sensorCount", "fieldValues", "satelliteName", "receiveTimeText",
          "recordCounter", "chart", "messageLog", "ssdvPackets", "ssdvListing"})
        stores[key] = state[key];
    return stores;
}

class ArchiveCliTest : public testing::PassInFolderTest {
  protected:
    std::string archive;

    void SetUp() override {
        PassInFolderTest::SetUp();
        folder.Write("conf.ini", std::string("STATION = DL0Test\n"));
        archive = folder.File("archive.sqlite");
    }

    std::string Export(int lines, std::uint32_t seed = 5) {
        tools::SatnogsExportOptions options;
        options.lines = lines;
        options.seed = seed;
        return folder.Write("obs.csv", tools::GenerateSatnogsExport(options));
    }
    json Stats() {
        const CliRun run = RunCliIn({"archive-stats"}, folder.Path());
        EXPECT_EQ(run.status, 0) << run.err;
        return json::parse(run.out);
    }
};

TEST_F(ArchiveCliTest, ArchiveOpenGivesWhatTheReadsGave) {
    // A capture, then an export: each read archives its frames. (The sample pass repeats its
    // first digipeated message within ten minutes: the archive holds it once, as one frame
    // received twice; here the pass holds two different ones.)
    samples::PassOptions options;
    options.beacons = 150;
    options.sensorFrames = 120;
    options.digipeatedMessages = 2;
    capture = folder.Write("pass.kss", samples::MakePassCapture(options));
    const CliRun read =
        RunCliIn({"--locale", "C", "open-kiss", capture, "dump-state"}, folder.Path());
    ASSERT_EQ(read.status, 0) << read.err;
    const CliRun opened = RunCliIn({"--locale", "C", "archive-open", "dump-state"}, folder.Path());
    ASSERT_EQ(opened.status, 0) << opened.err;
    const json state = DumpedState(opened.out);
    EXPECT_EQ(Stores(state), Stores(DumpedState(read.out)));
    EXPECT_EQ(state["archiveText"], "Archive: " + archive);
    EXPECT_NE(testing::StateText(state, "readerLog").find("archive: " + archive),
              std::string::npos);

    const std::string csv = Export(400);
    const CliRun exportRead =
        RunCliIn({"--locale", "C", "open-satnogs", csv, "dump-state"}, folder.Path());
    ASSERT_EQ(exportRead.status, 0) << exportRead.err;
    // The export's frames lie in another time: a range around them gives the export's read.
    const CliRun exportOpened = RunCliIn({"--locale", "C", "archive-open", "--from", "2020-01-01",
                                          "--to", "2023-11-01", "dump-state"},
                                         folder.Path());
    ASSERT_EQ(exportOpened.status, 0) << exportOpened.err;
    EXPECT_EQ(Stores(DumpedState(exportOpened.out))["telemetryCount"],
              Stores(DumpedState(exportRead.out))["telemetryCount"]);
    EXPECT_EQ(Stores(DumpedState(exportOpened.out))["sensorCount"],
              Stores(DumpedState(exportRead.out))["sensorCount"]);

    // The capture's frames carry the station of conf.ini, the export's their own.
    const json stats = Stats();
    EXPECT_EQ(stats["frames"]["beacon"].get<int>(),
              150 + DumpedState(exportRead.out)["telemetryCount"].get<int>());
    bool station = false;
    for (const json& entry : stats["stations"])
        station = station || (entry["station"] == "DL0Test" && entry["frames"] == 283);
    EXPECT_TRUE(station) << stats["stations"];
    EXPECT_GT(stats["stations"].size(), 2u);
}

TEST_F(ArchiveCliTest, ImportTwiceAddsNothingAndStatsSayWhatIsHeld) {
    CliRun run = RunCliIn({"archive-import", capture}, folder.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    // The sample pass: 284 frames, its first digipeated message received again within ten
    // minutes, so one frame with two receptions.
    EXPECT_EQ(run.out, "files: 1\nframes read: 284\nnew frames: 283\nnew receptions: 284\n");
    const json pass = Stats();
    const std::string csv = Export(300);
    run = RunCliIn({"archive-import", capture, csv}, folder.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("files: 2\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("new frames: 0\n"), std::string::npos) << run.out;
    // Nothing of the window's work: no station report, no packet files.
    EXPECT_FALSE(std::filesystem::exists(folder.File("obs-stations.txt")));
    EXPECT_FALSE(std::filesystem::exists(folder.File("ssdv_002.bin")));
    const json first = Stats();

    run = RunCliIn({"archive-import", csv, capture}, folder.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("new frames: 0\nnew receptions: 0\n"), std::string::npos) << run.out;
    EXPECT_EQ(Stats(), first);

    // The pass: 150 beacons, 120 sensor frames, 4 texts, 2 digipeated messages (one received
    // twice), 6 SSDV packets and one unknown frame, from 2023-11-14 22:13:20 UTC on; the export's
    // frames before it.
    EXPECT_EQ(pass["location"], archive);
    EXPECT_EQ(pass["schemaVersion"], 1);
    EXPECT_GT(pass["fileBytes"].get<long long>(), 0);
    EXPECT_EQ(pass["frames"], json({{"beacon", 150},
                                    {"sensor", 120},
                                    {"text", 4},
                                    {"digipeater", 2},
                                    {"ssdv", 6},
                                    {"other", 1}}))
        << pass["frames"];
    EXPECT_EQ(pass["receptions"]["digipeater"], 3);
    EXPECT_EQ(pass["firstRxTime"], "2023-11-14 22:13:20.000");
    EXPECT_EQ(pass["stations"], json::array({{{"station", "DL0Test"}, {"frames", 283}}}));
    EXPECT_EQ(first["lastRxTime"], pass["lastRxTime"]);
    EXPECT_LT(first["firstRxTime"].get<std::string>(), "2023-01-16");

    // A file that is not there is named; the others are imported; the tool fails.
    run = RunCliIn({"archive-import", folder.File("none.kss"), capture}, folder.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(folder.File("none.kss") + " could not be read"), std::string::npos);
    EXPECT_NE(run.out.find("files: 1\n"), std::string::npos);
}

// Field 1 (the battery voltage) and its receive times, decoded here from the capture's frames.
std::vector<std::pair<std::int64_t, double>> BatteryVoltages(const std::string& capturePath) {
    const std::string bytes = testing::TempFolder::Read(capturePath);
    std::vector<std::pair<std::int64_t, double>> values;
    KissDeframer deframer{kMaxCaptureFrameBytes};
    CapturePiece piece;
    std::string stamp;
    FrameState frame;
    deframer.Feed(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                  [&](std::span<const std::uint8_t> escaped) {
                      ReadCapturePiece(escaped, piece);
                      if (piece.kind == CapturePiece::Kind::Stamp)
                          stamp = piece.stampTime;
                      if (piece.kind != CapturePiece::Kind::Frame)
                          return;
                      const DecodedFrame decoded = DispatchFrame(frame, piece.DataFrame());
                      if (decoded.kind == FrameKind::Beacon)
                          values.emplace_back(*ReceiveTimeMs(stamp), decoded.record.values[1]);
                  });
    return values;
}

std::vector<std::vector<std::string>> Rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.ends_with('\r'))
            line.pop_back();
        std::vector<std::string> cells;
        std::istringstream in(line);
        for (std::string cell; std::getline(in, cell, ';');)
            cells.push_back(cell);
        rows.push_back(cells);
    }
    return rows;
}

TEST_F(ArchiveCliTest, QueriesAgreeWithTheFrames) {
    ASSERT_EQ(RunCliIn({"archive-import", capture}, folder.Path()).status, 0);
    const auto voltages = BatteryVoltages(capture);
    ASSERT_EQ(voltages.size(), 150u);

    // Points: every beacon's value at its time, by index or by caption alike.
    CliRun run = RunCliIn({"archive-query", "1"}, folder.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    const auto points = Rows(run.out);
    ASSERT_EQ(points.size(), 151u);
    EXPECT_EQ(points[0], (std::vector<std::string>{"time", "value"}));
    for (std::size_t i = 0; i < voltages.size(); ++i) {
        EXPECT_EQ(points[i + 1][0], FormatUtcMs(voltages[i].first));
        EXPECT_EQ(std::stod(points[i + 1][1]), voltages[i].second);
    }
    EXPECT_EQ(RunCliIn({"archive-query", "batt voltage"}, folder.Path()).out, run.out);

    // Buckets: together they hold every value once, with its extremes and its sum.
    const std::string csv = folder.File("battery.csv");
    run =
        RunCliIn({"archive-query", "Batt Voltage", "--buckets", "7", "--csv", csv}, folder.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    // A text file the program writes: every line ends with CR LF.
    const std::string csvText = testing::TempFolder::Read(csv);
    EXPECT_EQ(Count(csvText, "\n"), Count(csvText, "\r\n"));
    const auto buckets = Rows(csvText);
    ASSERT_GE(buckets.size(), 2u);
    EXPECT_LE(buckets.size(), 8u);
    EXPECT_EQ(buckets[0],
              (std::vector<std::string>{"bucket start", "min", "max", "mean", "count"}));
    double low = INFINITY, high = -INFINITY, sum = 0;
    long long count = 0;
    for (std::size_t i = 1; i < buckets.size(); ++i) {
        low = std::min(low, std::stod(buckets[i][1]));
        high = std::max(high, std::stod(buckets[i][2]));
        sum += std::stod(buckets[i][3]) * std::stoll(buckets[i][4]);
        count += std::stoll(buckets[i][4]);
    }
    double expectedSum = 0, expectedLow = INFINITY, expectedHigh = -INFINITY;
    for (const auto& [time, value] : voltages) {
        expectedSum += value;
        expectedLow = std::min(expectedLow, value);
        expectedHigh = std::max(expectedHigh, value);
    }
    EXPECT_EQ(count, 150);
    EXPECT_EQ(low, expectedLow);
    EXPECT_EQ(high, expectedHigh);
    EXPECT_NEAR(sum, expectedSum, 1e-6 * std::abs(expectedSum));

    // A range: the beacons of its first minute only.
    run = RunCliIn(
        {"archive-query", "1", "--from", "2023-11-14T22:13:20Z", "--to", "2023-11-14 22:14"},
        folder.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    const auto inRange = std::count_if(voltages.begin(), voltages.end(), [](const auto& v) {
        return v.first >= 1700000000000 && v.first < 1700000040000;
    });
    EXPECT_EQ(Rows(run.out).size(), static_cast<std::size_t>(inRange) + 1);
}

TEST_F(ArchiveCliTest, ArchiveOffWritesNothingAndHelpNamesTheArchive) {
    CliRun run = RunCliIn({"--archive", "off", "open-kiss", capture, "dump-state"}, folder.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(DumpedState(run.out)["archiveText"], "Archive: off");
    EXPECT_FALSE(std::filesystem::exists(archive));
    run = RunCliIn({"--archive", "off", "archive-stats"}, folder.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no archive (Archive: off)"), std::string::npos);

    EXPECT_NE(RunCliIn({"--help"}, folder.Path()).out.find("Archive: " + archive + "\n"),
              std::string::npos);
    folder.Write("conf.ini", std::string("ARCHIVE = off\n"));
    EXPECT_NE(RunCliIn({"--help"}, folder.Path()).out.find("Archive: off\n"), std::string::npos);
    ASSERT_EQ(RunCliIn({"open-kiss", capture}, folder.Path()).status, 0);
    EXPECT_FALSE(std::filesystem::exists(archive));
    // --archive goes over conf.ini; a relative path lies in the application folder.
    EXPECT_NE(RunCliIn({"--archive", "sub.sqlite", "--help"}, folder.Path())
                  .out.find("Archive: " + folder.File("sub.sqlite") + "\n"),
              std::string::npos);
    ASSERT_EQ(RunCliIn({"--archive", "sub.sqlite", "open-kiss", capture}, folder.Path()).status, 0);
    EXPECT_TRUE(std::filesystem::exists(folder.File("sub.sqlite")));
}

TEST_F(ArchiveCliTest, AnArchiveThatCannotBeWrittenIsSaidOnceAndDecodingGoesOn) {
    // A read-only place: the archive cannot be made.
    const testing::MountedFolder readOnly =
        testing::MountedFolder::ReadOnly(folder.Path() + "/read-only");
    ASSERT_TRUE(readOnly.Ready()) << readOnly.Problem();
    CliRun run = RunCliIn(
        {"--archive", readOnly.Path() + "/archive.sqlite", "open-kiss", capture, "dump-state"},
        folder.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Count(run.err, "quorbel-cli: "), 1u) << run.err;
    EXPECT_NE(run.err.find("archive cannot be opened"), std::string::npos) << run.err;
    EXPECT_EQ(DumpedState(run.out)["telemetryCount"], 150);

    // A disk that fills up while the frames are written: 512 KiB for a megabyte of frames.
    const testing::MountedFolder disk =
        testing::MountedFolder::Small(folder.Path() + "/disk", 512 << 10);
    if (!disk.Ready())
        GTEST_SKIP() << "no full disk to write to: " << disk.Problem();
    samples::PassOptions big;
    big.beacons = 3000;
    big.sensorFrames = 3000;
    const std::string large = folder.Write("large.kss", samples::MakePassCapture(big));
    run = RunCliIn({"--archive", disk.Path() + "/archive.sqlite", "open-kiss", large, "dump-state"},
                   folder.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Count(run.err, "quorbel-cli: "), 1u) << run.err;
    EXPECT_NE(run.err.find("frames not archived: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("no room left"), std::string::npos) << run.err;
    EXPECT_EQ(DumpedState(run.out)["telemetryCount"], 3000);
    // Again on the full disk, whether the archive can still be opened or not.
    run = RunCliIn({"--archive", disk.Path() + "/archive.sqlite", "archive-import", large},
                   folder.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Count(run.err, "quorbel-cli: "), 1u) << run.err;
}

TEST_F(ArchiveCliTest, AnArchiveOfANewerVersionIsRefusedAndTheToolGoesOn) {
    ASSERT_EQ(RunCliIn({"archive-import", capture}, folder.Path()).status, 0);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(archive.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    const auto size = std::filesystem::file_size(archive);

    const CliRun run = RunCliIn({"open-kiss", capture, "dump-state"}, folder.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("newer version"), std::string::npos) << run.err;
    EXPECT_EQ(Count(run.err, "quorbel-cli: "), 1u) << run.err;
    const json state = DumpedState(run.out);
    EXPECT_EQ(state["telemetryCount"], 150);
    EXPECT_NE(testing::StateText(state, "archiveText").find("cannot be opened"), std::string::npos);
    EXPECT_EQ(std::filesystem::file_size(archive), size);
    // Commands that archive nothing do not fail for it.
    EXPECT_EQ(RunCliIn({"dump-state"}, folder.Path()).status, 0);
}

}  // namespace
}  // namespace quorbel
