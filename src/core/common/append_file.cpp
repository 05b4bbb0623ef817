// Appending records to a file that stays open between them.
#include "common/append_file.hpp"

namespace quorbel {

bool AppendFile::Append(const std::string& path, std::string_view bytes) {
    if (m_file == nullptr || path != m_path) {
        Close();
        m_file = std::fopen(path.c_str(), "ab");
        if (m_file == nullptr)
            return false;
        m_path = path;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size() &&
                         std::fflush(m_file) == 0;
    if (!written)
        Close();
    return written;
}

void AppendFile::Close() {
    if (m_file != nullptr)
        std::fclose(m_file);
    m_file = nullptr;
    m_path.clear();
}

}  // namespace quorbel
