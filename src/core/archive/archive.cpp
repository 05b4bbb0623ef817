// What the archive makes of a frame's bytes on their own, and the names of reception sources.
#include "archive/archive.hpp"

#include "archive/frame_digest.hpp"
#include "view/detail_view.hpp"

namespace quorbel {

const char* ReceptionSourceName(ReceptionSource source) {
    switch (source) {
        case ReceptionSource::Live:
            return "live";
        case ReceptionSource::CaptureFile:
            return "capture";
        case ReceptionSource::Export:
            return "export";
    }
    return "live";
}

ArchiveDecode DecodeForArchive(std::span<const std::uint8_t> bytes, const std::string& rxTimeText) {
    ArchiveDecode result;
    DecodeForArchive(bytes, rxTimeText, result);
    return result;
}

void DecodeForArchive(std::span<const std::uint8_t> bytes, const std::string& rxTimeText,
                      ArchiveDecode& result) {
    // A fresh frame buffer: what an earlier frame left in it must not reach this one's values.
    // The thread's one frame state is made new each time, keeping only its texts' room.
    thread_local FrameState frame;
    std::string hexText = std::move(frame.hexText);
    std::string timeText = std::move(frame.rxTimeText);
    frame = FrameState{};
    frame.hexText = std::move(hexText);
    frame.hexText.clear();
    frame.rxTimeText = std::move(timeText);
    frame.rxTimeText.assign(rxTimeText);
    const DecodedFrame decoded = DispatchFrame(frame, bytes);

    result.kind = decoded.kind;
    result.spacecraftId = frame.spacecraftId;
    result.satellite = SatelliteName(frame.spacecraftId);
    result.firstField = 0;
    result.values.clear();
    result.text.clear();
    result.imageId = -1;
    result.packetId = -1;
    switch (decoded.kind) {
        case FrameKind::Beacon:
        case FrameKind::Sensor: {
            const DecodedRecord& record = decoded.record;
            result.firstField = record.fields.first;
            const auto first = record.values.begin() + record.fields.first;
            result.values.assign(first, first + record.decodedCount);
            break;
        }
        case FrameKind::TextMessage:
        case FrameKind::DigipeatedMessage: {
            result.text = decoded.line.text;
            while (!result.text.empty() &&
                   (result.text.back() == '\n' || result.text.back() == '\r'))
                result.text.pop_back();
            break;
        }
        case FrameKind::SsdvPacket:
            result.imageId = decoded.packet.imageId;
            result.packetId = decoded.packet.packetId;
            break;
        case FrameKind::None:
            break;
    }
}

void PrepareForArchive(Reception& reception) {
    reception.digest = FrameDigest(reception.bytes);
    if (!reception.decode)
        reception.decode.emplace();
    DecodeForArchive(reception.bytes, reception.rxTimeText, *reception.decode);
}

std::int64_t DigestOf(const Reception& reception) {
    return reception.digest ? *reception.digest : FrameDigest(reception.bytes);
}

const ArchiveDecode& DecodeOf(const Reception& reception, ArchiveDecode& made) {
    if (reception.decode)
        return *reception.decode;
    made = DecodeForArchive(reception.bytes, reception.rxTimeText);
    return made;
}

}  // namespace quorbel
