// The records of one kind (beacons or sensor frames) appended to its value blocks on the server
// within one writing transaction: the kind's last block is filled up by appending to its arrays,
// and the records past it go in new blocks by COPY. Only the writer holding the archive's write
// lock appends, so the last block read is the last block while the transaction lasts.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "archive/archive.hpp"
#include "pg_connection.hpp"

namespace quorbel::postgres {

class BlockAppender {
  public:
    BlockAppender(FrameKind kind, FieldRange fields);

    // Forgets what was read and appended: at the start of every transaction (another station
    // may have appended since) and after a rollback.
    void Forget();
    // Reads where the kind's records go on: before Append, outside a COPY. `newBlock`: the
    // records start a new block even when the last one has room, for many records at once (an
    // import), since filling up the last block rewrites all its rows for its last few records.
    void Open(Connection& db, bool newBlock);
    // Appends a record and gives its number (block * kBlockRecords + place).
    std::int64_t Append(std::int64_t frameId, std::int64_t timeMs, const ArchiveDecode& decode);
    // A stored record's frame turned out to be received first at an earlier time.
    void LowerTime(std::int64_t record, std::int64_t timeMs);
    // Writes what was appended and lowered.
    void Save(Connection& db);

  private:
    void FillStoredBlock(Connection& db, std::size_t records);
    void CopyNewBlocks(Connection& db, std::size_t from);
    // The field_block rows of the block of the appended records [start, start + count).
    void AppendFieldRows(std::int64_t block, std::size_t start, std::size_t count);
    // One field's values of the appended records [start, start + count) into m_column, and
    // whether each record held the field into m_columnPresent.
    void TakeColumn(std::size_t field, std::size_t start, std::size_t count);
    void SaveLowered(Connection& db);

    FrameKind m_kind;
    FieldRange m_fields;
    bool m_read = false;
    std::int64_t m_block = 0;       // the block the next record goes to
    std::size_t m_storedCount = 0;  // records stored in it before this transaction
    std::int64_t m_nextRecord = 0;
    // Records appended in this transaction, in order.
    std::vector<std::int64_t> m_frameIds;
    std::vector<std::int64_t> m_times;
    // Each record's values of every field of the kind, one record after the other (0 where the
    // frame did not hold the field): a record is appended with one copy.
    std::size_t m_fieldCount;
    std::vector<double> m_values;
    std::vector<std::uint16_t> m_decoded;  // per record: the fields held, the first ones
    std::vector<double> m_column;
    std::vector<bool> m_columnPresent;
    // The field_block rows of the new blocks that filled up, made as their last records came
    // (an import's writer makes them while the server stores the frames' rows).
    BinaryRows m_fieldRows;
    // Stored records to lower: block -> (place, time).
    std::map<std::int64_t, std::map<std::int64_t, std::int64_t>> m_lowered;
};

}  // namespace quorbel::postgres
