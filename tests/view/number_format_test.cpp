// Number texts of the views and exports.
#include "common/number_format.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quorbel {
namespace {

TEST(NumberFormatTest, GeneralNumberHasUpTo15SignificantDigits) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {-200, "-200"},
        {4294967295.0, "4294967295"},
        {0.5, "0.5"},
        {static_cast<double>(0.15f), "0.150000005960464"},
        {123456789012345.0, "123456789012345"},
        {-999999999999999.0, "-999999999999999"},
        {999999999999999.5, "1E+15"},
        {1e15, "1E+15"},
        {0.0001, "0.0001"},
        {0.00001, "1E-05"},
        {-0.0, "0"},
        {1.0 / 3.0, "0.333333333333333"},
        {std::numeric_limits<double>::quiet_NaN(), "NaN"},
        {-std::numeric_limits<double>::infinity(), "-Infinity"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatGeneralNumber(c.value), c.text) << c.text;
    EXPECT_EQ(FormatGeneralNumber(-1.25, ','), "-1,25");
    // Appended to a line, the decimal mark goes into the new value only.
    std::string line = "12.5;";
    AppendGeneralNumber(line, -1.25, ',');
    AppendGeneralNumber(line, 1e20, ',');
    EXPECT_EQ(line, "12.5;-1,251E+20");
}

TEST(NumberFormatTest, FixedDecimalsAndHexadecimal) {
    EXPECT_EQ(FormatFixed(21.0, 3), "21.000");
    EXPECT_EQ(FormatFixed(0.0626, 3), "0.063");
    EXPECT_EQ(FormatFixed(-3.14159, 3, ','), "-3,142");
    EXPECT_EQ(FormatFixed(124.1398, 1), "124.1");
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::infinity(), 3), "Infinity");

    EXPECT_EQ(FormatHex(305419896), "12345678");
    EXPECT_EQ(FormatHex(10), "A");
    EXPECT_EQ(FormatHex(0), "0");
    EXPECT_EQ(FormatHex(4294967295.0), "FFFFFFFF");
    EXPECT_EQ(FormatHex(2147483648.0), "80000000");
    EXPECT_FALSE(FormatHex(-1));
    EXPECT_FALSE(FormatHex(1.5));
    EXPECT_FALSE(FormatHex(std::nan("")));
}

TEST(NumberFormatTest, EpochSecondsAsCalendarTime) {
    EXPECT_EQ(FormatEpochSeconds(0), "1970-01-01 00:00:00");
    EXPECT_EQ(FormatEpochSeconds(1700000000), "2023-11-14 22:13:20");
    EXPECT_EQ(FormatEpochSeconds(-86400), "1969-12-31 00:00:00");
    EXPECT_EQ(FormatEpochSeconds(1673785696.768), "2023-01-15 12:28:17");
    EXPECT_EQ(FormatEpochSeconds(951782400), "2000-02-29 00:00:00");
    EXPECT_EQ(FormatEpochSeconds(253402300799.0), "9999-12-31 23:59:59");
    EXPECT_FALSE(FormatEpochSeconds(253402300800.0));
    EXPECT_FALSE(FormatEpochSeconds(std::nan("")));
    EXPECT_FALSE(FormatEpochSeconds(1e300));
}

}  // namespace
}  // namespace quorbel
