// KISS unescaping order and the byte-at-a-time deframer.
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

TEST(KissTest, DeframerHandsOnPiecesBetweenFends) {
    KissDeframer deframer;
    std::vector<Bytes> pieces;
    auto collect = [&](std::span<const std::uint8_t> piece) {
        pieces.emplace_back(piece.begin(), piece.end());
    };
    // Bytes before the first FEND are lost; an empty piece between two FENDs is handed on.
    const Bytes stream{0x01, 0x02, 0xC0, 0x00, 0x11, 0xC0, 0xC0, 0x00, 0x22};
    deframer.Feed(stream, collect);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0], (Bytes{0x00, 0x11}));
    EXPECT_TRUE(pieces[1].empty());
    // The unfinished frame waits for the rest of the stream.
    deframer.Feed(Bytes{0x33, 0xC0}, collect);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[2], (Bytes{0x00, 0x22, 0x33}));
}

}  // namespace
}  // namespace quorbel
