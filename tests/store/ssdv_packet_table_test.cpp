// The SSDV packet table: the IDs it has entries for, one entry per packet however often it
// arrives, the latest copy kept, and the packets read back in packet ID order.
#include "store/ssdv_packet_table.hpp"

#include <gtest/gtest.h>

namespace quorbel {
namespace {

// A packet whose bytes all hold `fill`, so that copies can be told apart.
SsdvPacketBytes Filled(std::uint8_t fill) {
    SsdvPacketBytes bytes;
    bytes.fill(fill);
    return bytes;
}

TEST(SsdvPacketTable, KeepsImageAndPacketIdsFrom0To255Only) {
    SsdvPacketTable table;
    const struct {
        int imageId;
        int packetId;
        bool kept;
    } cases[] = {{0, 0, true},      {0, 255, true},    {255, 255, true}, {0, 256, false},
                 {255, 256, false}, {0, 65535, false}, {0, -1, false},   {256, 0, false},
                 {-1, 0, false},    {255, 0, true}};
    for (const auto& c : cases)
        EXPECT_EQ(table.Store(c.imageId, c.packetId, Filled(1)), c.kept)
            << c.imageId << "/" << c.packetId;
    EXPECT_EQ(table.Count(0), 2);
    EXPECT_EQ(table.Count(255), 2);
    EXPECT_EQ(table.Count(256), 0);
    EXPECT_EQ(table.Count(-1), 0);
    EXPECT_EQ(table.PacketsInOrder(0).size(), 2 * kSsdvPacketSize);
}

TEST(SsdvPacketTable, ARepeatedPacketIsCountedOnceAndReplacesTheEarlierCopy) {
    SsdvPacketTable table;
    table.Store(4, 9, Filled(0x09));
    table.Store(4, 2, Filled(0x02));
    table.Store(4, 255, Filled(0xFF));
    table.Store(4, 9, Filled(0x99));  // a corrected retransmission
    table.Store(4, 2, Filled(0x02));  // the same bytes again
    EXPECT_EQ(table.Count(4), 3);
    // The fill byte of each packet in packet ID order; every packet whole.
    const std::string packets = table.PacketsInOrder(4);
    ASSERT_EQ(packets.size(), 3 * kSsdvPacketSize);
    std::string fills;
    for (std::size_t at = 0; at < packets.size(); at += kSsdvPacketSize) {
        fills += packets[at];
        EXPECT_EQ(packets.substr(at, kSsdvPacketSize), std::string(kSsdvPacketSize, packets[at]));
    }
    EXPECT_EQ(fills, "\x02\x99\xFF");
    // Other images are untouched.
    EXPECT_EQ(table.Count(5), 0);
    EXPECT_EQ(table.PacketsInOrder(5), "");
}

}  // namespace
}  // namespace quorbel
