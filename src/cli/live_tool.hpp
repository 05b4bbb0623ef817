// The live tool's additions to quorbel-cli: the platform with the TCP client's socket, the listen
// command, and share, which needs the network too.
#pragma once

#include <memory>

#include "cli_app.hpp"
#include "shell/commands/share_commands.hpp"

class QCoreApplication;

namespace quorbel::cli {

LiveTool MakeLiveTool();

// The event loop the socket and the HTTP client need; none when the tool already has one.
std::unique_ptr<QCoreApplication> MakeEventLoop();

// Sharing as the tool does it: the outbox file in the application folder, this HTTP client and
// the system clock.
ShareServices ToolShareServices(HttpPoster& poster);

// Runs share (see share_options.hpp).
void Share(CliContext& context, const Args& args);

}  // namespace quorbel::cli
