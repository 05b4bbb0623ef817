// Whole-file reads and safe writes: a file is written beside its target and renamed over it, so
// a failure never leaves a partial file behind. Input files are checked before they are read.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorbel {

// For an existing path that is a folder, a device or anything else but a regular file, the
// message that refuses it as an input file ("<path> is a folder, not a file", "<path> is not a
// regular file"); none for a regular file or a path that does not exist.
std::optional<std::string> NonFileInputProblem(const std::string& path);

// The bytes of a regular file; none when it cannot be read or is not a regular file (a folder
// or a device is never read as if it were an empty or endless file).
std::optional<std::string> ReadWholeFile(const std::string& path);
// Writes the bytes to a temporary file in the same folder, then replaces the target with it.
// False (and no file left behind, the target untouched) when any step fails.
bool WriteFileAtomically(const std::string& path, std::string_view contents);
// Joins a folder and a file name with "/".
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace quorbel
