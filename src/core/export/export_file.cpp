// Naming the export files.
#include "export/export_file.hpp"

namespace quorbel {

std::string DeriveExportFileName(const std::string& sourceFileName, std::string_view suffix) {
    const std::size_t slash = sourceFileName.find_last_of("/\\");
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = sourceFileName.find('.', nameStart);
    std::string base = dot == std::string::npos ? sourceFileName : sourceFileName.substr(0, dot);
    return base.append(suffix);
}

}  // namespace quorbel
