// Naming and writing the export files: names derived from the input file read last, and the
// status line that tells whether a file has been written.
#pragma once

#include <string>
#include <string_view>

namespace quorbel {

struct AppState;

inline constexpr const char* kNoInputFileStatus = "no input file";
inline constexpr const char* kWrittenStatus = " has been written";
inline constexpr const char* kNotWrittenStatus = " could not be written";

// The source path cut at the first "." of its file-name part (never at a dot in a folder name),
// followed by the suffix; a file name without any "." gets the suffix after the whole path.
// /home/op/sat.data/pass.2024.kss with "_tlm.csv" gives /home/op/sat.data/pass_tlm.csv.
std::string DeriveExportFileName(const std::string& sourceFileName, std::string_view suffix);

// Writes the file whole or not at all and shows its name followed by " has been written" or
// " could not be written" in Text4. True when written.
bool WriteExportFile(AppState& app, const std::string& path, std::string_view contents);

}  // namespace quorbel
