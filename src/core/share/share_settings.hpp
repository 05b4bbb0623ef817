// Sharing received frames with SatNOGS DB or any server of the Simple Downlink Share Convention
// (SiDS): the conf.ini keys that switch it on and say who and where the station is.
#pragma once

#include <string>
#include <variant>

namespace quorbel {

// SatNOGS DB's telemetry endpoint, the SIDS_URL when conf.ini names none.
inline constexpr const char* kDefaultSidsUrl = "https://db.satnogs.org/api/telemetry/";

// The sharing keys of conf.ini as written (trimmed, case kept); empty when absent.
struct ShareConfText {
    std::string share;       // SHARE: on or off (default off)
    std::string url;         // SIDS_URL
    std::string noradId;     // NORAD_ID
    std::string callsign;    // CALLSIGN
    std::string latitude;    // LATITUDE: decimal degrees, north positive
    std::string longitude;   // LONGITUDE: decimal degrees, east positive
    std::string rate;        // SHARE_RATE: requests per second at most (default 5)
    std::string maxAgeDays;  // SHARE_MAX_AGE_DAYS: unsent frames older than this are dropped (7)
};

struct ShareSettings {
    bool enabled = false;
    std::string url = kDefaultSidsUrl;
    std::string noradId;  // digits only
    std::string callsign;
    double latitude = 0;   // -90 to 90
    double longitude = 0;  // -180 to 180
    double perSecond = 5;  // > 0
    int maxAgeDays = 7;    // >= 1
};

// The settings the keys give, or one clear message naming the first key that is missing or
// malformed ("conf.ini: NORAD_ID is missing; sharing needs the satellite's NORAD ID"). Keys
// needed only to send (NORAD_ID, CALLSIGN, LATITUDE, LONGITUDE) are checked whether or not SHARE
// is on, so that `share` and a check box set by hand get the same message; SHARE itself must be
// on, off or empty.
std::variant<ShareSettings, std::string> ParseShareSettings(const ShareConfText& text);

}  // namespace quorbel
