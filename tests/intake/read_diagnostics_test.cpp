// The diagnostics of a read: frames by kind, records dropped at the 5,000 cap and the lines of a
// SatNOGS export without a frame of the satellite, beside an unchanged reader's log.
#include "intake/read_diagnostics.hpp"

#include <gtest/gtest.h>

#include "common/text.hpp"
#include "sample_frames.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "support/app_on_fake_platform.hpp"
#include "support/pass_frames.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

using samples::Bytes;

class ReadDiagnosticsTest : public testing::AppOnFakePlatform {
  protected:
    testing::TempFolder folder;

    void SetUp() override { app.settings.appDir = folder.Path(); }

    std::string Capture(const std::string& name, const samples::PassOptions& options) {
        return folder.Write(name, samples::MakePassCapture(options));
    }
};

TEST_F(ReadDiagnosticsTest, CaptureFramesAreCountedByKindPerFileAndTheLogStaysAsItWas) {
    const std::string first = Capture("a.kss", testing::PassWithFrames(7, 5, 2, 3, 4, 2));
    const std::string second = Capture("b.kss", testing::PassWithFrames(3, 0, 0, 0, 0, 0));
    OpenCaptureFiles(app, {second, first});

    ASSERT_EQ(app.ui.diagnostics.size(), 2u);
    const ReadDiagnostics& mixed = app.ui.diagnostics[0];
    EXPECT_EQ(mixed.file, first);
    EXPECT_EQ(mixed.frames, (std::array<long long, 6>{7, 5, 2, 3, 4, 2}));
    EXPECT_EQ(mixed.Frames(FrameKind::DigipeatedMessage), 3);
    EXPECT_EQ(mixed.droppedAtCap, 0);
    EXPECT_FALSE(mixed.linesWithoutFrame.has_value());
    EXPECT_EQ(app.ui.diagnostics[1].frames, (std::array<long long, 6>{3, 0, 0, 0, 0, 0}));
    // Every frame and its stamp take two FENDs each; the log holds the reader's lines alone.
    EXPECT_EQ(app.ui.readerLog, "kiss frames: 92\r\nkiss frames: 12\r\n");

    // The next open command starts a new box, even when it is cancelled.
    OpenCaptureFiles(app, {});
    EXPECT_TRUE(app.ui.diagnostics.empty());
}

TEST_F(ReadDiagnosticsTest, RecordsBeyondAFullStoreAreCountedAsDropped) {
    OpenCaptureFiles(
        app, {Capture("full.kss", testing::PassWithFrames(kStoreCapacity + 3, 2, 0, 0, 0, 0))});
    ASSERT_EQ(app.ui.diagnostics.size(), 1u);
    EXPECT_EQ(app.ui.diagnostics[0].Frames(FrameKind::Beacon), kStoreCapacity + 3);
    EXPECT_EQ(app.ui.diagnostics[0].Frames(FrameKind::Sensor), 2);
    EXPECT_EQ(app.ui.diagnostics[0].droppedAtCap, 3);
    EXPECT_EQ(app.telemetry.Count(), kStoreCapacity);
}

TEST_F(ReadDiagnosticsTest, ExportLinesWithoutAFrameOfTheSatelliteAreCounted) {
    std::string beacon, sensor, other;
    AppendHex(beacon, samples::MakeBeacon(22, {}));
    AppendHex(sensor, samples::MakeSensorFrame(22, {}, 1000000));
    AppendHex(other, samples::MakeFrame(22, 200, Bytes{1, 2, 3}));
    const std::string lines[] = {
        "2023-01-15 12:34:58|" + beacon + "|1|ST-A",
        "2023-01-15 12:34:57|" + other + "|1|ST-A",  // an identifier of no decoder
        "2023-01-15 12:34:56|" + sensor + "|1|ST-B",
        "2023-01-15 12:34:56|" + sensor + "|1|ST-B",  // an adjacent repeat, dropped
        "2023-01-15 12:34:55|",                       // a time without a frame
        "",                                           // an empty line
        "2023-01-15 12:34:54|" + beacon + "|1|ST-C",
    };
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    OpenSatnogsExports(app, {folder.Write("export.csv", text)});

    ASSERT_EQ(app.ui.diagnostics.size(), 1u);
    const ReadDiagnostics& read = app.ui.diagnostics[0];
    EXPECT_EQ(read.frames, (std::array<long long, 6>{2, 1, 0, 0, 0, 1}));
    EXPECT_EQ(read.linesWithoutFrame, 3);
    EXPECT_EQ(app.telemetry.Count(), 2);
    EXPECT_NE(app.ui.readerLog.find("records from SatNOGS: 7\r\nafter removing duplicates: "),
              std::string::npos);
}

TEST(ReadDiagnosticsText, OneLinePerCountInOneColumn) {
    ReadDiagnostics read;
    read.file = "/data/export.csv";
    read.frames = {120, 60, 4, 3, 6, 1};
    read.droppedAtCap = 2;
    read.overlongFrames = 5;
    read.linesWithoutFrame = 17;
    EXPECT_EQ(FormatReadDiagnostics(read, "\n"),
              "file: /data/export.csv\n"
              "  beacon frames:                            120\n"
              "  sensor frames:                            60\n"
              "  text frames:                              4\n"
              "  digipeater frames:                        3\n"
              "  SSDV frames:                              6\n"
              "  unknown identifier frames:                1\n"
              "  records dropped at the 5,000 cap:         2\n"
              "  frames over 65,536 bytes, skipped:        5\n"
              "  lines without a frame of the satellite:   17\n");
    read.linesWithoutFrame.reset();
    EXPECT_EQ(FormatReadDiagnostics(read, "\r\n").find("lines without"), std::string::npos);
}

}  // namespace
}  // namespace quorbel
