// The system's file calls behind a file that grows by appends: opened by its path, checked that the
// path still names it, written whole or cut back to where it stood, and flushed to the disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorbel {

// Which file a path names: its device and inode, and its size.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;

    bool IsSameFile(const FileIdentity& other) const {
        return device == other.device && inode == other.inode;
    }
};

// A file open for appending; descriptor -1 when it could not be opened (errno says why).
struct OpenedAppendFile {
    int descriptor = -1;
    FileIdentity identity;
    bool created = false;  // the file did not exist and was made
};

// Opens the file at the path for appending, making it when it is missing.
OpenedAppendFile OpenFileForAppend(const std::string& path);
// Which file the path names now; none when it names nothing (errno says why).
std::optional<FileIdentity> IdentifyPath(const std::string& path);
// Writes all the bytes at the end of the file, a short write continued, or cuts the file back to
// `sizeBefore` when the system takes not all of them (a full disk): the file never ends in part
// of the bytes. False on a failure, with errno of the write that failed.
bool AppendWhole(int descriptor, std::string_view bytes, std::uint64_t sizeBefore);
// Cuts the file back to `size` bytes; false on a failure (errno says why).
bool CutFileBack(int descriptor, std::uint64_t size);
void CloseFile(int descriptor);

}  // namespace quorbel
