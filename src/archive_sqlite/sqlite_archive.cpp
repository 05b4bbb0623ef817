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
      m_findFrame(m_db,
                  "SELECT id, first_ms, kind, record, bytes FROM frame "
                  "WHERE digest = ?1 AND first_ms BETWEEN ?2 AND ?3"),
      m_insertFrame(m_db,
                    "INSERT INTO frame(digest, first_ms, kind, record, receptions, bytes) "
                    "VALUES (?1, ?2, ?3, ?4, 1, ?5)"),
      m_joinFrame(m_db,
                  "UPDATE frame SET receptions = receptions + 1, first_ms = min(first_ms, ?2) "
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
    const std::int64_t digest = FrameDigest(reception.bytes);
    if (const auto known = FindFrame(reception, digest)) {
        if (!AddReception(known->id, reception))
            return;  // this very reception is stored already
        ++count.newReceptions;
        ResetOnExit reset(m_joinFrame);
        m_joinFrame.Bind(1, known->id).Bind(2, reception.rxTimeMs);
        m_joinFrame.Step();
        if (reception.rxTimeMs < known->firstMs && known->record)
            if (auto* block = BlockOf(known->kind))
                block->LowerTime(*known->record, reception.rxTimeMs);
        return;
    }

    const ArchiveDecode decode = DecodeForArchive(reception.bytes, reception.rxTimeText);
    OpenValueBlock* block = BlockOf(decode.kind);
    {
        ResetOnExit reset(m_insertFrame);
        m_insertFrame.Bind(1, digest)
            .Bind(2, reception.rxTimeMs)
            .Bind(3, static_cast<std::int64_t>(decode.kind))
            .Bind(5, std::span<const std::uint8_t>(reception.bytes));
        if (block)
            m_insertFrame.Bind(4, block->NextRecord());
        else
            m_insertFrame.BindNull(4);
        m_insertFrame.Step();
    }
    const std::int64_t frameId = m_db.LastInsertId();
    AddReception(frameId, reception);
    StoreDecoded(frameId, reception.rxTimeMs, decode);
    ++count.newFrames;
    ++count.newReceptions;
}

// The frame of the same bytes whose first reception lies nearest, within the window.
std::optional<KnownFrame> SqliteArchive::FindFrame(const Reception& reception,
                                                   std::int64_t digest) {
    ResetOnExit reset(m_findFrame);
    m_findFrame.Bind(1, digest)
        .Bind(2, reception.rxTimeMs - kSameFrameWindowMs)
        .Bind(3, reception.rxTimeMs + kSameFrameWindowMs);
    std::optional<KnownFrame> nearest;
    while (m_findFrame.Step()) {
        const auto bytes = m_findFrame.Blob(4);
        if (!std::equal(bytes.begin(), bytes.end(), reception.bytes.begin(), reception.bytes.end()))
            continue;  // another frame of the same digest
        KnownFrame frame{m_findFrame.Int64(0), m_findFrame.Int64(1),
                         static_cast<FrameKind>(m_findFrame.Int64(2)), std::nullopt};
        if (!m_findFrame.IsNull(3))
            frame.record = m_findFrame.Int64(3);
        if (!nearest || std::llabs(frame.firstMs - reception.rxTimeMs) <
                            std::llabs(nearest->firstMs - reception.rxTimeMs))
            nearest = frame;
    }
    return nearest;
}

// False when the same reception (station, time, source, source file) is stored already.
bool SqliteArchive::AddReception(std::int64_t frameId, const Reception& reception) {
    const std::int64_t fileId = SourceFileId(reception.sourceFile);
    ResetOnExit reset(m_insertReception);
    m_insertReception.Bind(1, frameId)
        .Bind(2, reception.rxTimeMs)
        .Bind(3, std::string_view(reception.station))
        .Bind(4, static_cast<std::int64_t>(reception.source))
        .Bind(5, fileId)
        .Bind(6, std::string_view(reception.rxTimeText));
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
                         "SELECT f.id, f.first_ms, f.kind, f.record, f.bytes, "
                         "(SELECT rx_text FROM reception WHERE frame_id = f.id "
                         "ORDER BY rx_ms, station LIMIT 1) "
                         "FROM frame f WHERE f.id > ?1 ORDER BY f.id LIMIT ?2");
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
