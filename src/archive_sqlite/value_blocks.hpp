// The decoded values of beacons and sensor frames, kept in blocks of up to kBlockRecords records
// per kind: a block's receive times and decoded-field counts in table value_block, each field's
// values in table field_block, every column compactly encoded. A query of one field reads only
// that field's blocks over the range asked for. Records are appended to the kind's last block
// inside the writing transaction, which no other writer can enter at the same time.
#pragma once

#include <cstdint>
#include <vector>

#include "archive/archive.hpp"
#include "sqlite_database.hpp"

namespace quorbel::sqlite {

inline constexpr int kBlockRecords = 1024;

// The last block of one kind while a transaction appends to it: read from the database on first
// use, written back when full and by Save.
class OpenValueBlock {
  public:
    OpenValueBlock(Database& db, FrameKind kind, FieldRange fields);

    // Forgets what was read: at the start of every transaction (another process may have
    // appended since) and after a rollback.
    void Forget();
    // The number (block * kBlockRecords + place) the next appended record takes.
    std::int64_t NextRecord();
    // Appends the record of a frame received at `timeMs`; decode.values start at the kind's first
    // field.
    void Append(std::int64_t timeMs, const ArchiveDecode& decode);
    // A stored record's frame turned out to be received first at an earlier time.
    void LowerTime(std::int64_t record, std::int64_t timeMs);
    // Writes the block if it changed.
    void Save();

  private:
    void Load();
    void WriteBlock();

    Database& m_db;
    FrameKind m_kind;
    FieldRange m_fields;
    bool m_loaded = false;
    bool m_changed = false;
    std::int64_t m_block = 0;
    std::vector<std::int64_t> m_times;
    std::vector<std::int64_t> m_decodedCounts;       // fields decoded per record
    std::vector<std::vector<double>> m_fieldValues;  // per field of the kind, per record
    Statement m_selectLast;
    Statement m_selectFields;
    Statement m_saveBlock;
    Statement m_saveField;
    Statement m_selectTimes;
    Statement m_updateTimes;
};

}  // namespace quorbel::sqlite
