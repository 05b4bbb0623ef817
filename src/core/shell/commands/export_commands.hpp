// The "TLM File" exports and Tools > "Crop SatNOGS CSV -> Image Data": files written from the
// stores, the shown record or a SatNOGS export, and the status line that tells how it went.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "shell/command_outcome.hpp"

namespace quorbel {

struct AppState;

// Writes the file whole or not at all and shows its name followed by " has been written" or
// " could not be written" in statusLine; the outcome names the file and, when it failed, the
// system's reason.
CommandOutcome WriteExportFile(AppState& app, const std::string& path, std::string_view contents);

// "Write TLM CSV": the telemetry store, fields 0 to 66, to "_tlm.csv".
CommandOutcome WriteTelemetryCsv(AppState& app);
// "Write SENSOR CSV": the sensor store, fields 70 to 106, to "_sensor.csv".
CommandOutcome WriteSensorCsv(AppState& app);
// "Write TLM File": the shown record's report named after the input file read last; with none,
// the name becomes "vexon.tlm" and stays for later exports.
CommandOutcome WriteTlmReport(AppState& app);

// The chart saved as a picture file: PNG, or SVG or PDF as a drawing that scales.
enum class ChartFileFormat { Png, Svg, Pdf };
inline constexpr const char* kChartPngFilter = "PNG Pictures (*.png)|*.png";
inline constexpr const char* kChartSvgFilter = "SVG Drawings (*.svg)|*.svg";
inline constexpr const char* kChartPdfFilter = "PDF Documents (*.pdf)|*.pdf";

// The chart's "Save chart as ..." commands: the save dialog offers a name after the input file
// read last ("_chart.png", "_chart.svg" or "_chart.pdf"; "chart.png" in the application folder
// before any read); `save` writes the chart to the path chosen, whole or not at all. statusLine
// tells whether it has been written; cancelling changes nothing.
CommandOutcome SaveChart(AppState& app, ChartFileFormat format,
                         const std::function<bool(const std::string&)>& save);

// Tools > "Crop SatNOGS CSV -> Image Data" with the file chosen in its dialog "Select File":
// crops the export at the path into path + "_new". recordCounter shows lines copied "/" line
// number; statusLine names the output with " has been written" or " could not be written", or the
// input with " could not be read". A folder or device is refused with a message.
CommandOutcome CropSatnogsImageData(AppState& app, const std::string& path);

}  // namespace quorbel
