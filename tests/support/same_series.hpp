// Two field series checked alike to the bit: the same bucket width, the same points in order, or
// the same buckets with the same start, count, minimum, maximum and mean.
#pragma once

#include <gtest/gtest.h>

#include "archive/archive.hpp"

namespace quorbel::testing {

inline void ExpectSameSeries(const FieldSeries& got, const FieldSeries& expected) {
    EXPECT_EQ(got.bucketWidthMs, expected.bucketWidthMs);
    ASSERT_EQ(got.points.size(), expected.points.size());
    for (std::size_t i = 0; i < got.points.size(); ++i) {
        EXPECT_EQ(got.points[i].timeMs, expected.points[i].timeMs) << "point " << i;
        EXPECT_EQ(got.points[i].value, expected.points[i].value) << "point " << i;
    }
    ASSERT_EQ(got.buckets.size(), expected.buckets.size());
    for (std::size_t i = 0; i < got.buckets.size(); ++i) {
        const FieldBucket& a = got.buckets[i];
        const FieldBucket& b = expected.buckets[i];
        EXPECT_TRUE(a.startMs == b.startMs && a.count == b.count && a.min == b.min &&
                    a.max == b.max && a.mean == b.mean)
            << "bucket " << i << " at " << a.startMs << ": " << a.count << " records, " << a.min
            << " to " << a.max << ", mean " << a.mean << "; expected at " << b.startMs << ": "
            << b.count << " records, " << b.min << " to " << b.max << ", mean " << b.mean;
    }
}

}  // namespace quorbel::testing
