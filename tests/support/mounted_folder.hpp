// Folders the program cannot write for a test: a small file system of its own that is full after
// a few pages (writes fail with ENOSPC, as on a full disk), or a read-only one (writes fail with
// EROFS even for root, where permission bits stop nothing). Mounting needs root; without it the
// read-only folder falls back to permission bits, and the small one is not made (the test skips).
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

namespace quorbel::testing {

class MountedFolder {
  public:
    // A tmpfs of `bytes` (rounded up to whole pages) at `path`, made when missing.
    static MountedFolder Small(const std::string& path, std::size_t bytes) {
        return MountedFolder(path, "size=" + std::to_string(bytes), 0);
    }
    // A read-only folder at `path`: an empty read-only tmpfs as root, mode 0555 otherwise.
    static MountedFolder ReadOnly(const std::string& path) {
        if (::geteuid() != 0) {
            MountedFolder folder(path);
            std::filesystem::permissions(
                path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
            folder.m_ready = true;
            return folder;
        }
        return MountedFolder(path, "size=64k", MS_RDONLY);
    }

    MountedFolder(MountedFolder&& other) noexcept
        : m_path(std::move(other.m_path)),
          m_mounted(std::exchange(other.m_mounted, false)),
          m_ready(other.m_ready),
          m_problem(std::move(other.m_problem)) {}
    MountedFolder& operator=(MountedFolder&&) = delete;
    ~MountedFolder() {
        if (m_mounted)
            ::umount2(m_path.c_str(), MNT_DETACH);
        else if (m_ready)
            std::filesystem::permissions(m_path, std::filesystem::perms::owner_all);
    }

    // False when the folder could not be made so; Problem says why.
    bool Ready() const { return m_ready; }
    const std::string& Problem() const { return m_problem; }
    const std::string& Path() const { return m_path; }

  private:
    explicit MountedFolder(std::string path) : m_path(std::move(path)) {
        std::filesystem::create_directories(m_path);
    }
    MountedFolder(const std::string& path, const std::string& options, unsigned long flags)
        : MountedFolder(path) {
        if (::geteuid() != 0) {
            m_problem = "mounting a small file system needs root";
            return;
        }
        if (::mount("tmpfs", m_path.c_str(), "tmpfs", flags, options.c_str()) != 0) {
            m_problem = std::string("tmpfs could not be mounted: ") + std::strerror(errno);
            return;
        }
        m_mounted = m_ready = true;
    }

    std::string m_path;
    bool m_mounted = false;
    bool m_ready = false;
    std::string m_problem;
};

}  // namespace quorbel::testing
