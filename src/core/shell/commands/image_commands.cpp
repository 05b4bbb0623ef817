// The image browser's selection handler.
#include "shell/commands/image_commands.hpp"

#include "common/files.hpp"
#include "shell/app_state.hpp"

namespace quorbel {

void File1_Click(AppState& app, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= app.ui.File1.size()) {
        return;
    }
    const std::string& name = app.ui.File1[static_cast<std::size_t>(index)];
    const std::string path = JoinPath(app.ui.File1Folder, name);
    if (app.platform.CanLoadPicture(path)) {
        app.ui.Picture1 = {path, {}, name};
    }
}

}  // namespace quorbel
