// A field's series over a time range, made from its (time, value) samples in storing order: the
// samples themselves when they are few, else minimum, maximum and mean per bucket of equal width.
// Every storage of the archive gathers its samples its own way and builds the series here.
#pragma once

#include <cstdint>
#include <vector>

#include "archive/archive.hpp"

namespace quorbel {

// Series of more buckets than this are made of this many (a chart is never wider).
inline constexpr int kMaxBuckets = 1'000'000;

// The width of each of `buckets` equal buckets over the range: ceil((to - from) / buckets),
// at least 1 ms (`buckets` limited as below).
std::int64_t BucketWidthMs(const TimeRange& range, int buckets);

class FieldSeriesBuilder {
  public:
    // `buckets` below 1 counts as 1, above kMaxBuckets as kMaxBuckets.
    FieldSeriesBuilder(int field, const TimeRange& range, int buckets);

    // One record's value; samples outside the range and values that are not a number are left
    // out (a chart cannot place them).
    void Add(std::int64_t timeMs, double value);

    // Points (in time order, then storing order) when no more samples than buckets were added,
    // else the buckets that hold samples.
    FieldSeries Finish();

  private:
    std::size_t BucketOf(std::int64_t timeMs) const;

    struct Accumulator {
        double min = 0;
        double max = 0;
        double sum = 0;
        std::int64_t count = 0;
    };

    FieldSeries m_series;
    std::size_t m_maxPoints;
    std::int64_t m_width;
    double m_inverseWidth;
    std::int64_t m_count = 0;
    std::vector<Accumulator> m_accumulators;
};

}  // namespace quorbel
