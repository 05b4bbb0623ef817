// KISS unescaping order (the deframer is checked with the live stream's framing).
#include "intake/kiss.hpp"

#include <gtest/gtest.h>

namespace quorbel {
namespace {

TEST(KissTest, UnescapeRunsTheTwoPassesInOrder) {
    const struct {
        Bytes in, out;
    } cases[] = {
        {{0xDB, 0xDC}, {0xC0}},
        {{0xDB, 0xDD}, {0xDB}},
        {{0xDB, 0xDD, 0xDC}, {0xDB, 0xDC}},  // a FESC then a plain 0xDC, not 0xC0
        {{0xDB, 0xDC, 0xDD}, {0xC0, 0xDD}},
        {{0xDB, 0x01, 0xDB}, {0xDB, 0x01, 0xDB}},  // a lone FESC stays
        {{0x01, 0xDB, 0xDD, 0xDD}, {0x01, 0xDB, 0xDD}},
        {{}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UnescapeKiss(c.in), c.out);
}

}  // namespace
}  // namespace quorbel
