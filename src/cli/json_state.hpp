// The window model as one JSON object (UTF-8), keys named for what they hold (docs/state-json.md).
#pragma once

#include <string>

namespace quorbel {
struct AppState;
}

namespace quorbel::cli {

// The state as JSON text: one top-level key a line, ended by a newline.
std::string DumpStateJson(const AppState& app);

}  // namespace quorbel::cli
