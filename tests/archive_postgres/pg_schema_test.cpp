// The server's archive schema: a database of schema 1 (every reception in table reception, one
// wide row of values per beacon) is moved to schema 2 on first open and then gives what the
// archive file gives for the same receptions, through the archive and through the dashboards'
// views.
#include "pg_schema.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <span>

#include "archive/frame_digest.hpp"
#include "beacon_pass.hpp"
#include "decode/field_table.hpp"
#include "pg_connection.hpp"
#include "postgres_archive.hpp"
#include "sample_frames.hpp"
#include "sqlite_archive.hpp"
#include "support/postgres_server.hpp"
#include "support/same_series.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

using postgres::Connection;

// The tables schema 1 made (its views only by name: schema 2 makes them anew).
std::string SchemaOne() {
    std::string sql = R"(
CREATE TABLE archive_schema(version integer NOT NULL);
INSERT INTO archive_schema VALUES (1);
CREATE TABLE frame(id bigint PRIMARY KEY, digest bigint NOT NULL, first_ms bigint NOT NULL,
    kind smallint NOT NULL, satellite text NOT NULL, receptions integer NOT NULL,
    bytes bytea NOT NULL);
CREATE INDEX frame_digest ON frame(digest, first_ms);
CREATE INDEX frame_time ON frame(first_ms, id);
CREATE TABLE reception(frame_id bigint NOT NULL, rx_ms bigint NOT NULL, station text NOT NULL,
    source smallint NOT NULL, source_file text NOT NULL, rx_text text NOT NULL,
    PRIMARY KEY(frame_id, rx_ms, station, source, source_file));
CREATE INDEX reception_time ON reception(rx_ms);
CREATE TABLE message(frame_id bigint PRIMARY KEY, text text NOT NULL);
CREATE TABLE ssdv_packet(frame_id bigint PRIMARY KEY, image_id integer NOT NULL,
    packet_id integer NOT NULL);
)";
    for (const char* table : {"beacon", "sensor"}) {
        const FieldRange fields = std::string(table) == "beacon" ? kBeaconFields : kSensorFields;
        sql += std::string("CREATE TABLE ") + table +
               "(frame_id bigint PRIMARY KEY, first_ms bigint NOT NULL, decoded smallint NOT NULL";
        for (int field = fields.first; field <= fields.last; ++field)
            sql += ", f" + std::to_string(field) + " double precision";
        sql += ");\n";
    }
    sql +=
        "CREATE VIEW beacons AS SELECT * FROM beacon; "
        "CREATE VIEW sensor_frames AS SELECT * FROM sensor; "
        "CREATE VIEW messages AS SELECT * FROM message; "
        "CREATE VIEW receptions AS SELECT * FROM reception;\n";
    return sql;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string hex = "\\\\x";
    for (std::uint8_t byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 0xF];
    }
    return hex;
}

// A double as text that the server reads back bit for bit.
std::string Exact(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// Stores the frames as schema 1 did: one frame per reception of `first`, every reception of
// both in table reception, the beacons' values in wide rows (NULL past the decoded fields).
void StoreAsSchemaOne(Connection& db, const std::vector<Reception>& first,
                      const std::vector<Reception>& joining) {
    std::string frames;
    std::string receptions;
    std::string beacons;
    for (std::size_t i = 0; i < first.size(); ++i) {
        const Reception& reception = first[i];
        const ArchiveDecode decode = DecodeForArchive(reception.bytes, reception.rxTimeText);
        const std::string id = std::to_string(i + 1);
        const int count = i < joining.size() ? 2 : 1;
        frames += id + '\t' + std::to_string(FrameDigest(reception.bytes)) + '\t' +
                  std::to_string(reception.rxTimeMs) + '\t' +
                  std::to_string(static_cast<int>(decode.kind)) + '\t' + decode.satellite + '\t' +
                  std::to_string(count) + '\t' + Hex(reception.bytes) + '\n';
        for (const Reception* each : {&reception, i < joining.size() ? &joining[i] : nullptr}) {
            if (each != nullptr)
                receptions += id + '\t' + std::to_string(each->rxTimeMs) + '\t' + each->station +
                              "\t0\t\t" + each->rxTimeText + '\n';
        }
        beacons += id + '\t' + std::to_string(reception.rxTimeMs) + '\t' +
                   std::to_string(decode.values.size());
        for (int field = kBeaconFields.first; field <= kBeaconFields.last; ++field) {
            const auto place = static_cast<std::size_t>(field - kBeaconFields.first);
            beacons += '\t';
            beacons += place < decode.values.size() ? Exact(decode.values[place]) : "\\N";
        }
        beacons += '\n';
    }
    db.Copy("frame(id, digest, first_ms, kind, satellite, receptions, bytes)", frames);
    db.Copy("reception(frame_id, rx_ms, station, source, source_file, rx_text)", receptions);
    db.Copy("beacon", beacons);
}

std::int64_t Number(Connection& db, const std::string& sql) {
    return db.Execute(sql).Int64(0, 0);
}

TEST(PostgresSchema, ASchemaOneDatabaseIsMovedToSchemaTwoOnFirstOpen) {
    testing::PostgresServer server;
    if (!server.Problem().empty())
        GTEST_SKIP() << "no PostgreSQL server for the test: " << server.Problem();
    Connection(server.Url()).Execute("CREATE DATABASE old");
    const std::string url = server.Url("old");
    testing::TempFolder folder;
    std::unique_ptr<Archive> file = OpenSqliteArchive(folder.Path() + "/archive.sqlite");

    // 450 beacons (two blocks and a part), the first 120 heard again by a second station.
    const std::int64_t start = 1'767'225'600'000;
    const std::vector<Reception> first = testing::Pass(450, start, "DL0ABC");
    const std::vector<Reception> joining = testing::Pass(120, start + 90'000, "OK1XYZ");
    {
        Connection db(url);
        db.Execute(SchemaOne());
        StoreAsSchemaOne(db, first, joining);
    }
    file->Write(first);
    file->Write(joining);

    EXPECT_EQ(InitPostgresArchive(url), postgres::kSchemaVersion);
    std::unique_ptr<Archive> network = OpenPostgresArchive(url);
    const TimeRange all{start - 1000, start + 10'000'000};
    const auto same = [&] {
        const ArchiveStats networkStats = network->Stats();
        const ArchiveStats fileStats = file->Stats();
        EXPECT_EQ(networkStats.schemaVersion, 2);
        ASSERT_EQ(networkStats.kinds.size(), fileStats.kinds.size());
        for (std::size_t i = 0; i < fileStats.kinds.size(); ++i) {
            EXPECT_EQ(networkStats.kinds[i].frames, fileStats.kinds[i].frames);
            EXPECT_EQ(networkStats.kinds[i].receptions, fileStats.kinds[i].receptions);
        }
        EXPECT_EQ(network->Stations(all).size(), 2u);
        EXPECT_EQ(network->Extent()->fromMs, file->Extent()->fromMs);
        EXPECT_EQ(network->Extent()->toMs, file->Extent()->toMs);
        for (int field : {0, 1, 5})
            testing::ExpectSameSeries(network->QueryField(field, all, 100'000),
                                      file->QueryField(field, all, 100'000));
        std::vector<std::string> networkFirst;
        std::vector<std::string> fileFirst;
        network->ReadFrames(all, [&](const StoredFrame& frame) {
            networkFirst.push_back(frame.station + frame.firstRxTimeText);
            return true;
        });
        file->ReadFrames(all, [&](const StoredFrame& frame) {
            fileFirst.push_back(frame.station + frame.firstRxTimeText);
            return true;
        });
        EXPECT_EQ(networkFirst, fileFirst);
    };
    same();

    // Frames stored after the move, in live batches, fill up the moved last block and go on in
    // new ones, and an earlier reception of a moved frame becomes its first.
    const std::vector<Reception> later = testing::Pass(300, start + 3'600'000, "DL0ABC");
    std::vector<Reception> earlier = testing::Pass(5, start - 30'000, "PA3EFG");
    for (Archive* archive : {file.get(), network.get()}) {
        for (std::size_t at = 0; at < later.size(); at += 100)
            EXPECT_EQ(archive->Write(std::span(later).subspan(at, 100)).newFrames, 100);
        EXPECT_EQ(archive->Write(earlier).newReceptions, 5);
    }
    same();

    // The dashboards' views: a row per beacon with its values under the fields' captions, and
    // every reception.
    Connection db(url);
    EXPECT_EQ(Number(db, "SELECT count(*) FROM beacons"), 750);
    EXPECT_EQ(Number(db, "SELECT count(*) FROM receptions"), 450 + 120 + 300 + 5);
    EXPECT_EQ(Number(db, "SELECT count(*) FROM receptions WHERE station = 'PA3EFG'"), 5);
    const std::string caption(kFields[1].caption);
    const postgres::Result firstBeacon = db.Execute(
        "SELECT frame_id, \"" + caption + "\" FROM beacons ORDER BY time, frame_id LIMIT 1");
    const ArchiveDecode decode = DecodeForArchive(first[0].bytes, first[0].rxTimeText);
    EXPECT_EQ(firstBeacon.Int64(0, 0), 1);
    EXPECT_EQ(firstBeacon.Double(0, 1), decode.values[1]);
    EXPECT_EQ(Number(db, "SELECT count(*) FROM pg_class WHERE relname IN ('beacon', 'sensor')"), 0);
}

}  // namespace
}  // namespace quorbel
