// The archive in the running program: its location from conf.ini, every source's frames handed
// to it with their source, station and file, its failures reported once, and the stored frames
// read back into the window as a file read fills it.
#include "shell/commands/archive_commands.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <limits>
#include <memory>

#include "sample_frames.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "support/fake_platform.hpp"
#include "support/memory_archive.hpp"
#include "support/pass_frames.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::MemoryArchive;
using testing::MemoryArchiveContents;

constexpr std::int64_t kStart = 1700000000000;  // 2023-11-14 22:13:20 UTC

struct ArchiveSession {
    testing::FakePlatform platform;
    AppState app{platform};
    std::shared_ptr<MemoryArchiveContents> contents = std::make_shared<MemoryArchiveContents>();
    int opened = 0;

    ArchiveSession(const std::string& appDir, const std::string& conf = "STATION = dl0Abc\n") {
        std::ofstream(appDir + "/conf.ini", std::ios::binary) << conf;
        app.settings.appDir = appDir;
        StartUp(app);
        OpenArchive(app, [this](const std::string&) {
            ++opened;
            return std::make_unique<MemoryArchive>(contents);
        });
    }
    // Every reception handed on so far, once the writer has written it.
    const std::vector<Reception>& Receptions() {
        app.archive->Flush();
        return contents->receptions;
    }
};

samples::PassOptions SmallPass() {
    return testing::PassWithFrames(5, 4, 2, 1, 0, 0);
}

TEST(ArchiveCommands, LocationFollowsConfIni) {
    testing::TempFolder folder;
    const std::string dir = folder.Path();
    struct Case {
        const char* conf;
        std::optional<std::string> location;
        const char* station;
    };
    const Case cases[] = {
        {"", dir + "/archive.sqlite", ""},
        {"ARCHIVE =\n", dir + "/archive.sqlite", ""},
        {"archive = Off\nstation = My Station\n", std::nullopt, "My Station"},
        {"ARCHIVE = Data/Mission.sqlite\n", dir + "/Data/Mission.sqlite", ""},
        {"ARCHIVE = /srv/Archive.sqlite\r\nSTATION=DL0ABC\r\n", "/srv/Archive.sqlite", "DL0ABC"},
    };
    for (const Case& c : cases) {
        testing::FakePlatform platform;
        AppState app(platform);
        app.settings.appDir = dir;
        folder.Write("conf.ini", std::string(c.conf));
        StartUp(app);
        EXPECT_EQ(ArchiveLocation(app.settings), c.location) << c.conf;
        EXPECT_EQ(app.settings.station, c.station) << c.conf;
        EXPECT_EQ(DescribeArchiveSetting(app.settings), "Archive: " + c.location.value_or("off"));
    }
}

TEST(ArchiveCommands, EverySourceHandsItsFramesOn) {
    testing::TempFolder folder;
    ArchiveSession session(folder.Path());
    AppState& app = session.app;
    ASSERT_NE(app.archive, nullptr);
    EXPECT_EQ(app.ui.archiveText, "Archive: " + folder.Path() + "/archive.sqlite");

    // A capture: its stamps' times, the station of conf.ini, the file's absolute path.
    const std::string capture = folder.Write("pass.kss", samples::MakePassCapture(SmallPass()));
    OpenCaptureFiles(app, {capture});
    std::vector<Reception> receptions = session.Receptions();
    ASSERT_EQ(receptions.size(), 12u);  // every frame of the pass, messages included
    for (const Reception& reception : receptions) {
        EXPECT_EQ(reception.source, ReceptionSource::CaptureFile);
        EXPECT_EQ(reception.station, "dl0Abc");
        EXPECT_EQ(reception.sourceFile, capture);
        EXPECT_EQ(reception.rxTimeMs, ReceiveTimeMs(reception.rxTimeText));
        EXPECT_EQ(reception.bytes.size(), samples::kTransferFrameLength);
    }
    EXPECT_EQ(receptions.front().rxTimeMs, kStart);

    // An export: each line's own time and station (field 3, trimmed), bytes as dispatched.
    const Bytes beacon = samples::MakeBeacon(22, samples::FieldValues{});
    std::string hex;
    AppendHex(hex, beacon);
    const std::string line2 = "2024-03-01 10:00:05|" + hex + "|123| Station B \r\n";
    const std::string line1 = "2024-03-01 10:00:00|" + hex + "|122|Station A\r\n";
    const std::string csv = folder.Write("obs.csv", "header\r\n" + line2 + line1 + "\r\n");
    OpenSatnogsExports(app, {csv});
    receptions = session.Receptions();
    ASSERT_EQ(receptions.size(), 14u);
    const Reception& first = receptions[12];  // the last line is read first
    EXPECT_EQ(first.source, ReceptionSource::Export);
    EXPECT_EQ(first.station, "Station A");
    EXPECT_EQ(first.sourceFile, csv);
    EXPECT_EQ(first.rxTimeText, "2024-03-01 10:00:00");
    EXPECT_EQ(first.rxTimeMs, 1709287200000);
    EXPECT_EQ(receptions[13].station, "Station B");

    // A live arrival: the clock's reading, the station of conf.ini, no file.
    session.platform.now = std::chrono::system_clock::time_point(std::chrono::milliseconds(kStart));
    const Bytes live = samples::MakeFrame(22, 300, Bytes(60, 1));
    ReceiveLiveBytes(app, samples::KissDataFrame(live));
    receptions = session.Receptions();
    ASSERT_EQ(receptions.size(), 15u);
    EXPECT_EQ(receptions.back().source, ReceptionSource::Live);
    EXPECT_EQ(receptions.back().station, "dl0Abc");
    EXPECT_EQ(receptions.back().sourceFile, "");
    EXPECT_EQ(receptions.back().rxTimeMs, kStart);
    EXPECT_EQ(receptions.back().bytes, live);
    // After the arrival, frames are live until a read says otherwise.
    EXPECT_EQ(app.receptionSource, ReceptionSource::Live);
}

TEST(ArchiveCommands, FailureIsReportedOnceAndDecodingGoesOn) {
    testing::TempFolder folder;
    ArchiveSession session(folder.Path());
    AppState& app = session.app;
    session.contents->failWrites = true;
    const std::string capture = folder.Write("pass.kss", samples::MakePassCapture(SmallPass()));
    // The failure is said at the end of the read when the writer has met it by then, else at the
    // next check: once either way.
    CommandOutcome outcome = OpenCaptureFiles(app, {capture});
    EXPECT_EQ(app.telemetry.Count(), 5);  // decoding went on
    app.archive->Flush();
    CheckArchive(app, outcome);
    ASSERT_EQ(outcome.ProblemsOf(CommandProblem::Kind::ArchiveFailed).size(), 1u);
    EXPECT_TRUE(outcome.Failed());
    EXPECT_EQ(ExplainProblem(outcome.problems.back()),
              "frames not archived: memory archive: disk full");
    EXPECT_NE(app.ui.readerLog.find("archive: memory archive: disk full"), std::string::npos);
    // The window shows a read's outcome nowhere else: the status line says it.
    EXPECT_EQ(app.ui.statusLine, "frames not archived: memory archive: disk full");
    EXPECT_TRUE(app.archive->Failed());

    // A storage that keeps failing is said once; one that fails again after a write that went
    // through is said again, on the next live arrival, and so in the status line.
    const Bytes frame = samples::KissDataFrame(samples::MakeFrame(22, 300, Bytes(60, 1)));
    std::string statusWhenSaid;
    const auto arrive = [&] {
        const LiveArrival arrival = ReceiveLiveBytes(app, frame);
        app.archive->Flush();
        const bool said = arrival.outcome.Has(CommandProblem::Kind::ArchiveFailed);
        if (said)
            statusWhenSaid = app.ui.statusLine;
        return said;
    };
    EXPECT_FALSE(arrive());
    EXPECT_FALSE(arrive());
    session.contents->failWrites = false;
    EXPECT_FALSE(arrive());
    session.contents->failWrites = true;
    statusWhenSaid.clear();
    // Said at the arrival whose check finds the writer failed already, or at the next.
    const bool saidAtOnce = arrive();
    EXPECT_NE(arrive(), saidAtOnce);
    EXPECT_NE(statusWhenSaid.find("frames not archived"), std::string::npos) << statusWhenSaid;
    EXPECT_EQ(app.telemetry.Count(), 10);
}

TEST(ArchiveCommands, OpenFromArchiveFillsTheWindowAsTheRead) {
    testing::TempFolder folder;
    samples::PassOptions pass = SmallPass();
    pass.ssdvPackets = 3;
    const std::string capture = folder.Write("pass.kss", samples::MakePassCapture(pass));

    ArchiveSession read(folder.Path());
    OpenCaptureFiles(read.app, {capture});
    read.app.archive->Flush();
    const std::size_t written = read.contents->receptions.size();

    ArchiveSession opened(folder.Path());
    opened.contents = read.contents;
    OpenArchive(opened.app, [&](const std::string&) {
        return std::make_unique<MemoryArchive>(opened.contents);
    });
    const CommandOutcome outcome = OpenFromArchive(opened.app, {kStart, kStart + 3600000});
    EXPECT_FALSE(outcome.Failed());
    EXPECT_EQ(outcome.framesRead, 15);
    EXPECT_EQ(opened.app.telemetry.Count(), read.app.telemetry.Count());
    EXPECT_EQ(opened.app.sensor.Count(), read.app.sensor.Count());
    EXPECT_EQ(opened.app.ui.fieldValues, read.app.ui.fieldValues);
    EXPECT_EQ(opened.app.ui.messageLog.Text(), read.app.ui.messageLog.Text());
    EXPECT_EQ(opened.app.ui.chart.series.size(), read.app.ui.chart.series.size());
    EXPECT_EQ(opened.app.ui.ssdvListing, read.app.ui.ssdvListing);
    EXPECT_EQ(opened.app.sourceFileName, folder.Path() + "/archive.sqlite");
    // Frames read back are not archived again.
    opened.app.archive->Flush();
    EXPECT_EQ(opened.contents->receptions.size(), written);

    // A range before the pass holds nothing.
    OpenFromArchive(opened.app, {0, kStart});
    EXPECT_EQ(opened.app.telemetry.Count(), 0);
}

TEST(ArchiveCommands, OpenFromArchiveTakesTheNewestFramesOfAKind) {
    testing::TempFolder folder;
    ArchiveSession session(folder.Path());
    std::vector<Reception> batch;
    samples::FieldValues values{};
    for (int i = 0; i < 5003; ++i) {
        values[1] = i;  // each beacon its own bytes
        Reception reception;
        reception.bytes = samples::MakeBeacon(22, values);
        reception.rxTimeMs = kStart + i * 1000LL;
        reception.rxTimeText = FormatUtcMs(reception.rxTimeMs);
        batch.push_back(std::move(reception));
    }
    session.app.archive->Storage().Write(batch);
    const CommandOutcome outcome = OpenFromArchive(session.app, {0, kStart * 2});
    EXPECT_EQ(outcome.framesRead, 5000);
    EXPECT_EQ(outcome.recordsRefused, 0);
    EXPECT_EQ(session.app.telemetry.Count(), 5000);
    EXPECT_NE(session.app.ui.readerLog.find("beacon: the newest 5000 of 5003 frames"),
              std::string::npos);
    // The oldest three were left out: the first record is the fourth beacon.
    EXPECT_EQ(session.app.telemetry.RxTime(1), FormatUtcMs(kStart + 3000));
}

TEST(ArchiveCommands, RangesOfTheDialogsChoices) {
    testing::TempFolder folder;
    ArchiveSession session(folder.Path());
    Archive& archive = session.app.archive->Storage();
    const std::int64_t now = kStart + 100 * 86400000LL;
    EXPECT_EQ(RangeOfChoice(ArchiveRangeChoice::LastPass, archive, now), std::nullopt);
    EXPECT_EQ(RangeOfChoice(ArchiveRangeChoice::Everything, archive, now), std::nullopt);

    // Two passes: frames 10 s apart, then a gap of exactly five minutes (same pass), then one of
    // five minutes and a millisecond.
    std::vector<Reception> batch;
    std::int64_t t = kStart;
    const auto add = [&](std::int64_t gap) {
        t += gap;
        Reception reception;
        reception.bytes = samples::MakeBeacon(22, samples::FieldValues{},
                                              static_cast<std::uint16_t>(batch.size()));
        reception.rxTimeMs = t;
        batch.push_back(reception);
    };
    add(0);
    add(10000);
    add(300000);
    add(300001);
    const std::int64_t passStart = t;
    add(10000);
    archive.Write(batch);

    const auto range = [&](ArchiveRangeChoice choice) {
        const std::optional<TimeRange> r = RangeOfChoice(choice, archive, now);
        return r ? std::make_pair(r->fromMs, r->toMs)
                 : std::pair<std::int64_t, std::int64_t>{-1, -1};
    };
    EXPECT_EQ(range(ArchiveRangeChoice::LastPass), std::make_pair(passStart, t + 1));
    EXPECT_EQ(range(ArchiveRangeChoice::Everything), std::make_pair(kStart, t + 1));
    EXPECT_EQ(range(ArchiveRangeChoice::Last24Hours).first, now - 86400000LL);
    EXPECT_EQ(range(ArchiveRangeChoice::Last7Days).first, now - 7 * 86400000LL);
    EXPECT_EQ(range(ArchiveRangeChoice::Last30Days).first, now - 30 * 86400000LL);
    EXPECT_GT(range(ArchiveRangeChoice::Last30Days).second, now);
}

TEST(ArchiveCommands, UtcTexts) {
    const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
        {"2023-11-14", 1699920000000},
        {"2023-11-14 22:13", 1700000000000 - 20000},
        {"2023-11-14 22:13:20", 1700000000000},
        {"2023-11-14T22:13:20Z", 1700000000000},
        {"2023-11-14T22:13:20.250Z", 1700000000250},
        {"1969-12-31 23:59:59", -1000},
        {"2023-11-14T22:13:20", std::nullopt},
        {"2023-11-14 22:13:20Z", std::nullopt},
        {"2023-02-29", std::nullopt},
        {"2023-11-14 24:00", std::nullopt},
        {"14.11.2023", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, ms] : cases)
        EXPECT_EQ(ParseUtcText(text), ms) << text;
    EXPECT_EQ(FormatUtcMs(1700000000250), "2023-11-14 22:13:20.250");
    EXPECT_EQ(FormatUtcMs(-1), "1969-12-31 23:59:59.999");
    EXPECT_EQ(FormatUtcMs(std::numeric_limits<std::int64_t>::min()), "0001-01-01 00:00:00.000");
    EXPECT_EQ(FormatUtcMs(std::numeric_limits<std::int64_t>::max()), "9999-12-31 23:59:59.999");
}

}  // namespace
}  // namespace quorbel
