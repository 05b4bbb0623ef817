// The options of `share`, checked by every build of the tool (the plain tool checks a share
// command line before it hands it to the live tool), and `share-status`, which the plain tool runs.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli_app.hpp"

namespace quorbel::cli {

struct ShareOptions {
    bool dryRun = false;
    double seconds = -1;  // below 0: until the outbox is empty
    std::vector<std::string> files;
};

// The error text for a wrong share command line.
std::optional<std::string> ParseShareArgs(const Args& args, ShareOptions& options);

}  // namespace quorbel::cli
