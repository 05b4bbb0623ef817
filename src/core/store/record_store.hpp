// The two record stores: up to 5000 decoded beacons or sensor frames each, numbered from 1.
#pragma once

#include <array>
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
    TelemetryRecord& Record(int n) { return (*m_records)[static_cast<std::size_t>(n - 1)]; }
    static bool IsValidNumber(int n) { return n >= 1 && n <= kStoreCapacity; }

    // Takes the next entry: its number, or none when the store is full.
    std::optional<int> Take() {
        if (IsFull())
            return std::nullopt;
        return ++m_count;
    }
    void Clear() { m_count = 0; }

  private:
    std::unique_ptr<std::array<TelemetryRecord, kStoreCapacity>> m_records;
    int m_count = 0;
};

}  // namespace quorbel
