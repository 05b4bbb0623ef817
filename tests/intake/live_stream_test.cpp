// The live stream's framing: FEND splits across arrivals, the length limit, the frames kept and
// the records of the capture file.
#include "intake/live_stream.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "common/number_format.hpp"

namespace quorbel {
namespace {

std::vector<Bytes> FeedAll(KissDeframer& deframer, const std::vector<Bytes>& arrivals) {
    std::vector<Bytes> pieces;
    for (const Bytes& arrival : arrivals) {
        deframer.Feed(arrival, [&](std::span<const std::uint8_t> piece) {
            pieces.emplace_back(piece.begin(), piece.end());
        });
    }
    return pieces;
}

TEST(LiveStreamTest, FramesAreCutAtFendAcrossArrivals) {
    KissDeframer deframer(kMaxLiveFrameBytes);
    // Noise before the first FEND is dropped; a frame split between FESC and TFEND is whole.
    const auto pieces = FeedAll(
        deframer,
        {{0x11, 0x22, 0xC0, 0x00, 0x01, 0xDB}, {0xDC, 0x02, 0xC0, 0xC0}, {0x00, 0x03, 0xC0, 0x00}});
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0], (Bytes{0x00, 0x01, 0xDB, 0xDC, 0x02}));
    EXPECT_TRUE(pieces[1].empty());
    EXPECT_EQ(pieces[2], (Bytes{0x00, 0x03}));
    EXPECT_EQ(ReadLiveFrame(pieces[0]).unescaped, (Bytes{0x00, 0x01, 0xC0, 0x02}));

    // A new connection starts again at its first FEND.
    deframer.Reset();
    EXPECT_EQ(FeedAll(deframer, {{0x05, 0xC0, 0x07, 0xC0}}), (std::vector<Bytes>{{0x07}}));
}

TEST(LiveStreamTest, AnUnendingFrameIsDiscardedAndCounted) {
    KissDeframer deframer(kMaxLiveFrameBytes);
    Bytes flood(1 << 20, 0x55);  // 1 MiB without FEND after a start
    flood[0] = 0xC0;
    EXPECT_TRUE(FeedAll(deframer, {flood}).empty());
    EXPECT_EQ(deframer.Discarded(), 1u);
    // The next FEND ends the discarded frame; what follows is framed as usual.
    EXPECT_EQ(FeedAll(deframer, {{0xC0, 0x01, 0xC0}}), (std::vector<Bytes>{{0x01}}));
    // 64 KiB between two FENDs is kept, one byte more is not, in one arrival or in many.
    for (const std::size_t length : {65535u, 65536u, 65537u}) {
        for (const std::size_t arrivals : {1u, 3u}) {
            KissDeframer cut(kMaxLiveFrameBytes);
            Bytes stream(length + 2, 0x01);
            stream.front() = 0xC0;
            stream.back() = 0xC0;
            std::vector<Bytes> pieces;
            const std::size_t step = stream.size() / arrivals + 1;
            for (std::size_t at = 0; at < stream.size(); at += step)
                pieces.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(at),
                                    stream.begin() + static_cast<std::ptrdiff_t>(
                                                         std::min(at + step, stream.size())));
            const auto kept = FeedAll(cut, pieces);
            const bool fits = length <= 65536;
            ASSERT_EQ(kept.size(), fits ? 1u : 0u) << length << " in " << arrivals;
            if (fits) {
                EXPECT_EQ(kept[0].size(), length);
            }
            EXPECT_EQ(cut.Discarded(), fits ? 0u : 1u) << length << " in " << arrivals;
        }
    }
}

TEST(LiveStreamTest, OnlyFramesOfMoreThan100BytesAfterTheCommandByteAreKept) {
    EXPECT_FALSE(ReadLiveFrame(Bytes(101, 0x00)).IsRecorded());  // command byte + 100
    EXPECT_TRUE(ReadLiveFrame(Bytes(102, 0x00)).IsRecorded());
    // Counted after unescaping: 101 escaped bytes that unescape to fewer are not kept.
    Bytes escaped(100, 0x00);
    escaped.push_back(0xDB);
    escaped.push_back(0xDC);
    EXPECT_FALSE(ReadLiveFrame(escaped).IsRecorded());
    EXPECT_FALSE(ReadLiveFrame({}).IsRecorded());
    EXPECT_EQ(ReadLiveFrame(Bytes{0x00, 0x09, 0x2C}).Frame().size(), 2u);
}

TEST(LiveStreamTest, CaptureRecordsAreStampFramesAndTheFrameAsReceived) {
    const std::string stamp = FormatUtcStamp(
        std::chrono::system_clock::time_point(std::chrono::milliseconds(1673786096789)));
    EXPECT_EQ(stamp, "2023-01-15 12:34:56.789");
    EXPECT_EQ(FormatUtcStamp(std::chrono::system_clock::time_point(std::chrono::milliseconds(5))),
              "1970-01-01 00:00:00.005");
    const Bytes piece{0x00, 0xDB, 0xDC, 0x41};
    const std::string record = BuildCaptureRecord(stamp, piece);
    EXPECT_EQ(record, std::string("\xC0\x09") + "2023-01-15 12:34:56.789 UTC" + "\xC0" +
                          std::string("\xC0\x00\xDB\xDC\x41\xC0", 6));
}

}  // namespace
}  // namespace quorbel
