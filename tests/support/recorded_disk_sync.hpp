// A double for the flushes to the disk: while it stands, every flush is recorded with the name of
// what was flushed and the bytes the file then held, instead of reaching the disk; a test can also
// make the next flushes fail.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "durable/disk_sync.hpp"

namespace quorbel::testing {

class RecordedDiskSync : public DiskSync {
  public:
    struct Flush {
        std::string kind;      // "all" (fsync) or "data" (fdatasync)
        std::string path;      // the file or folder flushed
        std::string contents;  // a file's bytes at the flush; empty for a folder
    };

    RecordedDiskSync() : m_previous(ReplaceDiskSync(this)) {}
    ~RecordedDiskSync() override { ReplaceDiskSync(m_previous); }
    RecordedDiskSync(const RecordedDiskSync&) = delete;
    RecordedDiskSync& operator=(const RecordedDiskSync&) = delete;

    std::vector<Flush> flushes;
    int failures = 0;   // the next this many flushes fail with `failure`
    int failure = EIO;  // EINTR: interrupted by a signal, to be tried again

    int SyncAll(int descriptor) override { return Record("all", descriptor); }
    int SyncData(int descriptor) override { return Record("data", descriptor); }

  private:
    int Record(const char* kind, int descriptor) {
        char target[PATH_MAX];
        const std::string link = "/proc/self/fd/" + std::to_string(descriptor);
        const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
        const std::string path(target, length > 0 ? static_cast<std::size_t>(length) : 0);
        std::ifstream in(path, std::ios::binary);
        std::string contents;
        if (in.is_open() && in.peek() != EOF)
            contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        flushes.push_back({kind, path, contents});
        if (failures > 0) {
            --failures;
            errno = failure;
            return -1;
        }
        return 0;
    }

    DiskSync* m_previous;
};

}  // namespace quorbel::testing
