// File > "Open KISS File" and "Open SatNOGS CSV": the frame both share (preparing the window,
// the order of the files, the end of a read), the reads of capture files and SatNOGS exports, and
// the station analysis that follows each export.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "shell/command_outcome.hpp"
#include "shell/window_model.hpp"

namespace quorbel {

struct AppState;

// Marks a file read as running for its whole length (the window disables the open, crop and
// export commands meanwhile) and restores the previous mark on every way out.
class ReadingGuard {
  public:
    explicit ReadingGuard(WindowModel& ui) : m_ui(ui), m_was(ui.reading) { m_ui.reading = true; }
    ~ReadingGuard() { m_ui.reading = m_was; }
    ReadingGuard(const ReadingGuard&) = delete;
    ReadingGuard& operator=(const ReadingGuard&) = delete;

  private:
    WindowModel& m_ui;
    bool m_was;
};

// Re-applies the catalogue, empties the value boxes, both stores, the log and the message log.
void PrepareOpenCommand(AppState& app);

// The files of an open command in the order they are read: alphabetically, not case sensitive.
std::vector<std::string> SortForReading(std::vector<std::string> paths);

// Refuses a folder, a device or anything else that is not a regular file as an input file: shows
// a message box that says so and returns true. Such a path is never read, so nothing is written
// for it.
bool RefuseNonFileInput(AppState& app, const std::string& path);

// The frame of both open commands: refused while a read runs; prepares the window, then (no
// files: the dialog was cancelled, nothing more) sets chosenFiles to the files in reading order
// and for each of them (a folder or device refused with a message) sets SourceFileName and the
// status line and calls readFile. The record view and the chart are built once, at the end. The
// outcome gathers those of the reads and names every refused input.
CommandOutcome RunOpenCommand(AppState& app, const std::vector<std::string>& paths,
                              const std::function<CommandOutcome(const std::string&)>& readFile);

// Normal pointer, the first field selector set, the chart of field 1, the record of the scroll bar,
// progress bar hidden.
void PerformEndOfReadSteps(AppState& app);

// File > "Open KISS File" with the files chosen in its dialog (none: cancelled).
CommandOutcome OpenCaptureFiles(AppState& app, const std::vector<std::string>& paths);
// Reads one capture file: the "kiss frames: " log line, every frame dispatched, the decoding run
// over the packet files, the end-of-read steps. The outcome counts the frames and the records a
// full store refused, and names the file when it cannot be read and the decoding run's files.
CommandOutcome ReadKissFile(AppState& app, const std::string& path);
// Splits capture bytes at FEND, takes the stamp frames' receive times and dispatches every data
// frame; the progress bar counts the pieces and the event loop runs after each.
void DecodeCapture(AppState& app, std::span<const std::uint8_t> bytes);

// File > "Open SatNOGS CSV" with the files chosen in its dialog (none: cancelled). The outcome
// also names the cleaned copy and the report of each station analysis, written or not.
CommandOutcome OpenSatnogsExports(AppState& app, const std::vector<std::string>& paths);
// Decodes the frames of one export, from its last line to its first, and logs the line counts in
// readerLog.
CommandOutcome ReadSatnogsCsv(AppState& app, const std::string& path);
// Analyses one export: its report appended to readerLog, or the "Station analysis failed" warning.
CommandOutcome AnalyseStations(AppState& app, const std::string& inputPath);

}  // namespace quorbel
