// The two record stores: up to 5000 decoded beacons or sensor frames each, numbered from 1.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/large_pages.hpp"
#include "decode/field_table.hpp"

namespace quorbel {

inline constexpr int kStoreCapacity = 5000;

// One record as a whole: the values of all fields by field number, the receive time and two
// reserved texts.
struct TelemetryRecord {
    std::array<double, kFieldCount> values{};
    std::string rxTime;
    std::string reserved1;
    std::string reserved2;
};

// The records of one frame kind. A store keeps of each record only the values of its own fields
// (a beacon's 67, a sensor frame's 37) and the receive time; the other fields of its records are
// never filled and read as 0. The receive times stand one after the other in one text. Entries
// are made when they are first taken, so a store takes no more memory than it was ever filled
// with, rounded up to whole large pages of 2 MB where the system gives them: the values of two
// full stores take 4.2 MB (6 MB in large pages) where 10,000 whole records would take 8.6 MB.
class RecordStore {
  public:
    explicit RecordStore(FieldRange fields)
        : m_fields(fields), m_width(static_cast<std::size_t>(fields.last - fields.first + 1)) {
        m_values.reserve(kStoreCapacity * m_width);
        m_rxTimes.reserve(kStoreCapacity);
        m_rxText.reserve(kStoreCapacity * kUsualRxTimeLength);
    }

    FieldRange Fields() const { return m_fields; }
    int Count() const { return m_count; }
    bool IsFull() const { return m_count >= kStoreCapacity; }
    static bool IsValidNumber(int n) { return n >= 1 && n <= kStoreCapacity; }

    // Field `field` of record n, 1 to 5000; 0 outside the store's fields and for entries never
    // taken. Entries above the count hold what they held before.
    double Value(int n, int field) const {
        if (!m_fields.Contains(field) || n < 1 || n > Made())
            return 0;
        return m_values[Index(n) * m_width + static_cast<std::size_t>(field - m_fields.first)];
    }
    // The receive time of record n; empty for entries never taken. The view stays valid until
    // the store changes.
    std::string_view RxTime(int n) const {
        if (n < 1 || n > Made())
            return {};
        const TextSpan& time = m_rxTimes[Index(n)];
        return std::string_view(m_rxText).substr(time.offset, time.length);
    }
    // Record n as a whole record.
    TelemetryRecord Record(int n) const;
    // Puts the store's fields and the receive time of `record` into record n, 1 to 5000, taken or
    // not: counted as a change of the store's records.
    void SetRecord(int n, const TelemetryRecord& record);

    // Takes the next entry: its number, or none when the store is full.
    std::optional<int> Take() {
        if (IsFull())
            return std::nullopt;
        ++m_count;
        MakeEntries(m_count);
        return m_count;
    }
    // Filling in the newest record, just taken: values of the fields from `firstField` on (those
    // outside the store's are dropped), and its receive time. The records before it stay as they
    // are.
    void FillNewest(int firstField, std::span<const double> values);
    void FillNewestRxTime(std::string_view rxTime) { SetRxTime(m_count, rxTime); }
    // Empties the store; its entries keep what they held until they are taken again.
    void Clear();
    // Counts the clearings and the changes of records other than filling in the newest: within
    // one generation, records that were there before stay as they were.
    std::uint64_t Generation() const { return m_generation; }

  private:
    // Where a receive time stands in m_rxText.
    struct TextSpan {
        std::size_t offset = 0;
        std::size_t length = 0;
    };
    // A receive time as a capture's text stamps give it: "yyyy-MM-dd HH:nn:ss.mmm UTC".
    static constexpr std::size_t kUsualRxTimeLength = 27;

    int Made() const { return static_cast<int>(m_rxTimes.size()); }
    static std::size_t Index(int n) { return static_cast<std::size_t>(n - 1); }
    // Entries up to n, with all values 0 and no receive time.
    void MakeEntries(int n);
    // A new receive time for entry n goes to the end of the text; its old one stays there unused
    // until the next clearing packs the text.
    void SetRxTime(int n, std::string_view rxTime);

    FieldRange m_fields;
    std::size_t m_width;
    // m_width values per entry made, the store's fields; a full beacon store's 2.7 MB are
    // filled as a capture is read, so they lie in large pages.
    std::vector<double, LargePageAllocator<double>> m_values;
    std::vector<TextSpan> m_rxTimes;  // one per entry made
    std::string m_rxText;
    int m_count = 0;
    std::uint64_t m_generation = 0;
};

}  // namespace quorbel
