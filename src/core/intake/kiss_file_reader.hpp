// File > "Open KISS File": reads capture files (.kss) and dispatches their frames.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quorbel {

struct AppState;

void MnuOpenKISSFile_Click(AppState& app);
void ReadKissFile(AppState& app, const std::string& path);
// Splits capture bytes at FEND, takes the stamp frames' receive times and dispatches every data
// frame; the progress bar counts the pieces.
void DecodeCapture(AppState& app, std::span<const std::uint8_t> bytes);

}  // namespace quorbel
