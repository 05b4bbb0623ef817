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
    bool share = false;  // share the frames with the SiDS server, as SHARE=on does
    std::string host;
    std::string port;
};

// A number of seconds, 0 or more, as --seconds takes it.
bool ParseSeconds(const std::string& text, double& value);

// The error text for a wrong listen command line.
std::optional<std::string> ParseListenArgs(const Args& args, ListenOptions& options);

}  // namespace quorbel::cli
