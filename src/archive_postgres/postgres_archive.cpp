#include "postgres_archive.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <deque>
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
#include "pg_schema.hpp"
#include "pg_value_blocks.hpp"

namespace quorbel {
namespace {

using postgres::BinaryRows;
using postgres::Connection;
using postgres::Parameters;
using postgres::Result;

// The advisory lock every writer of the archive takes for its batch's transaction.
constexpr const char* kWriteLock = "SELECT pg_advisory_xact_lock(7263540210)";
constexpr std::int64_t kAllTimeFrom = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kAllTimeTo = std::numeric_limits<std::int64_t>::max();
// Rows read per round trip when a whole range is read.
constexpr int kReadChunk = 20'000;
// Bytes of new frames' rows sent to the server at a time while the next frames are made.
constexpr std::size_t kCopyPiece = 256 * 1024;
constexpr const char* kFrameColumns =
    "frame(id, digest, first_ms, kind, satellite, receptions, record, station, source, "
    "source_file, rx_text, bytes)";
constexpr const char* kReceptionColumns =
    "(frame_id, rx_ms, station, source, source_file, rx_text)";

std::string Number(std::int64_t value) {
    return std::to_string(value);
}

// A text of a reception as the server keeps it equals the batch's text of it.
bool SameText(std::string_view stored, const std::string& text) {
    return stored == text || stored == postgres::ServerText(text);
}

// A frame that a reception of the same bytes may join: one stored before the batch, or one new
// in it. It keeps its first reception in its own row.
struct JoinableFrame {
    std::int64_t id = 0;
    std::int64_t firstMs = 0;
    bool stored = false;
    FrameKind kind = FrameKind::None;
    std::optional<std::int64_t> record;
    std::vector<std::uint8_t> storedBytes;  // a stored frame's bytes
    std::string station;                    // a stored frame's first reception
    int source = 0;
    std::string sourceFile;
    std::string rxText;
    const Reception* first = nullptr;  // a new frame's first reception
    std::int64_t digest = 0;
    int receptions = 1;         // a new frame's count; a stored frame's before the batch
    bool firstChanged = false;  // a stored frame's first reception is one of the batch
    bool touched = false;       // a stored frame got receptions in the batch
};

bool SameBytes(const JoinableFrame& frame, const Reception& reception) {
    return frame.first != nullptr ? frame.first->bytes == reception.bytes
                                  : frame.storedBytes == reception.bytes;
}

// The reception is the frame's first reception again.
bool IsFirstReception(const JoinableFrame& frame, const Reception& reception) {
    if (frame.first != nullptr)
        return reception.rxTimeMs == frame.first->rxTimeMs &&
               reception.station == frame.first->station &&
               reception.source == frame.first->source &&
               reception.sourceFile == frame.first->sourceFile;
    return reception.rxTimeMs == frame.firstMs && SameText(frame.station, reception.station) &&
           static_cast<int>(reception.source) == frame.source &&
           SameText(frame.sourceFile, reception.sourceFile);
}

// The decoded rows of one batch other than the value blocks' records.
struct BatchRows {
    BinaryRows messages;
    BinaryRows ssdvPackets;
};

void AppendDecodedRows(BatchRows& rows, std::int64_t frameId, const ArchiveDecode& decode) {
    if (decode.kind == FrameKind::TextMessage || decode.kind == FrameKind::DigipeatedMessage) {
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

// A stored frame's first reception, put back among the others when an earlier one comes.
void AppendStoredFirst(BinaryRows& rows, const JoinableFrame& frame) {
    rows.Row(6);
    rows.Int64(frame.id);
    rows.Int64(frame.firstMs);
    rows.Text(frame.station);
    rows.Int16(frame.source);
    rows.Text(frame.sourceFile);
    rows.Text(frame.rxText);
}

// The receive times of a batch as disjoint ranges, each widened by kSameFrameWindowMs on both
// sides: the frames a reception may join have their first receptions in them.
std::vector<TimeRange> JoinWindows(std::span<const Reception> batch) {
    std::vector<std::int64_t> times;
    times.reserve(batch.size());
    for (const Reception& reception : batch)
        times.push_back(reception.rxTimeMs);
    std::sort(times.begin(), times.end());
    std::vector<TimeRange> windows;
    for (std::size_t i = 0; i < times.size();) {
        TimeRange window{times[i] - kSameFrameWindowMs, times[i] + kSameFrameWindowMs};
        for (++i; i < times.size() && times[i] - kSameFrameWindowMs <= window.toMs; ++i)
            window.toMs = times[i] + kSameFrameWindowMs;
        windows.push_back(window);
    }
    return windows;
}

class PostgresArchive : public Archive {
  public:
    explicit PostgresArchive(const std::string& url)
        : m_db(url),
          m_schema(postgres::PrepareSchema(m_db)),
          m_beacons(FrameKind::Beacon, kBeaconFields),
          m_sensors(FrameKind::Sensor, kSensorFields) {
        m_db.Execute(
            "CREATE TEMP TABLE incoming_reception (LIKE reception) ON COMMIT DELETE ROWS; "
            "CREATE TEMP TABLE incoming_first (id bigint, first_ms bigint, station text, "
            "source smallint, source_file text, rx_text text) ON COMMIT DELETE ROWS; "
            "CREATE TEMP TABLE incoming_field (field smallint, small smallint[], whole integer[], "
            "data double precision[]) "
            "ON COMMIT DELETE ROWS");
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
                "SELECT id, kind, bytes, first_ms, receptions, rx_text, station FROM frame "
                "WHERE (first_ms, id) > ($1, $2) AND first_ms >= $3 AND first_ms < $4 "
                "ORDER BY first_ms, id LIMIT " +
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
        const FrameKind kind =
            store == FieldStore::Telemetry ? FrameKind::Beacon : FrameKind::Sensor;
        FieldSeriesBuilder series(field, range, buckets);
        // Only the blocks whose receive times overlap the range, in storing order, as the
        // archive file gives them, so that both give the same series.
        std::int64_t afterBlock = -1;
        constexpr int kBlocksPerRead = 500;
        std::vector<double> values;
        std::vector<bool> present;
        for (;;) {
            const Result page = m_db.ExecuteBinary(
                "SELECT v.block, v.times, " + std::string(postgres::kFieldBlockValues) +
                    " FROM value_block v JOIN field_block f "
                    "ON f.field = $2 AND f.block = v.block WHERE v.kind = $1 AND v.block > $3 "
                    "AND v.last_ms >= $4 AND v.first_ms < $5 ORDER BY v.block LIMIT " +
                    std::to_string(kBlocksPerRead),
                {Number(static_cast<int>(kind)), Number(field), Number(afterBlock),
                 Number(range.fromMs), Number(range.toMs)});
            for (int row = 0; row < page.Rows(); ++row) {
                const std::vector<std::int64_t> times = page.BinaryInt64Array(row, 1);
                page.BinaryDoubleArray(row, 2, values, present);
                const std::size_t count = std::min(times.size(), values.size());
                for (std::size_t i = 0; i < count; ++i) {
                    if (present[i])
                        series.Add(times[i], values[i]);
                }
                afterBlock = page.BinaryInt64(row, 0);
            }
            if (page.Rows() < kBlocksPerRead)
                break;
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

    // First receptions are kept with their frames, the others in table reception.
    std::vector<StationCount> Stations(const TimeRange& range) override {
        const Result rows = m_db.Execute(
            "SELECT station, count(DISTINCT frame_id) AS frames FROM ("
            "SELECT station, id AS frame_id FROM frame WHERE first_ms >= $1 AND first_ms < $2 "
            "UNION ALL SELECT station, frame_id FROM reception WHERE rx_ms >= $1 AND rx_ms < $2"
            ") s GROUP BY station ORDER BY frames DESC, station",
            {Number(range.fromMs), Number(range.toMs)});
        std::vector<StationCount> stations;
        for (int row = 0; row < rows.Rows(); ++row)
            stations.push_back({std::string(rows.Text(row, 0)), rows.Int64(row, 1)});
        return stations;
    }

    // A frame's other receptions all come after its first.
    std::optional<TimeRange> Extent() override {
        const Result rows = m_db.Execute(
            "SELECT (SELECT min(first_ms) FROM frame), greatest((SELECT max(first_ms) FROM "
            "frame), (SELECT max(rx_ms) FROM reception))");
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

    // An import commits a batch without waiting for the server to flush it to its disk: a crash
    // of the server can then take back the last batches committed before it (never part of a
    // batch), which importing the files again stores (a reception stored already adds nothing),
    // while each batch no longer waits for a flush before the next. Live writes wait for it as
    // ever: a station's frames are not read again.
    void WriteInBulk(bool bulk) override {
        m_db.Execute(bulk ? "SET synchronous_commit = off" : "RESET synchronous_commit");
    }

    void Rebuild(const std::function<void(std::int64_t, std::int64_t)>& progress) override {
        ForgetOpenBlocks();
        InTransaction([&] {
            m_db.Execute(kWriteLock);
            const std::int64_t total = m_db.Execute("SELECT count(*) FROM frame").Int64(0, 0);
            m_db.Execute(
                "DELETE FROM value_block; DELETE FROM field_block; DELETE FROM message; "
                "DELETE FROM ssdv_packet");
            std::int64_t done = 0;
            std::int64_t afterId = std::numeric_limits<std::int64_t>::min();
            for (;;) {
                const Result page = m_db.Execute(
                    "SELECT id, first_ms, bytes, rx_text FROM frame WHERE id > $1 "
                    "ORDER BY id LIMIT " +
                        std::to_string(kReadChunk),
                    {Number(afterId)});
                BatchRows rows;
                std::string kinds;
                OpenBlocks(static_cast<std::size_t>(page.Rows()));
                for (int row = 0; row < page.Rows(); ++row) {
                    const std::int64_t id = page.Int64(row, 0);
                    const ArchiveDecode decode =
                        DecodeForArchive(page.Bytes(row, 2), std::string(page.Text(row, 3)));
                    std::optional<std::int64_t> record;
                    if (postgres::BlockAppender* block = BlockOf(decode.kind))
                        record = block->Append(id, page.Int64(row, 1), decode);
                    AppendDecodedRows(rows, id, decode);
                    kinds += Number(id) + '\t' + Number(static_cast<int>(decode.kind)) + '\t' +
                             (record ? Number(*record) : std::string("\\N")) + '\t';
                    postgres::AppendCopyText(kinds, decode.satellite);
                    kinds += '\n';
                    afterId = id;
                }
                SaveOpenBlocks();
                CopyDecodedRows(rows);
                m_db.Execute(
                    "CREATE TEMP TABLE IF NOT EXISTS rebuilt_kind(id bigint, kind "
                    "smallint, record bigint, satellite text) ON COMMIT DROP");
                m_db.Execute("TRUNCATE rebuilt_kind");
                m_db.Copy("rebuilt_kind(id, kind, record, satellite)", kinds);
                m_db.Execute(
                    "UPDATE frame f SET kind = k.kind, record = k.record, satellite = k.satellite "
                    "FROM rebuilt_kind k WHERE f.id = k.id AND (f.kind, f.record, f.satellite) "
                    "IS DISTINCT FROM (k.kind, k.record, k.satellite)");
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
            ForgetOpenBlocks();
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

    postgres::BlockAppender* BlockOf(FrameKind kind) {
        if (kind == FrameKind::Beacon)
            return &m_beacons;
        if (kind == FrameKind::Sensor)
            return &m_sensors;
        return nullptr;
    }

    // Many new records start new blocks; a few (a live batch) fill up the last ones.
    void OpenBlocks(std::size_t records) {
        const bool newBlocks = records >= static_cast<std::size_t>(postgres::kBlockRecords);
        m_beacons.Open(m_db, newBlocks);
        m_sensors.Open(m_db, newBlocks);
    }

    void ForgetOpenBlocks() {
        m_beacons.Forget();
        m_sensors.Forget();
    }

    void SaveOpenBlocks() {
        m_beacons.Save(m_db);
        m_sensors.Save(m_db);
    }

    // The stored frames of the batch's digests whose first receptions lie in the batch's join
    // windows, read by the time index; the bytes and first reception only of those whose digest
    // is one of the batch's.
    void ReadJoinableFrames(std::span<const Reception> batch,
                            const std::vector<std::int64_t>& digests,
                            std::deque<JoinableFrame>& frames,
                            std::unordered_multimap<std::int64_t, std::size_t>& byDigest) {
        std::vector<std::int64_t> distinct(digests);
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        const std::string digestList = postgres::BigintArrayText(distinct);
        for (const TimeRange& window : JoinWindows(batch)) {
            const Result rows = m_db.Execute(
                "SELECT id, digest, first_ms, kind, record, receptions, bytes, station, source, "
                "source_file, rx_text FROM frame WHERE first_ms BETWEEN $1 AND $2 "
                "AND digest = ANY($3::bigint[])",
                {Number(window.fromMs), Number(window.toMs), digestList});
            for (int row = 0; row < rows.Rows(); ++row) {
                JoinableFrame frame;
                frame.id = rows.Int64(row, 0);
                frame.digest = rows.Int64(row, 1);
                frame.firstMs = rows.Int64(row, 2);
                frame.stored = true;
                frame.kind = static_cast<FrameKind>(rows.Int64(row, 3));
                if (!rows.IsNull(row, 4))
                    frame.record = rows.Int64(row, 4);
                frame.receptions = static_cast<int>(rows.Int64(row, 5));
                frame.storedBytes = rows.Bytes(row, 6);
                frame.station = std::string(rows.Text(row, 7));
                frame.source = static_cast<int>(rows.Int64(row, 8));
                frame.sourceFile = std::string(rows.Text(row, 9));
                frame.rxText = std::string(rows.Text(row, 10));
                byDigest.emplace(frame.digest, frames.size());
                frames.push_back(std::move(frame));
            }
        }
    }

    WriteCount WriteLocked(std::span<const Reception> batch) {
        ForgetOpenBlocks();
        std::vector<std::int64_t> digests;
        digests.reserve(batch.size());
        for (const Reception& reception : batch)
            digests.push_back(DigestOf(reception));
        std::deque<JoinableFrame> frames;
        std::unordered_multimap<std::int64_t, std::size_t> byDigest;
        ReadJoinableFrames(batch, digests, frames, byDigest);
        std::int64_t nextId =
            m_db.Execute("SELECT coalesce(max(id), 0) + 1 FROM frame").Int64(0, 0);

        WriteCount count;
        std::vector<std::size_t> newFrames;  // places in `frames`, in storing order
        // The other receptions of new frames, by their key (station and file names as the batch
        // holds them): no stored reception can be the same, so they go straight in, once each.
        std::set<std::tuple<std::int64_t, std::int64_t, std::string_view, int, std::string_view>>
            keys;
        BinaryRows newReceptions;
        BinaryRows storedReceptions;  // of frames stored before: stored already adds nothing
        for (std::size_t i = 0; i < batch.size(); ++i) {
            const Reception& reception = batch[i];
            JoinableFrame* nearest = nullptr;
            const auto [from, to] = byDigest.equal_range(digests[i]);
            for (auto it = from; it != to; ++it) {
                JoinableFrame& frame = frames[it->second];
                if (SameBytes(frame, reception) &&
                    JoinsNearer(frame.firstMs, reception.rxTimeMs,
                                nearest ? std::optional(nearest->firstMs) : std::nullopt))
                    nearest = &frame;
            }
            if (nearest == nullptr) {
                JoinableFrame frame;
                frame.id = nextId++;
                frame.firstMs = reception.rxTimeMs;
                frame.first = &reception;
                frame.digest = digests[i];
                byDigest.emplace(frame.digest, frames.size());
                newFrames.push_back(frames.size());
                frames.push_back(std::move(frame));
                ++count.newFrames;
                ++count.newReceptions;
                continue;
            }
            JoinableFrame& frame = *nearest;
            if (IsFirstReception(frame, reception))
                continue;  // the same reception again
            if (!frame.stored) {
                // An earlier reception becomes the new frame's first, the first one another.
                const Reception* other = &reception;
                if (reception.rxTimeMs < frame.firstMs)
                    std::swap(other, frame.first);
                frame.firstMs = frame.first->rxTimeMs;
                if (!keys.emplace(frame.id, other->rxTimeMs, other->station,
                                  static_cast<int>(other->source), other->sourceFile)
                         .second)
                    continue;  // the same reception twice in the batch
                ++frame.receptions;
                ++count.newReceptions;
                AppendReception(newReceptions, frame.id, *other);
                continue;
            }
            frame.touched = true;
            if (reception.rxTimeMs >= frame.firstMs) {
                AppendReception(storedReceptions, frame.id, reception);
                continue;
            }
            // An earlier reception of a stored frame: the first one joins the others.
            AppendStoredFirst(storedReceptions, frame);
            frame.firstMs = reception.rxTimeMs;
            frame.station = reception.station;
            frame.source = static_cast<int>(reception.source);
            frame.sourceFile = reception.sourceFile;
            frame.rxText = reception.rxTimeText;
            frame.firstChanged = true;
            if (postgres::BlockAppender* block = BlockOf(frame.kind); block && frame.record)
                block->LowerTime(*frame.record, frame.firstMs);
        }

        CopyNewFrames(frames, newFrames);
        if (!newReceptions.Empty())
            m_db.CopyBinary(std::string("reception") + kReceptionColumns, newReceptions);
        if (!storedReceptions.Empty())
            count.newReceptions += JoinStoredFrames(frames, storedReceptions);
        SaveOpenBlocks();
        return count;
    }

    // The rows of the batch's new frames, with their first receptions and their places in the
    // value blocks, go to the server in pieces, so that it stores one piece while the next is
    // made.
    void CopyNewFrames(const std::deque<JoinableFrame>& frames,
                       const std::vector<std::size_t>& newFrames) {
        if (newFrames.empty())
            return;
        OpenBlocks(newFrames.size());
        BatchRows rows;
        ArchiveDecode made;
        m_db.BeginBinaryCopy(kFrameColumns);
        try {
            BinaryRows out;
            for (std::size_t place : newFrames) {
                const JoinableFrame& frame = frames[place];
                const Reception& first = *frame.first;
                const ArchiveDecode& decode = DecodeOf(first, made);
                out.Row(12);
                out.Int64(frame.id);
                out.Int64(frame.digest);
                out.Int64(frame.firstMs);
                out.Int16(static_cast<int>(decode.kind));
                out.Text(decode.satellite);
                out.Int32(frame.receptions);
                if (postgres::BlockAppender* block = BlockOf(decode.kind))
                    out.Int64(block->Append(frame.id, frame.firstMs, decode));
                else
                    out.Null();
                out.Text(first.station);
                out.Int16(static_cast<int>(first.source));
                out.Text(first.sourceFile);
                out.Text(first.rxTimeText);
                out.Bytes(first.bytes);
                AppendDecodedRows(rows, frame.id, decode);
                if (out.Size() >= kCopyPiece)
                    m_db.PutCopyRows(out, false);
            }
            m_db.PutCopyRows(out, true);
        } catch (...) {
            m_db.AbandonCopy();
            throw;
        }
        m_db.EndCopy();
        CopyDecodedRows(rows);
    }

    // Stores the receptions of frames stored before (one stored already adds nothing), moves
    // the first receptions that earlier ones replaced, and counts every touched frame's
    // receptions again; the receptions added.
    std::int64_t JoinStoredFrames(const std::deque<JoinableFrame>& frames,
                                  BinaryRows& storedReceptions) {
        BinaryRows firsts;
        std::vector<std::int64_t> touched;
        std::unordered_map<std::int64_t, int> before;
        for (const JoinableFrame& frame : frames) {
            if (!frame.stored || !frame.touched)
                continue;
            touched.push_back(frame.id);
            before[frame.id] = frame.receptions;
            if (!frame.firstChanged)
                continue;
            AppendStoredFirst(firsts, frame);
        }
        m_db.CopyBinary(std::string("incoming_reception") + kReceptionColumns, storedReceptions);
        m_db.Execute(
            "INSERT INTO reception SELECT * FROM incoming_reception ON CONFLICT DO NOTHING");
        if (!firsts.Empty()) {
            m_db.CopyBinary("incoming_first(id, first_ms, station, source, source_file, rx_text)",
                            firsts);
            m_db.Execute(
                "UPDATE frame f SET first_ms = i.first_ms, station = i.station, "
                "source = i.source, source_file = i.source_file, rx_text = i.rx_text "
                "FROM incoming_first i WHERE f.id = i.id");
        }
        const Result counted = m_db.Execute(
            "UPDATE frame f SET receptions = 1 + (SELECT count(*) FROM reception r "
            "WHERE r.frame_id = f.id) WHERE f.id = ANY($1::bigint[]) RETURNING id, receptions",
            {postgres::BigintArrayText(touched)});
        std::int64_t added = 0;
        for (int row = 0; row < counted.Rows(); ++row)
            added += counted.Int64(row, 1) - before[counted.Int64(row, 0)];
        return added;
    }

    void CopyDecodedRows(BatchRows& rows) {
        if (!rows.messages.Empty())
            m_db.CopyBinary("message(frame_id, text)", rows.messages);
        if (!rows.ssdvPackets.Empty())
            m_db.CopyBinary("ssdv_packet(frame_id, image_id, packet_id)", rows.ssdvPackets);
    }

    Connection m_db;
    int m_schema;
    postgres::BlockAppender m_beacons;
    postgres::BlockAppender m_sensors;
};

}  // namespace

std::unique_ptr<Archive> OpenPostgresArchive(const std::string& url) {
    return std::make_unique<PostgresArchive>(url);
}

int InitPostgresArchive(const std::string& url) {
    Connection db(url);
    return postgres::PrepareSchema(db);
}

std::string PostgresLocation(const std::string& url) {
    return LocationWithoutPassword(url);
}

}  // namespace quorbel
