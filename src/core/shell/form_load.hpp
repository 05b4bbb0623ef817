// Start-up: the catalogue, the image list and conf.ini applied to the window model.
#pragma once

#include <string>

namespace quorbel {

struct AppState;

// Applies one line of conf.ini (comments, unknown keys and malformed lines change nothing).
void ApplyConfLine(AppState& app, const std::string& line);
// Reads conf.ini from the application folder, if there is one.
void ReadConfIni(AppState& app);
// Fills the image list with the "ssdv*.jpg" files of the folder.
void FillImageList(AppState& app);
void Form_Load(AppState& app);

}  // namespace quorbel
