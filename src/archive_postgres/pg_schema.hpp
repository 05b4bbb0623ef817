// Schema 2 of the archive on a PostgreSQL server: frames with their first reception, the other
// receptions, and the decoded values of beacons and sensor frames in blocks of records, one row
// per field per block. A database of schema 1 (one wide row per decoded frame) is moved to it on
// first open.
#pragma once

#include "pg_connection.hpp"

namespace quorbel::postgres {

inline constexpr int kSchemaVersion = 2;
// Records per value block: a block's array of one field's values (8 bytes each and a NULL bit)
// stays under the size at which the server would move it out of its row.
inline constexpr int kBlockRecords = 200;

// The values of a row of field_block as doubles, whichever of its arrays holds them.
inline constexpr const char* kFieldBlockValues =
    "coalesce(data, whole::double precision[], small::double precision[])";

// Checks the database's schema, makes it when there is none and moves a schema-1 database to
// schema 2, all in one transaction; the version found or made. Throws ArchiveError for a
// database of a newer version.
int PrepareSchema(Connection& db);

}  // namespace quorbel::postgres
