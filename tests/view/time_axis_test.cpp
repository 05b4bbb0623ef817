// The chart's time axis: receive times read back from both stamp forms, points placed at their
// times, passes apart by their gaps, and records without a time left out.
#include "view/time_axis.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "support/app_on_fake_platform.hpp"
#include "view/value_chart.hpp"

namespace quorbel {
namespace {

// 2023-01-15 12:34:56 UTC.
constexpr double kNoonStamp = 1673786096;

TEST(TimeAxis, ReceiveTimesOfBothStampFormsAndNothingElse) {
    const struct {
        const char* text;
        double seconds;  // NaN: not a receive time
    } cases[] = {
        {"2023-01-15 12:34:56", kNoonStamp},                  // numeric stamp, SatNOGS line
        {"2023-01-15 12:34:56.789 UTC", kNoonStamp + 0.789},  // text stamp
        {"2023-01-15 12:34:56.250", kNoonStamp + 0.25},       // the live client's own time
        {"1970-01-01 00:00:00", 0},
        {"2024-02-29 23:59:59", 1709251199},
        {"2000-03-01 00:00:00", 951868800},
        {"", NAN},
        {"2023-01-15", NAN},
        {"2023-01-15 12:34", NAN},
        {"2023-01-15T12:34:56", NAN},
        {"2023-02-29 12:00:00", NAN},
        {"2023-13-01 12:00:00", NAN},
        {"2023-00-10 12:00:00", NAN},
        {"2023-01-15 24:00:00", NAN},
        {"2023-01-15 12:60:00", NAN},
        {"2023-01-15 12:34:5x", NAN},
        {"2023-01-15 12:34:56 UTC", NAN},
        {"2023-01-15 12:34:56.78 UTC", NAN},
        {"2023-01-15 12:34:56.789 UTC and more", NAN},
        {"+023-01-15 12:34:56", NAN},
    };
    for (const auto& c : cases) {
        const std::optional<double> seconds = ParseReceiveTime(c.text);
        if (std::isnan(c.seconds)) {
            EXPECT_FALSE(seconds.has_value()) << c.text;
        } else {
            ASSERT_TRUE(seconds.has_value()) << c.text;
            EXPECT_DOUBLE_EQ(*seconds, c.seconds) << c.text;
        }
    }
}

class TimeAxisChartTest : public testing::AppOnFakePlatform {
  protected:
    void SetUp() override { ApplyFieldCatalogue(app); }

    // A record of the store with this receive time and value in the field and the two after it.
    void Add(RecordStore& store, const std::string& rxTime, int field, double value) {
        app.frame.rxTimeText = rxTime;
        const int n = *AppendRecord(app, store);
        TelemetryRecord record = store.Record(n);
        for (int k = 0; k < 3; ++k)
            record.values[static_cast<std::size_t>(field + k)] = value + 100 * k;
        store.SetRecord(n, record);
    }
};

TEST_F(TimeAxisChartTest, PointsStandAtTheirReceiveTimesFromFirstToLast) {
    Add(app.telemetry, "2023-01-15 12:34:56.789 UTC", 1, 7400);  // a text stamp
    Add(app.telemetry, "2023-01-15 12:35:06", 1, 7401);          // a numeric stamp
    Add(app.telemetry, "no time at all", 1, 7402);
    Add(app.telemetry, "", 1, 7403);
    Add(app.telemetry, "2023-01-15 12:35:16.000 UTC", 1, 7404);
    Add(app.sensor, "2023-01-15 12:35:00", 81, 1);

    SelectField(app, 1);
    // The labels stay the default; the box switches the axis without redrawing the field.
    EXPECT_FALSE(app.ui.chart.timeAxis);
    const std::uint64_t revision = app.ui.chart.revision;
    app.ui.chartTimeAxis = true;
    SetChartTimeAxis(app);
    EXPECT_TRUE(app.ui.chart.timeAxis);
    EXPECT_GT(app.ui.chart.revision, revision);

    const TimeAxis axis = BuildTimeAxis(app.ui.chart);
    ASSERT_TRUE(axis.first && axis.last);
    EXPECT_DOUBLE_EQ(*axis.first, kNoonStamp + 0.789);
    EXPECT_DOUBLE_EQ(*axis.last, kNoonStamp + 20);
    EXPECT_EQ(axis.leftOut, 2);
    ASSERT_EQ(axis.series.size(), 1u);
    // The records whose time does not read are left out, not put at 1970.
    EXPECT_EQ(axis.series[0].keys,
              (std::vector<double>{kNoonStamp + 0.789, kNoonStamp + 10, kNoonStamp + 20}));
    EXPECT_EQ(axis.series[0].values, (std::vector<double>{7400, 7401, 7404}));
    EXPECT_TRUE(axis.gaps.empty());

    // The box stays on over a new selection and a new record of a live frame.
    Add(app.telemetry, "2023-01-15 12:35:26", 1, 7405);
    SelectField(app, 1);
    EXPECT_TRUE(app.ui.chart.timeAxis);
    EXPECT_DOUBLE_EQ(*BuildTimeAxis(app.ui.chart).last, kNoonStamp + 30);
    app.ui.chartTimeAxis = false;
    SetChartTimeAxis(app);
    EXPECT_FALSE(app.ui.chart.timeAxis);
}

TEST_F(TimeAxisChartTest, PassesStandApartByTheirGapsInTimeOrder) {
    // Two passes 95 minutes apart, beacons every 10 s, the second pass read first (as from two
    // files chosen in that order); the group chart of three temperatures.
    const double secondPass = kNoonStamp + 95 * 60;
    for (int i = 0; i < 4; ++i)
        Add(app.telemetry, "2023-01-15 14:09:" + std::to_string(56 + i) + ".000 UTC", 3, 20 + i);
    for (int i = 0; i < 5; ++i)
        Add(app.telemetry, "2023-01-15 12:3" + std::to_string(4 + i) + ":56", 3, i);
    SelectField(app, 3, true);
    ASSERT_EQ(app.ui.chart.series.size(), 3u);

    const TimeAxis axis = BuildTimeAxis(app.ui.chart);
    EXPECT_DOUBLE_EQ(*axis.first, kNoonStamp);
    EXPECT_DOUBLE_EQ(*axis.last, secondPass + 3);
    ASSERT_EQ(axis.gaps.size(), 1u);
    EXPECT_GT(axis.gaps[0], kNoonStamp + 4 * 60);
    EXPECT_LT(axis.gaps[0], secondPass);
    for (const TimeAxisSeries& series : axis.series) {
        ASSERT_EQ(series.keys.size(), 9u);
        EXPECT_TRUE(std::is_sorted(series.keys.begin(), series.keys.end()));
    }
    EXPECT_EQ(axis.series[0].values.front(), 0);
    EXPECT_EQ(axis.series[1].values.back(), 123);  // the second field of the last record in time
    // Bars take most of the usual spacing within a pass (1 s in the second, 60 s in the first:
    // the median of 1, 1, 1, 60, 60, 60, 60 is 60).
    EXPECT_DOUBLE_EQ(axis.barWidth, 48);
}

// A pause of five minutes at most stays within a pass; a longer one starts the next pass (a
// low orbit brings the satellite back after some 90 minutes, a pass lasts about ten).
TEST(TimeAxis, APassEndsAtAPauseOfMoreThanFiveMinutes) {
    ChartModel chart;
    const std::vector<double> times = {0, 300, 601, 1000, 1400, 1700, 1700.5};
    chart.series.push_back({"Batt Voltage", std::nullopt, std::vector<double>(times.size(), 1)});
    chart.times = times;
    const TimeAxis axis = BuildTimeAxis(chart);
    // 300 s: the same pass; 301 s, 399 s and 400 s: new passes; 300 s and 0.5 s: the same.
    EXPECT_EQ(axis.gaps, (std::vector<double>{450.5, 800.5, 1200}));

    // A chart without times has no range and no passes.
    chart.times.assign(times.size(), NAN);
    const TimeAxis none = BuildTimeAxis(chart);
    EXPECT_FALSE(none.first.has_value());
    EXPECT_EQ(none.leftOut, static_cast<int>(times.size()));
    EXPECT_TRUE(none.series[0].keys.empty() && none.gaps.empty());
}

}  // namespace
}  // namespace quorbel
