// Sending written bytes on to the disk: a file, or a folder after a file in it was created or
// renamed, so that a power cut right afterwards cannot take back what was written. The system
// calls that do it can be replaced, so that a test sees what reached the disk and when.
#pragma once

#include <cstdio>
#include <string>

namespace quorbel {

// The system calls behind every flush to the disk. Each returns 0, or -1 with errno set.
class DiskSync {
  public:
    virtual ~DiskSync() = default;
    // The file's data, size and times, or a folder's entries, reach the disk (fsync).
    virtual int SyncAll(int descriptor) = 0;
    // The file's data and size reach the disk, not its times (fdatasync).
    virtual int SyncData(int descriptor) = 0;
};

// Puts `sync` in place of the system's calls for every flush from now on (nullptr: the system's
// again) and returns the one that was in place. Meant for tests; `sync` must outlive its use.
DiskSync* ReplaceDiskSync(DiskSync* sync);

// The file's buffered bytes and its size reach the disk, not only the system's cache; false when
// the flush or the disk reports a failure. A call interrupted by a signal is tried again.
bool FlushFileToDisk(std::FILE* file);
// The file's buffered bytes reach the disk, without its times and other bookkeeping (for a file
// that grows by appends); false on a failure.
bool FlushFileDataToDisk(std::FILE* file);
// The same for a file open by its descriptor (no stdio buffer to flush first).
bool FlushFileDataToDisk(int descriptor);
// The closed file at the path (one that another library wrote by its name) reaches the disk;
// false when it cannot be opened or flushed.
bool FlushClosedFileToDisk(const std::string& path);
// The folder's entries (a file created, renamed or removed in it) reach the disk. A file system
// that cannot flush a folder counts as success; false on any other failure.
bool FlushFolderToDisk(const std::string& folder);
// The folder that holds the path: the part before its last "/", "." for a bare file name.
std::string FolderOfPath(const std::string& path);

}  // namespace quorbel
