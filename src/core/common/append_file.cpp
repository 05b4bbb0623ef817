// Appending records to a file that stays open between them.
#include "common/append_file.hpp"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "durable/disk_sync.hpp"

namespace quorbel {

bool AppendFile::Append(const std::string& path, std::string_view bytes) {
    bool created = false;
    if (m_file == nullptr || path != m_path) {
        Close();
        std::error_code error;
        created = m_flush == Flush::ToDisk && !std::filesystem::exists(path, error);
        m_file = std::fopen(path.c_str(), "ab");
        if (m_file == nullptr) {
            m_error = errno;
            return false;
        }
        m_path = path;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size();
    if (m_flush == Flush::ToDisk) {
        written = written && FlushFileDataToDisk(m_file);
        // A new file's name is on the disk with its first record.
        written = written && (!created || FlushFolderToDisk(FolderOfPath(path)));
    } else {
        written = written && std::fflush(m_file) == 0;
    }
    if (!written) {
        m_error = errno;
        Close();
    }
    return written;
}

void AppendFile::Close() {
    if (m_file != nullptr)
        std::fclose(m_file);
    m_file = nullptr;
    m_path.clear();
}

}  // namespace quorbel
