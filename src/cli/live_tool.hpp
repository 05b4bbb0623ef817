// The live tool's additions to quorbel-cli: the platform with the TCP client's socket and the
// listen command.
#pragma once

#include "cli_app.hpp"

namespace quorbel::cli {

LiveTool MakeLiveTool();

}  // namespace quorbel::cli
