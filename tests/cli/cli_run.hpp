// Shared by the quorbel-cli tests: a run of the tool in this process, and a folder with a pass.
#pragma once

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli_app.hpp"
#include "sample_frames.hpp"
#include "support/temp_folder.hpp"

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

// A folder of the test's own with a pass of 150 beacons and 120 sensor frames in it.
class PassInFolderTest : public ::testing::Test {
  protected:
    TempFolder folder;
    std::string capture;

    void SetUp() override {
        samples::PassOptions options;
        options.beacons = 150;
        options.sensorFrames = 120;
        capture = folder.Write("pass.kss", samples::MakePassCapture(options));
    }
};

}  // namespace quorbel::testing
