// Shared by the SatNOGS, station and export tests: the window state on the platform double with a
// scratch folder, the files in a folder, and the golden files of this source tree.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "support/fake_platform.hpp"
#include "support/temp_folder.hpp"

namespace quorbel::testing {

struct Fixture {
    FakePlatform platform;
    AppState app{platform};
    TempFolder folder;
};

// The names of the files in a folder, sorted.
inline std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string Golden(const std::string& relativePath) {
    return TempFolder::Read(std::string(QUORBEL_SOURCE_DIR) + "/tests/" + relativePath);
}

}  // namespace quorbel::testing
