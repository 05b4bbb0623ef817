// Column encoding: every column comes back bit for bit, in the narrowest form that holds it.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "archive/column_codec.hpp"

namespace quorbel {
namespace {

TEST(ColumnCodecTest, ValuesComeBackExactlyInTheNarrowestForm) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        std::vector<double> values;
        ColumnForm form;
        std::size_t size;  // encoded bytes
    };
    const std::vector<Case> cases = {
        {{}, ColumnForm::Integers, 10},
        {{5, 5, 5}, ColumnForm::Integers, 13},
        {{-100, 100, 0}, ColumnForm::Integers, 13},  // a span of 200 fits one byte
        {{-40000, 25000}, ColumnForm::Integers, 14},
        {{0, 4294967295.0}, ColumnForm::Integers, 18},
        {{-9007199254740992.0, 9007199254740992.0}, ColumnForm::Integers, 26},
        {{0.5, -1.25, 3}, ColumnForm::Float32, 13},
        {{0.1, 2}, ColumnForm::Float64, 17},
        {{1, -0.0}, ColumnForm::Float32, 9},  // -0 keeps its sign
        {{1, nan}, ColumnForm::Float64, 17},
        {{inf, -inf}, ColumnForm::Float32, 9},
        {{1e300, 1}, ColumnForm::Float64, 17},
    };
    for (const Case& c : cases) {
        const auto encoded = EncodeValueColumn(c.values);
        ASSERT_FALSE(encoded.empty());
        EXPECT_EQ(static_cast<ColumnForm>(encoded[0]), c.form) << c.values.size();
        EXPECT_EQ(encoded.size(), c.size);
        const auto decoded = DecodeValueColumn(encoded, c.values.size());
        ASSERT_EQ(decoded.size(), c.values.size());
        for (std::size_t i = 0; i < decoded.size(); ++i)
            EXPECT_EQ(std::bit_cast<std::uint64_t>(decoded[i]),
                      std::bit_cast<std::uint64_t>(c.values[i]))
                << "value " << c.values[i];
    }
}

TEST(ColumnCodecTest, TimesRoundTripAndDamageIsAnError) {
    const std::vector<std::int64_t> times = {1700000000000, 1700000000500, 1699999999000,
                                             std::numeric_limits<std::int64_t>::min(),
                                             std::numeric_limits<std::int64_t>::max()};
    EXPECT_EQ(DecodeTimeColumn(EncodeTimeColumn(times), times.size()), times);
    const std::vector<std::int64_t> close = {1700000000000, 1700000003000};
    EXPECT_EQ(EncodeTimeColumn(close).size(), 10u + 2 * 2);

    auto encoded = EncodeValueColumn(std::vector<double>{1, 2, 3});
    EXPECT_THROW(DecodeValueColumn(encoded, 4), ArchiveError);
    EXPECT_THROW(DecodeValueColumn({}, 0), ArchiveError);
    encoded[0] = 99;
    EXPECT_THROW(DecodeValueColumn(encoded, 3), ArchiveError);
    encoded[0] = static_cast<std::uint8_t>(ColumnForm::Integers);
    encoded[1] = 3;  // no such offset width
    EXPECT_THROW(DecodeValueColumn(encoded, 3), ArchiveError);
    const auto floats = EncodeValueColumn(std::vector<double>{0.5});
    EXPECT_THROW(DecodeTimeColumn(floats, 1), ArchiveError);
}

}  // namespace
}  // namespace quorbel
