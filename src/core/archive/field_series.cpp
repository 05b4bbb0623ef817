// Bucketing of a field's samples into a series.
#include "archive/field_series.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorbel {
namespace {

int LimitBuckets(int buckets) {
    return std::clamp(buckets, 1, kMaxBuckets);
}

// The range's length, computed without overflow even for a range of all times.
std::uint64_t RangeLength(const TimeRange& range) {
    if (range.toMs <= range.fromMs)
        return 0;
    return static_cast<std::uint64_t>(range.toMs) - static_cast<std::uint64_t>(range.fromMs);
}

}  // namespace

std::int64_t BucketWidthMs(const TimeRange& range, int buckets) {
    const std::uint64_t length = RangeLength(range);
    const auto count = static_cast<std::uint64_t>(LimitBuckets(buckets));
    const std::uint64_t width = length / count + (length % count != 0 ? 1 : 0);
    return static_cast<std::int64_t>(
        std::clamp<std::uint64_t>(width, 1, std::numeric_limits<std::int64_t>::max()));
}

FieldSeriesBuilder::FieldSeriesBuilder(int field, const TimeRange& range, int buckets)
    : m_maxPoints(static_cast<std::size_t>(LimitBuckets(buckets))),
      m_width(BucketWidthMs(range, buckets)),
      m_inverseWidth(1.0 / static_cast<double>(m_width)) {
    m_series.field = field;
    m_series.range = range;
    const std::uint64_t length = RangeLength(range);
    const auto width = static_cast<std::uint64_t>(m_width);
    m_accumulators.resize(static_cast<std::size_t>(length / width + (length % width != 0)));
}

// The quotient offset / width by a multiplication: the estimate is at most one off (there are
// no more than kMaxBuckets buckets), and the check after it makes it exact.
std::size_t FieldSeriesBuilder::BucketOf(std::int64_t timeMs) const {
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

void FieldSeriesBuilder::Add(std::int64_t timeMs, double value) {
    if (timeMs < m_series.range.fromMs || timeMs >= m_series.range.toMs || std::isnan(value))
        return;
    ++m_count;
    if (m_series.points.size() < m_maxPoints)
        m_series.points.push_back({timeMs, value});
    Accumulator& bucket = m_accumulators[BucketOf(timeMs)];
    if (bucket.count == 0) {
        bucket.min = bucket.max = value;
    } else {
        bucket.min = std::min(bucket.min, value);
        bucket.max = std::max(bucket.max, value);
    }
    bucket.sum += value;
    ++bucket.count;
}

FieldSeries FieldSeriesBuilder::Finish() {
    FieldSeries series = std::move(m_series);
    if (m_count <= static_cast<std::int64_t>(m_maxPoints)) {
        std::stable_sort(
            series.points.begin(), series.points.end(),
            [](const FieldPoint& a, const FieldPoint& b) { return a.timeMs < b.timeMs; });
        return series;
    }
    series.points.clear();
    series.bucketWidthMs = m_width;
    for (std::size_t i = 0; i < m_accumulators.size(); ++i) {
        const Accumulator& a = m_accumulators[i];
        if (a.count == 0)
            continue;
        const auto start =
            static_cast<std::int64_t>(static_cast<std::uint64_t>(series.range.fromMs) +
                                      i * static_cast<std::uint64_t>(m_width));
        series.buckets.push_back(
            {start, a.min, a.max, a.sum / static_cast<double>(a.count), a.count});
    }
    return series;
}

}  // namespace quorbel
