// Platform services of the command-line tool.
#include "cli_platform.hpp"

#include <ostream>

#include "common/files.hpp"

namespace quorbel::cli {

FileSelection CliPlatform::SelectFiles(const OpenFileDialog& /*dialog*/) {
    FileSelection selection;
    if (!m_nextSelection.empty()) {
        selection.outcome = FileSelection::Outcome::Chosen;
        selection.paths = std::move(m_nextSelection);
    }
    m_nextSelection.clear();
    return selection;
}

void CliPlatform::ShowMessage(const MessageBoxRequest& box) {
    m_messages << "message: " << box.text << '\n';
}

bool CliPlatform::CanLoadPicture(const std::string& path) {
    // A complete JPEG starts with SOI and ends with EOI.
    const std::optional<std::string> bytes = ReadWholeFile(path);
    return bytes && bytes->size() >= 4 && static_cast<unsigned char>((*bytes)[0]) == 0xFF &&
           static_cast<unsigned char>((*bytes)[1]) == 0xD8 &&
           static_cast<unsigned char>((*bytes)[bytes->size() - 2]) == 0xFF &&
           static_cast<unsigned char>((*bytes)[bytes->size() - 1]) == 0xD9;
}

}  // namespace quorbel::cli
