// The two record stores: up to 5000 decoded beacons or sensor frames each, numbered from 1.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "decode/field_table.hpp"

namespace quorbel {

inline constexpr int kStoreCapacity = 5000;

struct TelemetryRecord {
    std::array<double, kFieldCount> values{};
    std::string rxTime;
    std::string reserved1;
    std::string reserved2;
};

class RecordStore {
  public:
    RecordStore() : m_records(std::make_unique<std::array<TelemetryRecord, kStoreCapacity>>()) {}

    int Count() const { return m_count; }
    bool IsFull() const { return m_count >= kStoreCapacity; }
    // Record n, 1 to 5000; entries above the count hold what they held before.
    const TelemetryRecord& Record(int n) const {
        return (*m_records)[static_cast<std::size_t>(n - 1)];
    }
    // Write access to any record: counted as a change of the store's records.
    TelemetryRecord& Record(int n) {
        ++m_generation;
        return (*m_records)[static_cast<std::size_t>(n - 1)];
    }
    // The newest record, just taken, for filling in: the records before it stay as they are.
    TelemetryRecord& FillNewest() { return (*m_records)[static_cast<std::size_t>(m_count - 1)]; }
    static bool IsValidNumber(int n) { return n >= 1 && n <= kStoreCapacity; }

    // Takes the next entry: its number, or none when the store is full.
    std::optional<int> Take() {
        if (IsFull())
            return std::nullopt;
        return ++m_count;
    }
    void Clear() {
        m_count = 0;
        ++m_generation;
    }
    // Counts the clearings and the write accesses to records other than filling in the newest:
    // within one generation, records that were there before stay as they were.
    std::uint64_t Generation() const { return m_generation; }

  private:
    std::unique_ptr<std::array<TelemetryRecord, kStoreCapacity>> m_records;
    int m_count = 0;
    std::uint64_t m_generation = 0;
};

}  // namespace quorbel
