// The image browser's selection handler.
#pragma once

namespace quorbel {

struct AppState;

// Shows entry `index` of File1 (counted from 0) in Picture1. An entry that is out of range or
// cannot be loaded as a picture leaves Picture1 as it was.
void File1_Click(AppState& app, int index);

}  // namespace quorbel
