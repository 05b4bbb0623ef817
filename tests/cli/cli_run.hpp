// Shared by the quorbel-cli tests: a run of the tool in this process and the files of a folder.
#pragma once

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli_app.hpp"

namespace quorbel::testing {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

inline CliRun RunCliIn(std::vector<std::string> args, const std::string& appDir = ".") {
    std::ostringstream out, err;
    const int status = cli::RunCli(args, appDir, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace quorbel::testing
