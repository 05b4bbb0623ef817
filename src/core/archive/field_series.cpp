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
