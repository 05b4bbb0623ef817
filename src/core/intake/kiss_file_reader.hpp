// File > "Open KISS File": reads capture files (.kss) and dispatches their frames.
#pragma once

#include <string>

namespace quorbel {

struct AppState;

void MnuOpenKISSFile_Click(AppState& app);
void ReadKissFile(AppState& app, const std::string& path);

}  // namespace quorbel
