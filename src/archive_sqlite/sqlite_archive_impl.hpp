// The SQLite archive's class, shared by the files that write it and those that read it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "archive/archive.hpp"
#include "sqlite_database.hpp"
#include "value_blocks.hpp"

namespace quorbel::sqlite {

// A reception as the archive compares and stores it: the source file by its number (0: none).
// It refers to the texts of a Reception or of a KnownFrame and lives no longer than they do.
struct StoredReception {
    std::int64_t rxTimeMs = 0;
    std::string_view station;
    ReceptionSource source = ReceptionSource::Live;
    std::int64_t sourceFileId = 0;
    std::string_view rxTimeText;

    // The same reception again: same time, station, source and source file.
    bool SameAs(const StoredReception& other) const {
        return rxTimeMs == other.rxTimeMs && station == other.station && source == other.source &&
               sourceFileId == other.sourceFileId;
    }
};

// A stored frame that a new reception of the same bytes may join, with its first reception.
struct KnownFrame {
    std::int64_t id = 0;
    FrameKind kind = FrameKind::None;
    std::optional<std::int64_t> record;
    std::int64_t firstMs = 0;
    std::string station;
    ReceptionSource source = ReceptionSource::Live;
    std::int64_t sourceFileId = 0;
    std::string rxTimeText;

    StoredReception First() const { return {firstMs, station, source, sourceFileId, rxTimeText}; }
};

// The stored frames whose first reception lies within the window of a reception of the running
// batch, by digest: read from the database inside the batch's transaction (so what another
// process stored is there), kept up to date as the batch stores frames.
struct NearbyFrame {
    std::int64_t id = 0;
    std::int64_t firstMs = 0;
};
using NearbyFrames = std::unordered_multimap<std::int64_t, NearbyFrame>;

class SqliteArchive : public Archive {
  public:
    explicit SqliteArchive(const std::string& path);

    std::string Describe() const override { return m_db.Path(); }
    WriteCount Write(std::span<const Reception> batch) override;
    void ReadFrames(const TimeRange& range,
                    const std::function<bool(const StoredFrame&)>& visit) override;
    FieldSeries QueryField(int field, const TimeRange& range, int buckets) override;
    std::map<FrameKind, std::int64_t> CountFrames(const TimeRange& range) override;
    std::vector<StationCount> Stations(const TimeRange& range) override;
    std::optional<TimeRange> Extent() override;
    ArchiveStats Stats() override;
    void WriteInBulk(bool bulk) override;
    void Rebuild(const std::function<void(std::int64_t, std::int64_t)>& progress) override;

  private:
    void StoreReception(const Reception& reception, WriteCount& count);
    void ReadNearbyFrames(std::span<const Reception> batch);
    std::optional<KnownFrame> FindFrame(const Reception& reception, std::int64_t digest);
    bool JoinFrame(const KnownFrame& frame, const StoredReception& reception, std::int64_t digest);
    bool AddOtherReception(std::int64_t frameId, const StoredReception& reception);
    std::int64_t SourceFileId(const std::string& path);
    void StoreDecoded(std::int64_t frameId, std::int64_t timeMs, const ArchiveDecode& decode);
    OpenValueBlock* BlockOf(FrameKind kind);
    void ForgetOpenBlocks();
    void SaveOpenBlocks();

    Database m_db;
    int m_schema;  // checked and, for a new file, made before the statements below are prepared
    Statement m_framesInRange;
    Statement m_frameById;
    Statement m_insertFrame;
    Statement m_countReception;
    Statement m_takeFirstReception;
    Statement m_insertReception;
    Statement m_findSourceFile;
    Statement m_insertSourceFile;
    Statement m_insertMessage;
    Statement m_insertSsdv;
    OpenValueBlock m_beacons;
    OpenValueBlock m_sensors;
    std::map<std::string, std::int64_t> m_sourceFiles;  // of the running transaction
    NearbyFrames m_nearby;                              // of the running transaction
};

}  // namespace quorbel::sqlite
