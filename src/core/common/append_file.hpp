// Files that records are appended to: kept open while the same file is written, or opened for
// one record. A record goes in whole or not at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "durable/file_appends.hpp"

namespace quorbel {

class AppendFile {
  public:
    // How far records go: to the system at each Append (they outlive the program), or on to the
    // disk too at FlushToDisk (they outlive a power cut), so that a group of records costs one
    // flush.
    enum class Flush { ToSystem, ToDisk };

    explicit AppendFile(Flush flush = Flush::ToSystem) : m_flush(flush) {}
    ~AppendFile() { Close(); }
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Appends the bytes to the end of the file at the path in one piece. The file is opened (and
    // made) first when another file or none is open, or when the path no longer names the open
    // file because it was moved or deleted (StartedAnew then says so). On a short or failed write
    // (a full disk) the file is cut back to where it stood, so it never ends in part of a record:
    // false then, or when the file cannot be opened. The file stays open; the next record simply
    // tries again.
    bool Append(const std::string& path, std::string_view bytes);
    // Flush::ToDisk: the records appended since the last flush reach the disk, and the name of a
    // file made for them too. False when the disk reports a failure: the file is then cut back to
    // where it stood before those records and closed. True when no record waits.
    bool FlushToDisk();
    // Records appended since the last flush to the disk (Flush::ToDisk).
    std::size_t UnflushedRecords() const { return m_unflushed; }
    // Closes the file, its waiting records flushed to the disk first as far as the disk lets.
    void Close();
    // The path of the open file; empty when none is open.
    const std::string& Path() const { return m_path; }
    // The system's error number of the last Append or flush that failed (0 when it gave none).
    int Error() const { return m_error; }
    // True when the last Append found that its path no longer named the open file (moved or
    // deleted) and opened a new file there.
    bool StartedAnew() const { return m_startedAnew; }

  private:
    bool Open(const std::string& path);
    // Closes the file without flushing it.
    void Release();

    Flush m_flush;
    int m_descriptor = -1;
    std::string m_path;
    FileIdentity m_identity;          // the open file, and its size after the last record
    std::uint64_t m_flushedSize = 0;  // its size before the records waiting for a flush
    std::size_t m_unflushed = 0;
    bool m_created = false;  // made since its name was last flushed with the folder
    bool m_startedAnew = false;
    int m_error = 0;
};

// Appends the bytes to the file at the path (making it) whole or not at all and closes it again,
// flushed to the system; false when the file cannot be opened or written, with the system's error
// number in `error`.
inline bool AppendToFile(const std::string& path, std::string_view bytes, int& error) {
    AppendFile file;
    const bool appended = file.Append(path, bytes);
    error = appended ? 0 : file.Error();
    return appended;
}
inline bool AppendToFile(const std::string& path, std::string_view bytes) {
    int error = 0;
    return AppendToFile(path, bytes, error);
}

}  // namespace quorbel
