// The SQLite archive's reading side: frames in time order, a field's series from the value
// blocks, stations, extent and statistics. Each call reads one snapshot of the file.
#include <filesystem>
#include <limits>

#include "archive/column_codec.hpp"
#include "archive/field_series.hpp"
#include "sqlite_archive_impl.hpp"

namespace quorbel::sqlite {
namespace {

constexpr std::int64_t kAllTimeFrom = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kAllTimeTo = std::numeric_limits<std::int64_t>::max();

std::int64_t FileSize(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<std::int64_t>(size);
}

}  // namespace

void SqliteArchive::ReadFrames(const TimeRange& range,
                               const std::function<bool(const StoredFrame&)>& visit) {
    Transaction snapshot(m_db, Transaction::Kind::Read);
    Statement frames(m_db,
                     "SELECT id, kind, bytes, first_ms, receptions, rx_text, station FROM frame "
                     "WHERE first_ms >= ?1 AND first_ms < ?2 ORDER BY first_ms, id");
    frames.Bind(1, range.fromMs).Bind(2, range.toMs);
    StoredFrame frame;
    while (frames.Step()) {
        frame.id = frames.Int64(0);
        frame.kind = static_cast<FrameKind>(frames.Int64(1));
        const auto bytes = frames.Blob(2);
        frame.bytes.assign(bytes.begin(), bytes.end());
        frame.firstRxTimeMs = frames.Int64(3);
        frame.receptions = static_cast<int>(frames.Int64(4));
        frame.firstRxTimeText = frames.Text(5);
        frame.station = frames.Text(6);
        if (!visit(frame))
            break;
    }
}

std::map<FrameKind, std::int64_t> SqliteArchive::CountFrames(const TimeRange& range) {
    Statement kinds(m_db,
                    "SELECT kind, count(*) FROM frame WHERE first_ms >= ?1 AND first_ms < ?2 "
                    "GROUP BY kind");
    kinds.Bind(1, range.fromMs).Bind(2, range.toMs);
    std::map<FrameKind, std::int64_t> counts;
    while (kinds.Step())
        counts[static_cast<FrameKind>(kinds.Int64(0))] = kinds.Int64(1);
    return counts;
}

FieldSeries SqliteArchive::QueryField(int field, const TimeRange& range, int buckets) {
    const FieldStore store = StoreOfField(field);
    if (store == FieldStore::None)
        throw ArchiveError("field " + std::to_string(field) +
                           " is neither a beacon field (0 to 66) nor a sensor field (70 to 106)");
    const FrameKind kind = store == FieldStore::Telemetry ? FrameKind::Beacon : FrameKind::Sensor;
    const int firstField =
        store == FieldStore::Telemetry ? kBeaconFields.first : kSensorFields.first;
    FieldSeriesBuilder series(field, range, buckets);

    Transaction snapshot(m_db, Transaction::Kind::Read);
    // Only the blocks whose receive times overlap the range, in storing order.
    Statement blocks(m_db,
                     "SELECT v.count, v.times, v.decoded, f.data FROM value_block v "
                     "JOIN field_block f ON f.field = ?2 AND f.block = v.block "
                     "WHERE v.kind = ?1 AND v.last_ms >= ?3 AND v.first_ms < ?4 ORDER BY v.block");
    blocks.Bind(1, static_cast<std::int64_t>(kind))
        .Bind(2, std::int64_t{field})
        .Bind(3, range.fromMs)
        .Bind(4, range.toMs);
    const auto place = static_cast<std::int64_t>(field - firstField);
    while (blocks.Step()) {
        const auto count = static_cast<std::size_t>(blocks.Int64(0));
        const auto times = DecodeTimeColumn(blocks.Blob(1), count);
        const auto decoded = DecodeTimeColumn(blocks.Blob(2), count);
        const auto values = DecodeValueColumn(blocks.Blob(3), count);
        for (std::size_t i = 0; i < count; ++i) {
            if (place < decoded[i])
                series.Add(times[i], values[i]);
        }
    }
    return series.Finish();
}

// First receptions are kept with their frames, the others in table reception.
std::vector<StationCount> SqliteArchive::Stations(const TimeRange& range) {
    Statement stations(m_db,
                       "SELECT station, count(DISTINCT frame_id) AS frames FROM ("
                       "SELECT station, id AS frame_id FROM frame "
                       "WHERE first_ms >= ?1 AND first_ms < ?2 UNION ALL "
                       "SELECT station, frame_id FROM reception WHERE rx_ms >= ?1 AND rx_ms < ?2) "
                       "GROUP BY station ORDER BY frames DESC, station");
    stations.Bind(1, range.fromMs).Bind(2, range.toMs);
    std::vector<StationCount> result;
    while (stations.Step())
        result.push_back({stations.Text(0), stations.Int64(1)});
    return result;
}

// A frame's other receptions all come after its first.
std::optional<TimeRange> SqliteArchive::Extent() {
    Statement extent(m_db,
                     "SELECT (SELECT min(first_ms) FROM frame), "
                     "max((SELECT max(first_ms) FROM frame), "
                     "coalesce((SELECT max(rx_ms) FROM reception), -9223372036854775808))");
    if (!extent.Step() || extent.IsNull(0))
        return std::nullopt;
    return TimeRange{extent.Int64(0), extent.Int64(1) + 1};
}

ArchiveStats SqliteArchive::Stats() {
    ArchiveStats stats;
    stats.location = Describe();
    stats.schemaVersion = m_schema;
    Transaction snapshot(m_db, Transaction::Kind::Read);
    Statement kinds(
        m_db, "SELECT kind, count(*), sum(receptions) FROM frame GROUP BY kind ORDER BY kind");
    while (kinds.Step())
        stats.kinds.push_back(
            {static_cast<FrameKind>(kinds.Int64(0)), kinds.Int64(1), kinds.Int64(2)});
    if (const auto extent = Extent()) {
        stats.firstRxTimeMs = extent->fromMs;
        stats.lastRxTimeMs = extent->toMs - 1;
    }
    stats.stations = Stations({kAllTimeFrom, kAllTimeTo});
    stats.fileBytes = FileSize(m_db.Path()) + FileSize(m_db.Path() + "-wal");
    return stats;
}

}  // namespace quorbel::sqlite
