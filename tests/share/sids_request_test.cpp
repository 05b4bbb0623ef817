// The form body of a shared frame and the texts of its time and position.
#include "share/sids_request.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace quorbel {
namespace {

TEST(SidsRequestTest, BodyOfOneFrame) {
    ShareSettings settings;
    settings.noradId = "99999";
    settings.callsign = "DL0ABC";
    settings.latitude = 52.52;
    settings.longitude = 13.405;
    const std::vector<std::uint8_t> frame = {0x86, 0xA2, 0x40, 0x0F, 0x00, 0xC0, 0xDB};
    // 2026-12-07 14:22:18.584 UTC
    EXPECT_EQ(SidsRequestBody(settings, frame, 1'796'653'338'584),
              "noradID=99999&source=DL0ABC&timestamp=2026-12-07T14%3A22%3A18.584Z"
              "&frame=86A2400F00C0DB&locator=longLat&longitude=13.4050E&latitude=52.5200N");

    // A callsign with characters a form must encode; a station south-west of Greenwich.
    settings.callsign = "DL0ABC-7 portable/ä&=+~_.";
    settings.latitude = -33.86786;
    settings.longitude = -151.20732;
    EXPECT_EQ(SidsRequestBody(settings, {}, 0),
              "noradID=99999&source=DL0ABC-7+portable%2F%C3%A4%26%3D%2B~_."
              "&timestamp=1970-01-01T00%3A00%3A00.000Z&frame=&locator=longLat"
              "&longitude=151.2073W&latitude=33.8679S");
}

TEST(SidsRequestTest, TimeAndPositionTexts) {
    EXPECT_EQ(FormatIsoUtcMs(1'796'653'338'584), "2026-12-07T14:22:18.584Z");
    EXPECT_EQ(FormatIsoUtcMs(1'796'653'338'005), "2026-12-07T14:22:18.005Z");  // three digits
    EXPECT_EQ(FormatIsoUtcMs(1'796'653'338'000), "2026-12-07T14:22:18.000Z");
    EXPECT_EQ(FormatIsoUtcMs(951'782'400'999), "2000-02-29T00:00:00.999Z");

    struct Case {
        double degrees;
        const char* longitude;
        const char* latitude;
    };
    const Case cases[] = {
        {13.405, "13.4050E", "13.4050N"},
        {-0.1278, "0.1278W", "0.1278S"},
        {0.00004, "0.0000E", "0.0000N"},
        {-0.00004, "0.0000E", "0.0000N"},  // rounds to zero: no hemisphere south or west
        {-0.00005, "0.0001W", "0.0001S"},
        {179.99996, "180.0000E", "180.0000N"},
        {-180, "180.0000W", "180.0000S"},
        {45.123456, "45.1235E", "45.1235N"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatLongitude(c.degrees), c.longitude) << c.degrees;
        EXPECT_EQ(FormatLatitude(c.degrees), c.latitude) << c.degrees;
    }
}

}  // namespace
}  // namespace quorbel
