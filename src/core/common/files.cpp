// Whole-file reads and writes that never leave a partial file behind.
#include "common/files.hpp"

#include <cstdint>
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
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return std::move(contents).str();
}

bool WriteFileAtomically(const std::string& path, std::string_view contents) {
    std::random_device random;
    const std::string temporary =
        path + ".part" + std::to_string((std::uint64_t{random()} << 32) | random());
    bool written;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        out.close();
        written = !out.fail();
    }
    std::error_code error;
    if (written) {
        // A replaced file keeps its permissions.
        const fs::file_status existing = fs::status(path, error);
        if (!error && fs::exists(existing))
            fs::permissions(temporary, existing.permissions(), error);
        error.clear();
        fs::rename(temporary, path, error);
    }
    if (!written || error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    return true;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

}  // namespace quorbel
