// The image browser's selection handler.
#include "shell/commands/image_commands.hpp"

#include "common/files.hpp"
#include "shell/app_state.hpp"

namespace quorbel {

void ShowListedImage(AppState& app, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= app.ui.imageFiles.size()) {
        return;
    }
    const std::string& name = app.ui.imageFiles[static_cast<std::size_t>(index)];
    const std::string path = JoinPath(app.ui.imageFolder, name);
    if (app.platform.CanLoadPicture(path)) {
        app.ui.picture = {path, {}, name};
    }
}

}  // namespace quorbel
