// Received frames applied to the stores, the navigation bar and the message log.
#include "shell/commands/frame_commands.hpp"

#include <algorithm>

#include "intake/dispatch.hpp"
#include "intake/read_diagnostics.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/archive_commands.hpp"
#include "shell/commands/ssdv_commands.hpp"

namespace quorbel {
namespace {

bool ApplyRecord(AppState& app, RecordStore& store, const DecodedRecord& decoded) {
    const std::optional<int> n = AppendRecord(app, store);
    if (!n)
        return false;
    // Fields that were not decoded keep what the entry held before.
    const auto first = static_cast<std::size_t>(decoded.fields.first);
    store.FillNewest(
        decoded.fields.first,
        std::span(decoded.values).subspan(first, static_cast<std::size_t>(decoded.decodedCount)));
    return true;
}

}  // namespace

std::optional<int> AppendRecord(AppState& app, RecordStore& store) {
    const std::optional<int> n = store.Take();
    if (!n)
        return std::nullopt;  // a full store refuses the frame silently
    app.ui.recordScrollBar.SetMax(*n);
    store.FillNewestRxTime(app.frame.rxTimeText);
    return n;
}

void ClearStores(AppState& app) {
    app.telemetry.Clear();
    app.sensor.Clear();
}

bool ApplyDecodedFrame(AppState& app, const DecodedFrame& decoded, CommandOutcome* outcome) {
    switch (decoded.kind) {
        case FrameKind::Beacon:
            return ApplyRecord(app, app.telemetry, decoded.record);
        case FrameKind::Sensor:
            return ApplyRecord(app, app.sensor, decoded.record);
        case FrameKind::TextMessage:
        case FrameKind::DigipeatedMessage:
            app.ui.messageLog.InsertAtInsertionPoint(decoded.line.text, decoded.line.colour);
            break;
        case FrameKind::SsdvPacket:
            HandleSsdvPacket(app, decoded.packet, outcome);
            break;
        case FrameKind::None:
            break;
    }
    return true;
}

FrameKind ReceiveFrame(AppState& app, std::span<const std::uint8_t> frame,
                       const std::string* hexText, ReadDiagnostics* diagnostics,
                       CommandOutcome* outcome) {
    ArchiveFrame(app, frame);
    const DecodedFrame decoded = DispatchFrame(app.frame, frame, hexText);
    const bool stored = ApplyDecodedFrame(app, decoded, outcome);
    if (diagnostics != nullptr) {
        diagnostics->CountFrame(decoded.kind);
        if (!stored)
            ++diagnostics->droppedAtCap;
    }
    return decoded.kind;
}

}  // namespace quorbel
