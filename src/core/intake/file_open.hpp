// What the two open commands share: preparing the window, choosing the files and the steps that
// end every file read.
#pragma once

#include <functional>
#include <string>

#include "shell/window_model.hpp"

namespace quorbel {

struct AppState;

// Marks a file read as running for its whole length (the window disables the open, crop and
// export commands meanwhile) and restores the previous mark on every way out.
class ReadingGuard {
  public:
    explicit ReadingGuard(WindowModel& ui) : m_ui(ui), m_was(ui.Reading) { m_ui.Reading = true; }
    ~ReadingGuard() { m_ui.Reading = m_was; }
    ReadingGuard(const ReadingGuard&) = delete;
    ReadingGuard& operator=(const ReadingGuard&) = delete;

  private:
    WindowModel& m_ui;
    bool m_was;
};

inline constexpr const char* kTooManyFilesMessage = "Es wurden zu viele Dateien ausgew\xE4hlt!";

// Re-applies the catalogue, empties the value boxes, both stores, the log and the message log.
void PrepareOpenCommand(AppState& app);

// Shows the multi-file dialog; on a choice fills List3 sorted alphabetically (not case sensitive)
// and returns true. Cancel returns false; too many files shows the message and returns false.
bool SelectSourceFiles(AppState& app, const std::string& filter);

// The frame of both open commands: refused while a read runs; prepares the window, lets the user
// choose, then for each chosen file in list order sets SourceFileName and the status line and
// calls readFile.
void RunOpenCommand(AppState& app, const std::string& filter,
                    const std::function<void(const std::string&)>& readFile);

// Normal pointer, Option1(0) set, the chart of field 1, the record of the scroll bar, progress
// bar hidden.
void PerformEndOfReadSteps(AppState& app);

}  // namespace quorbel
