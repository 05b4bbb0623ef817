// The options of `listen`, checked by every build of the tool: the plain tool checks a listen
// command line before it hands it to the live tool.
#pragma once

#include <optional>
#include <string>

#include "cli_app.hpp"

namespace quorbel::cli {

struct ListenOptions {
    double seconds = -1;  // below 0: until a signal
    bool reconnect = false;
    std::string host;
    std::string port;
};

// The error text for a wrong listen command line.
std::optional<std::string> ParseListenArgs(const Args& args, ListenOptions& options);

}  // namespace quorbel::cli
