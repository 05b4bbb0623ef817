// Whole-file reads and safe writes: a file is written beside its target, flushed to the disk and
// renamed over it, so neither a failure nor a power cut leaves a partial file behind. Input files
// are checked before they are read.
#pragma once

#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "durable/replacing_file.hpp"

namespace quorbel {

// For an existing path that is a folder, a device or anything else but a regular file, the
// message that refuses it as an input file ("<path> is a folder, not a file", "<path> is not a
// regular file"); none for a regular file or a path that does not exist.
std::optional<std::string> NonFileInputProblem(const std::string& path);

// The bytes of a regular file; none when it cannot be read or is not a regular file (a folder
// or a device is never read as if it were an empty or endless file). The file is read in one
// piece of its size (a file that grows meanwhile is read to its end).
std::optional<std::string> ReadWholeFile(const std::string& path);
// A binary stream of a regular file; not open for anything else (a folder or a device is never
// read as if it were an empty or endless file) or a file that cannot be opened.
std::ifstream OpenRegularFile(const std::string& path);
// Back to the stream's first byte, its end-of-file and error marks cleared; false when it cannot.
bool RewindStream(std::ifstream& in);

// A file written piece by piece to a temporary file in the target's folder, which replaces the
// target only once Commit has flushed it to the disk; a writer dropped before, or a Commit whose
// writes failed, leaves no file behind and the target untouched. The pieces are gathered in a large
// buffer, so many short pieces (the lines of a cleaned export) cost few writes.
class AtomicFileWriter {
  public:
    explicit AtomicFileWriter(std::string path);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // False when the temporary file could not be created; Write then does nothing.
    bool IsOpen() const { return m_file.IsCreated(); }
    void Write(std::string_view bytes);
    // Flushes the temporary file to the disk, closes it and renames it over the target (which
    // keeps its permissions), then flushes the folder so that the rename is on the disk too.
    // False when any write, the flush, the close or the rename failed (the target is untouched
    // then), or when the folder could not be flushed (the new file stands, its name may not
    // survive a power cut).
    bool Commit();
    // The system's error number of the step that failed (ENOSPC, EACCES...); 0 while none has
    // failed or when the system gave none.
    int Error() const { return m_error; }

  private:
    std::unique_ptr<char[]> m_buffer;  // the file's buffer: it outlives the file
    ReplacingFile m_file;
    bool m_failed = false;
    int m_error = 0;
};

// Writes the bytes to a temporary file in the same folder, flushes it to the disk, then replaces
// the target with it. False when any step fails; see AtomicFileWriter::Commit.
bool WriteFileAtomically(const std::string& path, std::string_view contents);
// The same; when it fails, `error` holds the system's error number of the step that failed.
bool WriteFileAtomically(const std::string& path, std::string_view contents, int& error);
// The system's text for an error number ("No space left on device"); empty for 0.
std::string SystemErrorText(int error);
// Joins a folder and a file name with "/".
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace quorbel
