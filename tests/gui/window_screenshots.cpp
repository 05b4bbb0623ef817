// Takes the README's screenshots: opens a capture in the window and saves every page as PNG.
// Usage: quorbel-gui-screenshots <capture.kss> <output folder>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <iostream>

#include "main_window.hpp"
#include "qt_platform.hpp"
#include "session_setup.hpp"
#include "shell/app_state.hpp"
#include "view/value_chart.hpp"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::cerr << "usage: quorbel-gui-screenshots <capture.kss> <output folder>\n";
        return 2;
    }
    const QString capture = QString::fromLocal8Bit(argv[1]);
    const QDir output(QString::fromLocal8Bit(argv[2]));
    quorbel::gui::QtPlatform platform;
    platform.SetFileChooser([&](const QString&, const QString&) { return QStringList{capture}; });
    quorbel::AppState app(platform);
    quorbel::gui::ApplySystemSettings(app.settings);
    quorbel::gui::MainWindow window(app, platform);
    window.Start();
    window.show();
    QTest::qWait(300);
    window.findChild<QAction*>("MnuOpenKISSFile")->trigger();
    QTest::qWait(300);

    auto* tabs = window.findChild<QTabWidget*>("SSTab1");
    const char* names[] = {"telemetry", "sensors", "digipeater", "images", "info"};
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        if (page == 1) {
            // The sensor page with the group chart of the magnetic field.
            platform.SetGroupRequest(true);
            window.Run([&] { quorbel::ClickFieldSelector(app, 81); });
            platform.SetGroupRequest(false);
        }
        QTest::qWait(300);
        const QString path = output.filePath(QString("window-%1.png").arg(names[page]));
        if (!window.grab().save(path)) {
            std::cerr << "cannot write " << path.toStdString() << "\n";
            return 1;
        }
    }
    return 0;
}
