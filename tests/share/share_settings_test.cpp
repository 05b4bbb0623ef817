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

// Each bad value gives the message naming its key and value, whether SHARE is on or off.
TEST(ShareSettingsTest, BadValuesNameTheirKey) {
    struct Case {
        std::string ShareConfText::*key;
        const char* value;
        const char* name;
    };
    const Case cases[] = {
        {&ShareConfText::share, "yes", "SHARE"},
        {&ShareConfText::share, "1", "SHARE"},
        {&ShareConfText::url, "ftp://db.example.org/", "SIDS_URL"},
        {&ShareConfText::url, "https://", "SIDS_URL"},
        {&ShareConfText::url, "db.satnogs.org/api/telemetry/", "SIDS_URL"},
        {&ShareConfText::url, "https://db.example.org/a b", "SIDS_URL"},
        {&ShareConfText::noradId, "9999A", "NORAD_ID"},
        {&ShareConfText::noradId, "-1", "NORAD_ID"},
        {&ShareConfText::latitude, "90.0001", "LATITUDE"},
        {&ShareConfText::latitude, "52,52", "LATITUDE"},
        {&ShareConfText::latitude, "52.52N", "LATITUDE"},
        {&ShareConfText::longitude, "-180.5", "LONGITUDE"},
        {&ShareConfText::longitude, "1e2", "LONGITUDE"},
        {&ShareConfText::longitude, "nan", "LONGITUDE"},
        {&ShareConfText::longitude, "13.", "LONGITUDE"},
        {&ShareConfText::longitude, "--13", "LONGITUDE"},
        {&ShareConfText::rate, "0", "SHARE_RATE"},
        {&ShareConfText::rate, "-2", "SHARE_RATE"},
        {&ShareConfText::rate, "fast", "SHARE_RATE"},
        {&ShareConfText::maxAgeDays, "0", "SHARE_MAX_AGE_DAYS"},
        {&ShareConfText::maxAgeDays, "1.5", "SHARE_MAX_AGE_DAYS"},
        {&ShareConfText::maxAgeDays, "99999999999", "SHARE_MAX_AGE_DAYS"},
        {&ShareConfText::noradId, "", "NORAD_ID"},
        {&ShareConfText::callsign, "", "CALLSIGN"},
        {&ShareConfText::latitude, "", "LATITUDE"},
        {&ShareConfText::longitude, "", "LONGITUDE"},
    };
    for (const char* share : {"on", "off"}) {
        for (const Case& c : cases) {
            ShareConfText text = GoodText();
            text.share = share;
            text.*c.key = c.value;
            const auto parsed = ParseShareSettings(text);
            ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << c.name << "=" << c.value;
            const std::string start = "conf.ini: " + std::string(c.name) +
                                      (*c.value ? "=" + std::string(c.value) + " is not "
                                                : std::string(" is missing; sharing needs "));
            EXPECT_EQ(std::get<std::string>(parsed).rfind(start, 0), 0u)
                << std::get<std::string>(parsed);
        }
    }
    // What each message asks for; the first key at fault is the one named.
    ShareConfText text = GoodText();
    text.longitude = "200";
    EXPECT_EQ(std::get<std::string>(ParseShareSettings(text)),
              "conf.ini: LONGITUDE=200 is not a longitude (decimal degrees from -180 to 180, '.' "
              "as decimal mark)");
    text.rate = "0";
    text.url = "ftp://x";
    EXPECT_EQ(std::get<std::string>(ParseShareSettings(text)),
              "conf.ini: SIDS_URL=ftp://x is not a web address (http:// or https://)");
    EXPECT_EQ(std::get<std::string>(ParseShareSettings(ShareConfText{})),
              "conf.ini: NORAD_ID is missing; sharing needs the satellite's NORAD ID");
}

}  // namespace
}  // namespace quorbel
