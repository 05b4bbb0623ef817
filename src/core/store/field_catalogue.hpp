// The stores' operations on the running program: appending a record, clearing, and writing the
// field catalogue into the window.
#pragma once

#include <optional>

namespace quorbel {

struct AppState;
class RecordStore;

// Takes the next record of the store and stamps it with the receive time; sets HScroll1.Max to
// the new count. None when the store is full.
std::optional<int> AppendRecord(AppState& app, RecordStore& store);
void ClearStores(AppState& app);
// Captions to the field selectors, units to their labels; hides the progress bar.
void ApplyFieldCatalogue(AppState& app);

}  // namespace quorbel
