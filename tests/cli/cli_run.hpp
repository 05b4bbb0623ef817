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

// The names of the files in a folder, sorted.
inline std::vector<std::string> FileNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace quorbel::testing
