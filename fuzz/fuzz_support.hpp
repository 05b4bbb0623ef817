// Helpers shared by the fuzz targets: a check that stops the run with a message, and a scratch
// folder of the target's own in memory for the parts of the program that read and write files.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace quorbel::fuzz {

// A broken invariant is a finding like a crash: the input is kept and the run ends.
#define QUORBEL_FUZZ_CHECK(condition)                                                          \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)

// A folder named after the target and the process, on tmpfs where there is one, so that file
// work per input costs no disk. It is removed when the process ends normally.
class ScratchFolder {
  public:
    explicit ScratchFolder(const std::string& name) {
        std::error_code ignored;
        const std::filesystem::path shm = "/dev/shm";
        const std::filesystem::path base = std::filesystem::is_directory(shm, ignored)
                                               ? shm
                                               : std::filesystem::temp_directory_path();
        m_path = base / ("quorbel-" + name + "-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_path);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};

}  // namespace quorbel::fuzz
