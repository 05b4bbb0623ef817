// Naming the export files after the input file read last.
#pragma once

#include <string>
#include <string_view>

namespace quorbel {

// The source path cut at the first "." of its file-name part (never at a dot in a folder name),
// followed by the suffix; a file name without any "." gets the suffix after the whole path.
// /home/op/sat.data/pass.2024.kss with "_tlm.csv" gives /home/op/sat.data/pass_tlm.csv.
std::string DeriveExportFileName(const std::string& sourceFileName, std::string_view suffix);

}  // namespace quorbel
