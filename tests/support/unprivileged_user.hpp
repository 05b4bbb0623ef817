// Runs a piece of a test as a user without privileges, so that permission bits stop its reads and
// writes as they stop a station operator's. Root passes every permission bit, and the tests run
// as root in CI: there the piece runs in a child process that becomes user and group nobody.
#pragma once

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>

#include "support/child_process.hpp"

namespace quorbel::testing {

inline constexpr uid_t kNobodyUser = 65534;
inline constexpr gid_t kNobodyGroup = 65534;

// In the child: as root, becomes nobody for good (groups, group, then user); as any other user,
// stays that user. False when root cannot give up its rights.
inline bool DropPrivileges() {
    if (::geteuid() != 0)
        return true;
    return ::setgroups(0, nullptr) == 0 && ::setgid(kNobodyGroup) == 0 &&
           ::setuid(kNobodyUser) == 0 && ::setuid(0) != 0;
}

// Why the test cannot run here, or an empty text when it can: the child must give up root's
// rights and, as nobody, still reach `folder` (a temporary folder under a folder that is closed
// to other users, as /root is, is out of its reach).
inline std::string UnprivilegedRunProblem(const std::string& folder) {
    const auto reached = RunInChildProcess(DropPrivileges, [&folder] {
        struct stat info {};
        return std::string(::stat(folder.c_str(), &info) == 0 ? "reached" : "not reached");
    });
    if (!reached)
        return "root cannot become user nobody here (no setuid in this container), and root "
               "passes every permission bit";
    if (*reached != "reached")
        return "user nobody cannot reach " + folder +
               " (a folder above it is closed to other users); set TMPDIR to a folder it can "
               "reach";
    return {};
}

// Gives the file or folder to nobody when the tests run as root, so that its owner's permission
// bits are the ones that count for the child, as they count for the user who owns it.
inline bool GiveToUnprivilegedUser(const std::string& path) {
    return ::geteuid() != 0 || ::chown(path.c_str(), kNobodyUser, kNobodyGroup) == 0;
}

// The text the body returns, run as described above; none when the child could not drop its
// rights or did not end normally. The body must not use gtest's checks.
inline std::optional<std::string> RunUnprivileged(const std::function<std::string()>& body) {
    return RunInChildProcess(DropPrivileges, body);
}

}  // namespace quorbel::testing
