// Bucketing of a field's samples into a series.
#include "archive/field_series.hpp"

#include <algorithm>
#include <cmath>

namespace quorbel {
namespace {

int LimitBuckets(int buckets) {
    return std::clamp(buckets, 1, kMaxBuckets);
}

}  // namespace

std::int64_t BucketWidthMs(const TimeRange& range, int buckets) {
    const std::int64_t length = range.toMs - range.fromMs;
    const std::int64_t count = LimitBuckets(buckets);
    if (length <= 0)
        return 1;
    return std::max<std::int64_t>(1, (length + count - 1) / count);
}

FieldSeriesBuilder::FieldSeriesBuilder(int field, const TimeRange& range, int buckets)
    : m_maxPoints(static_cast<std::size_t>(LimitBuckets(buckets))),
      m_width(BucketWidthMs(range, buckets)) {
    m_series.field = field;
    m_series.range = range;
    const std::int64_t length = std::max<std::int64_t>(0, range.toMs - range.fromMs);
    m_accumulators.resize(static_cast<std::size_t>((length + m_width - 1) / m_width));
}

void FieldSeriesBuilder::Add(std::int64_t timeMs, double value) {
    if (timeMs < m_series.range.fromMs || timeMs >= m_series.range.toMs || std::isnan(value))
        return;
    ++m_count;
    if (m_series.points.size() < m_maxPoints)
        m_series.points.push_back({timeMs, value});
    Accumulator& bucket =
        m_accumulators[static_cast<std::size_t>((timeMs - m_series.range.fromMs) / m_width)];
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
        const std::int64_t start = series.range.fromMs + static_cast<std::int64_t>(i) * m_width;
        series.buckets.push_back(
            {start, a.min, a.max, a.sum / static_cast<double>(a.count), a.count});
    }
    return series;
}

}  // namespace quorbel
