// What the archive makes of a frame's bytes on their own, and the names of reception sources.
#include "archive/archive.hpp"

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
    // A fresh frame buffer: what an earlier frame left in it must not reach this one's values.
    FrameState frame;
    frame.rxTimeText = rxTimeText;
    const DecodedFrame decoded = DispatchFrame(frame, bytes);

    ArchiveDecode result;
    result.kind = decoded.kind;
    result.spacecraftId = frame.spacecraftId;
    result.satellite = SatelliteName(frame.spacecraftId);
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
            std::string text = decoded.line.text;
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
                text.pop_back();
            result.text = std::move(text);
            break;
        }
        case FrameKind::SsdvPacket:
            result.imageId = decoded.packet.imageId;
            result.packetId = decoded.packet.packetId;
            break;
        case FrameKind::None:
            break;
    }
    return result;
}

}  // namespace quorbel
