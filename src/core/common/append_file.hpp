// Files that records are appended to: kept open while the same file is written, or opened for
// one record.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace quorbel {

class AppendFile {
  public:
    // How far each record goes before Append returns: to the system (it outlives the program)
    // or on to the disk (it outlives a power cut).
    enum class Flush { ToSystem, ToDisk };

    explicit AppendFile(Flush flush = Flush::ToSystem) : m_flush(flush) {}
    ~AppendFile() { Close(); }
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Appends the bytes to the file at the path in one write and flushes them as far as the
    // file's Flush says, opening it (and creating it) first when another file or none is open; a
    // file created on the disk gets its name there too. False when the file cannot be opened or
    // the write or flush falls short; the file is then closed, so the next record opens it again.
    bool Append(const std::string& path, std::string_view bytes);
    void Close();
    // The path of the open file; empty when none is open.
    const std::string& Path() const { return m_path; }
    // The system's error number of the last Append that failed (0 when the system gave none).
    int Error() const { return m_error; }

  private:
    Flush m_flush;
    std::FILE* m_file = nullptr;
    std::string m_path;
    int m_error = 0;
};

// Appends the bytes to the file at the path (creating it) and closes it again, flushed to the
// system; false when the file cannot be opened or the write falls short.
inline bool AppendToFile(const std::string& path, std::string_view bytes) {
    AppendFile file;
    return file.Append(path, bytes);
}

}  // namespace quorbel
