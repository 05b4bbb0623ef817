// Writes the window model as JSON for scripts and end-to-end tests.
#include "json_state.hpp"

#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>

#include "shell/app_state.hpp"

namespace quorbel::cli {
namespace {

// Keys stay in the order the window model lists them.
using Json = nlohmann::ordered_json;

// The window's texts are 8-bit (Latin-1); the JSON is UTF-8, which the library checks.
std::string Utf8FromLatin1(const std::string& latin1) {
    std::string utf8;
    utf8.reserve(latin1.size());
    for (char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

Json Text(const std::string& latin1) {
    return Utf8FromLatin1(latin1);
}

template <typename Range>
Json Texts(const Range& texts) {
    Json out = Json::array();
    for (const std::string& text : texts)
        out.push_back(Text(text));
    return out;
}

// A chart value or time; null when it does not read (NaN, infinite). A whole number goes in as
// an integer, which the library writes digit for digit (3300, not 3300.0; seconds since 1970
// in full); a fraction is written as the shortest decimal that reads back the same, which for
// receive times (milliseconds at most, years 1 to 9999) has no exponent either.
Json Number(double value) {
    if (!std::isfinite(value))
        return nullptr;
    constexpr double kLargestWhole = 9.0e18;  // within std::int64_t
    if (value == std::trunc(value) && std::abs(value) < kLargestWhole)
        return static_cast<std::int64_t>(value);
    return value;
}

Json Colour(Rgb rgb) {
    return Json::array({rgb.r, rgb.g, rgb.b});
}

Json Runs(const RichText& box) {
    Json out = Json::array();
    for (const TextRun& run : box.Runs())
        out.push_back({{"text", Text(run.text)}, {"rgb", Colour(run.rgb)}});
    return out;
}

Json Chart(const ChartModel& chart) {
    Json series = Json::array();
    for (const ChartSeries& one : chart.series) {
        Json values = Json::array();
        for (double value : one.values)
            values.push_back(Number(value));
        series.push_back({{"legend", Text(one.legend)},
                          {"rgb", one.rgb ? Colour(*one.rgb) : Json(nullptr)},
                          {"values", std::move(values)}});
    }
    Json times = Json::array();
    for (double time : chart.times)
        times.push_back(Number(time));
    return {{"kind", chart.kind == ChartKind::Bar ? "bar" : "line"},
            {"series", std::move(series)},
            {"labels", Texts(chart.labels)},
            {"pointsPerLabel", chart.pointsPerLabel},
            {"timeAxis", chart.timeAxis},
            {"times", std::move(times)}};
}

// One object per file of the last open command; "linesWithoutFrame" for SatNOGS exports only.
Json Diagnostics(const std::vector<ReadDiagnostics>& reads) {
    Json out = Json::array();
    for (const ReadDiagnostics& read : reads) {
        Json frames = Json::object();
        for (FrameKind kind : kDiagnosticKinds)
            frames[DiagnosticKindCaption(kind)] = read.Frames(kind);
        Json file = {{"file", Text(read.file)},
                     {"frames", std::move(frames)},
                     {"droppedAtCap", read.droppedAtCap},
                     {"overlongFrames", read.overlongFrames}};
        if (read.linesWithoutFrame)
            file["linesWithoutFrame"] = *read.linesWithoutFrame;
        out.push_back(std::move(file));
    }
    return out;
}

// Packets in memory per image ID, only the images that have some.
Json SsdvPackets(const SsdvPacketTable& packets) {
    Json out = Json::object();
    for (int image = 0; image < SsdvPacketTable::kImageCount; ++image) {
        if (const int count = packets.Count(image); count > 0)
            out[std::to_string(image)] = count;
    }
    return out;
}

Json StateObject(const AppState& app) {
    const WindowModel& ui = app.ui;
    return {
        {"windowTitle", Text(ui.windowTitle)},
        {"fieldValues", Texts(ui.fieldValues)},
        {"fieldCaptions", Texts(ui.fieldCaptions)},
        {"fieldSelected", ui.fieldSelected},
        {"fieldUnits", Texts(ui.fieldUnits)},
        {"connectionText", Text(ui.connectionText)},
        {"receiveTimeText", Text(ui.receiveTimeText)},
        {"satelliteName", Text(ui.satelliteName)},
        {"spinText", Text(ui.spinText)},
        {"recordCounter", Text(ui.recordCounter)},
        {"statusLine", Text(ui.statusLine)},
        {"readerLog", Text(ui.readerLog)},
        {"archiveText", Text(ui.archiveText)},
        {"shareText", Text(ui.shareText)},
        {"ssdvListing", Text(ui.ssdvListing)},
        {"messageLog", Runs(ui.messageLog)},
        {"chartTitle", Text(ui.chartTitle)},
        {"recordScrollBar", {{"value", ui.recordScrollBar.value}, {"max", ui.recordScrollBar.max}}},
        {"selectedField", app.selectedField},
        {"telemetryCount", app.telemetry.Count()},
        {"sensorCount", app.sensor.Count()},
        {"chart", Chart(ui.chart)},
        {"chartBars", ui.chartBars},
        {"chartTimeAxis", ui.chartTimeAxis},
        {"diagnostics", Diagnostics(ui.diagnostics)},
        {"chosenFiles", Texts(ui.chosenFiles)},
        {"imageFiles", Texts(ui.imageFiles)},
        {"picture",
         {{"path", Text(ui.picture.path)},
          {"caption", Text(ui.picture.caption)},
          {"jpegBytes", ui.picture.jpeg.size()}}},
        {"ssdvPackets", SsdvPackets(app.ssdvPackets)},
        {"connectionLamp", Colour(ui.connectionLamp)},
        {"tcpClient", ui.tcpClient},
        {"shareFrames", ui.shareFrames}};
}

}  // namespace

std::string DumpStateJson(const AppState& app) {
    // One key a line, so that two states compare line by line with diff.
    const Json state = StateObject(app);
    std::string out = "{";
    for (const auto& [key, value] : state.items()) {
        if (out.size() > 1)
            out += ",\n";
        out += Json(key).dump() + ":" + value.dump();
    }
    return out + "}\n";
}

}  // namespace quorbel::cli
