// The value chart: selection, single and group charts, axis spacing and the chart kind.
#include "view/value_chart.hpp"

#include <gtest/gtest.h>

#include <array>
#include <set>

#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "support/app_on_fake_platform.hpp"

namespace quorbel {
namespace {

class ValueChartTest : public testing::AppOnFakePlatform {
  protected:
    void SetUp() override { ApplyFieldCatalogue(app); }

    void AddRecords(RecordStore& store, int count, int field, double first) {
        for (int i = 0; i < count; ++i) {
            app.frame.rxTimeText = "2023-01-15 12:34:" + std::to_string(10 + i % 50);
            const int n = *AppendRecord(app, store);
            TelemetryRecord record = store.Record(n);
            record.values[static_cast<std::size_t>(field)] = first + i;
            record.values[static_cast<std::size_t>(field) + 1] = 100 + first + i;
            record.values[static_cast<std::size_t>(field) + 2] = 200 + first + i;
            store.SetRecord(n, record);
        }
    }
};

TEST_F(ValueChartTest, AxisSpacingIsAboutFiftyLabels) {
    const struct {
        int points, perLabel;
    } cases[] = {{0, 0}, {100, 0}, {101, 2}, {125, 2}, {175, 4}, {149, 3}, {5000, 100}};
    for (const auto& c : cases)
        EXPECT_EQ(PointsPerLabel(c.points), c.perLabel) << c.points;
}

TEST_F(ValueChartTest, SelectionTitlesHighlightsAndCharts) {
    AddRecords(app.telemetry, 3, 0, 7400);
    AddRecords(app.sensor, 2, 81, 1);
    app.ui.fieldSelected[5] = true;
    ClickFieldSelector(app, 2);
    EXPECT_EQ(app.selectedField, 2);
    EXPECT_EQ(app.ui.chartTitle, "Alt Voltage (mV)");
    EXPECT_TRUE(app.ui.fieldSelected[2]);
    EXPECT_FALSE(app.ui.fieldSelected[5]);
    EXPECT_EQ(app.ui.fieldBackgrounds[2], (Rgb{255, 255, 192}));
    EXPECT_EQ(app.ui.fieldBackgrounds[5], (Rgb{255, 255, 255}));
    EXPECT_EQ(app.ui.recordScrollBar.max, 3);
    const ChartModel& chart = app.ui.chart;
    ASSERT_EQ(chart.series.size(), 1u);
    EXPECT_EQ(chart.series[0].legend, "Alt Voltage");
    EXPECT_EQ(chart.series[0].values, (std::vector<double>{7600, 7601, 7602}));
    EXPECT_EQ(chart.labels, (std::vector<std::string>{"12:34:10", "12:34:11", "12:34:12"}));
    EXPECT_EQ(chart.pointsPerLabel, 0);
    EXPECT_EQ(chart.kind, ChartKind::Line);
    EXPECT_EQ(chart.penWidth, 30);

    SelectField(app, 22);
    EXPECT_EQ(app.ui.chartTitle, "Ant Depl Result");

    // A sensor field moves the navigation to the sensor store.
    SelectField(app, 81);
    EXPECT_EQ(app.ui.recordScrollBar.max, 2);
    EXPECT_EQ(app.ui.chartTitle, "Mag Field X (\xB5T)");
    EXPECT_EQ(app.ui.recordCounter, "#0 / 2");
}

TEST_F(ValueChartTest, EveryGroupChartsItsThreeFieldsInOrderFromItsStore) {
    // The twelve groups as the window's users know them: fields in series order, captions and
    // the store they chart from.
    const struct {
        std::array<int, 3> fields;
        std::array<const char*, 3> captions;
        bool sensor;
    } groups[] = {
        {{3, 4, 18}, {"FG Die Temp", "Batt Temp", "MCU int Temp"}, false},
        {{5, 8, 11}, {"Min Current", "Max Current", "Avg Current"}, false},
        {{6, 9, 12}, {"Min Voltage", "Max Voltage", "Avg Voltage"}, false},
        {{7, 10, 13}, {"Min Temp", "Max Temp", "Avg Temp"}, false},
        {{77, 78, 79}, {"Rot Vect X", "Rot Vect Y", "Rot Vect Z"}, true},
        {{81, 82, 83}, {"Mag Field X", "Mag Field Y", "Mag Field Z"}, true},
        {{84, 85, 86}, {"Mag Raw X", "Mag Raw Y", "Mag Raw Z"}, true},
        {{88, 89, 90}, {"Ang Vel X", "Ang Vel Y", "Ang Vel Z"}, true},
        {{92, 93, 94}, {"Gyro Rot X", "Gyro Rot Y", "Gyro Rot Z"}, true},
        {{95, 96, 97}, {"Gyro Raw X", "Gyro Raw Y", "Gyro Raw Z"}, true},
        {{100, 101, 102}, {"Accel X", "Accel Y", "Accel Z"}, true},
        {{103, 104, 105}, {"Accel Raw X", "Accel Raw Y", "Accel Raw Z"}, true},
    };
    const Rgb colours[] = {{70, 130, 180}, {34, 139, 34}, {176, 48, 96}};
    // Every field of both stores holds a value that tells field and store apart.
    for (RecordStore* store : {&app.telemetry, &app.sensor}) {
        const int n = *AppendRecord(app, *store);
        TelemetryRecord record = store->Record(n);
        for (int field = 0; field < kFieldCount; ++field)
            record.values[static_cast<std::size_t>(field)] =
                field + (store == &app.sensor ? 1000 : 0);
        store->SetRecord(n, record);
    }
    std::set<int> grouped;
    for (const auto& group : groups) {
        for (int selected : group.fields) {
            grouped.insert(selected);
            SelectField(app, selected, true);
            const ChartModel& chart = app.ui.chart;
            ASSERT_EQ(chart.series.size(), 3u) << selected;
            for (std::size_t s = 0; s < 3; ++s) {
                EXPECT_EQ(chart.series[s].legend, group.captions[s]) << selected;
                EXPECT_EQ(chart.series[s].rgb, colours[s]) << selected;
                const double expected = group.fields[s] + (group.sensor ? 1000 : 0);
                EXPECT_EQ(chart.series[s].values, (std::vector<double>{expected})) << selected;
            }
        }
    }
    // Any other field draws no group chart: the group stays, the title follows the selection.
    for (int field = 0; field < kFieldCount; ++field) {
        if (grouped.count(field) != 0)
            continue;
        ClickFieldSelector(app, 3, true);
        const auto revision = app.ui.chart.revision;
        SelectField(app, field, true);
        EXPECT_EQ(app.ui.chart.revision, revision) << field;
        EXPECT_EQ(app.ui.chart.series.size(), 3u) << field;
    }
    SelectField(app, 1, true);
    EXPECT_EQ(app.ui.chartTitle, "Batt Voltage (mV)");
}

TEST_F(ValueChartTest, BarsOrLineAndTheGroupKeepsTheKind) {
    AddRecords(app.telemetry, 2, 3, 10);
    app.ui.chartBars = true;
    SelectField(app, 1);
    SetChartBars(app);
    EXPECT_EQ(app.ui.chart.kind, ChartKind::Bar);
    EXPECT_EQ(app.ui.chart.penWidth, 1);
    SelectField(app, 4, true);
    EXPECT_EQ(app.ui.chart.series.size(), 3u);
    EXPECT_EQ(app.ui.chart.kind, ChartKind::Bar);
    app.ui.chartBars = false;
    SetChartBars(app);  // redraws the selected field alone, as a line
    EXPECT_EQ(app.ui.chart.series.size(), 1u);
    EXPECT_EQ(app.ui.chart.series[0].legend, "Batt Temp");
    EXPECT_EQ(app.ui.chart.kind, ChartKind::Line);
}

TEST_F(ValueChartTest, EmptyStoreEmptiesTheChart) {
    AddRecords(app.sensor, 3, 81, 1);
    SelectField(app, 81);
    ASSERT_EQ(app.ui.chart.series[0].values.size(), 3u);
    // Beacons chart from their own store even with no sensor frames, and an empty store
    // gives an empty chart instead of an earlier file's data.
    ClearStores(app);
    AddRecords(app.telemetry, 2, 0, 5);
    SelectField(app, 0);
    EXPECT_EQ(app.ui.chart.series[0].values, (std::vector<double>{5, 6}));
    SelectField(app, 81);
    ASSERT_EQ(app.ui.chart.series.size(), 1u);
    EXPECT_TRUE(app.ui.chart.series[0].values.empty());
    EXPECT_TRUE(app.ui.chart.labels.empty());
}

TEST_F(ValueChartTest, FieldZeroLeavesTheNavigationAndLabelsNeedTwelveCharacters) {
    AddRecords(app.telemetry, 3, 0, 1);
    app.ui.recordScrollBar.max = 42;
    SelectField(app, 0);
    EXPECT_EQ(app.ui.recordScrollBar.max, 42);
    for (const auto& [n, rxTime] : {std::pair{1, "short"}, std::pair{2, "2023-01-15 12:34:56"}}) {
        TelemetryRecord record = app.telemetry.Record(n);
        record.rxTime = rxTime;
        app.telemetry.SetRecord(n, record);
    }
    SelectField(app, 0);
    EXPECT_EQ(app.ui.chart.labels[0], "");
    EXPECT_EQ(app.ui.chart.labels[1], "12:34:56");
}

}  // namespace
}  // namespace quorbel
