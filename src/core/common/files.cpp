// Whole-file reads and writes that never leave a partial file behind.
#include "common/files.hpp"

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

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

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::string path) : m_file(std::move(path)) {
    if (!m_file.IsCreated()) {
        m_error = m_file.Error();
        return;
    }
    m_buffer.reset(new char[kWriteBufferSize]);
    std::setvbuf(m_file.File(), m_buffer.get(), _IOFBF, kWriteBufferSize);
}

AtomicFileWriter::~AtomicFileWriter() = default;

void AtomicFileWriter::Write(std::string_view bytes) {
    if (m_file.File() == nullptr || m_failed || bytes.empty())
        return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file.File()) != bytes.size()) {
        m_failed = true;
        m_error = errno;
    }
}

bool AtomicFileWriter::Commit() {
    if (m_failed) {
        m_file.Discard();
        return false;
    }
    const bool committed = m_file.Commit();
    if (!committed)
        m_error = m_file.Error();
    return committed;
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
