// Appending records to a file that stays open between them, each whole or not at all.
#include "common/append_file.hpp"

#include <cerrno>
#include <optional>

#include "durable/disk_sync.hpp"

namespace quorbel {

bool AppendFile::Append(const std::string& path, std::string_view bytes) {
    m_startedAnew = false;
    std::optional<FileIdentity> named = IdentifyPath(path);
    if (m_descriptor >= 0 && (path != m_path || !named || !named->IsSameFile(m_identity))) {
        // The open file was moved or deleted: what follows goes to a file at the path again.
        m_startedAnew = path == m_path;
        Close();
    }
    if (m_descriptor < 0) {
        if (!Open(path))
            return false;
        named = m_identity;
    }
    const std::uint64_t sizeBefore = named->size;
    if (!AppendWhole(m_descriptor, bytes, sizeBefore)) {
        m_error = errno;
        return false;
    }
    m_identity.size = sizeBefore + bytes.size();
    if (m_flush == Flush::ToDisk) {
        if (m_unflushed == 0)
            m_flushedSize = sizeBefore;
        ++m_unflushed;
    }
    return true;
}

bool AppendFile::FlushToDisk() {
    if (m_descriptor < 0 || m_unflushed == 0)
        return true;
    bool flushed = FlushFileDataToDisk(m_descriptor);
    // A new file's name is on the disk with its first records.
    flushed = flushed && (!m_created || FlushFolderToDisk(FolderOfPath(m_path)));
    m_unflushed = 0;
    if (!flushed) {
        m_error = errno;
        // The disk may hold none of the group: the file keeps only the records flushed before.
        CutFileBack(m_descriptor, m_flushedSize);
        Release();
        return false;
    }
    m_created = false;
    return true;
}

void AppendFile::Close() {
    FlushToDisk();
    Release();
}

bool AppendFile::Open(const std::string& path) {
    const OpenedAppendFile opened = OpenFileForAppend(path);
    if (opened.descriptor < 0) {
        m_error = errno;
        return false;
    }
    m_descriptor = opened.descriptor;
    m_path = path;
    m_identity = opened.identity;
    m_created = opened.created && m_flush == Flush::ToDisk;
    return true;
}

void AppendFile::Release() {
    CloseFile(m_descriptor);
    m_descriptor = -1;
    m_path.clear();
    m_unflushed = 0;
    m_created = false;
}

}  // namespace quorbel
