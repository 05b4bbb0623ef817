// Opens the archive at a location of conf.ini or --archive for both front ends: an SQLite file,
// or a PostgreSQL server whose receptions wait in the application folder while it is away.
#pragma once

#include <memory>
#include <string>

#include "archive/archive.hpp"

namespace quorbel {

std::unique_ptr<Archive> OpenArchiveAt(const std::string& location, const std::string& appDir);

}  // namespace quorbel
