// The output file, written whole or not at all.
#include "output_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

namespace quorbel::ssdv {
namespace {

namespace fs = std::filesystem;

// A call interrupted by a signal is tried again.
template <typename Call>
int Retried(Call call) {
    int result = 0;
    do {
        result = call();
    } while (result != 0 && errno == EINTR);
    return result;
}

// The bytes reach the disk, not only the system's cache.
bool FlushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0)
        return false;
    const int descriptor = ::fileno(file);
    return Retried([descriptor] { return ::fsync(descriptor); }) == 0;
}

// The folder's entries reach the disk; a file system that cannot flush a folder counts as done.
bool FlushFolderToDisk(const fs::path& folder) {
    const std::string name = folder.empty() ? std::string(".") : folder.string();
    const int descriptor = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    const bool flushed = Retried([descriptor] { return ::fsync(descriptor); }) == 0 ||
                         errno == EINVAL || errno == ENOTSUP;
    ::close(descriptor);
    return flushed;
}

bool WriteAndFlush(std::FILE* file, std::span<const std::uint8_t> bytes, bool toDisk) {
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
                         (toDisk ? FlushToDisk(file) : std::fflush(file) == 0);
    return std::fclose(file) == 0 && written;
}

std::string TemporaryPathBeside(const std::string& path) {
    std::random_device random;
    return path + ".part" + std::to_string(random()) + std::to_string(random());
}

}  // namespace

bool WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::error_code error;
    const fs::file_status existing = fs::status(path, error);
    if (fs::exists(existing) && !fs::is_regular_file(existing)) {
        std::FILE* file = std::fopen(path.c_str(), "wb");  // /dev/null, a pipe: never replaced
        return file != nullptr && WriteAndFlush(file, bytes, false);
    }
    const std::string temporary = TemporaryPathBeside(path);
    std::FILE* file = std::fopen(temporary.c_str(), "wbx");
    if (file == nullptr)
        return false;
    bool done = WriteAndFlush(file, bytes, true);
    if (done && fs::exists(existing))
        fs::permissions(temporary, existing.permissions(), error);
    if (done) {
        fs::rename(temporary, path, error);
        done = !error;
    }
    if (!done) {
        fs::remove(temporary, error);
        return false;
    }
    return FlushFolderToDisk(fs::path(path).parent_path());
}

}  // namespace quorbel::ssdv
