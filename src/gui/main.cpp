// The window program: the Qt application, the platform services and the main window.
#include <QApplication>
#include <cstdio>
#include <exception>

#include "main_window.hpp"
#include "qt_platform.hpp"
#include "shell/app_state.hpp"
#include "system_settings.hpp"

int main(int argc, char* argv[]) {
    // The one exception boundary of the program: each command is caught by the window itself,
    // so only a failure of the start-up or of the toolkit arrives here; it ends the program with
    // a message and status 1, never with an abort.
    try {
        QApplication application(argc, argv);
        quorbel::gui::QtPlatform platform;
        quorbel::AppState app(platform);
        quorbel::gui::ApplySystemSettings(app.settings);
        quorbel::gui::MainWindow window(app, platform);
        window.Start();
        window.show();
        return application.exec();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "quorbel-decoder: %s\n", failure.what());
    } catch (...) {
        std::fprintf(stderr, "quorbel-decoder: unexpected failure\n");
    }
    return 1;
}
