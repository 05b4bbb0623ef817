// The handlers of the "History" page: one field of the mission archive over a UTC range, zoomed
// and panned with finer or coarser buckets for what the chart shows, its stations, and its CSV.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "archive/archive.hpp"
#include "shell/command_outcome.hpp"
#include "shell/commands/archive_commands.hpp"

namespace quorbel {

struct AppState;

// The narrowest and the widest range the chart shows: zooming stops there.
inline constexpr std::int64_t kHistoryMinSpanMs = 10'000;
inline constexpr std::int64_t kHistoryMaxSpanMs = 50LL * 366 * 24 * 3600 * 1000;

// Loads the chosen field over the range into the History page (ui.history): one bucket per pixel
// of the chart's width at most; the stations of the range wait for LoadHistoryStations. Without an
// archive, or for a field without values (67 to 69), the page shows no series and its status says
// why; a failure of the archive is said there too. The range is clamped to the spans above.
void ShowHistory(AppState& app, int field, TimeRange range);
// The stations that received the range shown, when they are of an earlier range. Counting them
// takes far longer than the buckets, so the window loads them once zooming and panning pause.
void LoadHistoryStations(AppState& app);
// The range a choice of the page's range box stands for at `nowMs` (a range "the last ..." ends
// at `nowMs`), shown; an empty archive is said in the status.
void ChooseHistoryRange(AppState& app, ArchiveRangeChoice choice, std::int64_t nowMs);
// The same field over a new range (a from/to choice, a drag of the chart).
void ShowHistoryRange(AppState& app, TimeRange range);
// Another field over the range shown.
void SelectHistoryField(AppState& app, int field);
// Zooms around a moment: the range shown is scaled by `factor` (below 1 zooms in) so that the
// moment stays where it is on the chart, and its buckets are loaded anew, finer or coarser.
void ZoomHistory(AppState& app, std::int64_t aroundMs, double factor);
// Moves the range shown by the time given (negative: earlier).
void PanHistory(AppState& app, std::int64_t byMs);
// The chart's new width in pixels; a range already shown is loaded again at that many buckets.
void SetHistoryChartPixels(AppState& app, int pixels);

// The series as CSV lines, each handed to `write` with its CR LF: points as "UTC time;value;",
// buckets as "bucket start (UTC);min;max;mean;count;", after a header line naming the field
// (caption and unit). Times as "yyyy-MM-dd HH:mm:ss.mmm", values in their general form with the
// given decimal mark.
void WriteHistoryCsv(const FieldSeries& series, std::string_view fieldTitle, char decimalMark,
                     const std::function<void(std::string_view)>& write);

// "File > Open from Archive..." with one of the dialog's choices: the frames of its range at
// `nowMs` read into the stores (OpenFromArchive). An empty archive is said in the status line.
CommandOutcome OpenArchiveChoice(AppState& app, ArchiveRangeChoice choice, std::int64_t nowMs);

// "Export CSV...": the series shown, to the file chosen in the save dialog, written whole or not at
// all; statusLine says whether it has been written. Cancelling, or nothing shown, writes nothing.
CommandOutcome ExportHistoryCsv(AppState& app);

}  // namespace quorbel
