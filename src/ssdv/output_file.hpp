// Writing the program's output file so that it is always whole: beside the target, flushed to the
// disk and renamed over it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quorbel::ssdv {

// Writes the bytes to a temporary file in the target's folder, flushes it to the disk and renames
// it over the target (which keeps its permissions), then flushes the folder so the rename is on
// the disk too. A picture list or a power cut never sees a partial file under the target's name.
// False when any step fails; the temporary file is removed then and an existing target is left
// as it was. A target that is a device or a pipe (not a regular file) is written in place.
bool WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace quorbel::ssdv
