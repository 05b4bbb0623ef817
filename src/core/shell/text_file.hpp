// Whole-file reads and safe writes: a file is written beside its target and renamed over it, so
// a failure never leaves a partial file behind.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorbel {

std::optional<std::string> ReadWholeFile(const std::string& path);
// Writes the bytes to a temporary file in the same folder, then replaces the target with it.
// False (and no file left behind, the target untouched) when any step fails.
bool WriteFileAtomically(const std::string& path, std::string_view contents);
// Joins a folder and a file name with "/".
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace quorbel
