// Flushes to the disk through the system's file interface.
#include "common/disk_flush.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace quorbel {
namespace {

// A call interrupted by a signal is tried again.
template <typename Call>
int Retried(Call call) {
    int result = 0;
    do {
        result = call();
    } while (result != 0 && errno == EINTR);
    return result;
}

}  // namespace

bool FlushFileToDisk(std::FILE* file) {
    if (file == nullptr || std::fflush(file) != 0)
        return false;
    const int descriptor = ::fileno(file);
    return Retried([descriptor] { return ::fsync(descriptor); }) == 0;
}

bool FlushFileDataToDisk(std::FILE* file) {
    if (file == nullptr || std::fflush(file) != 0)
        return false;
    const int descriptor = ::fileno(file);
    return Retried([descriptor] { return ::fdatasync(descriptor); }) == 0;
}

bool FlushFolderToDisk(const std::string& folder) {
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    const bool flushed = Retried([descriptor] { return ::fsync(descriptor); }) == 0 ||
                         errno == EINVAL || errno == ENOTSUP;
    ::close(descriptor);
    return flushed;
}

std::string FolderOfPath(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

}  // namespace quorbel
