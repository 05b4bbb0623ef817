// The sharing keys of conf.ini: good values and the message for each bad one.
#include "share/share_settings.hpp"

#include <gtest/gtest.h>

namespace quorbel {
namespace {

ShareConfText GoodText() {
    ShareConfText text;
    text.share = "on";
    text.noradId = "99999";
    text.callsign = "DL0ABC";
    text.latitude = "52.52";
    text.longitude = "13.405";
    return text;
}

TEST(ShareSettingsTest, GoodValuesAndDefaults) {
    auto parsed = ParseShareSettings(GoodText());
    ASSERT_TRUE(std::holds_alternative<ShareSettings>(parsed)) << std::get<std::string>(parsed);
    ShareSettings settings = std::get<ShareSettings>(parsed);
    EXPECT_TRUE(settings.enabled);
    EXPECT_EQ(settings.url, kDefaultSidsUrl);
    EXPECT_EQ(settings.noradId, "99999");
    EXPECT_EQ(settings.callsign, "DL0ABC");
    EXPECT_DOUBLE_EQ(settings.latitude, 52.52);
    EXPECT_DOUBLE_EQ(settings.longitude, 13.405);
    EXPECT_DOUBLE_EQ(settings.perSecond, 5);
    EXPECT_EQ(settings.maxAgeDays, 7);

    ShareConfText text = GoodText();
    text.share = "";
    text.url = "http://localhost:8080/api/telemetry/";
    text.latitude = "-90";
    text.longitude = "+180.0";
    text.rate = "0.5";
    text.maxAgeDays = "1";
    settings = std::get<ShareSettings>(ParseShareSettings(text));
    EXPECT_FALSE(settings.enabled);
    EXPECT_EQ(settings.url, "http://localhost:8080/api/telemetry/");
    EXPECT_DOUBLE_EQ(settings.latitude, -90);
    EXPECT_DOUBLE_EQ(settings.longitude, 180);
    EXPECT_DOUBLE_EQ(settings.perSecond, 0.5);
    EXPECT_EQ(settings.maxAgeDays, 1);

    for (const char* share : {"ON", "On", "off", "OFF", "oFf"}) {
        text.share = share;
        parsed = ParseShareSettings(text);
        ASSERT_TRUE(std::holds_alternative<ShareSettings>(parsed)) << share;
        EXPECT_EQ(std::get<ShareSettings>(parsed).enabled, text.share.size() == 2) << share;
    }
}

// Each bad value gives the message naming its key, whether SHARE is on or off.
TEST(ShareSettingsTest, BadValuesNameTheirKey) {
    struct Case {
        std::string ShareConfText::*key;
        const char* value;
        const char* message;
    };
    const Case cases[] = {
        {&ShareConfText::share, "yes", "conf.ini: SHARE=yes is not on or off"},
        {&ShareConfText::share, "1", "conf.ini: SHARE=1 is not on or off"},
        {&ShareConfText::url, "ftp://db.example.org/",
         "conf.ini: SIDS_URL=ftp://db.example.org/ is not a web address (http:// or https://)"},
        {&ShareConfText::url, "https://",
         "conf.ini: SIDS_URL=https:// is not a web address "
         "(http:// or https://)"},
        {&ShareConfText::url, "db.satnogs.org/api/telemetry/",
         "conf.ini: SIDS_URL=db.satnogs.org/api/telemetry/ is not a web address (http:// or "
         "https://)"},
        {&ShareConfText::noradId, "",
         "conf.ini: NORAD_ID is missing; sharing needs the "
         "satellite's NORAD ID"},
        {&ShareConfText::noradId, "9999A",
         "conf.ini: NORAD_ID=9999A is not a NORAD ID (digits "
         "only)"},
        {&ShareConfText::noradId, "-1", "conf.ini: NORAD_ID=-1 is not a NORAD ID (digits only)"},
        {&ShareConfText::callsign, "",
         "conf.ini: CALLSIGN is missing; sharing needs your "
         "station's callsign"},
        {&ShareConfText::latitude, "",
         "conf.ini: LATITUDE is missing; sharing needs your "
         "station's latitude"},
        {&ShareConfText::latitude, "90.0001",
         "conf.ini: LATITUDE=90.0001 is not a latitude (decimal degrees from -90 to 90, '.' as "
         "decimal mark)"},
        {&ShareConfText::latitude, "52,52",
         "conf.ini: LATITUDE=52,52 is not a latitude (decimal degrees from -90 to 90, '.' as "
         "decimal mark)"},
        {&ShareConfText::latitude, "52.52N",
         "conf.ini: LATITUDE=52.52N is not a latitude (decimal degrees from -90 to 90, '.' as "
         "decimal mark)"},
        {&ShareConfText::longitude, "-180.5",
         "conf.ini: LONGITUDE=-180.5 is not a longitude (decimal degrees from -180 to 180, '.' "
         "as decimal mark)"},
        {&ShareConfText::longitude, "1e2",
         "conf.ini: LONGITUDE=1e2 is not a longitude (decimal degrees from -180 to 180, '.' as "
         "decimal mark)"},
        {&ShareConfText::longitude, "nan",
         "conf.ini: LONGITUDE=nan is not a longitude (decimal degrees from -180 to 180, '.' as "
         "decimal mark)"},
        {&ShareConfText::longitude, "13.",
         "conf.ini: LONGITUDE=13. is not a longitude (decimal degrees from -180 to 180, '.' as "
         "decimal mark)"},
        {&ShareConfText::rate, "0",
         "conf.ini: SHARE_RATE=0 is not a rate (requests per second, more than 0)"},
        {&ShareConfText::rate, "-2",
         "conf.ini: SHARE_RATE=-2 is not a rate (requests per second, more than 0)"},
        {&ShareConfText::rate, "fast",
         "conf.ini: SHARE_RATE=fast is not a rate (requests per second, more than 0)"},
        {&ShareConfText::maxAgeDays, "0",
         "conf.ini: SHARE_MAX_AGE_DAYS=0 is not a number of days (a whole number, 1 or more)"},
        {&ShareConfText::maxAgeDays, "1.5",
         "conf.ini: SHARE_MAX_AGE_DAYS=1.5 is not a number of days (a whole number, 1 or more)"},
        {&ShareConfText::maxAgeDays, "99999999999",
         "conf.ini: SHARE_MAX_AGE_DAYS=99999999999 is not a number of days (a whole number, 1 "
         "or more)"},
    };
    for (const char* share : {"on", "off"}) {
        for (const Case& c : cases) {
            ShareConfText text = GoodText();
            text.share = share;
            text.*c.key = c.value;
            const auto parsed = ParseShareSettings(text);
            ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << c.value;
            EXPECT_EQ(std::get<std::string>(parsed), c.message) << share;
        }
    }
    // The first key at fault is the one named.
    ShareConfText empty;
    EXPECT_EQ(std::get<std::string>(ParseShareSettings(empty)),
              "conf.ini: NORAD_ID is missing; sharing needs the satellite's NORAD ID");
}

}  // namespace
}  // namespace quorbel
