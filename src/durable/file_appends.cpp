// Appends through the system's file interface: open, stat, write, ftruncate, fdatasync.
#include "durable/file_appends.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quorbel {
namespace {

FileIdentity IdentityOf(const struct stat& status) {
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
            static_cast<std::uint64_t>(status.st_size)};
}

}  // namespace

OpenedAppendFile OpenFileForAppend(const std::string& path) {
    constexpr int kFlags = O_WRONLY | O_APPEND | O_CLOEXEC;
    OpenedAppendFile opened;
    opened.descriptor = ::open(path.c_str(), kFlags);
    if (opened.descriptor < 0 && errno == ENOENT) {
        // O_EXCL: a file made by someone else meanwhile is opened as it stands, not taken as new.
        opened.descriptor = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666);
        opened.created = opened.descriptor >= 0;
        if (opened.descriptor < 0 && errno == EEXIST)
            opened.descriptor = ::open(path.c_str(), kFlags);
    }
    if (opened.descriptor < 0)
        return opened;
    struct stat status {};
    if (::fstat(opened.descriptor, &status) != 0) {
        const int error = errno;
        CloseFile(opened.descriptor);
        errno = error;
        return {};
    }
    opened.identity = IdentityOf(status);
    return opened;
}

std::optional<FileIdentity> IdentifyPath(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return std::nullopt;
    return IdentityOf(status);
}

bool AppendWhole(int descriptor, std::string_view bytes, std::uint64_t sizeBefore) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t result = ::write(descriptor, bytes.data() + written, bytes.size() - written);
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0) {
            const int error = result < 0 ? errno : ENOSPC;
            // The part that went in is taken back; a failure to do so cannot be helped here.
            CutFileBack(descriptor, sizeBefore);
            errno = error;
            return false;
        }
        written += static_cast<std::size_t>(result);
    }
    return true;
}

bool CutFileBack(int descriptor, std::uint64_t size) {
    int result = 0;
    do {
        result = ::ftruncate(descriptor, static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

void CloseFile(int descriptor) {
    if (descriptor >= 0)
        ::close(descriptor);
}

}  // namespace quorbel
