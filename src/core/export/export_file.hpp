// Naming the export files after the input file read last, and the status texts that tell
// whether a file has been written.
#pragma once

#include <string>
#include <string_view>

namespace quorbel {

inline constexpr const char* kNoInputFileStatus = "no input file";
inline constexpr const char* kWrittenStatus = " has been written";
inline constexpr const char* kNotWrittenStatus = " could not be written";

// The source path cut at the first "." of its file-name part (never at a dot in a folder name),
// followed by the suffix; a file name without any "." gets the suffix after the whole path.
// /home/op/sat.data/pass.2024.kss with "_tlm.csv" gives /home/op/sat.data/pass_tlm.csv.
std::string DeriveExportFileName(const std::string& sourceFileName, std::string_view suffix);

// The status line after a write: the path followed by " has been written" or " could not be
// written".
std::string WriteStatusText(const std::string& path, bool written);

}  // namespace quorbel
