// Appending records to a kind's value blocks on the server, and lowering a stored record's time.
#include "pg_value_blocks.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "pg_schema.hpp"

namespace quorbel::postgres {
namespace {

std::string Number(std::int64_t value) {
    return std::to_string(value);
}

// The narrowest array that holds a block's values of one field exactly: bytes per value (2:
// smallint, 4: integer, 8: double). -0 stays a double, so that it comes back as it was.
int ArrayBytes(std::span<const double> values, const std::vector<bool>& present) {
    int bytes = 2;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!present[i])
            continue;
        const double value = values[i];
        if (!(value >= -2147483648.0 && value <= 2147483647.0) || value != std::trunc(value) ||
            (value == 0 && std::signbit(value)))
            return 8;
        if (value < -32768.0 || value > 32767.0)
            bytes = 4;
    }
    return bytes;
}

// A field's values as the row of field_block (or incoming_field) holds them: small, whole, data.
void AppendFieldArrays(BinaryRows& rows, std::span<const double> values,
                       const std::vector<bool>& present) {
    const int bytes = ArrayBytes(values, present);
    if (bytes == 2)
        rows.WholeArray(values, present, 2);
    else
        rows.Null();
    if (bytes == 4)
        rows.WholeArray(values, present, 4);
    else
        rows.Null();
    if (bytes == 8)
        rows.DoubleArray(values, present);
    else
        rows.Null();
}

}  // namespace

BlockAppender::BlockAppender(FrameKind kind, FieldRange fields)
    : m_kind(kind),
      m_fields(fields),
      m_fieldCount(static_cast<std::size_t>(fields.last - fields.first + 1)) {}

// The columns keep their room from batch to batch: an import appends to them all the time.
void BlockAppender::Forget() {
    m_read = false;
    m_fieldRows.Restart();
    m_frameIds.clear();
    m_times.clear();
    m_values.clear();
    m_decoded.clear();
    m_lowered.clear();
}

void BlockAppender::Open(Connection& db, bool newBlock) {
    if (m_read)
        return;
    m_read = true;
    m_block = 0;
    m_storedCount = 0;
    const Result last = db.Execute(
        "SELECT block, count FROM value_block WHERE kind = $1 ORDER BY block DESC LIMIT 1",
        {Number(static_cast<int>(m_kind))});
    if (last.Rows() > 0) {
        m_block = last.Int64(0, 0);
        m_storedCount = static_cast<std::size_t>(last.Int64(0, 1));
        if (m_storedCount >= static_cast<std::size_t>(kBlockRecords) ||
            (newBlock && m_storedCount > 0)) {
            ++m_block;  // the last block is full, or left as it is: a new one starts
            m_storedCount = 0;
        }
    }
    m_nextRecord = m_block * kBlockRecords + static_cast<std::int64_t>(m_storedCount);
}

std::int64_t BlockAppender::Append(std::int64_t frameId, std::int64_t timeMs,
                                   const ArchiveDecode& decode) {
    if (!m_read)
        throw std::logic_error("value block appended to before it was opened");
    m_frameIds.push_back(frameId);
    m_times.push_back(timeMs);
    const std::size_t decoded = std::min(decode.values.size(), m_fieldCount);
    // Fields past the decoded ones are NULL: the frame did not hold them.
    m_values.insert(m_values.end(), decode.values.begin(),
                    decode.values.begin() + static_cast<long>(decoded));
    m_values.resize(m_values.size() + m_fieldCount - decoded, 0.0);
    m_decoded.push_back(static_cast<std::uint16_t>(decoded));
    // A new block filled up: its field rows are made now, while the server stores the frames.
    if (m_storedCount == 0 && m_times.size() % kBlockRecords == 0) {
        const std::size_t start = m_times.size() - kBlockRecords;
        AppendFieldRows(m_block + static_cast<std::int64_t>(start / kBlockRecords), start,
                        kBlockRecords);
    }
    return m_nextRecord++;
}

void BlockAppender::AppendFieldRows(std::int64_t block, std::size_t start, std::size_t count) {
    for (std::size_t i = 0; i < m_fieldCount; ++i) {
        m_fieldRows.Row(5);
        m_fieldRows.Int16(m_fields.first + static_cast<int>(i));
        m_fieldRows.Int64(block);
        TakeColumn(i, start, count);
        AppendFieldArrays(m_fieldRows, m_column, m_columnPresent);
    }
}

void BlockAppender::TakeColumn(std::size_t field, std::size_t start, std::size_t count) {
    m_column.resize(count);
    m_columnPresent.resize(count);
    for (std::size_t k = 0; k < count; ++k) {
        m_column[k] = m_values[(start + k) * m_fieldCount + field];
        m_columnPresent[k] = field < m_decoded[start + k];
    }
}

void BlockAppender::LowerTime(std::int64_t record, std::int64_t timeMs) {
    const std::int64_t firstAppended = m_nextRecord - static_cast<std::int64_t>(m_times.size());
    if (m_read && record >= firstAppended && record < m_nextRecord) {
        auto& time = m_times[static_cast<std::size_t>(record - firstAppended)];
        time = std::min(time, timeMs);
        return;
    }
    auto& places = m_lowered[record / kBlockRecords];
    const auto [at, added] = places.emplace(record % kBlockRecords, timeMs);
    if (!added)
        at->second = std::min(at->second, timeMs);
}

void BlockAppender::Save(Connection& db) {
    SaveLowered(db);
    if (m_times.empty())
        return;
    // The records that fill up the stored last block, then new blocks.
    std::size_t filling = 0;
    if (m_storedCount > 0)
        filling = std::min(m_times.size(), static_cast<std::size_t>(kBlockRecords) - m_storedCount);
    if (filling > 0)
        FillStoredBlock(db, filling);
    if (filling < m_times.size())
        CopyNewBlocks(db, filling);
    const std::int64_t next = m_nextRecord;
    Forget();
    // The next transaction of this writer reads the last block again: another may come first.
    m_nextRecord = next;
}

// Appends the first `records` to the arrays of the stored last block.
void BlockAppender::FillStoredBlock(Connection& db, std::size_t records) {
    const auto times = std::span(m_times).first(records);
    const auto [first, last] = std::minmax_element(times.begin(), times.end());
    db.Execute(
        "UPDATE value_block SET count = count + $3, first_ms = least(first_ms, $4), "
        "last_ms = greatest(last_ms, $5), times = times || $6::bigint[], "
        "frame_ids = frame_ids || $7::bigint[] WHERE kind = $1 AND block = $2",
        {Number(static_cast<int>(m_kind)), Number(m_block), Number(static_cast<int>(records)),
         Number(*first), Number(*last), BigintArrayText(times),
         BigintArrayText(std::span(m_frameIds).first(records))});
    BinaryRows rows;
    for (std::size_t i = 0; i < m_fieldCount; ++i) {
        rows.Row(4);
        rows.Int16(m_fields.first + static_cast<int>(i));
        TakeColumn(i, 0, records);
        AppendFieldArrays(rows, m_column, m_columnPresent);
    }
    db.CopyBinary("incoming_field(field, small, whole, data)", rows);
    // The stored arrays and the appended ones in the wider of their two forms.
    db.Execute(
        "UPDATE field_block f SET "
        "small = CASE WHEN f.small IS NOT NULL AND i.small IS NOT NULL THEN f.small || i.small "
        "END, "
        "whole = CASE WHEN f.data IS NULL AND i.data IS NULL AND (f.whole IS NOT NULL OR "
        "i.whole IS NOT NULL) THEN coalesce(f.whole, f.small::integer[]) || "
        "coalesce(i.whole, i.small::integer[]) END, "
        "data = CASE WHEN f.data IS NOT NULL OR i.data IS NOT NULL THEN "
        "coalesce(f.data, f.whole::double precision[], f.small::double precision[]) || "
        "coalesce(i.data, i.whole::double precision[], i.small::double precision[]) END "
        "FROM incoming_field i WHERE f.block = $1 AND f.field = i.field",
        {Number(m_block)});
    db.Execute("DELETE FROM incoming_field");
}

// The records from `from` on in new blocks, the first of them the block after the stored one.
void BlockAppender::CopyNewBlocks(Connection& db, std::size_t from) {
    std::int64_t block = m_storedCount > 0 ? m_block + 1 : m_block;
    BinaryRows blocks;
    for (std::size_t start = from; start < m_times.size(); start += kBlockRecords, ++block) {
        const std::size_t count =
            std::min(m_times.size() - start, static_cast<std::size_t>(kBlockRecords));
        const auto times = std::span(m_times).subspan(start, count);
        const auto [first, last] = std::minmax_element(times.begin(), times.end());
        blocks.Row(7);
        blocks.Int16(static_cast<int>(m_kind));
        blocks.Int64(block);
        blocks.Int64(*first);
        blocks.Int64(*last);
        blocks.Int32(static_cast<std::int32_t>(count));
        blocks.Int64Array(times);
        blocks.Int64Array(std::span(m_frameIds).subspan(start, count));
        // A whole new block after no stored one had its rows made as it filled up.
        if (m_storedCount > 0 || count < static_cast<std::size_t>(kBlockRecords))
            AppendFieldRows(block, start, count);
    }
    db.CopyBinary("value_block(kind, block, first_ms, last_ms, count, times, frame_ids)", blocks);
    db.CopyBinary("field_block(field, block, small, whole, data)", m_fieldRows);
}

// One statement per block whose stored records were received earlier than they were stored.
void BlockAppender::SaveLowered(Connection& db) {
    for (const auto& [block, places] : m_lowered) {
        std::vector<std::int64_t> at;
        std::vector<std::int64_t> times;
        for (const auto& [place, timeMs] : places) {
            at.push_back(place + 1);  // the server's arrays count from 1
            times.push_back(timeMs);
        }
        db.Execute(
            "UPDATE value_block v SET times = (SELECT array_agg(least(t, coalesce(l.ms, t)) "
            "ORDER BY o) FROM unnest(v.times) WITH ORDINALITY AS x(t, o) LEFT JOIN "
            "unnest($3::bigint[], $4::bigint[]) AS l(o, ms) USING (o)), "
            "first_ms = least(first_ms, (SELECT min(ms) FROM unnest($4::bigint[]) AS m(ms))) "
            "WHERE kind = $1 AND block = $2",
            {Number(static_cast<int>(m_kind)), Number(block), BigintArrayText(at),
             BigintArrayText(times)});
    }
    m_lowered.clear();
}

}  // namespace quorbel::postgres
