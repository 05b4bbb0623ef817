// Where an archive lies, as conf.ini's ARCHIVE and --archive give it: an SQLite file's path or a
// PostgreSQL server's URL, whose password is never shown.
#pragma once

#include <string>

namespace quorbel {

// True for a postgresql:// or postgres:// URL.
bool IsServerArchiveUrl(const std::string& location);

// The location as the Info page, --help and messages show it: a URL without its password.
std::string LocationWithoutPassword(const std::string& location);

// The file in the application folder where receptions wait while a server's archive is away.
inline constexpr const char* kArchiveQueueName = "archive-queue.bin";

}  // namespace quorbel
