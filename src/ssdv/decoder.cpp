// Packet search in a byte stream and the selection and ordering of packets for one image.
#include "decoder.hpp"

#include <algorithm>
#include <cstdlib>

#include "jpeg_rebuilder.hpp"

namespace quorbel::ssdv {
namespace {

std::string DescribePacket(const ValidatedPacket& packet) {
    const PacketHeader& h = packet.header;
    return "Decoded image packet. Callsign: \"" + DecodeCallsign(h.callsignCode) +
           "\", Image ID: " + std::to_string(h.imageId) +
           ", Resolution: " + std::to_string(h.Width()) + "x" + std::to_string(h.Height()) +
           ", Packet ID: " + std::to_string(h.packetId) + " (" +
           std::to_string(packet.correctedSymbols) + " errors corrected)";
}

std::string DescribeFields(const ValidatedPacket& packet) {
    const PacketHeader& h = packet.header;
    return ">> Type: " + std::to_string(h.type == PacketType::Fec ? 0 : 1) +
           ", Quality: " + std::to_string(h.quality) + ", EOI: " + (h.endOfImage ? "1" : "0") +
           ", MCU Mode: " + std::to_string(static_cast<int>(h.mode)) +
           ", MCU Offset: " + std::to_string(h.mcuOffset) +
           ", MCU ID: " + std::to_string(h.mcuIndex) + "/" + std::to_string(h.McuCount());
}

bool IsSameImage(const PacketHeader& a, const PacketHeader& b) {
    return a.imageId == b.imageId && a.widthUnits == b.widthUnits &&
           a.heightUnits == b.heightUnits && a.mode == b.mode && a.quality == b.quality;
}

ImageInfo DescribeImage(const PacketHeader& h) {
    ImageInfo info;
    info.callsign = DecodeCallsign(h.callsignCode);
    info.imageId = h.imageId;
    info.width = h.Width();
    info.height = h.Height();
    info.mcuCount = h.McuCount();
    info.mode = h.mode;
    info.quality = h.quality;
    return info;
}

// Keeps the packets of the first packet's image, sorted by packet ID, first copy of each ID.
std::vector<const ValidatedPacket*> SelectImagePackets(const std::vector<ValidatedPacket>& found,
                                                       std::vector<std::string>& notes) {
    std::vector<const ValidatedPacket*> chosen;
    std::size_t foreign = 0;
    for (const ValidatedPacket& packet : found) {
        if (IsSameImage(packet.header, found.front().header)) {
            chosen.push_back(&packet);
        } else {
            ++foreign;
        }
    }
    if (foreign > 0) {
        notes.push_back("Ignored " + std::to_string(foreign) +
                        " packets of another image (different image ID, size, mode or quality)");
    }
    std::stable_sort(chosen.begin(), chosen.end(), [](const auto* a, const auto* b) {
        return a->header.packetId < b->header.packetId;
    });
    const auto duplicates = std::unique(
        chosen.begin(), chosen.end(),
        [](const auto* a, const auto* b) { return a->header.packetId == b->header.packetId; });
    const auto dropped = static_cast<std::size_t>(chosen.end() - duplicates);
    if (dropped > 0) {
        notes.push_back("Dropped " + std::to_string(dropped) + " duplicate packets");
        chosen.erase(duplicates, chosen.end());
    }
    return chosen;
}

}  // namespace

std::vector<ValidatedPacket> FindPackets(std::span<const std::uint8_t> data,
                                         std::size_t packetLength, const DecodeOptions& options,
                                         std::vector<std::string>* packetLog) {
    std::vector<ValidatedPacket> found;
    if (packetLength < kMinDecodePacketLength || packetLength > kMaxPacketLength) {
        return found;
    }
    std::size_t at = 0;
    while (data.size() - at >= packetLength) {
        if (options.dropPercent > 0 && std::rand() % 100 < options.dropPercent) {
            at += packetLength;
            continue;
        }
        const std::size_t windowStart = at;
        std::optional<ValidatedPacket> packet;
        while (!(packet = ValidatePacket(data.subspan(at, packetLength)))) {
            if (data.size() - at <= packetLength) {
                return found;
            }
            ++at;
        }
        if (packetLog != nullptr && options.verbose) {
            if (at > windowStart) {
                packetLog->push_back("Skipped " + std::to_string(at - windowStart) + " bytes.");
            }
            packetLog->push_back(DescribePacket(*packet));
            packetLog->push_back(DescribeFields(*packet));
        }
        found.push_back(*packet);
        at += packetLength;
    }
    return found;
}

DecodeResult DecodeImage(std::span<const std::uint8_t> data, std::size_t packetLength,
                         const DecodeOptions& options) {
    DecodeResult result;
    if (packetLength < kMinDecodePacketLength || packetLength > kMaxPacketLength) {
        result.error = "Invalid SSDV packet length";
        return result;
    }
    const std::vector<ValidatedPacket> found =
        FindPackets(data, packetLength, options, &result.packetLog);
    result.packetsRead = found.size();
    if (found.empty()) {
        result.error = "No valid SSDV packet found";
        return result;
    }
    result.image = DescribeImage(found.front().header);
    JpegRebuilder rebuilder(found.front().header);
    const std::vector<const ValidatedPacket*> chosen = SelectImagePackets(found, result.notes);
    std::size_t unused = 0;
    for (const ValidatedPacket* packet : chosen) {
        if (rebuilder.IsComplete()) {
            ++unused;
            continue;
        }
        const FeedOutcome outcome = rebuilder.Feed(*packet, result.notes);
        if (outcome == FeedOutcome::Decoded || outcome == FeedOutcome::Completed) {
            ++result.packetsUsed;
        }
    }
    if (unused > 0) {
        result.notes.push_back("Ignored " + std::to_string(unused) +
                               " packets after the image was complete");
    }
    result.complete = rebuilder.IsComplete();
    result.jpeg = rebuilder.Finish();
    return result;
}

}  // namespace quorbel::ssdv
