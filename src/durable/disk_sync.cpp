// Flushes to the disk through the system's file interface, or the calls a test put in its place.
#include "durable/disk_sync.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace quorbel {
namespace {

class SystemDiskSync : public DiskSync {
  public:
    int SyncAll(int descriptor) override { return ::fsync(descriptor); }
    int SyncData(int descriptor) override { return ::fdatasync(descriptor); }
};

SystemDiskSync g_systemSync;
// Read by every flush, on whichever thread writes (the station analysis writes on its own).
std::atomic<DiskSync*> g_sync{&g_systemSync};

// A call interrupted by a signal is tried again.
template <typename Call>
int Retried(Call call) {
    int result = 0;
    do {
        result = call();
    } while (result != 0 && errno == EINTR);
    return result;
}

bool SyncAll(int descriptor) {
    DiskSync* const sync = g_sync.load();
    return Retried([sync, descriptor] { return sync->SyncAll(descriptor); }) == 0;
}

}  // namespace

DiskSync* ReplaceDiskSync(DiskSync* sync) {
    return g_sync.exchange(sync != nullptr ? sync : &g_systemSync);
}

bool FlushFileToDisk(std::FILE* file) {
    if (file == nullptr || std::fflush(file) != 0)
        return false;
    return SyncAll(::fileno(file));
}

bool FlushFileDataToDisk(std::FILE* file) {
    if (file == nullptr || std::fflush(file) != 0)
        return false;
    return FlushFileDataToDisk(::fileno(file));
}

bool FlushFileDataToDisk(int descriptor) {
    DiskSync* const sync = g_sync.load();
    return Retried([sync, descriptor] { return sync->SyncData(descriptor); }) == 0;
}

bool FlushClosedFileToDisk(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    const bool flushed = SyncAll(descriptor);
    return ::close(descriptor) == 0 && flushed;
}

bool FlushFolderToDisk(const std::string& folder) {
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    const bool flushed = SyncAll(descriptor) || errno == EINVAL || errno == ENOTSUP;
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
