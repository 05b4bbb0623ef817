// Fuzzes the SSDV packet table with a run of packets stored one after the other, image and packet
// IDs of any 16-bit value (those beyond 0 to 255 among them, as a damaged header gives them), and
// repeats with the same or other bytes. A plain map of what was stored last says what the table
// must hold: one entry per image and packet ID, the latest copy, in packet ID order.
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "fuzz_support.hpp"
#include "store/ssdv_packet_table.hpp"

namespace {

using namespace quorbel;

// Big-endian and signed, so that -1, 255, 256 and 65535 are all a few bytes away.
int ReadId(const std::uint8_t* bytes) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]));
}

}  // namespace

// The input: packets of five bytes each, image ID (2 bytes), packet ID (2 bytes) and the byte
// that fills the packet.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SsdvPacketTable table;
    std::map<std::pair<int, int>, std::uint8_t> stored;  // (image, packet) -> fill of the last copy
    std::set<int> images;
    for (std::size_t at = 0; at + 5 <= size; at += 5) {
        const int imageId = ReadId(data + at);
        const int packetId = ReadId(data + at + 2);
        SsdvPacketBytes bytes;
        bytes.fill(data[at + 4]);
        const bool inTable = imageId >= 0 && imageId < 256 && packetId >= 0 && packetId < 256;
        QUORBEL_FUZZ_CHECK(table.Store(imageId, packetId, bytes) == inTable);
        images.insert(imageId);
        if (inTable)
            stored[{imageId, packetId}] = data[at + 4];
    }
    for (const int imageId : images) {
        std::string expected;
        for (auto entry = stored.lower_bound({imageId, 0});
             entry != stored.end() && entry->first.first == imageId; ++entry)
            expected.append(kSsdvPacketSize, static_cast<char>(entry->second));
        QUORBEL_FUZZ_CHECK(table.Count(imageId) ==
                           static_cast<int>(expected.size() / kSsdvPacketSize));
        QUORBEL_FUZZ_CHECK(table.PacketsInOrder(imageId) == expected);
    }
    return 0;
}
