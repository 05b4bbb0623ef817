// The History page's commands against a real SQLite archive in a temporary folder: the bucket
// count follows the chart's width, zoom and pan load finer buckets for the range they show, the
// stations of the range, fields without values, no archive, and the CSV of what is shown.
#include "shell/commands/history_commands.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sample_frames.hpp"
#include "shell/app_state.hpp"
#include "sqlite_archive.hpp"
#include "support/beacon_passes.hpp"
#include "support/fake_platform.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

using testing::BeaconPasses;
constexpr int kPasses = 12;
constexpr int kBeaconsPerPass = 20;
constexpr auto Voltage = &BeaconPasses::Voltage;
constexpr auto BeaconTime = &BeaconPasses::Time;

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

class HistoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_app.settings.appDir = m_folder.Path();
        m_app.ui.history.chartPixels = 40;
        auto archive = OpenSqliteArchive(m_folder.File("archive.sqlite"));
        m_passes.WriteTo(*archive);
        m_app.archive = std::make_unique<ArchiveWriter>(std::move(archive));
    }

    std::int64_t AllRecords() const { return m_passes.Records(); }

    BeaconPasses m_passes{kPasses, kBeaconsPerPass};
    testing::TempFolder m_folder;
    testing::FakePlatform m_platform;
    AppState m_app{m_platform};
};

TEST_F(HistoryTest, BucketsFollowTheChartWidthAndZoomAndPanLoadFinerOnes) {
    const HistoryModel& history = m_app.ui.history;
    ShowHistory(m_app, 1, m_passes.Everything());
    ASSERT_GT(history.series.bucketWidthMs, 0) << history.statusText;
    EXPECT_LE(history.series.buckets.size(), 40u);
    std::int64_t counted = 0;
    for (const FieldBucket& bucket : history.series.buckets) {
        EXPECT_LE(bucket.min, bucket.mean);
        EXPECT_LE(bucket.mean, bucket.max);
        counted += bucket.count;
    }
    EXPECT_EQ(counted, AllRecords());
    EXPECT_EQ(history.series.buckets.front().min, Voltage(0, 0));
    EXPECT_EQ(history.series.buckets.back().max, Voltage(kPasses - 1, kBeaconsPerPass - 1));
    EXPECT_NE(history.statusText.find("240 values"), std::string::npos) << history.statusText;
    const std::int64_t wholeWidth = history.series.bucketWidthMs;

    // A wider chart asks for more buckets: enough here for every record as a point.
    SetHistoryChartPixels(m_app, 1000);
    EXPECT_EQ(history.series.bucketWidthMs, 0);
    EXPECT_EQ(static_cast<std::int64_t>(history.series.points.size()), AllRecords());
    SetHistoryChartPixels(m_app, 40);

    // Zooming in around the middle of pass 6 keeps that moment at the same place of the chart.
    const std::int64_t around = BeaconTime(6, 10);
    const TimeRange before = history.range;
    ZoomHistory(m_app, around, 0.25);
    const TimeRange zoomed = history.range;
    EXPECT_NEAR(static_cast<double>(zoomed.toMs - zoomed.fromMs),
                0.25 * static_cast<double>(before.toMs - before.fromMs), 1.0);
    EXPECT_NEAR(static_cast<double>(around - zoomed.fromMs) / (zoomed.toMs - zoomed.fromMs),
                static_cast<double>(around - before.fromMs) / (before.toMs - before.fromMs), 1e-6);
    ASSERT_GT(history.series.bucketWidthMs, 0);
    EXPECT_LT(history.series.bucketWidthMs, wholeWidth);

    // Into one pass: its records as points, each with its own value.
    ZoomHistory(m_app, around, 0.02);
    ASSERT_EQ(history.series.bucketWidthMs, 0) << history.statusText;
    ASSERT_FALSE(history.series.points.empty());
    for (const FieldPoint& point : history.series.points) {
        EXPECT_GE(point.timeMs, history.range.fromMs);
        EXPECT_LT(point.timeMs, history.range.toMs);
        const int beacon =
            static_cast<int>((point.timeMs - BeaconTime(6, 0)) / BeaconPasses::kBeaconEveryMs);
        EXPECT_EQ(point.value, Voltage(6, beacon));
    }
    // The stations wait for their own command, and follow the range.
    EXPECT_TRUE(history.stations.empty());
    EXPECT_TRUE(history.stationsPending);
    LoadHistoryStations(m_app);
    EXPECT_FALSE(history.stationsPending);
    ASSERT_EQ(history.stations.size(), 1u);
    EXPECT_EQ(history.stations[0].station, "DL0ABC");

    // A pan by one orbit shows the same moment of the next pass, at the other station.
    const std::int64_t span = history.range.toMs - history.range.fromMs;
    PanHistory(m_app, BeaconPasses::kPassEveryMs);
    EXPECT_EQ(history.range.toMs - history.range.fromMs, span);
    ASSERT_FALSE(history.series.points.empty());
    EXPECT_EQ(
        history.series.points.front().value,
        Voltage(7, static_cast<int>((history.series.points.front().timeMs - BeaconTime(7, 0)) /
                                    BeaconPasses::kBeaconEveryMs)));
    LoadHistoryStations(m_app);
    ASSERT_EQ(history.stations.size(), 1u);
    EXPECT_EQ(history.stations[0].station, "OE1XYZ");

    // Zooming stops at ten seconds, and at the widest range.
    ZoomHistory(m_app, around, 1e-9);
    EXPECT_EQ(history.range.toMs - history.range.fromMs, kHistoryMinSpanMs);
    ZoomHistory(m_app, around, 1e12);
    EXPECT_EQ(history.range.toMs - history.range.fromMs, kHistoryMaxSpanMs);
}

TEST_F(HistoryTest, StationsRangeChoicesFieldsWithoutValuesAndNoArchive) {
    const HistoryModel& history = m_app.ui.history;
    // Everything: both stations, six passes each.
    ChooseHistoryRange(m_app, ArchiveRangeChoice::Everything, BeaconTime(kPasses, 0));
    EXPECT_EQ(history.range.fromMs, BeaconPasses::kStartMs);
    LoadHistoryStations(m_app);
    ASSERT_EQ(history.stations.size(), 2u);
    EXPECT_EQ(history.stations[0].frames + history.stations[1].frames, AllRecords());
    // The last pass, and the last 24 hours ending now.
    ChooseHistoryRange(m_app, ArchiveRangeChoice::LastPass, BeaconTime(kPasses, 0));
    EXPECT_EQ(history.range.fromMs, BeaconTime(kPasses - 1, 0));
    EXPECT_EQ(static_cast<int>(history.series.points.size()), kBeaconsPerPass);
    const std::int64_t now = BeaconTime(kPasses - 1, 0) + 3'600'000;
    ChooseHistoryRange(m_app, ArchiveRangeChoice::Last24Hours, now);
    EXPECT_EQ(history.range.toMs, now);
    EXPECT_EQ(history.range.fromMs, now - 24 * 3'600'000LL);
    // The range box shows the choice until a zoom or a pan moves the range; a field keeps it.
    SelectHistoryField(m_app, 0);
    EXPECT_EQ(history.rangeChoice, static_cast<int>(ArchiveRangeChoice::Last24Hours));
    PanHistory(m_app, -1000);
    EXPECT_EQ(history.rangeChoice, -1);

    // Fields 67 to 69 have no values: nothing is asked of the archive.
    SelectHistoryField(m_app, 68);
    EXPECT_EQ(history.field, 68);
    EXPECT_TRUE(history.series.points.empty());
    EXPECT_TRUE(history.series.buckets.empty());
    EXPECT_NE(history.statusText.find("has no values"), std::string::npos);
    // A sensor field of a range of beacons only.
    SelectHistoryField(m_app, 75);
    EXPECT_TRUE(history.series.points.empty() && history.series.buckets.empty());
    EXPECT_NE(history.statusText.find("No values"), std::string::npos) << history.statusText;

    // Without an archive the page says why, and the export writes nothing.
    m_app.archive.reset();
    m_app.settings.archive = "off";
    const std::uint64_t revision = history.revision;
    ChooseHistoryRange(m_app, ArchiveRangeChoice::Everything, now);
    EXPECT_GT(history.revision, revision);
    EXPECT_NE(history.statusText.find("off"), std::string::npos) << history.statusText;
    m_app.settings.archive.clear();
    ZoomHistory(m_app, now, 0.5);
    EXPECT_NE(history.statusText.find("could not be opened"), std::string::npos);
    m_platform.savePaths.push_back(m_folder.File("history.csv"));
    EXPECT_TRUE(ExportHistoryCsv(m_app).written.empty());
    EXPECT_FALSE(std::filesystem::exists(m_folder.File("history.csv")));
}

TEST_F(HistoryTest, CsvRowsAreTheSeriesShown) {
    const HistoryModel& history = m_app.ui.history;
    m_app.settings.decimalMark = ',';
    // Buckets: one row per bucket with its start, min, max, mean and count.
    ShowHistory(m_app, 1, m_passes.Everything());
    ASSERT_GT(history.series.bucketWidthMs, 0);
    const std::string buckets = m_folder.File("buckets.csv");
    m_platform.savePaths.push_back(buckets);
    EXPECT_EQ(ExportHistoryCsv(m_app).written, std::vector<std::string>{buckets});
    EXPECT_EQ(m_app.ui.statusLine, buckets + " has been written");
    std::vector<std::string> lines = Lines(buckets);
    ASSERT_EQ(lines.size(), history.series.buckets.size() + 1);
    EXPECT_EQ(lines[0],
              "bucket start (UTC);Batt Voltage (mV) min;Batt Voltage (mV) max;"
              "Batt Voltage (mV) mean;count;\r");
    const FieldBucket& first = history.series.buckets.front();
    std::ostringstream expected;
    expected << "2026-01-01 00:00:00.000;" << first.min << ";" << first.max << ";";
    EXPECT_EQ(lines[1].rfind(expected.str(), 0), 0u) << lines[1];
    EXPECT_TRUE(lines[1].ends_with(";" + std::to_string(first.count) + ";\r")) << lines[1];

    // Points: one row per record with its time and value, the decimal mark as set.
    ShowHistory(m_app, 1, {BeaconTime(3, 0), BeaconTime(3, 4) + 1});
    ASSERT_EQ(history.series.points.size(), 5u);
    const std::string points = m_folder.File("points.csv");
    m_platform.savePaths.push_back(points);
    ExportHistoryCsv(m_app);
    lines = Lines(points);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "UTC time;Batt Voltage (mV);\r");
    EXPECT_EQ(lines[1], "2026-01-01 04:30:00.000;7060;\r");
    EXPECT_EQ(lines[5], "2026-01-01 04:30:20.000;7064;\r");

    // A mean with decimals takes the decimal mark.
    std::string text;
    FieldSeries series{1, {}, 1000, {}, {{0, 1, 2, 1.5, 2}}};
    WriteHistoryCsv(series, "X", ',', [&](std::string_view line) { text += line; });
    EXPECT_NE(text.find("1970-01-01 00:00:00.000;1;2;1,5;2;\r\n"), std::string::npos) << text;

    // A folder that does not exist: nothing written, and the status line says so.
    const std::string missing = m_folder.File("no/such/folder/history.csv");
    m_platform.savePaths.push_back(missing);
    EXPECT_TRUE(ExportHistoryCsv(m_app).Failed());
    EXPECT_NE(m_app.ui.statusLine.find("could not be written"), std::string::npos);
    // Cancelling writes nothing and says nothing.
    m_app.ui.statusLine.clear();
    m_platform.savePaths.push_back(std::nullopt);
    EXPECT_FALSE(ExportHistoryCsv(m_app).Failed());
    EXPECT_TRUE(m_app.ui.statusLine.empty());
}

}  // namespace
}  // namespace quorbel
