// The refresh step: every event (a capture read, a SatNOGS read, a user's action, an arrival of
// live bytes) builds the record view and the chart at most once, at its end, and a live frame
// adds its point to the chart instead of drawing the whole store again.
#include "shell/commands/view_refresh.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/text.hpp"
#include "sample_frames.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "support/fake_platform.hpp"
#include "support/pass_frames.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

using samples::Bytes;

std::string Hex(const Bytes& frame) {
    std::string text;
    AppendHex(text, frame);
    return text;
}

class ViewRefreshTest : public ::testing::Test {
  protected:
    testing::FakePlatform platform;
    AppState app{platform};
    testing::TempFolder folder;

    void SetUp() override {
        app.settings.appDir = folder.Path();
        StartUp(app);
    }

    std::string Capture(const std::string& name, int beacons, int sensorFrames) {
        return folder.Write(name, samples::MakePassCapture(
                                      testing::PassWithFrames(beacons, sensorFrames, 0, 0, 0, 0)));
    }

    // The builds an event costs: record views, whole charts, charts that took new points only.
    std::array<std::uint64_t, 3> Builds(const std::function<void()>& event) {
        const ViewBuilds before = app.view.builds;
        event();
        const ViewBuilds& after = app.view.builds;
        return {after.recordViews - before.recordViews, after.charts - before.charts,
                after.chartUpdates - before.chartUpdates};
    }
    using Counts = std::array<std::uint64_t, 3>;
};

TEST_F(ViewRefreshTest, EveryReadAndEveryUserActionBuildsTheViewOnceAtItsEnd) {
    const std::string a = Capture("a.kss", 4, 3);
    const std::string b = Capture("b.kss", 2, 2);
    const std::string beacon = Hex(samples::MakeBeacon(22, {}));
    const std::string sensor = Hex(samples::MakeSensorFrame(22, {}, 1000000));
    const std::string export_ =
        folder.Write("export.csv", "time|frame|x|station\r\n2023-01-15 12:34:58|" + beacon +
                                       "|1|ST-A\r\n2023-01-15 12:34:57|" + sensor +
                                       "|1|ST-B\r\n2023-01-15 12:34:56|" + beacon + "|1|ST-A\r\n");
    const auto readBoth = [&](AppState& s) { OpenCaptureFiles(s, {b, a}); };
    const struct {
        const char* event;
        std::function<void(AppState&)> run;
        Counts builds;
    } events[] = {
        {"one capture", [&](AppState& s) { OpenCaptureFiles(s, {a}); }, {1, 1, 0}},
        {"two captures", readBoth, {1, 1, 0}},
        {"a SatNOGS export", [&](AppState& s) { OpenSatnogsExports(s, {export_}); }, {1, 1, 0}},
        {"a capture again", readBoth, {1, 1, 0}},
        {"a field", [](AppState& s) { ClickFieldSelector(s, 81); }, {1, 1, 0}},
        {"a group", [](AppState& s) { ClickFieldSelector(s, 3, true); }, {1, 1, 0}},
        {"a record", [](AppState& s) { SetRecordPosition(s, 2); }, {1, 0, 0}},
        // A group request for a field outside the groups leaves the chart as it is.
        {"no group", [](AppState& s) { ClickFieldSelector(s, 1, true); }, {1, 0, 0}},
        {"bars",
         [](AppState& s) {
             s.ui.chartBars = true;
             SetChartBars(s);
         },
         {1, 1, 0}},
        {"the time axis",
         [](AppState& s) {
             s.ui.chartTimeAxis = true;
             SetChartTimeAxis(s);
         },
         {0, 0, 0}},
        {"cancelled", [](AppState& s) { OpenCaptureFiles(s, {}); }, {0, 0, 0}},
    };
    for (const auto& event : events) {
        const std::uint64_t revision = app.ui.chart.revision;
        EXPECT_EQ(Builds([&] { event.run(app); }), event.builds) << event.event;
        // The window redraws the chart after every event that changed it.
        const bool axis = std::string(event.event) == "the time axis";
        EXPECT_EQ(app.ui.chart.revision > revision, event.builds[1] > 0 || axis) << event.event;
        EXPECT_EQ(app.view.eventDepth, 0) << event.event;
    }
    // The last capture read shows the chart of field 1 over all six beacons; the scroll bar
    // stood at 2 and was pulled back to 1 when the first record of the read was taken.
    OpenCaptureFiles(app, {b, a});
    EXPECT_EQ(app.ui.recordCounter, "#1 / 6");
    EXPECT_EQ(app.ui.chart.series.at(0).values.size(), 6u);
    EXPECT_EQ(app.ui.chartTitle, "Batt Voltage (mV)");
}

TEST_F(ViewRefreshTest, LiveFramesAddTheirPointsAndAReadBuildsOnceAroundThem) {
    OpenCaptureFiles(app, {Capture("a.kss", 3, 0)});
    samples::FieldValues values{};
    const Bytes frame = samples::KissDataFrame(samples::MakeBeacon(22, values));
    Bytes arrival;
    for (int i = 0; i < 5; ++i)
        arrival.insert(arrival.end(), frame.begin(), frame.end());
    // Five frames in one arrival, then one frame cut over two arrivals: the first, without a
    // whole frame, builds nothing.
    EXPECT_EQ(Builds([&] { ReceiveLiveBytes(app, arrival); }), (Counts{1, 0, 1}));
    EXPECT_EQ(Builds([&] {
                  ReceiveLiveBytes(app, std::span(frame).first(10));
                  ReceiveLiveBytes(app, std::span(frame).subspan(10));
              }),
              (Counts{1, 0, 1}));
    EXPECT_EQ(app.telemetry.Count(), 9);
    EXPECT_EQ(app.ui.chart.series.at(0).values.size(), 9u);
    EXPECT_EQ(app.ui.recordCounter, "#0 / 9");

    // A live arrival while a capture is read adds its requests to the read's; the read still
    // builds once, at its end, and shows what it would without the arrival.
    platform.onDoEvents = [&] {
        platform.onDoEvents = nullptr;
        ReceiveLiveBytes(app, frame);
    };
    const std::string b = Capture("b.kss", 2, 1);
    EXPECT_EQ(Builds([&] { OpenCaptureFiles(app, {b}); }), (Counts{1, 1, 0}));
    EXPECT_EQ(app.telemetry.Count(), 3);
    EXPECT_EQ(app.ui.chart.series.at(0).values.size(), 3u);
    EXPECT_EQ(app.ui.recordCounter, "#0 / 3");
}

}  // namespace
}  // namespace quorbel
