// Fuzzes one received frame: any bytes (and, as the SatNOGS source gives it, any hexadecimal text
// and receive time) through the dispatch and every decoder, into the two record stores, then the
// record detail view of a record and the listing of an SSDV packet.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "decode/ssdv_packet.hpp"
#include "fuzz_support.hpp"
#include "intake/dispatch.hpp"
#include "store/record_store.hpp"
#include "view/detail_view.hpp"

namespace {

using namespace quorbel;

// The stores start again every few frames: the detail view reads a few records, not thousands.
constexpr int kRecordsKept = 16;

void ApplyRecord(RecordStore& store, const DecodedRecord& decoded, const std::string& rxTime) {
    QUORBEL_FUZZ_CHECK(decoded.decodedCount >= 0 &&
                       decoded.decodedCount <= decoded.fields.last - decoded.fields.first + 1);
    if (store.Count() >= kRecordsKept)
        store.Clear();
    const auto n = store.Take();
    QUORBEL_FUZZ_CHECK(n.has_value());
    store.FillNewestRxTime(rxTime);
    const auto first = static_cast<std::size_t>(decoded.fields.first);
    store.FillNewest(
        decoded.fields.first,
        std::span(decoded.values).subspan(first, static_cast<std::size_t>(decoded.decodedCount)));
}

}  // namespace

// The input: a control byte, then (when the control byte asks for them) a receive time of up to
// 32 characters ended by a newline and a hexadecimal text ended by a newline, then the frame.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FrameState frame;
    static RecordStore telemetry{kBeaconFields};
    static RecordStore sensor{kSensorFields};
    if (size < 2)
        return 0;
    const std::uint8_t control = data[0];
    const std::uint8_t viewed = data[1];
    std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
    auto takeText = [&rest](std::size_t limit) {
        const std::size_t end = std::min(rest.find('\n'), std::min(limit, rest.size()));
        std::string text(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
        return text;
    };
    frame.rxTimeText = (control & 1) != 0 ? takeText(32) : "2026-03-01 12:00:00";
    std::string hex;
    const bool withHex = (control & 2) != 0;
    if (withHex)
        hex = takeText(600);
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(rest.data()),
                                              rest.size());

    const DecodedFrame decoded = DispatchFrame(frame, bytes, withHex ? &hex : nullptr);
    QUORBEL_FUZZ_CHECK(frame.hexText.size() == (withHex ? hex.size() : 2 * bytes.size()));
    switch (decoded.kind) {
        case FrameKind::Beacon:
            ApplyRecord(telemetry, decoded.record, frame.rxTimeText);
            break;
        case FrameKind::Sensor:
            ApplyRecord(sensor, decoded.record, frame.rxTimeText);
            break;
        case FrameKind::TextMessage:
        case FrameKind::DigipeatedMessage:
            QUORBEL_FUZZ_CHECK(decoded.line.text.ends_with("\r\n"));
            break;
        case FrameKind::SsdvPacket: {
            const std::string listing = ListSsdvPacket(decoded.packet, "packet.bin", "image.jpg");
            QUORBEL_FUZZ_CHECK(listing.ends_with("\r\n"));
            break;
        }
        case FrameKind::None:
            break;
    }
    QUORBEL_FUZZ_CHECK(FrameKindName(decoded.kind) != nullptr);

    // Record numbers from 1 to 5000: mostly those the stores hold, sometimes far past them.
    const int n = (viewed & 0x80) != 0 ? 1 + (viewed & 0x7F) * 39 : 1 + (viewed & 0x1F);
    const char mark = (control & 4) != 0 ? ',' : '.';
    const RecordView view = BuildRecordView(telemetry, sensor, n, frame.spacecraftId, mark);
    for (const auto& text : view.values)
        QUORBEL_FUZZ_CHECK(!text || text->find('\0') == std::string::npos);
    QUORBEL_FUZZ_CHECK(NavigationText(n, kStoreCapacity).starts_with("#"));
    return 0;
}
