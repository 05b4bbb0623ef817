// Making schema 2, its dashboard views, and moving a schema-1 database to it.
//
// Frames keep their first reception in their own row, as most frames have no other, and table
// reception keeps the others. Frames are found by time: one index of (first_ms, id) serves
// reading frames in time order and finding the frames near a batch's receive times, whose
// digests the writer compares itself. An import's frames come in time order (one way or the
// other), so both of the frame's indexes grow at an edge; an index led by the digest would be
// written all over at every batch. The values of a kind's records go in blocks of kBlockRecords,
// each field's values an array in a row of table field_block, and the block's times and frame
// ids in table value_block: a batch of thousands of beacons is a few dozen rows instead of one
// wide row each, and a query of one field reads only that field's arrays. A block's values of one
// field stand in the narrowest array that holds them exactly: smallint or integer when they are
// all whole numbers in its range (most fields are counts and scaled readings), else double.
// field_block is keyed by block first, so that a batch's new blocks go in at the end of its index
// and the rows of the block being filled up are one range of it. A block's times and frame ids
// together pass the size at which the server moves values out of the row; they are moved as they
// are, not compressed, which would cost the server more than the room it saves.
#include "pg_schema.hpp"

#include <map>
#include <string>

#include "archive/archive.hpp"
#include "decode/field_table.hpp"

namespace quorbel::postgres {
namespace {

std::string Number(std::int64_t value) {
    return std::to_string(value);
}

// A caption as a quoted column name of the dashboard views; a caption that stands twice gets
// its field number.
std::string ViewColumnName(FieldRange fields, int field) {
    std::map<std::string, int> uses;
    for (int other = fields.first; other <= fields.last; ++other)
        ++uses[std::string(kFields[static_cast<std::size_t>(other)].caption)];
    std::string name(kFields[static_cast<std::size_t>(field)].caption);
    if (name.empty() || uses[name] > 1) {
        if (!name.empty())
            name += ' ';
        name += '#';
        name += Number(field);
    }
    std::string quoted;
    for (char c : name) {
        if (static_cast<unsigned char>(c) >= 0x80)
            c = '_';  // captions are ASCII; anything else must not break the statement
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return "\"" + quoted + "\"";
}

// A view of one row per record of a kind's blocks: its time, frame and fields under their
// captions (NULL where a frame did not hold the field), the blocks' arrays unnested side by side.
std::string ValueView(const std::string& name, FrameKind kind, FieldRange fields) {
    std::string arrays;
    std::string names;
    std::string columns;
    for (int field = fields.first; field <= fields.last; ++field) {
        arrays += ", (SELECT " + std::string(kFieldBlockValues) +
                  " FROM field_block WHERE field = " + Number(field) + " AND block = v.block)";
        names += ", f" + Number(field);
        columns += ", u.f" + Number(field) + " AS " + ViewColumnName(fields, field);
    }
    return "CREATE VIEW " + name + " AS SELECT to_timestamp(u.first_ms / 1000.0) AS time, " +
           "u.frame_id" + columns + " FROM value_block v, LATERAL unnest(v.times, v.frame_ids" +
           arrays + ") AS u(first_ms, frame_id" + names +
           ") WHERE v.kind = " + Number(static_cast<int>(kind)) + ";\n";
}

std::string ViewStatements() {
    std::string sql = ValueView("beacons", FrameKind::Beacon, kBeaconFields);
    sql += ValueView("sensor_frames", FrameKind::Sensor, kSensorFields);
    sql +=
        "CREATE VIEW messages AS SELECT to_timestamp(f.first_ms / 1000.0) AS time, "
        "f.satellite, m.text FROM message m JOIN frame f ON f.id = m.frame_id;\n";
    // A frame's first reception stands in its row, the others in table reception.
    sql +=
        "CREATE VIEW receptions AS SELECT to_timestamp(rx_ms / 1000.0) AS time, station, "
        "CASE source WHEN 0 THEN 'live' WHEN 1 THEN 'capture' ELSE 'export' END AS source, "
        "source_file, frame_id FROM (SELECT first_ms AS rx_ms, station, source, source_file, "
        "id AS frame_id FROM frame UNION ALL SELECT rx_ms, station, source, source_file, "
        "frame_id FROM reception) r;\n";
    return sql;
}

constexpr const char* kBlockTables = R"(
CREATE TABLE value_block(
    kind smallint NOT NULL,
    block bigint NOT NULL,
    first_ms bigint NOT NULL,
    last_ms bigint NOT NULL,
    count integer NOT NULL,
    times bigint[] NOT NULL,
    frame_ids bigint[] NOT NULL,
    PRIMARY KEY(kind, block));
ALTER TABLE value_block ALTER COLUMN times SET STORAGE EXTERNAL,
    ALTER COLUMN frame_ids SET STORAGE EXTERNAL;
CREATE TABLE field_block(
    field smallint NOT NULL,
    block bigint NOT NULL,
    small smallint[],
    whole integer[],
    data double precision[],
    PRIMARY KEY(block, field));
)";

std::string SchemaStatements() {
    std::string sql = R"(
CREATE TABLE frame(
    id bigint PRIMARY KEY,
    digest bigint NOT NULL,
    first_ms bigint NOT NULL,
    kind smallint NOT NULL,
    satellite text NOT NULL,
    receptions integer NOT NULL,
    record bigint,
    station text NOT NULL,
    source smallint NOT NULL,
    source_file text NOT NULL,
    rx_text text NOT NULL,
    bytes bytea NOT NULL);
CREATE INDEX frame_time ON frame(first_ms, id);
CREATE TABLE reception(
    frame_id bigint NOT NULL,
    rx_ms bigint NOT NULL,
    station text NOT NULL,
    source smallint NOT NULL,
    source_file text NOT NULL,
    rx_text text NOT NULL,
    PRIMARY KEY(frame_id, rx_ms, station, source, source_file));
CREATE INDEX reception_time ON reception(rx_ms);
CREATE TABLE message(frame_id bigint PRIMARY KEY, text text NOT NULL);
CREATE TABLE ssdv_packet(
    frame_id bigint PRIMARY KEY,
    image_id integer NOT NULL,
    packet_id integer NOT NULL);
)";
    sql += kBlockTables;
    sql += ViewStatements();
    sql += "INSERT INTO archive_schema(version) VALUES (" + Number(kSchemaVersion) + ");\n";
    return sql;
}

// The wide rows of one kind (table beacon or sensor of schema 1) into blocks: records numbered
// in frame order, as the frames were stored, their values copied as they are.
std::string MoveIntoBlocks(const std::string& table, FrameKind kind, FieldRange fields) {
    const std::string blockOf = "p.record / " + Number(kBlockRecords);
    std::string sql = "CREATE TEMP TABLE place_" + table +
                      " ON COMMIT DROP AS SELECT frame_id, first_ms, row_number() OVER (ORDER BY "
                      "frame_id) - 1 AS record FROM " +
                      table + ";\n";
    sql += "INSERT INTO value_block SELECT " + Number(static_cast<int>(kind)) + ", " + blockOf +
           ", min(p.first_ms), max(p.first_ms), count(*), array_agg(p.first_ms ORDER BY "
           "p.record), array_agg(p.frame_id ORDER BY p.record) FROM place_" +
           table + " p GROUP BY " + blockOf + ";\n";
    for (int field = fields.first; field <= fields.last; ++field)
        sql += "INSERT INTO field_block(field, block, data) SELECT " + Number(field) + ", " +
               blockOf + ", array_agg(t.f" + Number(field) + " ORDER BY p.record) FROM " + table +
               " t JOIN place_" + table + " p USING (frame_id) GROUP BY " + blockOf + ";\n";
    sql += "UPDATE frame f SET record = p.record FROM place_" + table +
           " p WHERE f.id = p.frame_id;\n";
    return sql;
}

// Schema 1 kept every reception in table reception and the values in wide rows. Each frame
// takes its first reception (the earliest, then by station, as schema 1 read it) into its row,
// and the wide rows become blocks; the views are made again over the new tables.
std::string MigrationStatements() {
    std::string sql = R"(
DROP VIEW beacons, sensor_frames, messages, receptions;
DROP INDEX frame_digest;
ALTER TABLE frame ADD COLUMN record bigint, ADD COLUMN station text, ADD COLUMN source smallint,
    ADD COLUMN source_file text, ADD COLUMN rx_text text;
UPDATE frame f SET station = r.station, source = r.source, source_file = r.source_file,
    rx_text = r.rx_text
    FROM (SELECT DISTINCT ON (frame_id) * FROM reception ORDER BY frame_id, rx_ms, station) r
    WHERE r.frame_id = f.id;
UPDATE frame SET station = '', source = 0, source_file = '', rx_text = '' WHERE station IS NULL;
ALTER TABLE frame ALTER COLUMN station SET NOT NULL, ALTER COLUMN source SET NOT NULL,
    ALTER COLUMN source_file SET NOT NULL, ALTER COLUMN rx_text SET NOT NULL;
DELETE FROM reception r USING frame f WHERE r.frame_id = f.id AND r.rx_ms = f.first_ms
    AND r.station = f.station AND r.source = f.source AND r.source_file = f.source_file;
)";
    sql += kBlockTables;
    sql += MoveIntoBlocks("beacon", FrameKind::Beacon, kBeaconFields);
    sql += MoveIntoBlocks("sensor", FrameKind::Sensor, kSensorFields);
    sql += "DROP TABLE beacon, sensor;\n";
    sql += ViewStatements();
    sql += "UPDATE archive_schema SET version = " + Number(kSchemaVersion) + ";\n";
    return sql;
}

}  // namespace

int PrepareSchema(Connection& db) {
    db.Execute("BEGIN");
    try {
        // Stations starting together: one makes the schema, the others wait and find it.
        db.Execute("SELECT pg_advisory_xact_lock(7263540211)");
        const Result has = db.Execute("SELECT to_regclass('archive_schema') IS NOT NULL");
        int version = 0;
        if (has.Text(0, 0) == "t") {
            const Result found = db.Execute("SELECT max(version) FROM archive_schema");
            version = found.IsNull(0, 0) ? 0 : static_cast<int>(found.Int64(0, 0));
        } else {
            db.Execute("CREATE TABLE archive_schema(version integer NOT NULL)");
        }
        if (version > kSchemaVersion)
            throw ArchiveError("the archive " + db.Location() +
                               " was written by a newer version of this program (schema " +
                               Number(version) + "); this program knows up to " +
                               Number(kSchemaVersion));
        if (version == 0) {
            db.Execute(SchemaStatements());
            version = kSchemaVersion;
        } else if (version == 1) {
            // No writer of schema 1 may store a batch while the tables change under it.
            db.Execute("SELECT pg_advisory_xact_lock(7263540210)");
            db.Execute(MigrationStatements());
            version = kSchemaVersion;
        }
        db.Execute("COMMIT");
        return version;
    } catch (...) {
        if (!db.Lost())
            db.Execute("ROLLBACK");
        throw;
    }
}

}  // namespace quorbel::postgres
