// In-process decoding of the packets received so far.
#include "view/received_picture.hpp"

#include <optional>

#include "ssdv/decoder.hpp"
#include "ssdv/packet.hpp"

namespace quorbel {

ReceivedPicture DecodeReceivedPicture(const SsdvPacketTable& table, int imageId) {
    ReceivedPicture picture;
    picture.imageId = imageId;
    picture.packets = table.Count(imageId);
    // The table's packets stand one per entry: each is checked (and repaired) on its own and a
    // damaged one left out, instead of the decoder's byte-by-byte search past it, which would
    // cost a repair attempt at every offset on every packet that arrives after it.
    std::vector<std::uint8_t> valid;
    valid.reserve(static_cast<std::size_t>(picture.packets) * kSsdvPacketSize);
    table.ForEachPacket(imageId, [&valid](const SsdvPacketBytes& bytes) {
        if (const std::optional<ssdv::ValidatedPacket> packet = ssdv::ValidatePacket(bytes)) {
            valid.insert(valid.end(), packet->bytes.begin(),
                         packet->bytes.begin() + static_cast<std::ptrdiff_t>(kSsdvPacketSize));
        }
    });
    if (valid.empty())
        return picture;
    ssdv::DecodeResult decoded = ssdv::DecodeImage(valid, kSsdvPacketSize);
    if (!decoded.image)
        return picture;
    picture.jpeg = std::move(decoded.jpeg);
    picture.width = decoded.image->width;
    picture.height = decoded.image->height;
    picture.complete = decoded.complete;
    return picture;
}

std::string DescribeReceivedPicture(const ReceivedPicture& picture) {
    std::string text = "Image " + std::to_string(picture.imageId);
    if (!picture.jpeg.empty())
        text += ", " + std::to_string(picture.width) + " x " + std::to_string(picture.height);
    text +=
        ": " + std::to_string(picture.packets) + (picture.packets == 1 ? " packet" : " packets");
    if (picture.complete)
        text += ", complete";
    return text;
}

}  // namespace quorbel
