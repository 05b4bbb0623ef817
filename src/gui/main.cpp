// The window program: the Qt application, the platform services and the main window.
#include <QApplication>

#include "main_window.hpp"
#include "qt_platform.hpp"
#include "shell/app_state.hpp"
#include "system_settings.hpp"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    quorbel::gui::QtPlatform platform;
    quorbel::AppState app(platform);
    quorbel::gui::ApplySystemSettings(app.settings);
    quorbel::gui::MainWindow window(app, platform);
    window.Start();
    window.show();
    return application.exec();
}
