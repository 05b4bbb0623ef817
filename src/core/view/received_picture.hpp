// The picture of an image while its packets arrive: decoded in process from the packet table,
// so it grows with every packet instead of waiting for a decoding run. Missing parts of the image
// are grey, as the codec leaves them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/ssdv_packet_table.hpp"

namespace quorbel {

struct ReceivedPicture {
    int imageId = 0;
    std::vector<std::uint8_t> jpeg;  // empty when no packet of the image could be decoded
    int width = 0;                   // pixels
    int height = 0;
    int packets = 0;        // packets of the image in the table
    bool complete = false;  // the image's last part has arrived
};

ReceivedPicture DecodeReceivedPicture(const SsdvPacketTable& table, int imageId);

// What the picture box says of it: "Image 7, 320 x 240: 23 packets", ", complete" once the last
// part is in.
std::string DescribeReceivedPicture(const ReceivedPicture& picture);

}  // namespace quorbel
