// The settings the window takes from the system and its command line: the application folder and
// the decimal mark.
#pragma once

#include <QStringList>
#include <optional>
#include <string>

#include "shell/app_folder.hpp"
#include "shell/app_state.hpp"

namespace quorbel::gui {

// The window's own command-line options (Qt's, such as -platform, are taken by QApplication).
struct WindowOptions {
    std::optional<std::string> appDir;  // --app-dir DIR
    bool quitAfterStart = false;        // --quit-after-start: start, show, end (for checks)
    bool help = false;                  // --help, -h: answered before Qt starts
};

// Reads the options after the program name; the error text for a wrong command line.
std::optional<QString> ParseWindowOptions(const QStringList& arguments, WindowOptions& options);
QString WindowUsage();

// Gives Qt the application name that names the user's data folder (and no organisation), so
// QStandardPaths arrives at the folder quorbel-cli computes for itself.
void SetApplicationNames();

// The user's data folder as Qt's AppDataLocation gives it.
std::string QtUserDataFolder();

// The application folder (ChooseAppFolder over the program's folder, `givenFolder` and the user's
// data folder) and the locale's decimal mark; returns the choice.
AppFolderChoice ApplySystemSettings(Settings& settings,
                                    const std::optional<std::string>& givenFolder = std::nullopt);

}  // namespace quorbel::gui
