// The archive file's tables and the checks made when it is opened.
#pragma once

#include "sqlite_database.hpp"

namespace quorbel::sqlite {

// Checks the schema version of the open file and makes the tables of a new one; then sets the
// connection up for writing (WAL, synchronous NORMAL, busy timeout). Returns the schema version.
// A file of a newer schema, or an SQLite file that is no archive, is refused before anything of
// it is changed.
int PrepareArchiveFile(Database& db);

// The flags the archive file is opened with.
int ArchiveOpenFlags();

}  // namespace quorbel::sqlite
