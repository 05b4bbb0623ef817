// Whole-file reads and writes that never leave a partial file behind.
#include "common/files.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <system_error>

#include "common/disk_flush.hpp"

namespace quorbel {
namespace fs = std::filesystem;

std::optional<std::string> NonFileInputProblem(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (fs::is_directory(status))
        return path + " is a folder, not a file";
    if (fs::exists(status) && !fs::is_regular_file(status))
        return path + " is not a regular file";
    return std::nullopt;
}

std::ifstream OpenRegularFile(const std::string& path) {
    std::ifstream in;
    std::error_code error;
    if (fs::is_regular_file(path, error))
        in.open(path, std::ios::binary);
    return in;
}

bool RewindStream(std::ifstream& in) {
    in.clear();
    in.seekg(0);
    return static_cast<bool>(in);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream in = OpenRegularFile(path);
    if (!in.is_open() || !in)
        return std::nullopt;
    // One read straight into a text of the file's size, without growing it on the way.
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    std::string contents(error ? 0 : static_cast<std::size_t>(size), '\0');
    in.read(contents.data(), static_cast<std::streamsize>(contents.size()));
    contents.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad())
        return std::nullopt;
    if (in) {
        // The whole size was read: whatever was appended to the file since follows.
        std::ostringstream rest;
        rest << in.rdbuf();
        contents += std::move(rest).str();
    }
    return contents;
}

namespace {

// Small: a CSV export of a full store goes out in a few dozen writes, a cleaned export of tens of
// megabytes in under a thousand, and the buffer's memory is touched only as far as it is filled.
constexpr std::size_t kWriteBufferSize = std::size_t{64} << 10;

std::string TemporaryPathBeside(const std::string& path) {
    std::random_device random;
    return path + ".part" + std::to_string((std::uint64_t{random()} << 32) | random());
}

// The temporary files of the writers that are not committed yet. A program that ends at once
// with std::quick_exit (the window closed in the middle of a read, while the station analysis
// writes on another thread) removes them on its way out, so no partial file outlives it. Each
// file is created, renamed and removed under the lock, which the exit handler takes for good.
class TemporaryFiles {
  public:
    static TemporaryFiles& Get() {
        static TemporaryFiles files;
        return files;
    }

    std::FILE* Create(const std::string& path) {
        const std::lock_guard lock(m_mutex);
        std::FILE* file = std::fopen(path.c_str(), "wb");
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

AtomicFileWriter::AtomicFileWriter(std::string path)
    : m_path(std::move(path)), m_temporary(TemporaryPathBeside(m_path)) {
    m_file = TemporaryFiles::Get().Create(m_temporary);
    if (m_file == nullptr) {
        m_error = errno;
        m_temporary.clear();  // nothing to remove
        return;
    }
    m_buffer.reset(new char[kWriteBufferSize]);
    std::setvbuf(m_file, m_buffer.get(), _IOFBF, kWriteBufferSize);
}

AtomicFileWriter::~AtomicFileWriter() {
    Discard();
}

void AtomicFileWriter::Write(std::string_view bytes) {
    if (m_file == nullptr || m_failed || bytes.empty())
        return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
        m_failed = true;
        m_error = errno;
    }
}

bool AtomicFileWriter::Commit() {
    if (m_file == nullptr)
        return false;
    // The whole new file is on the disk before it takes the target's name: a power cut never
    // leaves an empty or partial file where a whole one stood.
    const bool onDisk = !m_failed && FlushFileToDisk(m_file);
    if (!m_failed && !onDisk)
        m_error = errno;
    const bool closed = std::fclose(m_file) == 0;
    if (onDisk && !closed)
        m_error = errno;
    m_file = nullptr;
    if (!onDisk || !closed) {
        Discard();
        return false;
    }
    // A replaced file keeps its permissions.
    std::error_code error;
    const fs::file_status existing = fs::status(m_path, error);
    if (!error && fs::exists(existing))
        fs::permissions(m_temporary, existing.permissions(), error);
    error.clear();
    TemporaryFiles::Get().Rename(m_temporary, m_path, error);
    if (error) {
        m_error = error.value();
        Discard();
        return false;
    }
    m_temporary.clear();  // it is the target now
    // The rename itself reaches the disk with the folder's entries.
    if (!FlushFolderToDisk(FolderOfPath(m_path))) {
        m_error = errno;
        return false;
    }
    return true;
}

void AtomicFileWriter::Discard() {
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_temporary.empty()) {
        TemporaryFiles::Get().Remove(m_temporary);
        m_temporary.clear();
    }
}

bool WriteFileAtomically(const std::string& path, std::string_view contents) {
    int ignored = 0;
    return WriteFileAtomically(path, contents, ignored);
}

bool WriteFileAtomically(const std::string& path, std::string_view contents, int& error) {
    AtomicFileWriter writer(path);
    writer.Write(contents);
    const bool written = writer.Commit();
    error = written ? 0 : writer.Error();
    return written;
}

std::string SystemErrorText(int error) {
    return error == 0 ? std::string() : std::generic_category().message(error);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

}  // namespace quorbel
