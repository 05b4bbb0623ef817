// Writes the window model as JSON for scripts and end-to-end tests.
#include "json_state.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "shell/app_state.hpp"

namespace quorbel::cli {
namespace {

std::string JsonNumber(double value) {
    if (!std::isfinite(value))
        return "null";
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

// Seconds since 1970 in full, never with an exponent.
std::string JsonSeconds(double value) {
    if (!std::isfinite(value))
        return "null";
    char buffer[48];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed).ptr;
    return std::string(buffer, end);
}

std::string JsonRgb(Rgb rgb) {
    char text[16];
    std::snprintf(text, sizeof text, "[%d,%d,%d]", rgb.r, rgb.g, rgb.b);
    return text;
}

template <typename Range>
std::string JsonStrings(const Range& texts) {
    std::string out = "[";
    bool first = true;
    for (const std::string& text : texts) {
        if (!first)
            out += ",";
        out += JsonString(text);
        first = false;
    }
    return out + "]";
}

std::string JsonRuns(const RichText& box) {
    std::string out = "[";
    bool first = true;
    for (const TextRun& run : box.Runs()) {
        if (!first)
            out += ",";
        out += "{\"text\":" + JsonString(run.text) + ",\"rgb\":" + JsonRgb(run.rgb) + "}";
        first = false;
    }
    return out + "]";
}

std::string JsonChart(const ChartModel& chart) {
    std::string out = "{\"kind\":";
    out += chart.kind == ChartKind::Bar ? "\"bar\"" : "\"line\"";
    out += ",\"series\":[";
    for (std::size_t s = 0; s < chart.series.size(); ++s) {
        const ChartSeries& series = chart.series[s];
        if (s > 0)
            out += ",";
        out += "{\"legend\":" + JsonString(series.legend) + ",\"rgb\":";
        out += series.rgb ? JsonRgb(*series.rgb) : "null";
        out += ",\"values\":[";
        for (std::size_t i = 0; i < series.values.size(); ++i) {
            if (i > 0)
                out += ",";
            out += JsonNumber(series.values[i]);
        }
        out += "]}";
    }
    out += "],\"labels\":" + JsonStrings(chart.labels);
    out += ",\"pointsPerLabel\":" + std::to_string(chart.pointsPerLabel);
    out += std::string(",\"timeAxis\":") + (chart.timeAxis ? "true" : "false");
    out += ",\"times\":[";
    for (std::size_t i = 0; i < chart.times.size(); ++i) {
        if (i > 0)
            out += ',';
        out += JsonSeconds(chart.times[i]);
    }
    return out + "]}";
}

// One object per file of the last open command; "linesWithoutFrame" for SatNOGS exports only.
std::string JsonDiagnostics(const std::vector<ReadDiagnostics>& reads) {
    std::string out = "[";
    for (const ReadDiagnostics& read : reads) {
        if (out.size() > 1)
            out += ",";
        out += "{\"file\":" + JsonString(read.file) + ",\"frames\":{";
        for (std::size_t k = 0; k < kDiagnosticKinds.size(); ++k) {
            out += std::string(k > 0 ? "," : "") + "\"" +
                   DiagnosticKindCaption(kDiagnosticKinds[k]) +
                   "\":" + std::to_string(read.Frames(kDiagnosticKinds[k]));
        }
        out += "},\"droppedAtCap\":" + std::to_string(read.droppedAtCap);
        out += ",\"overlongFrames\":" + std::to_string(read.overlongFrames);
        if (read.linesWithoutFrame)
            out += ",\"linesWithoutFrame\":" + std::to_string(*read.linesWithoutFrame);
        out += "}";
    }
    return out + "]";
}

}  // namespace

std::string JsonString(const std::string& latin1) {
    std::string out = "\"";
    for (char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else if (byte < 0x80) {
            out += c;
        } else {  // Latin-1 to UTF-8
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out + "\"";
}

std::string DumpStateJson(const AppState& app) {
    const WindowModel& ui = app.ui;
    std::string out = "{";
    auto add = [&out](const char* name, const std::string& json) {
        if (out.size() > 1)
            out += ",\n";
        out += std::string("\"") + name + "\":" + json;
    };
    add("windowTitle", JsonString(ui.windowTitle));
    add("fieldValues", JsonStrings(ui.fieldValues));
    add("fieldCaptions", JsonStrings(ui.fieldCaptions));
    std::string set = "[";
    for (std::size_t i = 0; i < ui.fieldSelected.size(); ++i)
        set += std::string(i > 0 ? "," : "") + (ui.fieldSelected[i] ? "true" : "false");
    add("fieldSelected", set + "]");
    add("fieldUnits", JsonStrings(ui.fieldUnits));
    add("connectionText", JsonString(ui.connectionText));
    add("receiveTimeText", JsonString(ui.receiveTimeText));
    add("satelliteName", JsonString(ui.satelliteName));
    add("spinText", JsonString(ui.spinText));
    add("recordCounter", JsonString(ui.recordCounter));
    add("statusLine", JsonString(ui.statusLine));
    add("readerLog", JsonString(ui.readerLog));
    add("ssdvListing", JsonString(ui.ssdvListing));
    add("messageLog", JsonRuns(ui.messageLog));
    add("chartTitle", JsonString(ui.chartTitle));
    add("recordScrollBar", "{\"value\":" + std::to_string(ui.recordScrollBar.value) +
                               ",\"max\":" + std::to_string(ui.recordScrollBar.max) + "}");
    add("selectedField", std::to_string(app.selectedField));
    add("telemetryCount", std::to_string(app.telemetry.Count()));
    add("sensorCount", std::to_string(app.sensor.Count()));
    add("chart", JsonChart(ui.chart));
    add("chartBars", ui.chartBars ? "true" : "false");
    add("chartTimeAxis", ui.chartTimeAxis ? "true" : "false");
    add("diagnostics", JsonDiagnostics(ui.diagnostics));
    add("chosenFiles", JsonStrings(ui.chosenFiles));
    add("imageFiles", JsonStrings(ui.imageFiles));
    add("picture", "{\"path\":" + JsonString(ui.picture.path) +
                       ",\"caption\":" + JsonString(ui.picture.caption) +
                       ",\"jpegBytes\":" + std::to_string(ui.picture.jpeg.size()) + "}");
    std::string packets = "{";
    for (int image = 0; image < SsdvPacketTable::kImageCount; ++image) {
        if (const int count = app.ssdvPackets.Count(image); count > 0)
            packets += (packets.size() > 1 ? ",\"" : "\"") + std::to_string(image) +
                       "\":" + std::to_string(count);
    }
    add("ssdvPackets", packets + "}");
    add("connectionLamp", JsonRgb(ui.connectionLamp));
    add("tcpClient", ui.tcpClient ? "true" : "false");
    return out + "}\n";
}

}  // namespace quorbel::cli
