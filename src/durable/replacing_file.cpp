// Files that replace their targets whole, and the temporary files not committed yet.
#include "durable/replacing_file.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <system_error>

#include "durable/disk_sync.hpp"

namespace quorbel {
namespace {

namespace fs = std::filesystem;

std::string TemporaryPathBeside(const std::string& path) {
    std::random_device random;
    return path + ".part" + std::to_string((std::uint64_t{random()} << 32) | random());
}

// The temporary files that are not committed yet. A program that ends at once with
// std::quick_exit (the window closed in the middle of a read, while the station analysis writes
// on another thread) removes them on its way out, so no partial file outlives it. Each file is
// created, renamed and removed under the lock, which the exit handler takes for good.
class TemporaryFiles {
  public:
    static TemporaryFiles& Get() {
        static TemporaryFiles files;
        return files;
    }

    // Creates the file, failing when one of that name exists.
    std::FILE* Create(const std::string& path) {
        const std::lock_guard lock(m_mutex);
        std::FILE* file = std::fopen(path.c_str(), "wbx");
        if (file != nullptr)
            m_paths.insert(path);
        return file;
    }
    void Rename(const std::string& path, const std::string& target, std::error_code& error) {
        const std::lock_guard lock(m_mutex);
        fs::rename(path, target, error);
        if (!error)
            m_paths.erase(path);
    }
    void Remove(const std::string& path) {
        const std::lock_guard lock(m_mutex);
        std::error_code ignored;
        fs::remove(path, ignored);
        m_paths.erase(path);
    }

  private:
    TemporaryFiles() {
        std::at_quick_exit([] { Get().RemoveAllAtExit(); });
    }

    void RemoveAllAtExit() {
        m_mutex.lock();  // held until the process is gone: no writer creates or renames any more
        for (const std::string& path : m_paths)
            std::remove(path.c_str());
    }

    std::mutex m_mutex;
    std::set<std::string> m_paths;
};

}  // namespace

ReplacingFile::ReplacingFile(std::string target)
    : m_target(std::move(target)), m_temporary(TemporaryPathBeside(m_target)) {
    m_file = TemporaryFiles::Get().Create(m_temporary);
    if (m_file == nullptr) {
        m_error = errno;
        m_temporary.clear();  // nothing to remove
    }
}

ReplacingFile::~ReplacingFile() {
    Discard();
}

void ReplacingFile::CloseForWritingByName() {
    if (m_file != nullptr)
        std::fclose(m_file);
    m_file = nullptr;
}

bool ReplacingFile::Commit() {
    if (m_temporary.empty())
        return false;
    // The whole new file is on the disk before it takes the target's name: a power cut never
    // leaves an empty or partial file where a whole one stood.
    bool onDisk = false;
    bool closed = true;
    if (m_file != nullptr) {
        onDisk = FlushFileToDisk(m_file);
        if (!onDisk)
            m_error = errno;
        closed = std::fclose(m_file) == 0;
        if (onDisk && !closed)
            m_error = errno;
        m_file = nullptr;
    } else {
        onDisk = FlushClosedFileToDisk(m_temporary);
        if (!onDisk)
            m_error = errno;
    }
    if (!onDisk || !closed) {
        Discard();
        return false;
    }
    // A replaced file keeps its permissions.
    std::error_code error;
    const fs::file_status existing = fs::status(m_target, error);
    if (!error && fs::exists(existing))
        fs::permissions(m_temporary, existing.permissions(), error);
    error.clear();
    TemporaryFiles::Get().Rename(m_temporary, m_target, error);
    if (error) {
        m_error = error.value();
        Discard();
        return false;
    }
    m_temporary.clear();  // it is the target now
    // The rename itself reaches the disk with the folder's entries.
    if (!FlushFolderToDisk(FolderOfPath(m_target))) {
        m_error = errno;
        return false;
    }
    return true;
}

void ReplacingFile::Discard() {
    CloseForWritingByName();
    if (!m_temporary.empty()) {
        TemporaryFiles::Get().Remove(m_temporary);
        m_temporary.clear();
    }
}

}  // namespace quorbel
