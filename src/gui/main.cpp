// The window program: the Qt application, the platform services and the main window.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <exception>

#include "archive_open.hpp"
#include "main_window.hpp"
#include "qt_platform.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/archive_commands.hpp"
#include "sqlite_outbox.hpp"
#include "system_settings.hpp"

namespace {

// Qt ends the program with an abort when it finds no display to open; this is seen first and
// said plainly. A platform named on the command line or in QT_QPA_PLATFORM is left to Qt.
bool HasDisplay(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    }
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

bool AsksForHelp(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    // The one exception boundary of the program: each command is caught by the window itself,
    // so only a failure of the start-up or of the toolkit arrives here; it ends the program with
    // a message and status 1, never with an abort.
    try {
        if (AsksForHelp(argc, argv)) {
            std::fputs(qPrintable(quorbel::gui::WindowUsage()), stdout);
            return 0;
        }
        if (!HasDisplay(argc, argv)) {
            std::fputs(
                "quorbel-decoder: no display to open the window on (DISPLAY is not set);\n"
                "use quorbel-cli, or QT_QPA_PLATFORM=offscreen for a check\n",
                stderr);
            return 1;
        }
        QApplication application(argc, argv);
        quorbel::gui::SetApplicationNames();
        quorbel::gui::WindowOptions options;
        const QStringList arguments = QApplication::arguments().mid(1);
        if (auto error = quorbel::gui::ParseWindowOptions(arguments, options)) {
            std::fprintf(stderr, "quorbel-decoder: %s\n\n%s", qPrintable(*error),
                         qPrintable(quorbel::gui::WindowUsage()));
            return 2;
        }
        quorbel::gui::QtPlatform platform;
        quorbel::AppState app(platform);
        const quorbel::AppFolderChoice folder =
            quorbel::gui::ApplySystemSettings(app.settings, options.appDir);
        // The window still starts: without its folder it shows what it reads and cannot record,
        // which each command reports as it would for any unwritable folder.
        if (auto problem = quorbel::PrepareAppFolder(folder))
            std::fprintf(stderr, "quorbel-decoder: %s\n", problem->c_str());
        quorbel::gui::MainWindow window(app, platform);
        window.Start(
            [&app](const std::string& location) {
                return quorbel::OpenArchiveAt(location, app.settings.appDir);
            },
            [](const std::string& path) { return quorbel::OpenSqliteOutbox(path); });
        window.show();
        if (options.quitAfterStart)
            QTimer::singleShot(0, &application, &QCoreApplication::quit);
        return application.exec();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "quorbel-decoder: %s\n", failure.what());
    } catch (...) {
        std::fprintf(stderr, "quorbel-decoder: unexpected failure\n");
    }
    return 1;
}
