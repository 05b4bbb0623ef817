// Start-up: the catalogue, the image list and conf.ini applied to the window model.
#pragma once

#include <string_view>

namespace quorbel {

struct AppState;

// Captions to the field selectors, units to their labels; hides the progress bar.
void ApplyFieldCatalogue(AppState& app);
// Applies one line of conf.ini (comments, unknown keys and malformed lines change nothing).
void ApplyConfLine(AppState& app, std::string_view line);
// Reads conf.ini from the application folder, if there is one.
void ReadConfIni(AppState& app);
// Fills the image list with the "ssdv*.jpg" files of its folder.
void FillImageList(AppState& app);
void StartUp(AppState& app);

}  // namespace quorbel
