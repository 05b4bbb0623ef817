// Naming and writing the export files.
#include "export/export_file.hpp"

#include "shell/app_state.hpp"
#include "shell/text_file.hpp"

namespace quorbel {

std::string DeriveExportFileName(const std::string& sourceFileName, std::string_view suffix) {
    std::size_t slash = sourceFileName.find_last_of("/\\");
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = sourceFileName.find('.', nameStart);
    std::string base = dot == std::string::npos ? sourceFileName : sourceFileName.substr(0, dot);
    return base.append(suffix);
}

bool WriteExportFile(AppState& app, const std::string& path, std::string_view contents) {
    bool written = WriteFileAtomically(path, contents);
    app.ui.Text4 = path + (written ? kWrittenStatus : kNotWrittenStatus);
    return written;
}

}  // namespace quorbel
