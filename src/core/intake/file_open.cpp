// The steps the two open commands share: preparing the window, the file choice and the end of a
// read.
#include "intake/file_open.hpp"

#include <algorithm>

#include "shell/app_state.hpp"
#include "store/field_catalogue.hpp"
#include "view/detail_view.hpp"
#include "view/value_chart.hpp"

namespace quorbel {
namespace {

std::string ToLowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

void PrepareOpenCommand(AppState& app) {
    ApplyFieldCatalogue(app);
    for (std::string& box : app.ui.Text1)
        box.clear();
    ClearStores(app);
    app.ui.Text5.clear();
    app.ui.RichTextBox1.Clear();
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
    app.ui.List3 = std::move(paths);
    return true;
}

void RunOpenCommand(AppState& app, const std::string& filter,
                    const std::function<void(const std::string&)>& readFile) {
    if (app.ui.Reading)
        return;  // a read is running: a second one would empty its stores
    PrepareOpenCommand(app);
    if (!SelectSourceFiles(app, filter))
        return;
    ReadingGuard reading(app.ui);
    const std::vector<std::string> paths = app.ui.List3;  // a copy: events run during the reads
    for (const std::string& path : paths) {
        app.sourceFileName = path;
        app.ui.Text4 = path;
        readFile(path);
    }
}

void PerformEndOfReadSteps(AppState& app) {
    app.ui.Busy = false;
    if (!app.ui.Option1Value[0]) {
        app.ui.Option1Value[0] = true;
        Option1_Click(app, 0);
    }
    Option1_Click(app, 1);
    HScroll1_Change(app);
    app.ui.ProgressBar1.visible = false;
}

}  // namespace quorbel
