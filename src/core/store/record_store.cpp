// The record stores: each record's own fields in one array, entries made as they are taken.
#include "store/record_store.hpp"

#include <algorithm>

namespace quorbel {

TelemetryRecord RecordStore::Record(int n) const {
    TelemetryRecord record;
    for (int field = m_fields.first; field <= m_fields.last; ++field)
        record.values[static_cast<std::size_t>(field)] = Value(n, field);
    record.rxTime = RxTime(n);
    return record;
}

void RecordStore::SetRecord(int n, const TelemetryRecord& record) {
    MakeEntries(n);
    const auto first = static_cast<std::ptrdiff_t>(m_fields.first);
    std::copy_n(record.values.begin() + first, m_width,
                m_values.begin() + static_cast<std::ptrdiff_t>(Index(n) * m_width));
    m_rxTimes[Index(n)] = record.rxTime;
    ++m_generation;
}

void RecordStore::FillNewest(int firstField, std::span<const double> values) {
    const std::size_t row = Index(m_count) * m_width;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int field = firstField + static_cast<int>(i);
        if (m_fields.Contains(field))
            m_values[row + static_cast<std::size_t>(field - m_fields.first)] = values[i];
    }
}

void RecordStore::MakeEntries(int n) {
    if (n <= Made())
        return;
    m_values.resize(static_cast<std::size_t>(n) * m_width);
    m_rxTimes.resize(static_cast<std::size_t>(n));
}

}  // namespace quorbel
