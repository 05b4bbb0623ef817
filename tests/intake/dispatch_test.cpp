// The dispatch: frame buffer rules, hexadecimal text and the choice of decoder.
#include "intake/dispatch.hpp"

#include <gtest/gtest.h>

#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "support/app_on_fake_platform.hpp"

namespace quorbel {
namespace {

using Bytes = std::vector<std::uint8_t>;

using DispatchTest = testing::AppOnFakePlatform;

TEST_F(DispatchTest, FrameBufferKeepsOlderBytesAndCutsAt255AndHexTextFollowsTheSource) {
    Bytes longFrame(300);
    for (std::size_t i = 0; i < longFrame.size(); ++i)
        longFrame[i] = static_cast<std::uint8_t>(i + 1);
    ReceiveFrame(app, longFrame);
    EXPECT_EQ(app.frame.hexText.size(), 600u);
    EXPECT_EQ(app.frame.buffer[255], 255);
    EXPECT_EQ(app.frame.buffer[0], 0);  // index 0 is never written
    EXPECT_EQ(app.frame.hexText.substr(0, 6), "010203");

    ReceiveFrame(app, Bytes(200, 0xAA));
    ReceiveFrame(app, Bytes(20, 0x0B));
    EXPECT_EQ(app.frame.buffer[20], 0x0B);
    EXPECT_EQ(app.frame.buffer[21], 0xAA);
    EXPECT_EQ(app.frame.buffer[200], 0xAA);
    EXPECT_EQ(app.frame.buffer[201], 201);
    EXPECT_EQ(app.frame.hexText, "0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B0B");

    // The SatNOGS source gives its own hexadecimal text.
    const std::string hex = "0160aa";
    ReceiveFrame(app, Bytes{0x01, 0x60, 0xAA}, &hex);
    EXPECT_EQ(app.frame.hexText, "0160aa");
}

TEST_F(DispatchTest, IdentifiersComeFromTheHeaders) {
    const struct {
        std::uint8_t b1, b2, b7, b8;
        int spacecraft, apid;
    } cases[] = {
        {0x01, 0x60, 0x09, 0x2C, 22, 300},
        {0x00, 0x00, 0x0A, 0x2C, 0, 556},
        {0xFF, 0xFF, 0x01, 0x2C, 1023, 300},
    };
    for (const auto& c : cases) {
        Bytes frame(12, 0);
        frame[0] = c.b1, frame[1] = c.b2, frame[6] = c.b7, frame[7] = c.b8;
        ReceiveFrame(app, frame);
        EXPECT_EQ(app.frame.spacecraftId, c.spacecraft);
        EXPECT_EQ(app.frame.packetApid, c.apid);
    }
    // 0x092C and 0x012C both select the beacon decoder; 0x0A2C (556) none.
    EXPECT_EQ(app.telemetry.Count(), 2);
}

TEST_F(DispatchTest, UnknownKindsAndShortFramesReachNoStore) {
    Bytes unknown(223, 0);
    unknown[7] = 200;
    ReceiveFrame(app, unknown);
    EXPECT_EQ(app.telemetry.Count() + app.sensor.Count(), 0);
    EXPECT_TRUE(app.ui.messageLog.Text().empty());

    // Three bytes: the identifiers come from the bytes the earlier frame left.
    Bytes beacon(223, 0);
    beacon[6] = 0x01, beacon[7] = 0x2C;
    ReceiveFrame(app, beacon);
    ReceiveFrame(app, Bytes{0x00, 0x00, 0x00});
    EXPECT_EQ(app.telemetry.Count(), 2);
    EXPECT_EQ(app.frame.hexText, "000000");
}

}  // namespace
}  // namespace quorbel
