// Runs a piece of a test in a child process whose files cannot grow beyond a size: a write that
// crosses it fails halfway with EFBIG, as on a full disk, through the system's own file calls.
#pragma once

#include <signal.h>
#include <sys/resource.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "support/child_process.hpp"

namespace quorbel::testing {

// The text the body returns (what the test checks afterwards), or none when the child did not
// end normally. The body runs in a copy of the test process; it must not use gtest's checks.
inline std::optional<std::string> RunWithFileSizeLimit(std::uint64_t limit,
                                                       const std::function<std::string()>& body) {
    return RunInChildProcess(
        [limit] {
            ::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead of ending the process
            const rlimit size{limit, limit};
            return ::setrlimit(RLIMIT_FSIZE, &size) == 0;
        },
        body);
}

}  // namespace quorbel::testing
