// Field series: points when few, else equal-width buckets, checked against a direct computation
// over random samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <random>

#include "archive/field_series.hpp"

namespace quorbel {
namespace {

struct Sample {
    std::int64_t timeMs;
    double value;
};

// The buckets computed the plain way: every sample in range into bucket (t - from) / width.
std::map<std::int64_t, FieldBucket> DirectBuckets(const std::vector<Sample>& samples,
                                                  const TimeRange& range, std::int64_t width) {
    std::map<std::int64_t, FieldBucket> buckets;
    std::map<std::int64_t, double> sums;
    for (const Sample& s : samples) {
        if (s.timeMs < range.fromMs || s.timeMs >= range.toMs || std::isnan(s.value))
            continue;
        const std::int64_t start = range.fromMs + (s.timeMs - range.fromMs) / width * width;
        auto [it, made] = buckets.try_emplace(start, FieldBucket{start, s.value, s.value, 0, 0});
        it->second.min = std::min(it->second.min, s.value);
        it->second.max = std::max(it->second.max, s.value);
        ++it->second.count;
        sums[start] += s.value;
    }
    for (auto& [start, bucket] : buckets)
        bucket.mean = sums[start] / static_cast<double>(bucket.count);
    return buckets;
}

TEST(FieldSeriesTest, BucketsMatchDirectComputationOverRandomData) {
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        const std::int64_t from = 1'700'000'000'000 + random() % 100000;
        const std::int64_t length = 1 + random() % 5'000'000;
        const TimeRange range{from, from + length};
        const int buckets = 1 + static_cast<int>(random() % 300);
        std::vector<Sample> samples(random() % 3000);
        for (Sample& s : samples) {
            // Some samples fall outside the range on either side.
            s.timeMs = from - 1000 + static_cast<std::int64_t>(random() % (length + 2000));
            s.value = static_cast<double>(static_cast<int>(random() % 2001) - 1000) / 8;
            if (random() % 50 == 0)
                s.value = std::numeric_limits<double>::quiet_NaN();
        }
        // Samples in time order (as blocks mostly hold them), backwards, or in no order.
        const auto byTime = [](const Sample& a, const Sample& b) { return a.timeMs < b.timeMs; };
        if (round % 3 == 1)
            std::stable_sort(samples.begin(), samples.end(), byTime);
        else if (round % 3 == 2)
            std::stable_sort(samples.rbegin(), samples.rend(), byTime);
        FieldSeriesBuilder builder(12, range, buckets);
        for (const Sample& s : samples)
            builder.Add(s.timeMs, s.value);
        const FieldSeries series = builder.Finish();
        EXPECT_EQ(series.field, 12);

        const std::int64_t width = std::max<std::int64_t>(1, (length + buckets - 1) / buckets);
        const auto direct = DirectBuckets(samples, range, width);
        std::int64_t inRange = 0;
        for (const auto& [start, bucket] : direct)
            inRange += bucket.count;
        if (inRange <= buckets) {
            // Every sample in range as a point, in time order.
            EXPECT_EQ(series.bucketWidthMs, 0);
            EXPECT_TRUE(series.buckets.empty());
            ASSERT_EQ(static_cast<std::int64_t>(series.points.size()), inRange);
            EXPECT_TRUE(std::is_sorted(
                series.points.begin(), series.points.end(),
                [](const FieldPoint& a, const FieldPoint& b) { return a.timeMs < b.timeMs; }));
            continue;
        }
        EXPECT_EQ(series.bucketWidthMs, width);
        EXPECT_TRUE(series.points.empty());
        ASSERT_EQ(series.buckets.size(), direct.size()) << "round " << round;
        auto expected = direct.begin();
        for (const FieldBucket& bucket : series.buckets) {
            EXPECT_EQ(bucket.startMs, expected->second.startMs);
            EXPECT_EQ(bucket.count, expected->second.count);
            EXPECT_EQ(bucket.min, expected->second.min);
            EXPECT_EQ(bucket.max, expected->second.max);
            EXPECT_NEAR(bucket.mean, expected->second.mean, 1e-9);
            EXPECT_LT(bucket.startMs, range.toMs);
            ++expected;
        }
    }
}

TEST(FieldSeriesTest, PointsKeepStoringOrderAtEqualTimesAndEdgesHold) {
    FieldSeriesBuilder builder(3, {100, 200}, 10);
    builder.Add(150, 2);
    builder.Add(120, 1);
    builder.Add(150, 3);
    builder.Add(200, 9);  // the range's end is outside it
    builder.Add(99, 9);
    const FieldSeries series = builder.Finish();
    ASSERT_EQ(series.points.size(), 3u);
    EXPECT_EQ(series.points[0].value, 1);
    EXPECT_EQ(series.points[1].value, 2);
    EXPECT_EQ(series.points[2].value, 3);

    // A range shorter than the buckets asked for: buckets of 1 ms.
    EXPECT_EQ(BucketWidthMs({0, 5}, 2000), 1);
    EXPECT_EQ(BucketWidthMs({0, 2001}, 2000), 2);
    EXPECT_EQ(BucketWidthMs({0, 10}, 0), 10);
    // A range of all times: no overflow in the width, the buckets or their starts.
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    FieldSeriesBuilder all(3, {kMin, kMax}, 2);
    all.Add(kMin, 1);
    all.Add(0, 2);
    all.Add(kMax - 1, 3);
    const FieldSeries wide = all.Finish();
    ASSERT_GE(wide.buckets.size(), 2u);
    std::int64_t counted = 0;
    for (std::size_t i = 0; i < wide.buckets.size(); ++i) {
        counted += wide.buckets[i].count;
        if (i > 0) {
            EXPECT_GT(wide.buckets[i].startMs, wide.buckets[i - 1].startMs);
        }
    }
    EXPECT_EQ(counted, 3);
    EXPECT_EQ(wide.buckets.front().startMs, kMin);
    EXPECT_EQ(wide.buckets.front().min, 1);
    EXPECT_EQ(wide.buckets.back().max, 3);

    FieldSeriesBuilder empty(3, {10, 10}, 5);
    empty.Add(10, 1);
    EXPECT_TRUE(empty.Finish().points.empty());
}

}  // namespace
}  // namespace quorbel
