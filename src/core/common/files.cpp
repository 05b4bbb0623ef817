// Whole-file reads and writes that never leave a partial file behind.
#include "common/files.hpp"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
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

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    // One read straight into a text of the file's size, without growing it on the way.
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

// A cleaned export of tens of megabytes goes out in a few hundred writes.
constexpr std::size_t kWriteBufferSize = std::size_t{256} << 10;

std::string TemporaryPathBeside(const std::string& path) {
    std::random_device random;
    return path + ".part" + std::to_string((std::uint64_t{random()} << 32) | random());
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::string path)
    : m_path(std::move(path)), m_temporary(TemporaryPathBeside(m_path)) {
    m_file = std::fopen(m_temporary.c_str(), "wb");
    if (m_file == nullptr) {
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
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size())
        m_failed = true;
}

bool AtomicFileWriter::Commit() {
    if (m_file == nullptr)
        return false;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (m_failed || !closed) {
        Discard();
        return false;
    }
    // A replaced file keeps its permissions.
    std::error_code error;
    const fs::file_status existing = fs::status(m_path, error);
    if (!error && fs::exists(existing))
        fs::permissions(m_temporary, existing.permissions(), error);
    error.clear();
    fs::rename(m_temporary, m_path, error);
    if (error) {
        Discard();
        return false;
    }
    m_temporary.clear();  // it is the target now
    return true;
}

void AtomicFileWriter::Discard() {
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_temporary.empty()) {
        std::error_code ignored;
        fs::remove(m_temporary, ignored);
        m_temporary.clear();
    }
}

bool WriteFileAtomically(const std::string& path, std::string_view contents) {
    AtomicFileWriter writer(path);
    writer.Write(contents);
    return writer.Commit();
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

}  // namespace quorbel
