// The SatNOGS CSV reader and the "Open SatNOGS CSV" command.
#include "intake/satnogs_reader.hpp"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "intake/dispatch.hpp"
#include "intake/file_open.hpp"
#include "intake/satnogs_text.hpp"
#include "shell/app_state.hpp"
#include "shell/text_file.hpp"
#include "stations/station_analysis.hpp"

namespace quorbel {

namespace {

// A line holds the receive time in its first 19 characters, a separator, and from its 21st
// character on the frame as pairs of hexadecimal characters.
constexpr std::size_t kTimeLength = 19;
constexpr std::size_t kPayloadStart = 20;
constexpr int kLinesPerEventLoop = 100;

// The frame bytes and hexadecimal text of one line, kept between lines to save allocations.
struct LineFrame {
    std::vector<std::uint8_t> bytes;
    std::string hexText;
};

void DispatchLine(AppState& app, std::string_view line, LineFrame& frame) {
    if (line.empty())
        return;
    app.frame.rxTimeText.assign(line.substr(0, kTimeLength));
    if (line.size() <= kPayloadStart)
        return;  // no frame bytes
    std::string_view payload = line.substr(kPayloadStart);
    frame.bytes.clear();
    for (std::size_t i = 0; i < payload.size(); i += 2) {
        frame.bytes.push_back(ParseHexValue(payload.substr(i, 2)));  // a last single character too
    }
    frame.hexText.assign(payload);  // the characters as they stand, case kept
    DispatchFrame(app, frame.bytes, &frame.hexText);
}

// From the last kept line to the first, serving the progress bar and the event loop every 100.
void DispatchLines(AppState& app, const std::vector<std::string_view>& lines) {
    LineFrame frame;
    for (int i = static_cast<int>(lines.size()); i >= 1; --i) {
        if (i % kLinesPerEventLoop == 0) {
            app.ui.ProgressBar1.value = i;
            app.platform.DoEvents();
        }
        DispatchLine(app, lines[static_cast<std::size_t>(i - 1)], frame);
    }
}

// Marks a file read as running for the window (open, crop and export commands wait).

}  // namespace

void ReadSatnogsCsv(AppState& app, const std::string& path) {
    ReadingGuard reading(app.ui);
    app.ui.Busy = true;
    app.ui.Text5 += "file: " + path + "\r\n";
    app.platform.DoEvents();
    std::optional<std::string> text = ReadWholeFile(path);
    if (!text) {
        app.ui.Text5 += "records from SatNOGS: -1\r\nafter removing duplicates: -1\r\n\r\n";
        PerformEndOfReadSteps(app);
        return;
    }
    std::vector<std::string_view> lines = SplitLines(*text);
    app.ui.Text5 += "records from SatNOGS: " + std::to_string(lines.size()) + "\r\n";
    std::vector<std::string_view> kept = RemoveAdjacentDuplicates(lines);
    if (lines.size() > 1)
        app.ui.Text2 = std::to_string(lines.size() - 1);  // the last compared
    app.ui.Text5 += "after removing duplicates: " + std::to_string(kept.size()) + "\r\n\r\n";
    app.ui.ProgressBar1.max = static_cast<int>(kept.size());
    app.ui.ProgressBar1.value = 0;
    app.ui.ProgressBar1.visible = true;
    DispatchLines(app, kept);
    PerformEndOfReadSteps(app);
}

void MnuOpenServerLog_Click(AppState& app) {
    RunOpenCommand(app, kSatnogsFilter, [&app](const std::string& path) {
        // A failed conversion leaves the file as it was; LF line ends are read all the same.
        ConvertExportToCrLf(path);
        ReadSatnogsCsv(app, path);
        AnalyseStations(app, path);
    });
}

}  // namespace quorbel
