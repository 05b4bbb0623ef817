// A file that replaces its target only whole: written under a temporary name in the target's
// folder, flushed to the disk, given the target's permissions and renamed over it, then the folder
// flushed so that the rename is on the disk too. Neither a failure nor a power cut leaves an
// empty or partial file under the target's name.
#pragma once

#include <cstdio>
#include <string>

namespace quorbel {

class ReplacingFile {
  public:
    // Creates the temporary file beside the target, open for writing.
    explicit ReplacingFile(std::string target);
    // A file not committed is removed with its temporary name; the target stays as it was.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // False when the temporary file could not be created; nothing can be written then.
    bool IsCreated() const { return !m_temporary.empty(); }
    // The temporary file open for writing; nullptr when it is not created or closed for a writer
    // that writes it by its name.
    std::FILE* File() const { return m_file; }
    // The temporary file's name; empty when it is not created.
    const std::string& TemporaryPath() const { return m_temporary; }
    // Closes the temporary file, for a writer that opens and writes it by its name.
    void CloseForWritingByName();

    // Flushes the temporary file to the disk, closes it and renames it over the target (which
    // keeps its permissions), then flushes the folder. False when the flush, the close or the
    // rename failed (the temporary file is removed and the target untouched then), or when the
    // folder could not be flushed (the new file stands, its name may not survive a power cut).
    bool Commit();
    // Removes the temporary file; the target stays as it was.
    void Discard();
    // The system's error number of the step that failed (ENOSPC, EACCES...); 0 while none has
    // failed or when the system gave none.
    int Error() const { return m_error; }

  private:
    std::string m_target;
    std::string m_temporary;
    std::FILE* m_file = nullptr;
    int m_error = 0;
};

}  // namespace quorbel
