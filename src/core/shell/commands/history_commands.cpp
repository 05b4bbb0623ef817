// The History page's handlers: queries of the archive for the range the chart shows, and its CSV.
#include "shell/commands/history_commands.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

#include "common/files.hpp"
#include "common/number_format.hpp"
#include "decode/field_table.hpp"
#include "shell/app_state.hpp"

namespace quorbel {
namespace {

constexpr const char* kCsvFilter = "CSV Files (*.csv)|*.csv";

std::string FieldTitle(int field) {
    const FieldDef& def = kFields[static_cast<std::size_t>(field)];
    std::string title =
        def.caption.empty() ? "Field " + std::to_string(field) : std::string(def.caption);
    if (!def.unit.empty())
        title += " (" + std::string(def.unit) + ")";
    return title;
}

bool FieldHasValues(int field) {
    return StoreOfField(field) != FieldStore::None;
}

std::string UtcText(std::int64_t ms) {
    return FormatUtcStamp(std::chrono::system_clock::time_point(std::chrono::milliseconds(ms)));
}

// "3,456,789"
std::string GroupedCount(std::int64_t count) {
    const std::string digits = std::to_string(count);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const std::size_t left = digits.size() - i;
        if (i > 0 && left % 3 == 0 && digits[i - 1] != '-')
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

// A bucket's width the way a user reads it: "5 min 12 s", "3 h 20 min", "2 d 4 h".
std::string DurationText(std::int64_t ms) {
    const std::int64_t seconds = ms / 1000;
    struct Unit {
        std::int64_t seconds;
        const char* name;
    };
    constexpr Unit kUnits[] = {{86400, "d"}, {3600, "h"}, {60, "min"}, {1, "s"}};
    for (std::size_t i = 0; i + 1 < std::size(kUnits); ++i) {
        if (seconds >= kUnits[i].seconds) {
            const std::int64_t rest = (seconds % kUnits[i].seconds) / kUnits[i + 1].seconds;
            std::string text = std::to_string(seconds / kUnits[i].seconds) + " " + kUnits[i].name;
            if (rest > 0)
                text += " " + std::to_string(rest) + " " + kUnits[i + 1].name;
            return text;
        }
    }
    return seconds > 0 ? std::to_string(seconds) + " s" : std::to_string(ms) + " ms";
}

std::int64_t ValueCount(const FieldSeries& series) {
    if (series.bucketWidthMs == 0)
        return static_cast<std::int64_t>(series.points.size());
    std::int64_t count = 0;
    for (const FieldBucket& bucket : series.buckets)
        count += bucket.count;
    return count;
}

std::string SeriesStatus(const FieldSeries& series) {
    const std::string title = FieldTitle(series.field);
    const std::int64_t values = ValueCount(series);
    if (values == 0)
        return "No values of " + title + " in this range";
    std::string text = title + ": " + GroupedCount(values) + (values == 1 ? " value" : " values");
    if (series.bucketWidthMs > 0) {
        text += " in " + GroupedCount(static_cast<std::int64_t>(series.buckets.size())) +
                " buckets of " + DurationText(series.bucketWidthMs) + " (min, max and mean)";
    }
    return text;
}

std::string NoArchiveText(const AppState& app) {
    return app.settings.archive == "off" ? "The archive is off (ARCHIVE=off in conf.ini)"
                                         : "No archive is open: it could not be opened";
}

// Keeps the span within the page's limits around the range's middle.
TimeRange ClampedRange(TimeRange range) {
    if (range.toMs < range.fromMs)
        std::swap(range.fromMs, range.toMs);
    const std::int64_t span = range.toMs - range.fromMs;
    const std::int64_t wanted = std::clamp(span, kHistoryMinSpanMs, kHistoryMaxSpanMs);
    if (wanted != span) {
        const std::int64_t middle = range.fromMs + span / 2;
        range.fromMs = middle - wanted / 2;
        range.toMs = range.fromMs + wanted;
    }
    return range;
}

}  // namespace

void ShowHistory(AppState& app, int field, TimeRange range) {
    HistoryModel& history = app.ui.history;
    history.field = std::clamp(field, 0, kFieldCount - 1);
    history.rangeChoice = -1;
    history.stations.clear();
    history.stationsPending = false;
    ++history.revision;
    if (!app.archive) {
        history.series = FieldSeries{history.field, history.range, 0, {}, {}};
        history.statusText = NoArchiveText(app);
        return;
    }
    history.range = ClampedRange(range);
    history.series = FieldSeries{history.field, history.range, 0, {}, {}};
    if (!FieldHasValues(history.field)) {
        history.statusText = FieldTitle(history.field) + " has no values";
        return;
    }
    try {
        app.archive->Flush();  // the frames received so far are in the archive
        Archive& archive = app.archive->Storage();
        history.series =
            archive.QueryField(history.field, history.range, std::max(history.chartPixels, 1));
        history.stationsPending = true;
        history.statusText = SeriesStatus(history.series);
    } catch (const ArchiveError& error) {
        history.series = FieldSeries{history.field, history.range, 0, {}, {}};
        history.stations.clear();
        history.statusText = std::string("The archive could not be read: ") + error.what();
    }
}

void ChooseHistoryRange(AppState& app, ArchiveRangeChoice choice, std::int64_t nowMs) {
    HistoryModel& history = app.ui.history;
    if (!app.archive)
        return ShowHistory(app, history.field, history.range);
    std::optional<TimeRange> range;
    try {
        app.archive->Flush();
        range = RangeOfChoice(choice, app.archive->Storage(), nowMs);
    } catch (const ArchiveError& error) {
        ++history.revision;
        history.statusText = std::string("The archive could not be read: ") + error.what();
        return;
    }
    if (!range) {
        ++history.revision;
        history.series = FieldSeries{history.field, history.range, 0, {}, {}};
        history.stations.clear();
        history.statusText = "The archive holds no frames yet";
        return;
    }
    // The ranges "the last ..." stay open towards the future; the chart ends them now.
    range->toMs = std::min(range->toMs, std::max(nowMs, range->fromMs + kHistoryMinSpanMs));
    ShowHistory(app, history.field, *range);
    history.rangeChoice = static_cast<int>(choice);
}

void LoadHistoryStations(AppState& app) {
    HistoryModel& history = app.ui.history;
    if (!history.stationsPending || !app.archive)
        return;
    history.stationsPending = false;
    ++history.revision;
    try {
        app.archive->Flush();
        history.stations = app.archive->Storage().Stations(history.range);
    } catch (const ArchiveError& error) {
        history.stations.clear();
        history.statusText = std::string("The archive could not be read: ") + error.what();
    }
}

void ShowHistoryRange(AppState& app, TimeRange range) {
    ShowHistory(app, app.ui.history.field, range);
}

void SelectHistoryField(AppState& app, int field) {
    const int choice = app.ui.history.rangeChoice;
    ShowHistory(app, field, app.ui.history.range);
    app.ui.history.rangeChoice = choice;  // the same range
}

void ZoomHistory(AppState& app, std::int64_t aroundMs, double factor) {
    if (!(factor > 0) || !std::isfinite(factor))
        return;
    const TimeRange shown = app.ui.history.range;
    const auto scaled = [&](std::int64_t edge) {
        return aroundMs + static_cast<std::int64_t>(
                              std::llround(static_cast<double>(edge - aroundMs) * factor));
    };
    TimeRange range{scaled(shown.fromMs), scaled(shown.toMs)};
    // At a limit the span stops there, with the moment kept where it was as far as it can be.
    const std::int64_t span = range.toMs - range.fromMs;
    const std::int64_t wanted = std::clamp(span, kHistoryMinSpanMs, kHistoryMaxSpanMs);
    if (wanted != span) {
        const double share = shown.toMs > shown.fromMs
                                 ? static_cast<double>(aroundMs - shown.fromMs) /
                                       static_cast<double>(shown.toMs - shown.fromMs)
                                 : 0.5;
        range.fromMs =
            aroundMs - static_cast<std::int64_t>(std::llround(share * static_cast<double>(wanted)));
        range.toMs = range.fromMs + wanted;
    }
    ShowHistoryRange(app, range);
}

void PanHistory(AppState& app, std::int64_t byMs) {
    const TimeRange shown = app.ui.history.range;
    ShowHistoryRange(app, {shown.fromMs + byMs, shown.toMs + byMs});
}

void SetHistoryChartPixels(AppState& app, int pixels) {
    HistoryModel& history = app.ui.history;
    pixels = std::max(pixels, 1);
    if (pixels == history.chartPixels)
        return;
    history.chartPixels = pixels;
    if (history.range.toMs > history.range.fromMs) {
        const int choice = history.rangeChoice;
        ShowHistory(app, history.field, history.range);
        history.rangeChoice = choice;
    }
}

CommandOutcome OpenArchiveChoice(AppState& app, ArchiveRangeChoice choice, std::int64_t nowMs) {
    std::optional<TimeRange> range;
    if (app.archive) {
        app.archive->Flush();
        range = RangeOfChoice(choice, app.archive->Storage(), nowMs);
        if (!range) {
            app.ui.statusLine = "The archive holds no frames yet";
            return {};
        }
    }
    // Without an archive the command says why itself.
    return OpenFromArchive(app, range.value_or(TimeRange{}));
}

void WriteHistoryCsv(const FieldSeries& series, std::string_view fieldTitle, char decimalMark,
                     const std::function<void(std::string_view)>& write) {
    std::string line;
    line.reserve(128);
    const auto value = [&](double v) {
        AppendGeneralNumber(line, v, decimalMark);
        line += ';';
    };
    if (series.bucketWidthMs == 0) {
        line.append("UTC time;").append(fieldTitle).append(";\r\n");
        write(line);
        for (const FieldPoint& point : series.points) {
            line = UtcText(point.timeMs) + ";";
            value(point.value);
            line += "\r\n";
            write(line);
        }
        return;
    }
    line = "bucket start (UTC);";
    for (const char* column : {" min;", " max;", " mean;"})
        line.append(fieldTitle).append(column);
    line += "count;\r\n";
    write(line);
    for (const FieldBucket& bucket : series.buckets) {
        line = UtcText(bucket.startMs) + ";";
        value(bucket.min);
        value(bucket.max);
        value(bucket.mean);
        line += std::to_string(bucket.count) + ";\r\n";
        write(line);
    }
}

CommandOutcome ExportHistoryCsv(AppState& app) {
    const HistoryModel& history = app.ui.history;
    if (!app.archive || history.range.toMs <= history.range.fromMs)
        return {};
    std::string offered = "history_field" + std::to_string(history.field) + "_" +
                          UtcText(history.range.fromMs).substr(0, 10) + ".csv";
    if (!app.settings.appDir.empty())
        offered = JoinPath(app.settings.appDir, offered);
    const std::optional<std::string> path =
        app.platform.SelectSaveFile({"Export CSV", kCsvFilter, offered});
    if (!path || path->empty())
        return {};
    AtomicFileWriter file(*path);
    WriteHistoryCsv(history.series, FieldTitle(history.field), app.settings.decimalMark,
                    [&file](std::string_view line) { file.Write(line); });
    CommandOutcome outcome;
    if (file.Commit())
        outcome.AddWritten(*path);
    else
        outcome.AddNotWritten(*path, file.Error());
    return ShowOutcome(app, std::move(outcome));
}

}  // namespace quorbel
