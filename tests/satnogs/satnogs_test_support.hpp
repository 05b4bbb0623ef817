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

inline std::string Golden(const std::string& relativePath) {
    return TempFolder::Read(std::string(QUORBEL_SOURCE_DIR) + "/tests/" + relativePath);
}

}  // namespace quorbel::testing
