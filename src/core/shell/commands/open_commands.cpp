// The two open commands: the frame they share and the end of every read.
#include "shell/commands/open_commands.hpp"

#include <algorithm>

#include "common/files.hpp"
#include "common/text.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/form_load.hpp"
#include "shell/commands/frame_commands.hpp"
#include "shell/commands/record_commands.hpp"
#include "shell/commands/ssdv_commands.hpp"
#include "shell/commands/view_refresh.hpp"

namespace quorbel {

void PrepareOpenCommand(AppState& app) {
    ApplyFieldCatalogue(app);
    for (std::string& box : app.ui.fieldValues)
        box.clear();
    ClearStores(app);
    app.ui.readerLog.clear();
    app.ui.diagnostics.clear();
    app.ui.messageLog.Clear();
}

std::vector<std::string> SortForReading(std::vector<std::string> paths) {
    std::stable_sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
        return ToLowerAscii(a) < ToLowerAscii(b);
    });
    return paths;
}

bool RefuseNonFileInput(AppState& app, const std::string& path) {
    const std::optional<std::string> problem = NonFileInputProblem(path);
    if (!problem)
        return false;
    app.platform.ShowMessage({kWindowTitle, *problem, MessageIcon::Warning});
    return true;
}

CommandOutcome RunOpenCommand(AppState& app, const std::vector<std::string>& paths,
                              const std::function<CommandOutcome(const std::string&)>& readFile) {
    CommandOutcome outcome;
    if (app.ui.reading)
        return outcome;  // a read is running: a second one would empty its stores
    // The record view and the chart are built once, after the last file.
    ViewEvent event(app);
    PrepareOpenCommand(app);
    if (paths.empty())
        return outcome;  // the dialog was cancelled: the window stays prepared
    app.ui.chosenFiles = SortForReading(paths);
    ReadingGuard reading(app.ui);
    const std::vector<std::string> chosen =
        app.ui.chosenFiles;  // a copy: events run during the reads
    for (const std::string& path : chosen) {
        if (RefuseNonFileInput(app, path)) {
            outcome.AddNotRead(path);  // the message box has said why
            continue;
        }
        app.sourceFileName = path;
        app.ui.statusLine = path;
        outcome.Merge(readFile(path));
    }
    return outcome;
}

void PerformEndOfReadSteps(AppState& app) {
    ViewEvent event(app);
    ShowPendingPicture(app);
    app.ui.busy = false;
    if (!app.ui.fieldSelected[0]) {
        app.ui.fieldSelected[0] = true;
        SelectField(app, 0);
    }
    SelectField(app, 1);
    ShowSelectedRecord(app);
    app.ui.progress.visible = false;
}

}  // namespace quorbel
