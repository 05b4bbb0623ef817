// The record detail view: formatting rules, receive time, spin, satellite name and navigation.
#include "view/detail_view.hpp"

#include <gtest/gtest.h>

#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "shell/commands/frame_commands.hpp"
#include "support/app_on_fake_platform.hpp"

namespace quorbel {
namespace {

class DetailViewTest : public testing::AppOnFakePlatform {
  protected:
    // Takes the next record of the store with the receive time and puts the values in.
    void Add(RecordStore& store, const std::string& time, TelemetryRecord record) {
        app.frame.rxTimeText = time;
        record.rxTime = time;
        store.SetRecord(*AppendRecord(app, store), record);
    }
};

TEST_F(DetailViewTest, ValueBoxesFollowTheirDisplayRules) {
    TelemetryRecord beacon;
    beacon.values[0] = -200;
    beacon.values[22] = 10;
    beacon.values[26] = 1;
    beacon.values[39] = 305419896;
    beacon.values[40] = 4294967295.0;
    beacon.values[29] = 86400;
    Add(app.telemetry, "2023-01-15 12:00:00", beacon);
    TelemetryRecord sensor;
    sensor.values[70] = 1700000000;
    sensor.values[74] = static_cast<double>(0.15f);
    sensor.values[75] = 21.0;
    sensor.values[88] = 3, sensor.values[89] = 4, sensor.values[90] = 12;
    Add(app.sensor, "2023-01-15 12:00:05", sensor);
    app.frame.spacecraftId = 22;
    ShowRecord(app, 1);
    EXPECT_EQ(app.ui.fieldValues[0], "-200");
    EXPECT_EQ(app.ui.fieldValues[22], "A");
    EXPECT_EQ(app.ui.fieldValues[26], "DEPLOYED");
    EXPECT_EQ(app.ui.fieldValues[39], "12345678");
    EXPECT_EQ(app.ui.fieldValues[40], "FFFFFFFF");
    EXPECT_EQ(app.ui.fieldValues[29], "86400");
    EXPECT_EQ(app.ui.fieldValues[68], "0");
    EXPECT_EQ(app.ui.fieldValues[70], "2023-11-14 22:13:20");
    EXPECT_EQ(app.ui.fieldValues[74], "0.150000005960464");
    EXPECT_EQ(app.ui.fieldValues[75], "21.000");
    EXPECT_EQ(app.ui.fieldValues[76], "0.000");
    EXPECT_EQ(app.ui.spinText, "estimated spin: 124.1 rpm");
    EXPECT_EQ(app.ui.receiveTimeText, "RX Timestamp: 2023-01-15 12:00:05");
    EXPECT_EQ(app.ui.satelliteName, "QUORBEL-1U");

    const struct {
        double state;
        const char* text;
    } states[] = {{0, "STOWED"}, {1, "DEPLOYED"}, {2, "ASS DEPL"}, {7, "7"}};
    for (const auto& s : states) {
        TelemetryRecord changed = app.telemetry.Record(1);
        changed.values[26] = s.state;
        app.telemetry.SetRecord(1, changed);
        ShowRecord(app, 1);
        EXPECT_EQ(app.ui.fieldValues[26], s.text);
    }

    app.settings.decimalMark = ',';
    ShowRecord(app, 1);
    EXPECT_EQ(app.ui.fieldValues[75], "21,000");
    EXPECT_EQ(app.ui.spinText, "estimated spin: 124,1 rpm");
}

TEST(DetailView, SatelliteNames) {
    const struct {
        int id;
        const char* name;
    } cases[] = {{22, "QUORBEL-1U"},  {37, "QUORBEL-1V"}, {102, "QUORBEL-2U"},
                 {100, "QUORBEL-2V"}, {79, "QUORBEL-2X"}, {5, "UNKNOWN (5)"}};
    for (const auto& c : cases)
        EXPECT_EQ(SatelliteName(c.id), c.name);
}

TEST_F(DetailViewTest, NavigationShowsNothingWhenEmptyAndBeaconsAloneShowTheirReceiveTimes) {
    app.ui.fieldValues[1] = "unchanged";
    ShowSelectedRecord(app);
    EXPECT_EQ(app.ui.recordCounter, "#0 / 0");
    ShowRecord(app, 0);
    EXPECT_EQ(app.ui.fieldValues[1], "unchanged");
    EXPECT_EQ(app.ui.satelliteName, "");

    for (int i = 1; i <= 3; ++i) {
        TelemetryRecord beacon;
        beacon.values[1] = 7400 + i;
        Add(app.telemetry, "2023-01-15 12:00:0" + std::to_string(i), beacon);
    }
    SetRecordPosition(app, 3);
    EXPECT_EQ(app.ui.recordCounter, "#3 / 3");
    EXPECT_EQ(app.ui.fieldValues[1], "7403");
    EXPECT_EQ(app.ui.fieldValues[75], "0.000");
    EXPECT_EQ(app.ui.spinText, "estimated spin: 0.0 rpm");
    EXPECT_EQ(app.ui.receiveTimeText, "RX Timestamp: 2023-01-15 12:00:03");
    SetRecordPosition(app, 99);  // the bar stops at its maximum
    EXPECT_EQ(app.ui.recordScrollBar.value, 3);
}

}  // namespace
}  // namespace quorbel
