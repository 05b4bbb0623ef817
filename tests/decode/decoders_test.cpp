// The beacon, sensor and message decoders, fed through the dispatch with hand-built frames.
#include "decode/decoders.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "common/text.hpp"
#include "intake/dispatch.hpp"
#include "sample_frames.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "support/app_on_fake_platform.hpp"

namespace quorbel {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A frame of the given kind and length with bytes placed at frame positions.
Bytes Frame(int apid, std::size_t length, std::vector<std::pair<int, Bytes>> placed = {}) {
    Bytes frame(length, 0);
    frame[6] = static_cast<std::uint8_t>(apid >> 8);
    frame[7] = static_cast<std::uint8_t>(apid);
    for (const auto& [position, bytes] : placed) {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            frame[static_cast<std::size_t>(position - 1) + i] = bytes[i];
    }
    return frame;
}

class DecodersTest : public testing::AppOnFakePlatform {
  protected:
    void Dispatch(const Bytes& frame) { ReceiveFrame(app, frame); }
    double Beacon(int n, int field) {
        return app.telemetry.Record(n).values[static_cast<std::size_t>(field)];
    }
    double Sensor(int n, int field) {
        return app.sensor.Record(n).values[static_cast<std::size_t>(field)];
    }
};

TEST_F(DecodersTest, BeaconFieldsComeFromTheirPositions) {
    app.frame.rxTimeText = "2023-01-15 12:34:56";
    Dispatch(Frame(300, 223,
                   {{13, {0xFF, 0x38}},
                    {19, {0xF6}},
                    {50, {0xF6}},
                    {59, {0x00, 0x01, 0x51, 0x80}},
                    {77, {0xFF, 0xFF, 0xFF, 0xFF}},
                    {123, {0xFF, 0xFF, 0xFF, 0xFF}}}));
    ASSERT_EQ(app.telemetry.Count(), 1);
    EXPECT_EQ(Beacon(1, 0), -200);
    EXPECT_EQ(Beacon(1, 3), -10);
    EXPECT_EQ(Beacon(1, 22), 246);
    EXPECT_EQ(Beacon(1, 29), 86400);
    EXPECT_EQ(Beacon(1, 39), 4294967295.0);
    EXPECT_EQ(Beacon(1, 64), -1);
    EXPECT_EQ(app.telemetry.Record(1).rxTime, "2023-01-15 12:34:56");
    for (int field = 67; field <= 106; ++field)
        EXPECT_EQ(Beacon(1, field), 0);
    EXPECT_EQ(app.ui.recordScrollBar.max, 1);

    // The sample builder writes every field where the decoder reads it: a round trip of values
    // that fit each reader (negative ones for the signed readers).
    samples::FieldValues values{};
    for (int i = 0; i <= 66; ++i) {
        const FieldReader reader = kFields[static_cast<std::size_t>(i)].reader;
        const bool isSigned = reader == FieldReader::S8 || reader == FieldReader::S16BE ||
                              reader == FieldReader::S32BE;
        values[static_cast<std::size_t>(i)] = isSigned ? -(i + 1) : 3 * i + 1;
    }
    values[54] = 4000000000.0;
    Dispatch(samples::MakeBeacon(22, values));
    for (int i = 0; i <= 66; ++i)
        EXPECT_EQ(Beacon(2, i), values[static_cast<std::size_t>(i)]) << i;
}

TEST_F(DecodersTest, ShortBeaconKeepsTheEarlierFrameBytes) {
    Dispatch(Frame(300, 223, {{101, {0x00, 0x00, 0x10, 0x00}}, {40, {0x01, 0x02}}}));
    Dispatch(Frame(300, 60, {{40, {0x03, 0x04}}}));
    EXPECT_EQ(Beacon(2, 16), 0x0304);  // inside the short frame
    EXPECT_EQ(Beacon(2, 54), 4096);    // position 101 left from the first frame
}

TEST_F(DecodersTest, SensorFieldsFloatsAndTheRadiationCounterTime) {
    Dispatch(Frame(400, 223,
                   {{13, {0x00, 0x06, 0x0A, 0x24, 0x18, 0x1E, 0x40, 0x00}},
                    {31, {0x3F, 0x80, 0x00, 0x00}},
                    {59, {0xC1, 0x20, 0x00, 0x00}},
                    {71, {0x80, 0x00}},
                    {79, {0xAA, 0xBB}}}));
    ASSERT_EQ(app.sensor.Count(), 1);
    EXPECT_EQ(Sensor(1, 70), 1700000000);
    EXPECT_EQ(Sensor(1, 74), 1.0);
    EXPECT_EQ(Sensor(1, 81), -10.0);
    EXPECT_EQ(Sensor(1, 84), 32768);
    EXPECT_EQ(Sensor(1, 87), 0);  // positions 79 and 80 feed nothing
    EXPECT_EQ(Sensor(1, 88), 0);
    EXPECT_EQ(Sensor(1, 106), 0);
    for (int field = 0; field <= 69; ++field)
        EXPECT_EQ(Sensor(1, field), 0);

    // The top digit of the 64-bit count is dropped.
    Dispatch(Frame(400, 223, {{13, {0xF0, 0x06, 0x0A, 0x24, 0x18, 0x1E, 0x40, 0x00}}}));
    EXPECT_EQ(Sensor(2, 70), 1700000000);
}

TEST_F(DecodersTest, SensorTimeFromLowerCaseHexAndBadHex) {
    const Bytes frame = Frame(
        400, 40, {{13, {0x00, 0x06, 0x0A, 0x24, 0x18, 0x1E, 0x40, 0x00}}, {21, {0, 0, 0, 7}}});
    std::string hex;
    AppendHex(hex, frame);
    std::string lower = hex;
    std::transform(hex.begin(), hex.end(), lower.begin(),
                   [](char c) { return static_cast<char>(std::tolower(c)); });
    ReceiveFrame(app, frame, &lower);
    EXPECT_EQ(Sensor(1, 70), 1700000000);
    EXPECT_EQ(Sensor(1, 71), 7);

    // Not hexadecimal at characters 26 to 40: the record stays with its receive time only.
    app.frame.rxTimeText = "later";
    std::string bad = hex;
    bad[30] = 'G';
    ReceiveFrame(app, frame, &bad);
    ASSERT_EQ(app.sensor.Count(), 2);
    EXPECT_EQ(app.sensor.Record(2).rxTime, "later");
    EXPECT_EQ(Sensor(2, 71), 0);  // never written
}

TEST_F(DecodersTest, TextAndDigipeatedMessagesBecomeColouredLines) {
    app.frame.rxTimeText = "T";
    Dispatch(Frame(100, 76, {{13, {'H', 'E', 'L', 'L', 'O'}}}));
    Dispatch(Frame(100, 76, {{13, {'A', 'B', 0, 'C', 'D'}}}));
    Dispatch(
        Frame(600, 93, {{15, {'C', 'Q'}}, {21, {'A', 'B', 'C', 'D', 'E', 'F'}}, {27, {'h', 'i'}}}));
    Dispatch(Frame(600, 93, {{27, {'x'}}}));
    const auto runs = app.ui.messageLog.Runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].text, "T | HELLO\r\nT | ABCD\r\n");
    EXPECT_EQ(runs[0].rgb, (Rgb{0, 0, 0}));
    EXPECT_EQ(runs[1].text, "T | to: CQ fm: ABCDEF > hi\r\nT | to:  fm:  > x\r\n");
    EXPECT_EQ(runs[1].rgb, (Rgb{0, 0, 255}));
    EXPECT_EQ(app.telemetry.Count() + app.sensor.Count(), 0);

    // A short frame shows the bytes an earlier, longer frame left behind.
    Dispatch(Frame(100, 76, {{13, {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'}}}));
    Dispatch(Frame(100, 15, {{13, {'a', 'b', 'c'}}}));
    EXPECT_TRUE(app.ui.messageLog.Text().ends_with("T | abc3456789\r\n"));
}

}  // namespace
}  // namespace quorbel
