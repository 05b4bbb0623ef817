// Runs a piece of a test in a child process whose files cannot grow beyond a size: a write that
// crosses it fails halfway with EFBIG, as on a full disk, through the system's own file calls.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace quorbel::testing {

// The text the body returns (what the test checks afterwards), or none when the child did not
// end normally. The body runs in a copy of the test process; it must not use gtest's checks.
inline std::optional<std::string> RunWithFileSizeLimit(std::uint64_t limit,
                                                       const std::function<std::string()>& body) {
    int channel[2];
    if (::pipe(channel) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        ::close(channel[0]);
        ::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead of ending the process
        const rlimit size{limit, limit};
        if (::setrlimit(RLIMIT_FSIZE, &size) != 0)
            ::_exit(2);
        const std::string text = body();
        const bool sent =
            ::write(channel[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(sent ? 0 : 3);
    }
    ::close(channel[1]);
    std::string text;
    char piece[4096];
    for (ssize_t got; (got = ::read(channel[0], piece, sizeof piece)) > 0;)
        text.append(piece, static_cast<std::size_t>(got));
    ::close(channel[0]);
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return text;
}

}  // namespace quorbel::testing
