// The SSDV packets received while the program runs, by image ID and packet ID (0 to 255 each).
// Never cleared: packets of every file read and of the live stream add up, and a packet received
// again replaces its earlier copy.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "decode/ssdv_packet.hpp"

namespace quorbel {

class SsdvPacketTable {
  public:
    static constexpr int kImageCount = 256;
    static constexpr int kPacketsPerImage = 256;

    // Keeps the packet at (image, packet); false for an image or packet ID the table has no entry
    // for (packet IDs of 256 and more).
    bool Store(int imageId, int packetId, const SsdvPacketBytes& bytes) {
        if (imageId < 0 || imageId >= kImageCount || packetId < 0 || packetId >= kPacketsPerImage)
            return false;
        std::unique_ptr<Image>& image = m_images[static_cast<std::size_t>(imageId)];
        if (!image)
            image = std::make_unique<Image>();
        std::optional<SsdvPacketBytes>& entry = image->packets[static_cast<std::size_t>(packetId)];
        if (!entry)
            ++image->count;
        entry = bytes;
        return true;
    }

    // The number of packets held for the image.
    int Count(int imageId) const {
        const Image* image = Find(imageId);
        return image ? image->count : 0;
    }

    // Calls visit(const SsdvPacketBytes&) for each of the image's packets in packet ID order.
    template <typename Visit>
    void ForEachPacket(int imageId, Visit visit) const {
        if (const Image* image = Find(imageId)) {
            for (const std::optional<SsdvPacketBytes>& entry : image->packets) {
                if (entry)
                    visit(*entry);
            }
        }
    }

    // The image's packets in packet ID order, one after the other without gaps.
    std::string PacketsInOrder(int imageId) const {
        std::string packets;
        packets.reserve(static_cast<std::size_t>(Count(imageId)) * kSsdvPacketSize);
        ForEachPacket(imageId, [&packets](const SsdvPacketBytes& packet) {
            packets.append(reinterpret_cast<const char*>(packet.data()), packet.size());
        });
        return packets;
    }

  private:
    struct Image {
        std::array<std::optional<SsdvPacketBytes>, kPacketsPerImage> packets;
        int count = 0;
    };

    const Image* Find(int imageId) const {
        if (imageId < 0 || imageId >= kImageCount)
            return nullptr;
        return m_images[static_cast<std::size_t>(imageId)].get();
    }

    // An image's entries are made when its first packet arrives.
    std::array<std::unique_ptr<Image>, kImageCount> m_images;
};

}  // namespace quorbel
