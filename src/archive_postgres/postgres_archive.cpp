#include "postgres_archive.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <set>
#include <string_view>
#include <tuple>
#include <unordered_map>

#include "archive/archive_location.hpp"
#include "archive/field_series.hpp"
#include "archive/frame_digest.hpp"
#include "archive/queueing_archive.hpp"
#include "decode/field_table.hpp"
#include "pg_connection.hpp"

namespace quorbel {
namespace {

using postgres::BinaryRows;
using postgres::Connection;
using postgres::Parameters;
using postgres::Result;

constexpr int kSchemaVersion = 1;
// The advisory lock every writer of the archive takes for its batch's transaction.
constexpr const char* kWriteLock = "SELECT pg_advisory_xact_lock(7263540210)";
constexpr std::int64_t kAllTimeFrom = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kAllTimeTo = std::numeric_limits<std::int64_t>::max();
// Rows read per round trip when a whole range is read.
constexpr int kReadChunk = 20'000;
// Bytes of new frames' rows sent to the server at a time while the next frames are decoded.
constexpr std::size_t kCopyPiece = 256 * 1024;

std::string Number(std::int64_t value) {
    return std::to_string(value);
}

std::string FieldColumns(FieldRange fields) {
    std::string columns;
    for (int field = fields.first; field <= fields.last; ++field)
        columns += ", f" + std::to_string(field) + " double precision";
    return columns;
}

std::string FieldNames(FieldRange fields) {
    std::string names;
    for (int field = fields.first; field <= fields.last; ++field)
        names += ", f" + std::to_string(field);
    return names;
}

// A caption as a quoted column name of the dashboard views; a caption that stands twice gets
// its field number.
std::string ViewColumns(FieldRange fields) {
    std::map<std::string, int> uses;
    for (int field = fields.first; field <= fields.last; ++field)
        ++uses[std::string(kFields[static_cast<std::size_t>(field)].caption)];
    std::string columns;
    for (int field = fields.first; field <= fields.last; ++field) {
        const FieldDef& def = kFields[static_cast<std::size_t>(field)];
        std::string name(def.caption);
        if (name.empty() || uses[name] > 1)
            name += (name.empty() ? "" : " ") + std::string("#") + std::to_string(field);
        std::string quoted;
        for (char c : name) {
            if (static_cast<unsigned char>(c) >= 0x80)
                c = '_';  // captions are ASCII; anything else must not break the statement
            quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        }
        columns += ", f" + std::to_string(field) + " AS \"" + quoted + "\"";
    }
    return columns;
}

std::string SchemaStatements() {
    std::string sql = R"(
CREATE TABLE frame(
    id bigint PRIMARY KEY,
    digest bigint NOT NULL,
    first_ms bigint NOT NULL,
    kind smallint NOT NULL,
    satellite text NOT NULL,
    receptions integer NOT NULL,
    bytes bytea NOT NULL);
CREATE INDEX frame_digest ON frame(digest, first_ms);
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
    sql +=
        "CREATE TABLE beacon(frame_id bigint PRIMARY KEY, first_ms bigint NOT NULL, "
        "decoded smallint NOT NULL" +
        FieldColumns(kBeaconFields) + ");\n";
    sql += "CREATE INDEX beacon_time ON beacon(first_ms);\n";
    sql +=
        "CREATE TABLE sensor(frame_id bigint PRIMARY KEY, first_ms bigint NOT NULL, "
        "decoded smallint NOT NULL" +
        FieldColumns(kSensorFields) + ");\n";
    sql += "CREATE INDEX sensor_time ON sensor(first_ms);\n";
    // Views a dashboard reads directly: UTC times and the fields under their captions.
    const std::string time = "to_timestamp(first_ms / 1000.0) AS time";
    sql += "CREATE VIEW beacons AS SELECT " + time + ", frame_id" + ViewColumns(kBeaconFields) +
           " FROM beacon;\n";
    sql += "CREATE VIEW sensor_frames AS SELECT " + time + ", frame_id" +
           ViewColumns(kSensorFields) + " FROM sensor;\n";
    sql +=
        "CREATE VIEW messages AS SELECT to_timestamp(f.first_ms / 1000.0) AS time, "
        "f.satellite, m.text FROM message m JOIN frame f ON f.id = m.frame_id;\n";
    sql +=
        "CREATE VIEW receptions AS SELECT to_timestamp(rx_ms / 1000.0) AS time, station, "
        "CASE source WHEN 0 THEN 'live' WHEN 1 THEN 'capture' ELSE 'export' END AS source, "
        "source_file, frame_id FROM reception;\n";
    sql += "INSERT INTO archive_schema(version) VALUES (" + std::to_string(kSchemaVersion) + ");\n";
    return sql;
}

// Checks the database's schema and makes it when there is none; its version.
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
                               std::to_string(version) + "); this program knows up to " +
                               std::to_string(kSchemaVersion));
        if (version == 0) {
            db.Execute(SchemaStatements());
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

// A stored frame that a reception of the same bytes may join.
struct KnownFrame {
    std::int64_t id = 0;
    std::int64_t firstMs = 0;
    std::vector<std::uint8_t> bytes;
};

// The decoded rows of one batch, gathered before they go to the server.
struct BatchRows {
    BinaryRows beacons;
    BinaryRows sensors;
    BinaryRows messages;
    BinaryRows ssdvPackets;
};

void AppendDecodedRows(BatchRows& rows, std::int64_t frameId, std::int64_t firstMs,
                       const ArchiveDecode& decode) {
    if (decode.kind == FrameKind::Beacon || decode.kind == FrameKind::Sensor) {
        const FieldRange fields = decode.kind == FrameKind::Beacon ? kBeaconFields : kSensorFields;
        BinaryRows& out = decode.kind == FrameKind::Beacon ? rows.beacons : rows.sensors;
        out.Row(3 + fields.last - fields.first + 1);
        out.Int64(frameId);
        out.Int64(firstMs);
        out.Int16(static_cast<int>(decode.values.size()));
        for (int field = fields.first; field <= fields.last; ++field) {
            const auto place = static_cast<std::size_t>(field - fields.first);
            if (place < decode.values.size())
                out.Double(decode.values[place]);
            else
                out.Null();
        }
    } else if (decode.kind == FrameKind::TextMessage ||
               decode.kind == FrameKind::DigipeatedMessage) {
        rows.messages.Row(2);
        rows.messages.Int64(frameId);
        rows.messages.Text(decode.text);
    } else if (decode.kind == FrameKind::SsdvPacket) {
        rows.ssdvPackets.Row(3);
        rows.ssdvPackets.Int64(frameId);
        rows.ssdvPackets.Int32(decode.imageId);
        rows.ssdvPackets.Int32(decode.packetId);
    }
}

void AppendReception(BinaryRows& rows, std::int64_t frameId, const Reception& reception) {
    rows.Row(6);
    rows.Int64(frameId);
    rows.Int64(reception.rxTimeMs);
    rows.Text(reception.station);
    rows.Int16(static_cast<int>(reception.source));
    rows.Text(reception.sourceFile);
    rows.Text(reception.rxTimeText);
}

class PostgresArchive : public Archive {
  public:
    explicit PostgresArchive(const std::string& url) : m_db(url), m_schema(PrepareSchema(m_db)) {
        m_db.Execute("CREATE TEMP TABLE incoming_reception (LIKE reception) ON COMMIT DELETE ROWS");
    }

    std::string Describe() const override { return m_db.Location(); }

    WriteCount Write(std::span<const Reception> batch) override {
        WriteCount count;
        if (batch.empty())
            return count;
        InTransaction([&] {
            m_db.Execute(kWriteLock);
            count = WriteLocked(batch);
        });
        return count;
    }

    void ReadFrames(const TimeRange& range,
                    const std::function<bool(const StoredFrame&)>& visit) override {
        // In pages by (first_ms, id), so that a long range never sits in memory at once.
        std::int64_t afterMs = range.fromMs;
        std::int64_t afterId = std::numeric_limits<std::int64_t>::min();
        for (;;) {
            const Result page = m_db.Execute(
                "SELECT f.id, f.kind, f.bytes, f.first_ms, f.receptions, r.rx_text, r.station "
                "FROM frame f LEFT JOIN LATERAL (SELECT rx_text, station FROM reception "
                "WHERE frame_id = f.id ORDER BY rx_ms, station LIMIT 1) r ON true "
                "WHERE (f.first_ms, f.id) > ($1, $2) AND f.first_ms >= $3 AND f.first_ms < $4 "
                "ORDER BY f.first_ms, f.id LIMIT " +
                    std::to_string(kReadChunk),
                {Number(afterMs), Number(afterId), Number(range.fromMs), Number(range.toMs)});
            StoredFrame frame;
            for (int row = 0; row < page.Rows(); ++row) {
                frame.id = page.Int64(row, 0);
                frame.kind = static_cast<FrameKind>(page.Int64(row, 1));
                frame.bytes = page.Bytes(row, 2);
                frame.firstRxTimeMs = page.Int64(row, 3);
                frame.receptions = static_cast<int>(page.Int64(row, 4));
                frame.firstRxTimeText = std::string(page.Text(row, 5));
                frame.station = std::string(page.Text(row, 6));
                if (!visit(frame))
                    return;
                afterMs = frame.firstRxTimeMs;
                afterId = frame.id;
            }
            if (page.Rows() < kReadChunk)
                return;
        }
    }

    FieldSeries QueryField(int field, const TimeRange& range, int buckets) override {
        const FieldStore store = StoreOfField(field);
        if (store == FieldStore::None)
            throw ArchiveError("field " + std::to_string(field) +
                               " is neither a beacon field (0 to 66) nor a sensor field (70 to "
                               "106)");
        const FieldRange fields = store == FieldStore::Telemetry ? kBeaconFields : kSensorFields;
        const std::string table = store == FieldStore::Telemetry ? "beacon" : "sensor";
        FieldSeriesBuilder series(field, range, buckets);
        // In storing order, as the archive file gives them, so that both give the same series.
        std::int64_t afterId = std::numeric_limits<std::int64_t>::min();
        for (;;) {
            const Result page = m_db.Execute(
                "SELECT frame_id, first_ms, f" + std::to_string(field) + " FROM " + table +
                    " WHERE frame_id > $1 AND first_ms >= $2 AND first_ms < $3 AND decoded > $4 "
                    "ORDER BY frame_id LIMIT " +
                    std::to_string(kReadChunk * 5),
                {Number(afterId), Number(range.fromMs), Number(range.toMs),
                 Number(field - fields.first)});
            for (int row = 0; row < page.Rows(); ++row)
                series.Add(page.Int64(row, 1), page.Double(row, 2));
            if (page.Rows() < kReadChunk * 5)
                break;
            afterId = page.Int64(page.Rows() - 1, 0);
        }
        return series.Finish();
    }

    std::map<FrameKind, std::int64_t> CountFrames(const TimeRange& range) override {
        const Result rows = m_db.Execute(
            "SELECT kind, count(*) FROM frame WHERE first_ms >= $1 AND first_ms < $2 GROUP BY kind",
            {Number(range.fromMs), Number(range.toMs)});
        std::map<FrameKind, std::int64_t> counts;
        for (int row = 0; row < rows.Rows(); ++row)
            counts[static_cast<FrameKind>(rows.Int64(row, 0))] = rows.Int64(row, 1);
        return counts;
    }

    std::vector<StationCount> Stations(const TimeRange& range) override {
        const Result rows = m_db.Execute(
            "SELECT station, count(DISTINCT frame_id) AS frames FROM reception "
            "WHERE rx_ms >= $1 AND rx_ms < $2 GROUP BY station ORDER BY frames DESC, station",
            {Number(range.fromMs), Number(range.toMs)});
        std::vector<StationCount> stations;
        for (int row = 0; row < rows.Rows(); ++row)
            stations.push_back({std::string(rows.Text(row, 0)), rows.Int64(row, 1)});
        return stations;
    }

    std::optional<TimeRange> Extent() override {
        const Result rows = m_db.Execute("SELECT min(rx_ms), max(rx_ms) FROM reception");
        if (rows.IsNull(0, 0))
            return std::nullopt;
        return TimeRange{rows.Int64(0, 0), rows.Int64(0, 1) + 1};
    }

    ArchiveStats Stats() override {
        ArchiveStats stats;
        stats.location = Describe();
        stats.schemaVersion = m_schema;
        const Result kinds = m_db.Execute(
            "SELECT kind, count(*), sum(receptions) FROM frame GROUP BY kind ORDER BY kind");
        for (int row = 0; row < kinds.Rows(); ++row)
            stats.kinds.push_back({static_cast<FrameKind>(kinds.Int64(row, 0)), kinds.Int64(row, 1),
                                   kinds.Int64(row, 2)});
        if (const auto extent = Extent()) {
            stats.firstRxTimeMs = extent->fromMs;
            stats.lastRxTimeMs = extent->toMs - 1;
        }
        stats.stations = Stations({kAllTimeFrom, kAllTimeTo});
        const Result size = m_db.Execute("SELECT pg_database_size(current_database())");
        stats.fileBytes = size.Int64(0, 0);
        return stats;
    }

    void Rebuild(const std::function<void(std::int64_t, std::int64_t)>& progress) override {
        InTransaction([&] {
            m_db.Execute(kWriteLock);
            const std::int64_t total = m_db.Execute("SELECT count(*) FROM frame").Int64(0, 0);
            m_db.Execute(
                "DELETE FROM beacon; DELETE FROM sensor; DELETE FROM message; "
                "DELETE FROM ssdv_packet");
            std::int64_t done = 0;
            std::int64_t afterId = std::numeric_limits<std::int64_t>::min();
            for (;;) {
                const Result page = m_db.Execute(
                    "SELECT f.id, f.first_ms, f.bytes, (SELECT rx_text FROM reception "
                    "WHERE frame_id = f.id ORDER BY rx_ms, station LIMIT 1) FROM frame f "
                    "WHERE f.id > $1 ORDER BY f.id LIMIT " +
                        std::to_string(kReadChunk),
                    {Number(afterId)});
                BatchRows rows;
                std::string kinds;
                for (int row = 0; row < page.Rows(); ++row) {
                    const std::int64_t id = page.Int64(row, 0);
                    const ArchiveDecode decode =
                        DecodeForArchive(page.Bytes(row, 2), std::string(page.Text(row, 3)));
                    AppendDecodedRows(rows, id, page.Int64(row, 1), decode);
                    kinds += Number(id) + '\t' + Number(static_cast<int>(decode.kind)) + '\t';
                    postgres::AppendCopyText(kinds, decode.satellite);
                    kinds += '\n';
                    afterId = id;
                }
                CopyDecodedRows(rows);
                m_db.Execute(
                    "CREATE TEMP TABLE IF NOT EXISTS rebuilt_kind(id bigint, kind "
                    "smallint, satellite text) ON COMMIT DROP");
                m_db.Execute("TRUNCATE rebuilt_kind");
                m_db.Copy("rebuilt_kind(id, kind, satellite)", kinds);
                m_db.Execute(
                    "UPDATE frame f SET kind = k.kind, satellite = k.satellite "
                    "FROM rebuilt_kind k WHERE f.id = k.id");
                done += page.Rows();
                if (progress)
                    progress(done, total);
                if (page.Rows() < kReadChunk)
                    break;
            }
        });
    }

  private:
    template <typename Body>
    void InTransaction(const Body& body) {
        m_db.Execute("BEGIN");
        try {
            body();
            m_db.Execute("COMMIT");
        } catch (...) {
            if (!m_db.Lost()) {
                try {
                    m_db.Execute("ROLLBACK");
                } catch (const ArchiveError&) {
                    // The first failure is the one to report.
                }
            }
            throw;
        }
    }

    // The frames of the batch's digests whose first receptions lie near the batch's times.
    std::unordered_map<std::int64_t, std::vector<KnownFrame>> FindKnownFrames(
        std::span<const Reception> batch, const std::vector<std::int64_t>& digests) {
        std::int64_t earliest = kAllTimeTo;
        std::int64_t latest = kAllTimeFrom;
        for (const Reception& reception : batch) {
            earliest = std::min(earliest, reception.rxTimeMs);
            latest = std::max(latest, reception.rxTimeMs);
        }
        std::set<std::int64_t> distinct(digests.begin(), digests.end());
        std::string list = "{";
        for (std::int64_t digest : distinct)
            list += (list.size() > 1 ? "," : "") + Number(digest);
        list += "}";
        const Result rows = m_db.Execute(
            "SELECT id, digest, first_ms, bytes FROM frame "
            "WHERE digest = ANY($1::bigint[]) AND first_ms BETWEEN $2 AND $3",
            {list, Number(earliest - kSameFrameWindowMs), Number(latest + kSameFrameWindowMs)});
        std::unordered_map<std::int64_t, std::vector<KnownFrame>> known;
        for (int row = 0; row < rows.Rows(); ++row)
            known[rows.Int64(row, 1)].push_back(
                {rows.Int64(row, 0), rows.Int64(row, 2), rows.Bytes(row, 3)});
        return known;
    }

    WriteCount WriteLocked(std::span<const Reception> batch) {
        std::vector<std::int64_t> digests;
        digests.reserve(batch.size());
        for (const Reception& reception : batch)
            digests.push_back(FrameDigest(reception.bytes));
        auto known = FindKnownFrames(batch, digests);
        std::int64_t nextId =
            m_db.Execute("SELECT coalesce(max(id), 0) + 1 FROM frame").Int64(0, 0);

        WriteCount count;
        std::map<std::int64_t, std::int64_t> lowered;  // frame id -> earlier first receive time
        // Frames new in this batch: their rows wait for their count of receptions, and their
        // receptions go straight in (no stored reception can be the same), once each.
        struct NewFrame {
            std::int64_t id;
            std::size_t reception;  // the batch's reception that made it
            int receptions = 0;
        };
        std::vector<NewFrame> newFrames;
        std::unordered_map<std::int64_t, std::size_t> newFrameAt;  // id -> place in newFrames
        // The receptions of new frames, by their key (station and file names as the batch holds
        // them).
        std::set<std::tuple<std::int64_t, std::int64_t, std::string_view, int, std::string_view>>
            keys;
        BinaryRows newReceptions;
        BinaryRows storedReceptions;  // of frames stored before
        for (std::size_t i = 0; i < batch.size(); ++i) {
            const Reception& reception = batch[i];
            std::vector<KnownFrame>& candidates = known[digests[i]];
            KnownFrame* nearest = nullptr;
            for (KnownFrame& frame : candidates) {
                if (frame.bytes == reception.bytes &&
                    JoinsNearer(frame.firstMs, reception.rxTimeMs,
                                nearest ? std::optional(nearest->firstMs) : std::nullopt))
                    nearest = &frame;
            }
            std::int64_t frameId = 0;
            if (nearest != nullptr) {
                frameId = nearest->id;
                if (reception.rxTimeMs < nearest->firstMs) {
                    nearest->firstMs = reception.rxTimeMs;
                    lowered[frameId] = reception.rxTimeMs;
                }
            } else {
                frameId = nextId++;
                newFrameAt[frameId] = newFrames.size();
                newFrames.push_back({frameId, i, 0});
                candidates.push_back({frameId, reception.rxTimeMs, reception.bytes});
                ++count.newFrames;
            }
            BinaryRows* out = &storedReceptions;
            if (const auto found = newFrameAt.find(frameId); found != newFrameAt.end()) {
                if (!keys.emplace(frameId, reception.rxTimeMs, reception.station,
                                  static_cast<int>(reception.source), reception.sourceFile)
                         .second)
                    continue;  // the same reception twice in the batch
                ++newFrames[found->second].receptions;
                ++count.newReceptions;
                out = &newReceptions;
            }
            AppendReception(*out, frameId, reception);
        }

        // The new frames are decoded while their rows go to the server in pieces, so that it
        // stores one piece while the next is decoded.
        BatchRows rows;
        if (!newFrames.empty()) {
            m_db.BeginBinaryCopy("frame(id, digest, first_ms, kind, satellite, receptions, bytes)");
            try {
                BinaryRows frames;
                for (const NewFrame& frame : newFrames) {
                    const Reception& reception = batch[frame.reception];
                    const ArchiveDecode decode =
                        DecodeForArchive(reception.bytes, reception.rxTimeText);
                    frames.Row(7);
                    frames.Int64(frame.id);
                    frames.Int64(digests[frame.reception]);
                    frames.Int64(reception.rxTimeMs);
                    frames.Int16(static_cast<int>(decode.kind));
                    frames.Text(decode.satellite);
                    frames.Int32(frame.receptions);
                    frames.Bytes(reception.bytes);
                    AppendDecodedRows(rows, frame.id, reception.rxTimeMs, decode);
                    if (frames.Size() >= kCopyPiece)
                        m_db.PutCopyRows(frames, false);
                }
                m_db.PutCopyRows(frames, true);
            } catch (...) {
                m_db.AbandonCopy();
                throw;
            }
            m_db.EndCopy();
        }
        CopyDecodedRows(rows);

        const std::string receptionColumns =
            "(frame_id, rx_ms, station, source, source_file, rx_text)";
        if (!newReceptions.Empty())
            m_db.CopyBinary("reception" + receptionColumns, newReceptions);
        if (!storedReceptions.Empty()) {
            // Receptions of frames stored before: one stored already (the same file imported
            // again) adds nothing.
            m_db.CopyBinary("incoming_reception" + receptionColumns, storedReceptions);
            count.newReceptions +=
                m_db.Execute(
                        "WITH added AS (INSERT INTO reception SELECT * FROM incoming_reception "
                        "ON CONFLICT DO NOTHING RETURNING frame_id), "
                        "counted AS (SELECT frame_id, count(*) AS n FROM added GROUP BY "
                        "frame_id), "
                        "joined AS (UPDATE frame f SET receptions = f.receptions + c.n "
                        "FROM counted c WHERE f.id = c.frame_id RETURNING c.n) "
                        "SELECT coalesce(sum(n), 0) FROM joined")
                    .Int64(0, 0);
        }
        if (!lowered.empty()) {
            std::string values;
            for (const auto& [id, ms] : lowered)
                values += std::string(values.empty() ? "" : ",") + "(" + Number(id) + "," +
                          Number(ms) + ")";
            const std::string earlier = "(VALUES " + values + ") AS e(id, ms)";
            m_db.Execute("UPDATE frame f SET first_ms = e.ms FROM " + earlier +
                         " WHERE f.id = e.id AND e.ms < f.first_ms");
            for (const char* table : {"beacon", "sensor"})
                m_db.Execute(std::string("UPDATE ") + table + " v SET first_ms = e.ms FROM " +
                             earlier + " WHERE v.frame_id = e.id AND e.ms < v.first_ms");
        }
        return count;
    }

    void CopyDecodedRows(BatchRows& rows) {
        if (!rows.beacons.Empty())
            m_db.CopyBinary("beacon(frame_id, first_ms, decoded" + FieldNames(kBeaconFields) + ")",
                            rows.beacons);
        if (!rows.sensors.Empty())
            m_db.CopyBinary("sensor(frame_id, first_ms, decoded" + FieldNames(kSensorFields) + ")",
                            rows.sensors);
        if (!rows.messages.Empty())
            m_db.CopyBinary("message(frame_id, text)", rows.messages);
        if (!rows.ssdvPackets.Empty())
            m_db.CopyBinary("ssdv_packet(frame_id, image_id, packet_id)", rows.ssdvPackets);
    }

    Connection m_db;
    int m_schema;
};

}  // namespace

std::unique_ptr<Archive> OpenPostgresArchive(const std::string& url) {
    return std::make_unique<PostgresArchive>(url);
}

int InitPostgresArchive(const std::string& url) {
    Connection db(url);
    return PrepareSchema(db);
}

std::string PostgresLocation(const std::string& url) {
    return LocationWithoutPassword(url);
}

}  // namespace quorbel
