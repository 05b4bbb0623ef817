// The output file, written whole or not at all.
#include "output_file.hpp"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "durable/replacing_file.hpp"

namespace quorbel::ssdv {

bool WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::error_code error;
    const std::filesystem::file_status existing = std::filesystem::status(path, error);
    if (std::filesystem::exists(existing) && !std::filesystem::is_regular_file(existing)) {
        std::FILE* file = std::fopen(path.c_str(), "wb");  // /dev/null, a pipe: never replaced
        if (file == nullptr)
            return false;
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
                             std::fflush(file) == 0;
        return std::fclose(file) == 0 && written;
    }
    ReplacingFile file(path);
    if (!file.IsCreated() ||
        std::fwrite(bytes.data(), 1, bytes.size(), file.File()) != bytes.size())
        return false;  // the temporary file goes with `file`
    return file.Commit();
}

}  // namespace quorbel::ssdv
