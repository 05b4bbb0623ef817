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

// How many pages of log a connection writes before it copies them into the file: usually, and
// during an import, which writes the same pages (open value blocks, the indexes' last pages) batch
// after batch and would otherwise wait for a copy and two disk flushes every few seconds.
inline constexpr const char* kWalCheckpointPragma = "PRAGMA wal_autocheckpoint = 2500";
inline constexpr const char* kBulkWalCheckpointPragma = "PRAGMA wal_autocheckpoint = 16384";

}  // namespace quorbel::sqlite
