// The archive on a PostgreSQL server, shared by the stations of a network: the same frames,
// receptions and queries as the archive file, in tables that several stations write at once.
// Which reception joins which frame is decided inside each batch's transaction under one advisory
// lock of the server, never by a read in one transaction and an insert in another; bulk rows go
// in by COPY.
#pragma once

#include <memory>
#include <string>

#include "archive/archive.hpp"

namespace quorbel {

// Connects to the server at the URL and makes the schema when the database has none; throws
// ArchiveUnreachable while the server cannot be reached or refuses the login, ArchiveError for a
// database of a newer version.
std::unique_ptr<Archive> OpenPostgresArchive(const std::string& url);

// Makes the schema (archive-init); the version found or made.
int InitPostgresArchive(const std::string& url);

// The URL without its password, as the Info page and --help show it.
std::string PostgresLocation(const std::string& url);

}  // namespace quorbel
