// The mission archive in an SQLite file (archive.sqlite in the application folder by default).
#pragma once

#include <memory>
#include <string>

#include "archive/archive.hpp"

namespace quorbel {

// The schema this program writes and reads; files of a higher one are refused untouched.
inline constexpr int kSqliteArchiveSchema = 1;

// Opens the archive at `path`, making the file and its tables when absent. Throws ArchiveError
// naming the path when the file cannot be opened or made, is no archive, or was written by a
// newer version of this program.
std::unique_ptr<Archive> OpenSqliteArchive(const std::string& path);

}  // namespace quorbel
