// The window model as one JSON object (UTF-8), keys named after the controls.
#pragma once

#include <string>

namespace quorbel {
struct AppState;
}

namespace quorbel::cli {

// Converts 8-bit (Latin-1) text into a JSON string literal in UTF-8.
std::string JsonString(const std::string& latin1);
std::string DumpStateJson(const AppState& app);

}  // namespace quorbel::cli
