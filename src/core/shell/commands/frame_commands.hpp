// Received frames: each dispatched, and what its decoder returned applied to the stores, the
// navigation bar and the message log.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quorbel {

struct AppState;
struct CommandOutcome;
struct DecodedFrame;
struct ReadDiagnostics;
enum class FrameKind;
class RecordStore;

// Takes the next record of the store and stamps it with the frame's receive time; sets
// recordScrollBar.Max to the new count. None when the store is full.
std::optional<int> AppendRecord(AppState& app, RecordStore& store);
void ClearStores(AppState& app);

// A decoded beacon or sensor frame becomes a new record of its store (a full store refuses it
// silently); a message line goes into the message log at its insertion point; an SSDV packet goes
// to its image (its packet file's failure named in `outcome`, when given). False when a full
// store refused the record.
bool ApplyDecodedFrame(AppState& app, const DecodedFrame& decoded,
                       CommandOutcome* outcome = nullptr);

// One frame of any source: handed to the archive (ArchiveFrame), dispatched and applied; its kind.
// The source sets the frame's receive time before; hexText is the SatNOGS source's own text of the
// frame. A file read passes its diagnostics, which count the frame's kind and a record refused by a
// full store; the live client passes its outcome, which names a packet file that could not be
// appended to.
FrameKind ReceiveFrame(AppState& app, std::span<const std::uint8_t> frame,
                       const std::string* hexText = nullptr, ReadDiagnostics* diagnostics = nullptr,
                       CommandOutcome* outcome = nullptr);

}  // namespace quorbel
