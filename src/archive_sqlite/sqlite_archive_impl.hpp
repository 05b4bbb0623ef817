// The SQLite archive's class, shared by the files that write it and those that read it.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "archive/archive.hpp"
#include "sqlite_database.hpp"
#include "value_blocks.hpp"

namespace quorbel::sqlite {

// A stored frame that a new reception of the same bytes may join.
struct KnownFrame {
    std::int64_t id = 0;
    std::int64_t firstMs = 0;
    FrameKind kind = FrameKind::None;
    std::optional<std::int64_t> record;
};

class SqliteArchive : public Archive {
  public:
    explicit SqliteArchive(const std::string& path);

    std::string Describe() const override { return m_db.Path(); }
    WriteCount Write(std::span<const Reception> batch) override;
    void ReadFrames(const TimeRange& range,
                    const std::function<bool(const StoredFrame&)>& visit) override;
    FieldSeries QueryField(int field, const TimeRange& range, int buckets) override;
    std::vector<StationCount> Stations(const TimeRange& range) override;
    std::optional<TimeRange> Extent() override;
    ArchiveStats Stats() override;
    void Rebuild(const std::function<void(std::int64_t, std::int64_t)>& progress) override;

  private:
    void StoreReception(const Reception& reception, WriteCount& count);
    std::optional<KnownFrame> FindFrame(const Reception& reception, std::int64_t digest);
    bool AddReception(std::int64_t frameId, const Reception& reception);
    std::int64_t SourceFileId(const std::string& path);
    void StoreDecoded(std::int64_t frameId, std::int64_t timeMs, const ArchiveDecode& decode);
    OpenValueBlock* BlockOf(FrameKind kind);
    void ForgetOpenBlocks();
    void SaveOpenBlocks();

    Database m_db;
    int m_schema;  // checked and, for a new file, made before the statements below are prepared
    Statement m_findFrame;
    Statement m_insertFrame;
    Statement m_joinFrame;
    Statement m_insertReception;
    Statement m_findSourceFile;
    Statement m_insertSourceFile;
    Statement m_insertMessage;
    Statement m_insertSsdv;
    OpenValueBlock m_beacons;
    OpenValueBlock m_sensors;
    std::map<std::string, std::int64_t> m_sourceFiles;  // of the running transaction
};

}  // namespace quorbel::sqlite
