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
    SetRxTime(n, record.rxTime);
    ++m_generation;
}

void RecordStore::Clear() {
    m_count = 0;
    ++m_generation;
    // Entries keep their receive times across a clearing; the texts replaced since the last
    // clearing are dropped.
    std::string packed;
    packed.reserve(m_rxText.capacity());
    for (TextSpan& time : m_rxTimes) {
        const std::size_t offset = packed.size();
        packed.append(m_rxText, time.offset, time.length);
        time.offset = offset;
    }
    m_rxText = std::move(packed);
}

void RecordStore::FillNewest(int firstField, std::span<const double> values) {
    // The fields given that are the store's own, copied in one step.
    const int first = std::max(firstField, m_fields.first);
    const int last = std::min(firstField + static_cast<int>(values.size()) - 1, m_fields.last);
    if (first > last)
        return;
    const std::size_t row = Index(m_count) * m_width;
    std::copy_n(values.begin() + (first - firstField), last - first + 1,
                m_values.begin() + static_cast<std::ptrdiff_t>(
                                       row + static_cast<std::size_t>(first - m_fields.first)));
}

void RecordStore::MakeEntries(int n) {
    if (n <= Made())
        return;
    m_values.resize(static_cast<std::size_t>(n) * m_width);
    m_rxTimes.resize(static_cast<std::size_t>(n), TextSpan{m_rxText.size(), 0});
}

void RecordStore::SetRxTime(int n, std::string_view rxTime) {
    m_rxTimes[Index(n)] = {m_rxText.size(), rxTime.size()};
    m_rxText.append(rxTime);
}

}  // namespace quorbel
