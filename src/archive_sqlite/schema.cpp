// Schema 1 of the archive file, and how a file is checked and set up when opened.
//
// Durability: WAL with synchronous=NORMAL. Every commit is in the WAL file when COMMIT returns,
// so a process killed at any moment (kill -9) loses no committed batch and leaves a consistent
// file; only a power loss or an operating-system crash may take back the last commits, never
// corrupt the file. FULL would sync the WAL at every commit and cost a disk flush per batch.
#include "schema.hpp"

#include <sqlite3.h>

#include <string>

#include "sqlite_archive.hpp"

namespace quorbel::sqlite {
namespace {

// Frames hold the bytes (the truth), their digest and their first reception (most frames have
// no other, so storing a frame is one row); `record` is the frame's place among its kind's
// records in the value blocks (beacons and sensor frames only). Table reception holds the other
// receptions.
// One index serves reading frames in time order and finding a reception's frame: a batch reads
// the digests of the frames around its receive times in a few ranges of (first_ms, digest), and
// the frames of a batch, close in time, touch few of the index's pages when stored (an index led
// by the digest would be written all over at every batch). A reception is keyed by what makes it
// the same reception again, so that storing it twice adds nothing.
constexpr const char* kSchema = R"(
CREATE TABLE frame(
    id INTEGER PRIMARY KEY,
    digest INTEGER NOT NULL,
    first_ms INTEGER NOT NULL,
    kind INTEGER NOT NULL,
    record INTEGER,
    receptions INTEGER NOT NULL,
    station TEXT NOT NULL,
    source INTEGER NOT NULL,
    source_file INTEGER NOT NULL,
    rx_text TEXT NOT NULL,
    bytes BLOB NOT NULL);
CREATE INDEX frame_time ON frame(first_ms, digest);
CREATE TABLE source_file(id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE);
CREATE TABLE reception(
    frame_id INTEGER NOT NULL,
    rx_ms INTEGER NOT NULL,
    station TEXT NOT NULL,
    source INTEGER NOT NULL,
    source_file INTEGER NOT NULL,
    rx_text TEXT NOT NULL,
    PRIMARY KEY(frame_id, rx_ms, station, source, source_file)) WITHOUT ROWID;
CREATE INDEX reception_time ON reception(rx_ms);
CREATE TABLE message(frame_id INTEGER PRIMARY KEY, text TEXT NOT NULL);
CREATE TABLE ssdv_packet(
    frame_id INTEGER PRIMARY KEY,
    image_id INTEGER NOT NULL,
    packet_id INTEGER NOT NULL);
CREATE TABLE value_block(
    kind INTEGER NOT NULL,
    block INTEGER NOT NULL,
    first_ms INTEGER NOT NULL,
    last_ms INTEGER NOT NULL,
    count INTEGER NOT NULL,
    times BLOB NOT NULL,
    decoded BLOB NOT NULL,
    PRIMARY KEY(kind, block));
CREATE TABLE field_block(
    field INTEGER NOT NULL,
    block INTEGER NOT NULL,
    data BLOB NOT NULL,
    PRIMARY KEY(field, block));
PRAGMA user_version = 1;
)";

std::int64_t QueryNumber(Database& db, const char* sql) {
    Statement statement(db, sql);
    return statement.Step() ? statement.Int64(0) : 0;
}

void RefuseNewer(const Database& db, std::int64_t version) {
    throw ArchiveError("the archive " + db.Path() +
                       " was written by a newer version of this program (schema " +
                       std::to_string(version) + "); this program knows up to " +
                       std::to_string(kSqliteArchiveSchema));
}

}  // namespace

int ArchiveOpenFlags() {
    return SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
}

int PrepareArchiveFile(Database& db) {
    // Writers of the same file wait for each other instead of failing at once.
    sqlite3_busy_timeout(db.Handle(), 30'000);
    // Reading the version changes nothing in the file; everything that may write comes after.
    std::int64_t version = QueryNumber(db, "PRAGMA user_version");
    if (version > kSqliteArchiveSchema)
        RefuseNewer(db, version);
    if (version == 0 && QueryNumber(db, "SELECT count(*) FROM sqlite_master") != 0)
        throw ArchiveError("the archive " + db.Path() +
                           " is an SQLite file of another program, not an archive");
    if (version == 0) {
        // A new file: pages of 16 KiB hold a block's columns without overflow pages and take
        // fewer writes per batch. (Only an empty file takes a page size.)
        db.Execute("PRAGMA page_size = 16384");
    }
    db.Execute("PRAGMA journal_mode = WAL");
    db.Execute("PRAGMA synchronous = NORMAL");
    db.Execute("PRAGMA cache_size = -65536");  // 64 MiB: an import's open pages stay at hand
    // Reads of the file go through the system's page cache directly, without a copy each.
    db.Execute("PRAGMA mmap_size = 1073741824");
    // Pages written again and again by an import (the open value blocks, the indexes' last pages)
    // are copied into the file once per 40 MB of log instead of once per 4 MB.
    db.Execute(kWalCheckpointPragma);
    // A log grown large by an import shrinks back to this once it starts over.
    db.Execute("PRAGMA journal_size_limit = 67108864");
    if (version == 0) {
        // Another process may be making the same new file: the write lock decides who does.
        Transaction transaction(db, Transaction::Kind::Write);
        version = QueryNumber(db, "PRAGMA user_version");
        if (version == 0) {
            db.Execute(kSchema);
            version = kSqliteArchiveSchema;
        } else if (version > kSqliteArchiveSchema) {
            RefuseNewer(db, version);
        }
        transaction.Commit();
    }
    return static_cast<int>(version);
}

}  // namespace quorbel::sqlite
