// Whole-file reads and safe writes: a file is written beside its target and renamed over it, so
// a failure never leaves a partial file behind. Input files are checked before they are read.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorbel {

// Why a path cannot serve as an input file, as a message for the user ("<path> is a folder, not
// a file", "<path> is not a regular file", "<path> could not be read"); none when it can.
std::optional<std::string> InputFileProblem(const std::string& path);
// True for an existing path that is a folder, a device or anything else but a regular file: it
// is refused as an input file without being read.
bool IsNonFileInput(const std::string& path);

// The bytes of a regular file; none when it cannot be read or is not a regular file (a folder
// or a device is never read as if it were an empty or endless file).
std::optional<std::string> ReadWholeFile(const std::string& path);
// Writes the bytes to a temporary file in the same folder, then replaces the target with it.
// False (and no file left behind, the target untouched) when any step fails.
bool WriteFileAtomically(const std::string& path, std::string_view contents);
// Joins a folder and a file name with "/".
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace quorbel
