// A field's series over a time range, made from its (time, value) samples in storing order: the
// samples themselves when they are few, else minimum, maximum and mean per bucket of equal width.
// Every storage of the archive gathers its samples its own way and builds the series here.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
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
    // out (a chart cannot place them). Inline: a query adds every record of its range.
    void Add(std::int64_t timeMs, double value);

    // Points (in time order, then storing order) when no more samples than buckets were added,
    // else the buckets that hold samples.
    FieldSeries Finish();

  private:
    std::size_t BucketOf(std::int64_t timeMs) const;

    struct Accumulator {
        double min = std::numeric_limits<double>::infinity();
        double max = -std::numeric_limits<double>::infinity();
        double sum = 0;
        std::int64_t count = 0;
    };

    FieldSeries m_series;
    std::size_t m_maxPoints;
    std::int64_t m_width;
    double m_inverseWidth;
    std::int64_t m_count = 0;
    std::vector<Accumulator> m_accumulators;
    // The bucket of the last sample and the offset from the range's start where it begins: the
    // samples of a block mostly follow one another in time, so the next one mostly falls in it.
    std::size_t m_lastBucket = 0;
    std::uint64_t m_lastBucketOffset = 0;
};

// The quotient offset / width by a multiplication: the estimate is at most one off (there are
// no more than kMaxBuckets buckets), and the check after it makes it exact.
inline std::size_t FieldSeriesBuilder::BucketOf(std::int64_t timeMs) const {
    const std::uint64_t offset =
        static_cast<std::uint64_t>(timeMs) - static_cast<std::uint64_t>(m_series.range.fromMs);
    const auto width = static_cast<std::uint64_t>(m_width);
    auto index = static_cast<std::uint64_t>(static_cast<double>(offset) * m_inverseWidth);
    if (index * width > offset)
        --index;
    else if (offset - index * width >= width)
        ++index;
    return std::min(static_cast<std::size_t>(index), m_accumulators.size() - 1);
}

inline void FieldSeriesBuilder::Add(std::int64_t timeMs, double value) {
    if (timeMs < m_series.range.fromMs || timeMs >= m_series.range.toMs || std::isnan(value))
        return;
    ++m_count;
    if (m_series.points.size() < m_maxPoints)
        m_series.points.push_back({timeMs, value});
    const std::uint64_t offset =
        static_cast<std::uint64_t>(timeMs) - static_cast<std::uint64_t>(m_series.range.fromMs);
    const auto width = static_cast<std::uint64_t>(m_width);
    if (offset - m_lastBucketOffset >= width) {  // before the last bucket (wrapped) or after it
        m_lastBucket = BucketOf(timeMs);
        m_lastBucketOffset = static_cast<std::uint64_t>(m_lastBucket) * width;
    }
    Accumulator& bucket = m_accumulators[m_lastBucket];
    bucket.min = std::min(bucket.min, value);
    bucket.max = std::max(bucket.max, value);
    bucket.sum += value;
    ++bucket.count;
}

}  // namespace quorbel
