// The archive as an SQLite file, its writing side: frames and their receptions in tables, the
// decoded values of beacons and sensor frames in compact column blocks beside them. Several
// processes may write the file at once: each batch is one IMMEDIATE transaction, and the lookups
// that find a frame's earlier receptions run inside it, so the database, not a process's memory,
// decides.
#include "sqlite_archive.hpp"

#include <algorithm>
#include <cstdlib>

#include "archive/frame_digest.hpp"
#include "schema.hpp"
#include "sqlite_archive_impl.hpp"

namespace quorbel {
namespace sqlite {

SqliteArchive::SqliteArchive(const std::string& path)
    : m_db(path, ArchiveOpenFlags()),
      m_schema(PrepareArchiveFile(m_db)),
      m_framesInRange(m_db,
                      "SELECT digest, id, first_ms FROM frame WHERE first_ms BETWEEN ?1 AND ?2"),
      m_frameById(m_db,
                  "SELECT kind, record, station, source, source_file, rx_text, bytes FROM frame "
                  "WHERE id = ?1"),
      m_insertFrame(m_db,
                    "INSERT INTO frame(digest, first_ms, kind, record, receptions, station, "
                    "source, source_file, rx_text, bytes) VALUES (?1, ?2, ?3, ?4, 1, ?5, ?6, ?7, "
                    "?8, ?9)"),
      m_countReception(m_db, "UPDATE frame SET receptions = receptions + 1 WHERE id = ?1"),
      m_takeFirstReception(m_db,
                           "UPDATE frame SET receptions = receptions + 1, first_ms = ?2, "
                           "station = ?3, source = ?4, source_file = ?5, rx_text = ?6 "
                           "WHERE id = ?1"),
      m_insertReception(m_db,
                        "INSERT OR IGNORE INTO reception(frame_id, rx_ms, station, source, "
                        "source_file, rx_text) VALUES (?1, ?2, ?3, ?4, ?5, ?6)"),
      m_findSourceFile(m_db, "SELECT id FROM source_file WHERE path = ?1"),
      m_insertSourceFile(m_db, "INSERT INTO source_file(path) VALUES (?1)"),
      m_insertMessage(m_db, "INSERT OR REPLACE INTO message(frame_id, text) VALUES (?1, ?2)"),
      m_insertSsdv(m_db,
                   "INSERT OR REPLACE INTO ssdv_packet(frame_id, image_id, packet_id) "
                   "VALUES (?1, ?2, ?3)"),
      m_beacons(m_db, FrameKind::Beacon, kBeaconFields),
      m_sensors(m_db, FrameKind::Sensor, kSensorFields) {}

OpenValueBlock* SqliteArchive::BlockOf(FrameKind kind) {
    if (kind == FrameKind::Beacon)
        return &m_beacons;
    if (kind == FrameKind::Sensor)
        return &m_sensors;
    return nullptr;
}

void SqliteArchive::ForgetOpenBlocks() {
    m_beacons.Forget();
    m_sensors.Forget();
    m_sourceFiles.clear();
    m_nearby.clear();
}

void SqliteArchive::SaveOpenBlocks() {
    m_beacons.Save();
    m_sensors.Save();
}

WriteCount SqliteArchive::Write(std::span<const Reception> batch) {
    WriteCount count;
    if (batch.empty())
        return count;
    // What was read of the open blocks belongs to one transaction only: another process may
    // append between two batches, and a failed batch leaves nothing of itself.
    ForgetOpenBlocks();
    try {
        Transaction transaction(m_db, Transaction::Kind::Write);
        ReadNearbyFrames(batch);
        for (const Reception& reception : batch)
            StoreReception(reception, count);
        SaveOpenBlocks();
        transaction.Commit();
    } catch (...) {
        ForgetOpenBlocks();
        throw;
    }
    ForgetOpenBlocks();
    return count;
}

void SqliteArchive::StoreReception(const Reception& reception, WriteCount& count) {
    const std::int64_t digest = DigestOf(reception);
    const StoredReception stored{reception.rxTimeMs, reception.station, reception.source,
                                 SourceFileId(reception.sourceFile), reception.rxTimeText};
    if (const auto known = FindFrame(reception, digest)) {
        if (JoinFrame(*known, stored, digest))
            ++count.newReceptions;
        return;
    }

    ArchiveDecode made;
    const ArchiveDecode& decode = DecodeOf(reception, made);
    OpenValueBlock* block = BlockOf(decode.kind);
    {
        ResetOnExit reset(m_insertFrame);
        m_insertFrame.Bind(1, digest)
            .Bind(2, reception.rxTimeMs)
            .Bind(3, static_cast<std::int64_t>(decode.kind))
            .Bind(5, std::string_view(reception.station))
            .Bind(6, static_cast<std::int64_t>(reception.source))
            .Bind(7, stored.sourceFileId)
            .Bind(8, std::string_view(reception.rxTimeText))
            .Bind(9, std::span<const std::uint8_t>(reception.bytes));
        if (block)
            m_insertFrame.Bind(4, block->NextRecord());
        else
            m_insertFrame.BindNull(4);
        m_insertFrame.Step();
    }
    const std::int64_t frameId = m_db.LastInsertId();
    m_nearby.emplace(digest, NearbyFrame{frameId, reception.rxTimeMs});
    StoreDecoded(frameId, reception.rxTimeMs, decode);
    ++count.newFrames;
    ++count.newReceptions;
}

// Adds a reception to a stored frame; false when it is stored already. An earlier reception
// becomes the frame's first, and the one that was first joins the other receptions.
bool SqliteArchive::JoinFrame(const KnownFrame& frame, const StoredReception& reception,
                              std::int64_t digest) {
    if (reception.SameAs(frame.First()))
        return false;
    if (reception.rxTimeMs >= frame.firstMs) {
        if (!AddOtherReception(frame.id, reception))
            return false;
        ResetOnExit reset(m_countReception);
        m_countReception.Bind(1, frame.id);
        m_countReception.Step();
        return true;
    }
    AddOtherReception(frame.id, frame.First());
    {
        ResetOnExit reset(m_takeFirstReception);
        m_takeFirstReception.Bind(1, frame.id)
            .Bind(2, reception.rxTimeMs)
            .Bind(3, reception.station)
            .Bind(4, static_cast<std::int64_t>(reception.source))
            .Bind(5, reception.sourceFileId)
            .Bind(6, reception.rxTimeText);
        m_takeFirstReception.Step();
    }
    const auto [first, last] = m_nearby.equal_range(digest);
    for (auto it = first; it != last; ++it) {
        if (it->second.id == frame.id)
            it->second.firstMs = reception.rxTimeMs;
    }
    if (auto* block = BlockOf(frame.kind); block && frame.record)
        block->LowerTime(*frame.record, reception.rxTimeMs);
    return true;
}

// Reads the digests of the frames a reception of the batch may join: the windows around the
// batch's receive times, merged where they overlap, each one range of the index frame_time
// (first_ms, digest), which holds all that is read.
void SqliteArchive::ReadNearbyFrames(std::span<const Reception> batch) {
    m_nearby.clear();
    std::vector<std::int64_t> times;
    times.reserve(batch.size());
    for (const Reception& reception : batch)
        times.push_back(reception.rxTimeMs);
    std::sort(times.begin(), times.end());
    for (std::size_t i = 0; i < times.size();) {
        const std::int64_t from = times[i] - kSameFrameWindowMs;
        std::int64_t to = times[i] + kSameFrameWindowMs;
        for (++i; i < times.size() && times[i] - kSameFrameWindowMs <= to; ++i)
            to = times[i] + kSameFrameWindowMs;
        ResetOnExit reset(m_framesInRange);
        m_framesInRange.Bind(1, from).Bind(2, to);
        while (m_framesInRange.Step())
            m_nearby.emplace(m_framesInRange.Int64(0),
                             NearbyFrame{m_framesInRange.Int64(1), m_framesInRange.Int64(2)});
    }
}

// The frame of the same bytes whose first reception lies nearest, within the window.
std::optional<KnownFrame> SqliteArchive::FindFrame(const Reception& reception,
                                                   std::int64_t digest) {
    std::optional<KnownFrame> nearest;
    const auto [first, last] = m_nearby.equal_range(digest);
    for (auto it = first; it != last; ++it) {
        const NearbyFrame& candidate = it->second;
        if (!JoinsNearer(candidate.firstMs, reception.rxTimeMs,
                         nearest ? std::optional(nearest->firstMs) : std::nullopt))
            continue;
        ResetOnExit reset(m_frameById);
        m_frameById.Bind(1, candidate.id);
        if (!m_frameById.Step())
            continue;
        const auto bytes = m_frameById.Blob(6);
        if (!std::equal(bytes.begin(), bytes.end(), reception.bytes.begin(), reception.bytes.end()))
            continue;  // another frame of the same digest
        KnownFrame frame;
        frame.id = candidate.id;
        frame.kind = static_cast<FrameKind>(m_frameById.Int64(0));
        if (!m_frameById.IsNull(1))
            frame.record = m_frameById.Int64(1);
        frame.firstMs = candidate.firstMs;
        frame.station = m_frameById.Text(2);
        frame.source = static_cast<ReceptionSource>(m_frameById.Int64(3));
        frame.sourceFileId = m_frameById.Int64(4);
        frame.rxTimeText = m_frameById.Text(5);
        nearest = std::move(frame);
    }
    return nearest;
}

// Stores a reception other than a frame's first; false when it is stored already.
bool SqliteArchive::AddOtherReception(std::int64_t frameId, const StoredReception& reception) {
    ResetOnExit reset(m_insertReception);
    m_insertReception.Bind(1, frameId)
        .Bind(2, reception.rxTimeMs)
        .Bind(3, reception.station)
        .Bind(4, static_cast<std::int64_t>(reception.source))
        .Bind(5, reception.sourceFileId)
        .Bind(6, reception.rxTimeText);
    m_insertReception.Step();
    return m_db.Changes() > 0;
}

// Source files are numbered in a table of their own; 0 stands for none (the live client).
std::int64_t SqliteArchive::SourceFileId(const std::string& path) {
    if (path.empty())
        return 0;
    if (const auto found = m_sourceFiles.find(path); found != m_sourceFiles.end())
        return found->second;
    std::int64_t id = 0;
    {
        ResetOnExit reset(m_findSourceFile);
        m_findSourceFile.Bind(1, std::string_view(path));
        if (m_findSourceFile.Step())
            id = m_findSourceFile.Int64(0);
    }
    if (id == 0) {
        ResetOnExit reset(m_insertSourceFile);
        m_insertSourceFile.Bind(1, std::string_view(path));
        m_insertSourceFile.Step();
        id = m_db.LastInsertId();
    }
    m_sourceFiles.emplace(path, id);
    return id;
}

void SqliteArchive::StoreDecoded(std::int64_t frameId, std::int64_t timeMs,
                                 const ArchiveDecode& decode) {
    if (auto* block = BlockOf(decode.kind)) {
        block->Append(timeMs, decode);
    } else if (decode.kind == FrameKind::TextMessage ||
               decode.kind == FrameKind::DigipeatedMessage) {
        ResetOnExit reset(m_insertMessage);
        m_insertMessage.Bind(1, frameId).Bind(2, std::string_view(decode.text));
        m_insertMessage.Step();
    } else if (decode.kind == FrameKind::SsdvPacket) {
        ResetOnExit reset(m_insertSsdv);
        m_insertSsdv.Bind(1, frameId)
            .Bind(2, std::int64_t{decode.imageId})
            .Bind(3, std::int64_t{decode.packetId});
        m_insertSsdv.Step();
    }
}

// An import checkpoints once per 256 MB of log instead of 40 MB, and once at its end. The log's
// commits are as safe as before: a checkpoint only copies them into the database file.
void SqliteArchive::WriteInBulk(bool bulk) {
    m_db.Execute(bulk ? kBulkWalCheckpointPragma : kWalCheckpointPragma);
    if (!bulk)
        m_db.Execute("PRAGMA wal_checkpoint(PASSIVE)");
}

// Everything kept beside the bytes goes and is made again from them, in one transaction: a
// rebuild that fails or is killed leaves the archive as it was. Frames are read in storing
// order, a chunk at a time, so their records take the places they had.
void SqliteArchive::Rebuild(const std::function<void(std::int64_t, std::int64_t)>& progress) {
    constexpr std::int64_t kChunk = 10'000;
    ForgetOpenBlocks();
    try {
        Transaction transaction(m_db, Transaction::Kind::Write);
        m_db.Execute(
            "DELETE FROM value_block; DELETE FROM field_block; DELETE FROM message; "
            "DELETE FROM ssdv_packet");
        std::int64_t total = 0;
        {
            Statement count(m_db, "SELECT count(*) FROM frame");
            total = count.Step() ? count.Int64(0) : 0;
        }
        Statement frames(m_db,
                         "SELECT id, first_ms, kind, record, bytes, rx_text FROM frame "
                         "WHERE id > ?1 ORDER BY id LIMIT ?2");
        Statement update(m_db, "UPDATE frame SET kind = ?2, record = ?3 WHERE id = ?1");
        struct Change {
            std::int64_t id;
            FrameKind kind;
            std::optional<std::int64_t> record;
        };
        std::int64_t done = 0;
        std::int64_t lastId = 0;
        for (;;) {
            std::vector<Change> changes;
            std::int64_t read = 0;
            frames.Bind(1, lastId).Bind(2, kChunk);
            while (frames.Step()) {
                ++read;
                lastId = frames.Int64(0);
                const auto bytes = frames.Blob(4);
                const ArchiveDecode decode = DecodeForArchive(bytes, frames.Text(5));
                OpenValueBlock* block = BlockOf(decode.kind);
                std::optional<std::int64_t> record;
                if (block)
                    record = block->NextRecord();
                // -1: no record (a kind without value blocks).
                const std::int64_t oldRecord = frames.IsNull(3) ? -1 : frames.Int64(3);
                if (static_cast<FrameKind>(frames.Int64(2)) != decode.kind ||
                    oldRecord != record.value_or(-1))
                    changes.push_back({lastId, decode.kind, record});
                StoreDecoded(lastId, frames.Int64(1), decode);
            }
            frames.Reset();
            for (const Change& change : changes) {
                ResetOnExit reset(update);
                update.Bind(1, change.id).Bind(2, static_cast<std::int64_t>(change.kind));
                if (change.record)
                    update.Bind(3, *change.record);
                else
                    update.BindNull(3);
                update.Step();
            }
            done += read;
            if (progress)
                progress(done, total);
            if (read < kChunk)
                break;
        }
        SaveOpenBlocks();
        transaction.Commit();
    } catch (...) {
        ForgetOpenBlocks();
        throw;
    }
    ForgetOpenBlocks();
}

}  // namespace sqlite

std::unique_ptr<Archive> OpenSqliteArchive(const std::string& path) {
    if (path.empty())
        throw ArchiveError("no archive file named");
    return std::make_unique<sqlite::SqliteArchive>(path);
}

}  // namespace quorbel
