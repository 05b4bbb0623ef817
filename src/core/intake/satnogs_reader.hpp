// File > "Open SatNOGS CSV": reads SatNOGS exports, drops adjacent repeated lines, dispatches
// every line's frame with the line's time, then runs the station analysis on the same file.
#pragma once

#include <string>

namespace quorbel {

struct AppState;

inline constexpr const char* kSatnogsFilter = "Log Files (*.csv)|*.csv|All Files (*.*)|*.*";

void MnuOpenServerLog_Click(AppState& app);

// Decodes the frames of one export, from its last line to its first (an export lists the newest
// frame first, so the records come oldest first), and logs the line counts in Text5.
void ReadSatnogsCsv(AppState& app, const std::string& path);

}  // namespace quorbel
