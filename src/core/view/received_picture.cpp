// In-process decoding of the packets received so far.
#include "view/received_picture.hpp"

#include "ssdv/decoder.hpp"

namespace quorbel {

ReceivedPicture DecodeReceivedPicture(const SsdvPacketTable& table, int imageId) {
    ReceivedPicture picture;
    picture.imageId = imageId;
    picture.packets = table.Count(imageId);
    const std::string packets = table.PacketsInOrder(imageId);
    if (packets.empty())
        return picture;
    ssdv::DecodeResult decoded = ssdv::DecodeImage(
        std::span(reinterpret_cast<const std::uint8_t*>(packets.data()), packets.size()),
        kSsdvPacketSize);
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
