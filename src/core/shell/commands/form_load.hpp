// Start-up: the catalogue, the image list and conf.ini applied to the window model.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorbel {

struct AppState;
struct Settings;

// Captions to the field selectors, units to their labels; hides the progress bar.
void ApplyFieldCatalogue(AppState& app);
// Applies one line of conf.ini (comments, unknown keys and malformed lines change nothing; a
// TCP_PORT value that is not a port is left out and named in the settings' tcpPortProblem).
void ApplyConfLine(AppState& app, std::string_view line);
// Reads conf.ini from the application folder, if there is one; one that cannot be read leaves
// its path and the system's reason in the settings.
void ReadConfIni(AppState& app);
// Why the live client cannot connect with the settings: the TCP_PORT line that gave no port, or,
// with no host or port, the conf.ini that could not be read; none when nothing stands in the way.
std::optional<std::string> LiveSettingsProblem(const Settings& settings);
// Fills the image list with the "ssdv*.jpg" files of its folder.
void FillImageList(AppState& app);
// Start-up: the catalogue, the stale temporary files of the application folder removed, the
// image list and conf.ini, whose problems the status line shows.
void StartUp(AppState& app);

}  // namespace quorbel
