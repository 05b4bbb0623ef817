// Sending written bytes on to the disk: a file, or a folder after a file in it was created or
// renamed, so that a power cut right afterwards cannot take back what was written.
#pragma once

#include <cstdio>
#include <string>

namespace quorbel {

// The file's buffered bytes and its size reach the disk, not only the system's cache; false when
// the flush or the disk reports a failure.
bool FlushFileToDisk(std::FILE* file);
// The file's buffered bytes reach the disk, without its times and other bookkeeping (for a file
// that grows by appends); false on a failure.
bool FlushFileDataToDisk(std::FILE* file);
// The folder's entries (a file created, renamed or removed in it) reach the disk. A file system
// that cannot flush a folder counts as success; false on any other failure.
bool FlushFolderToDisk(const std::string& folder);
// The folder that holds the path: the part before its last "/", "." for a bare file name.
std::string FolderOfPath(const std::string& path);

}  // namespace quorbel
