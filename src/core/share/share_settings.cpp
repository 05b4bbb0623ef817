// The sharing keys of conf.ini read into settings, or one message naming the key at fault.
#include "share/share_settings.hpp"

#include <charconv>
#include <optional>
#include <string_view>

#include "common/text.hpp"

namespace quorbel {
namespace {

// A decimal number as conf.ini writes it: an optional sign, digits, and '.' with more digits
// ("52.52", "-0.1278", "+13"). No exponent, no comma, nothing around it.
std::optional<double> ParseDecimal(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && (digits[0] == '-' || digits[0] == '+'))
        digits.remove_prefix(1);
    const auto point = digits.find('.');
    const std::string_view whole = digits.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : digits.substr(point + 1);
    const auto allDigits = [](std::string_view part) {
        return part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (whole.empty() || !allDigits(whole) || !allDigits(fraction) ||
        (point != std::string_view::npos && fraction.empty()))
        return std::nullopt;
    double value = 0;
    const char* end = digits.data() + digits.size();
    const auto result = std::from_chars(digits.data(), end, value, std::chars_format::fixed);
    if (result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return text[0] == '-' ? -value : value;
}

bool IsDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string Missing(std::string_view key, std::string_view need) {
    return "conf.ini: " + std::string(key) + " is missing; sharing needs " + std::string(need);
}

std::string Malformed(std::string_view key, std::string_view value, std::string_view what) {
    return "conf.ini: " + std::string(key) + "=" + std::string(value) + " is not " +
           std::string(what);
}

// A web address the requests can go to: http:// or https:// (either case), a host after it, and
// no blank inside.
bool IsWebAddress(std::string_view url) {
    const std::string lower = ToLowerAscii(std::string(url));
    std::string_view rest = lower;
    if (rest.starts_with("https://"))
        rest.remove_prefix(8);
    else if (rest.starts_with("http://"))
        rest.remove_prefix(7);
    else
        return false;
    return !rest.empty() && rest[0] != '/' && url.find_first_of(" \t") == std::string_view::npos;
}

// A coordinate between -limit and limit; the message says what is wrong with it otherwise.
std::optional<std::string> ReadCoordinate(std::string_view key, std::string_view text, double limit,
                                          std::string_view what, double& value) {
    if (text.empty())
        return Missing(key, "your station's " + std::string(what));
    const std::optional<double> degrees = ParseDecimal(text);
    if (!degrees || *degrees < -limit || *degrees > limit) {
        const std::string bound = std::to_string(static_cast<int>(limit));
        return Malformed(key, text,
                         "a " + std::string(what) + " (decimal degrees from -" + bound + " to " +
                             bound + ", '.' as decimal mark)");
    }
    value = *degrees;
    return std::nullopt;
}

}  // namespace

std::variant<ShareSettings, std::string> ParseShareSettings(const ShareConfText& text) {
    ShareSettings settings;
    const std::string share = ToLowerAscii(text.share);
    if (share == "on")
        settings.enabled = true;
    else if (!share.empty() && share != "off")
        return Malformed("SHARE", text.share, "on or off");

    if (!text.url.empty()) {
        if (!IsWebAddress(text.url))
            return Malformed("SIDS_URL", text.url, "a web address (http:// or https://)");
        settings.url = text.url;
    }

    if (text.noradId.empty())
        return Missing("NORAD_ID", "the satellite's NORAD ID");
    if (!IsDigits(text.noradId))
        return Malformed("NORAD_ID", text.noradId, "a NORAD ID (digits only)");
    settings.noradId = text.noradId;

    if (text.callsign.empty())
        return Missing("CALLSIGN", "your station's callsign");
    settings.callsign = text.callsign;

    if (auto problem = ReadCoordinate("LATITUDE", text.latitude, 90, "latitude", settings.latitude))
        return *problem;
    if (auto problem =
            ReadCoordinate("LONGITUDE", text.longitude, 180, "longitude", settings.longitude))
        return *problem;

    if (!text.rate.empty()) {
        const std::optional<double> rate = ParseDecimal(text.rate);
        if (!rate || *rate <= 0)
            return Malformed("SHARE_RATE", text.rate, "a rate (requests per second, more than 0)");
        settings.perSecond = *rate;
    }

    if (!text.maxAgeDays.empty()) {
        int days = 0;
        const char* end = text.maxAgeDays.data() + text.maxAgeDays.size();
        const auto result = std::from_chars(text.maxAgeDays.data(), end, days);
        if (!IsDigits(text.maxAgeDays) || result.ec != std::errc() || result.ptr != end || days < 1)
            return Malformed("SHARE_MAX_AGE_DAYS", text.maxAgeDays,
                             "a number of days (a whole number, 1 or more)");
        settings.maxAgeDays = days;
    }
    return settings;
}

}  // namespace quorbel
