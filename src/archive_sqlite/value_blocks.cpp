// Appending records to the value blocks of a kind, and correcting a record's receive time.
#include "value_blocks.hpp"

#include <algorithm>

#include "archive/column_codec.hpp"

namespace quorbel::sqlite {

OpenValueBlock::OpenValueBlock(Database& db, FrameKind kind, FieldRange fields)
    : m_db(db),
      m_kind(kind),
      m_fields(fields),
      m_selectLast(db,
                   "SELECT block, count, times, decoded FROM value_block WHERE kind = ?1 "
                   "ORDER BY block DESC LIMIT 1"),
      m_selectFields(db,
                     "SELECT field, data FROM field_block WHERE field BETWEEN ?1 AND ?2 "
                     "AND block = ?3"),
      m_saveBlock(db,
                  "INSERT OR REPLACE INTO value_block(kind, block, first_ms, last_ms, count, "
                  "times, decoded) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"),
      m_saveField(db, "INSERT OR REPLACE INTO field_block(field, block, data) VALUES (?1, ?2, ?3)"),
      m_selectTimes(db, "SELECT count, times FROM value_block WHERE kind = ?1 AND block = ?2"),
      m_updateTimes(db,
                    "UPDATE value_block SET times = ?3, first_ms = min(first_ms, ?4) "
                    "WHERE kind = ?1 AND block = ?2") {}

// The columns keep their room from batch to batch: an import appends to them all the time.
void OpenValueBlock::Forget() {
    m_loaded = false;
    m_changed = false;
    m_times.clear();
    m_decodedCounts.clear();
    for (auto& values : m_fieldValues)
        values.clear();
}

void OpenValueBlock::Load() {
    if (m_loaded)
        return;
    Forget();
    m_fieldValues.resize(static_cast<std::size_t>(m_fields.last - m_fields.first + 1));
    for (auto& values : m_fieldValues)
        values.reserve(kBlockRecords);
    m_block = 0;
    m_loaded = true;
    ResetOnExit resetLast(m_selectLast);
    m_selectLast.Bind(1, static_cast<std::int64_t>(m_kind));
    if (!m_selectLast.Step())
        return;  // the kind's first block
    m_block = m_selectLast.Int64(0);
    const auto count = static_cast<std::size_t>(m_selectLast.Int64(1));
    if (count >= kBlockRecords) {
        ++m_block;  // the last block is full: a new one starts
        return;
    }
    m_times = DecodeTimeColumn(m_selectLast.Blob(2), count);
    m_decodedCounts = DecodeTimeColumn(m_selectLast.Blob(3), count);
    for (auto& values : m_fieldValues)
        values.assign(count, 0.0);
    ResetOnExit resetFields(m_selectFields);
    m_selectFields.Bind(1, std::int64_t{m_fields.first})
        .Bind(2, std::int64_t{m_fields.last})
        .Bind(3, m_block);
    while (m_selectFields.Step()) {
        const auto field = static_cast<int>(m_selectFields.Int64(0));
        if (m_fields.Contains(field)) {
            const auto values = DecodeValueColumn(m_selectFields.Blob(1), count);
            m_fieldValues[static_cast<std::size_t>(field - m_fields.first)].assign(values.begin(),
                                                                                   values.end());
        }
    }
}

std::int64_t OpenValueBlock::NextRecord() {
    Load();
    if (m_times.size() >= kBlockRecords)
        return (m_block + 1) * kBlockRecords;
    return m_block * kBlockRecords + static_cast<std::int64_t>(m_times.size());
}

void OpenValueBlock::Append(std::int64_t timeMs, const ArchiveDecode& decode) {
    Load();
    if (m_times.size() >= kBlockRecords) {
        WriteBlock();
        ++m_block;
        m_times.clear();
        m_decodedCounts.clear();
        for (auto& values : m_fieldValues)
            values.clear();
    }
    const std::size_t decoded = std::min(decode.values.size(), m_fieldValues.size());
    m_times.push_back(timeMs);
    m_decodedCounts.push_back(static_cast<std::int64_t>(decoded));
    // Fields past the decoded ones hold 0: the decoded count says they have no value.
    for (std::size_t i = 0; i < m_fieldValues.size(); ++i)
        m_fieldValues[i].push_back(i < decoded ? decode.values[i] : 0.0);
    m_changed = true;
}

void OpenValueBlock::LowerTime(std::int64_t record, std::int64_t timeMs) {
    Load();
    const std::int64_t block = record / kBlockRecords;
    const auto place = static_cast<std::size_t>(record % kBlockRecords);
    if (block == m_block && place < m_times.size()) {
        m_times[place] = std::min(m_times[place], timeMs);
        m_changed = true;
        return;
    }
    std::vector<std::int64_t> times;
    {
        ResetOnExit reset(m_selectTimes);
        m_selectTimes.Bind(1, static_cast<std::int64_t>(m_kind)).Bind(2, block);
        if (!m_selectTimes.Step())
            return;
        times = DecodeTimeColumn(m_selectTimes.Blob(1),
                                 static_cast<std::size_t>(m_selectTimes.Int64(0)));
    }
    if (place >= times.size())
        return;
    times[place] = std::min(times[place], timeMs);
    const auto encoded = EncodeTimeColumn(times);
    ResetOnExit reset(m_updateTimes);
    m_updateTimes.Bind(1, static_cast<std::int64_t>(m_kind))
        .Bind(2, block)
        .Bind(3, encoded)
        .Bind(4, timeMs);
    m_updateTimes.Step();
}

void OpenValueBlock::Save() {
    if (m_loaded && m_changed && !m_times.empty())
        WriteBlock();
    m_changed = false;
}

void OpenValueBlock::WriteBlock() {
    const auto [first, last] = std::minmax_element(m_times.begin(), m_times.end());
    {
        const auto times = EncodeTimeColumn(m_times);
        const auto decodedCounts = EncodeTimeColumn(m_decodedCounts);
        ResetOnExit reset(m_saveBlock);
        m_saveBlock.Bind(1, static_cast<std::int64_t>(m_kind))
            .Bind(2, m_block)
            .Bind(3, *first)
            .Bind(4, *last)
            .Bind(5, static_cast<std::int64_t>(m_times.size()))
            .Bind(6, times)
            .Bind(7, decodedCounts);
        m_saveBlock.Step();
    }
    for (std::size_t i = 0; i < m_fieldValues.size(); ++i) {
        const auto values = EncodeValueColumn(m_fieldValues[i]);
        ResetOnExit reset(m_saveField);
        m_saveField.Bind(1, static_cast<std::int64_t>(m_fields.first + static_cast<int>(i)))
            .Bind(2, m_block)
            .Bind(3, values);
        m_saveField.Step();
    }
}

}  // namespace quorbel::sqlite
