// "Open KISS File": splitting, stamps, several files, cancelling and the end-of-read steps.
#include "intake/kiss_file_reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "intake/dispatch.hpp"
#include "intake/read_diagnostics.hpp"
#include "sample_frames.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "support/app_on_fake_platform.hpp"
#include "support/concat.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

using samples::Bytes;

Bytes Beacon(std::uint8_t batteryHigh = 0x1C) {
    Bytes frame(223, 0);
    frame[6] = 0x01, frame[7] = 0x2C;  // identifier 300
    frame[14] = batteryHigh;           // position 15: battery voltage
    return frame;
}

Bytes KissBeacon(std::uint8_t batteryHigh = 0x1C) {
    return samples::KissDataFrame(Beacon(batteryHigh));
}

using ::quorbel::testing::Concat;

class KissFileReaderTest : public testing::AppOnFakePlatform {
  protected:
    testing::TempFolder folder;

    void Open(std::vector<std::string> paths) { OpenCaptureFiles(app, paths); }
};

TEST_F(KissFileReaderTest, SplitsAtFendAndLogsTheCount) {
    const Bytes frame = Beacon();
    Open({folder.Write("a.kss", Concat({{0xC0, 0x00}, frame, {0xC0, 0xC0, 0x00}, frame, {0xC0}}))});
    EXPECT_EQ(app.ui.readerLog, "kiss frames: 4\r\n");
    EXPECT_EQ(app.telemetry.Count(), 2);
    EXPECT_EQ(app.sourceFileName, folder.File("a.kss"));
    EXPECT_EQ(app.ui.statusLine, folder.File("a.kss"));

    // Without its opening FEND the first frame is lost; bytes after the last FEND are ignored;
    // escaped bytes reach the decoder unescaped (battery voltage 0xC0DB).
    Bytes escaped = frame;
    escaped[14] = 0xC0, escaped[15] = 0xDB;
    Open({folder.Write("b.kss",
                       Concat({frame, {0xC0}, samples::KissDataFrame(escaped), {0x00, 0x01}}))});
    ASSERT_EQ(app.telemetry.Count(), 1);
    EXPECT_EQ(app.telemetry.Record(1).values[1], 0xC0DB);
}

// A piece with no FEND within the limit is skipped unread and counted, the frames around it are
// decoded; a piece of exactly the limit is still read, and one cut off by the end of the file is
// counted too. Unbounded, such a capture of a gigabyte would be held in memory several times.
TEST_F(KissFileReaderTest, OverlongFramesAreSkippedAndCounted) {
    const Bytes beacon = KissBeacon();
    Bytes overlong{0xC0, 0x00};
    overlong.resize(kMaxCaptureFrameBytes + 2, 0x41);  // one byte past the limit
    overlong.push_back(0xC0);
    Bytes longest{0xC0};
    longest.resize(kMaxCaptureFrameBytes + 1, 0x41);  // an unknown identifier, at the limit
    longest.push_back(0xC0);
    Bytes cutOff{0xC0, 0x00};
    cutOff.resize(std::size_t{3} << 20, 0x41);
    Open({folder.Write("long.kss", Concat({beacon, overlong, beacon, longest, beacon, cutOff}))});
    EXPECT_EQ(app.telemetry.Count(), 3);
    ASSERT_EQ(app.ui.diagnostics.size(), 1u);
    EXPECT_EQ(app.ui.diagnostics[0].overlongFrames, 2);
    EXPECT_EQ(app.ui.diagnostics[0].Frames(FrameKind::None), 1);
    EXPECT_NE(FormatReadDiagnostics(app.ui.diagnostics[0], "\n")
                  .find("  frames over 65,536 bytes, skipped:        2\n"),
              std::string::npos);
}

TEST_F(KissFileReaderTest, StampFramesSetTheReceiveTime) {
    const Bytes numeric{0xC0, 0x09, 0x00, 0x00, 0x01, 0x85, 0xB5, 0x66, 0xE2, 0x00, 0xC0};
    // Nine bytes are the numeric form even when printable; this count lies past year 9999.
    const Bytes printableNumeric{0xC0, 0x09, '2', '0', '2', '3', '-', '0', '1', '-', 0xC0};
    const Bytes noUtc = samples::KissTextStamp("2023-01-15 12:34:56.789 XYZ");
    Open({folder.Write(
        "s.kss",
        Concat({numeric, KissBeacon(), samples::KissTextStamp("2023-01-15 12:34:56.789 UTC"),
                KissBeacon(), noUtc, KissBeacon(), printableNumeric, KissBeacon()}))});
    ASSERT_EQ(app.telemetry.Count(), 4);
    EXPECT_EQ(app.telemetry.Record(1).rxTime, "2023-01-15 12:28:17");
    EXPECT_EQ(app.telemetry.Record(2).rxTime, "2023-01-15 12:34:56.789 UTC");
    EXPECT_EQ(app.telemetry.Record(3).rxTime, "2023-01-15 12:34:56.789 UTC");
    EXPECT_EQ(app.telemetry.Record(4).rxTime, "2023-01-15 12:34:56.789 UTC");
}

TEST_F(KissFileReaderTest, SeveralFilesAddUpInAlphabeticalOrder) {
    const std::string b = folder.Write(
        "B.kss", Concat({samples::KissTextStamp("2023-01-15 12:00:00.000 UTC"), KissBeacon()}));
    const std::string a =
        folder.Write("a.kss", Concat({samples::KissTextStamp("2023-01-15 11:00:00.000 UTC"),
                                      KissBeacon(), KissBeacon()}));
    Open({b, a});
    EXPECT_EQ(app.ui.chosenFiles, (std::vector<std::string>{a, b}));
    EXPECT_EQ(app.telemetry.Count(), 3);
    EXPECT_EQ(app.telemetry.Record(3).rxTime, "2023-01-15 12:00:00.000 UTC");
    EXPECT_EQ(app.sourceFileName, b);
    EXPECT_EQ(app.ui.readerLog, "kiss frames: 6\r\nkiss frames: 4\r\n");

    // A second open starts both stores afresh; cancelling leaves them empty.
    Open({b});
    EXPECT_EQ(app.telemetry.Count(), 1);
    OpenCaptureFiles(app, {});
    EXPECT_EQ(app.telemetry.Count(), 0);
    EXPECT_EQ(app.ui.readerLog, "");
}

// A missing or empty file counts -1; a folder is refused with a message box and not read as an
// empty file; the files after them are read.
TEST_F(KissFileReaderTest, UnreadableFilesCountMinusOneAndAFolderIsRefused) {
    const std::string dir = folder.File("day.kss");
    std::filesystem::create_directory(dir);
    const std::string file = folder.Write("later.kss", KissBeacon());
    Open({folder.File("0-missing.kss"), folder.Write("1-empty.kss", Bytes{}), dir, file});
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, dir + " is a folder, not a file");
    EXPECT_EQ(platform.messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(app.ui.readerLog, "kiss frames: -1\r\nkiss frames: -1\r\nkiss frames: 2\r\n");
    EXPECT_EQ(app.telemetry.Count(), 1);
    EXPECT_EQ(app.sourceFileName, file);
    EXPECT_FALSE(app.ui.reading);
}

TEST_F(KissFileReaderTest, EndOfReadShowsTheChartOfField1AndTheLastRecord) {
    app.ui.chartBars = true;
    Open({folder.Write("p.kss", Concat({KissBeacon(0x1C), KissBeacon(0x1D)}))});
    EXPECT_EQ(app.selectedField, 1);
    EXPECT_EQ(app.ui.chartTitle, "Batt Voltage (mV)");
    ASSERT_EQ(app.ui.chart.series.size(), 1u);
    EXPECT_EQ(app.ui.chart.series[0].values, (std::vector<double>{0x1C00, 0x1D00}));
    EXPECT_EQ(app.ui.chart.kind, ChartKind::Bar);
    EXPECT_EQ(app.ui.fieldValues[1], "7424");  // the chart shows the newest record
    EXPECT_EQ(app.ui.recordCounter, "#0 / 2");
    EXPECT_EQ(app.ui.fieldBackgrounds[1], (Rgb{255, 255, 192}));
    EXPECT_FALSE(app.ui.progress.visible);
    EXPECT_EQ(app.ui.progress.max, 4);
    EXPECT_FALSE(app.ui.busy);
    EXPECT_FALSE(app.ui.reading);
    EXPECT_GE(platform.doEventsCalls, 4);
}

TEST_F(KissFileReaderTest, LiveFrameDuringTheReadKeepsTheFilesTimes) {
    const std::string path =
        folder.Write("l.kss", Concat({samples::KissTextStamp("2023-01-15 12:00:00.000 UTC"),
                                      KissBeacon(), KissBeacon()}));
    bool injected = false;
    platform.onDoEvents = [&] {
        if (app.telemetry.Count() == 1 && !injected) {
            injected = true;
            app.frame.rxTimeText = "2024-06-01 00:00:00.000 UTC";
            ReceiveFrame(app, Beacon());
        }
    };
    Open({path});
    ASSERT_EQ(app.telemetry.Count(), 3);
    EXPECT_EQ(app.telemetry.Record(2).rxTime, "2024-06-01 00:00:00.000 UTC");
    EXPECT_EQ(app.telemetry.Record(3).rxTime, "2023-01-15 12:00:00.000 UTC");
}

// A capture many times larger than the reader's block gives the records that decoding all of its
// bytes at once gives, wherever the blocks cut frames, escapes and stamps; bytes appended to the
// file during the read (the live client recording into the capture being read) are not read.
TEST_F(KissFileReaderTest, CapturesAreReadInBlocksAsTheyStoodWhenOpened) {
    Bytes capture;
    for (int i = 0; i < 4000; ++i) {
        if (i % 100 == 0) {
            const std::string second = std::to_string(10 + i / 100);
            const Bytes stamp = samples::KissTextStamp("2023-01-15 12:00:" + second + ".000 UTC");
            capture.insert(capture.end(), stamp.begin(), stamp.end());
        }
        Bytes frame = Beacon(static_cast<std::uint8_t>(i));
        frame[15] = i % 3 == 0 ? 0xC0 : 0xDB;  // escaped in the capture
        const Bytes kiss = samples::KissDataFrame(frame);
        capture.insert(capture.end(), kiss.begin(), kiss.end());
    }
    const std::string path = folder.Write("big.kss", capture);
    bool appended = false;
    platform.onDoEvents = [&] {
        if (!appended && app.telemetry.Count() == 10) {
            appended = true;
            const Bytes late = KissBeacon();
            std::ofstream(path, std::ios::binary | std::ios::app)
                .write(reinterpret_cast<const char*>(late.data()),
                       static_cast<std::streamsize>(late.size()));
        }
    };
    Open({path});
    testing::FakePlatform otherPlatform;
    AppState whole(otherPlatform);
    DecodeCapture(whole, capture);
    ASSERT_EQ(whole.telemetry.Count(), 4000);
    ASSERT_EQ(app.telemetry.Count(), 4000);
    for (int n = 1; n <= 4000; ++n) {
        ASSERT_EQ(app.telemetry.Record(n).values, whole.telemetry.Record(n).values) << n;
        ASSERT_EQ(app.telemetry.RxTime(n), whole.telemetry.RxTime(n)) << n;
    }
    EXPECT_TRUE(appended);
    const auto fends = std::count(capture.begin(), capture.end(), 0xC0);
    EXPECT_EQ(app.ui.readerLog, "kiss frames: " + std::to_string(fends) + "\r\n");
}

TEST_F(KissFileReaderTest, NoSecondReadStartsInsideTheFirst) {
    const std::string path = folder.Write("r.kss", KissBeacon());
    int nestedOpens = 0;
    platform.onDoEvents = [&] {
        if (nestedOpens++ == 0) {
            OpenCaptureFiles(app, {path});  // refused: the stores are not emptied under the read
        }
    };
    Open({path});
    EXPECT_EQ(app.ui.chosenFiles, (std::vector<std::string>{path}));
}

}  // namespace
}  // namespace quorbel
