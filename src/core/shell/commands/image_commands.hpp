// The image browser's selection handler.
#pragma once

namespace quorbel {

struct AppState;

// Shows entry `index` of imageFiles (counted from 0) in the picture box. An entry that is out of
// range or cannot be loaded as a picture leaves the picture box as it was.
void ShowListedImage(AppState& app, int index);

}  // namespace quorbel
