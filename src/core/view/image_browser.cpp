// The image browser's selection handler.
#include "view/image_browser.hpp"

#include "shell/app_state.hpp"
#include "shell/text_file.hpp"

namespace quorbel {

void File1_Click(AppState& app, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= app.ui.File1.size()) {
        return;
    }
    const std::string path =
        JoinPath(app.ui.File1Folder, app.ui.File1[static_cast<std::size_t>(index)]);
    if (app.platform.CanLoadPicture(path)) {
        app.ui.Picture1 = path;
    }
}

}  // namespace quorbel
