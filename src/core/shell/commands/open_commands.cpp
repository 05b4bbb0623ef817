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

bool SelectSourceFiles(AppState& app, const std::string& filter) {
    const FileSelection selection = app.platform.SelectFiles({"", filter, true});
    if (selection.outcome == FileSelection::Outcome::TooMany) {
        app.platform.ShowMessage({"", kTooManyFilesMessage, MessageIcon::Information});
        return false;
    }
    if (selection.outcome != FileSelection::Outcome::Chosen || selection.paths.empty()) {
        return false;
    }
    // The list is sorted alphabetically, not case sensitive, and read in that order.
    std::vector<std::string> paths = selection.paths;
    std::stable_sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
        return ToLowerAscii(a) < ToLowerAscii(b);
    });
    app.ui.chosenFiles = std::move(paths);
    return true;
}

bool RefuseNonFileInput(AppState& app, const std::string& path) {
    const std::optional<std::string> problem = NonFileInputProblem(path);
    if (!problem)
        return false;
    app.platform.ShowMessage({kWindowTitle, *problem, MessageIcon::Warning});
    return true;
}

CommandOutcome RunOpenCommand(AppState& app, const std::string& filter,
                              const std::function<CommandOutcome(const std::string&)>& readFile) {
    CommandOutcome outcome;
    if (app.ui.reading)
        return outcome;  // a read is running: a second one would empty its stores
    PrepareOpenCommand(app);
    if (!SelectSourceFiles(app, filter))
        return outcome;
    ReadingGuard reading(app.ui);
    const std::vector<std::string> paths =
        app.ui.chosenFiles;  // a copy: events run during the reads
    for (const std::string& path : paths) {
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
