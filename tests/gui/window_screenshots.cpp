// Takes the README's screenshots: opens a capture in the window and saves every page and the
// about window as PNG; the images page after a second capture, one that carries a picture, has
// been read and its picture decoded. With --about-picture it only writes the about picture as a
// JPEG (a picture to send through the SSDV codec).
// Usage: quorbel-gui-screenshots <capture.kss> <picture capture.kss> <output folder>
//                                <application folder>
//        quorbel-gui-screenshots --bars <capture.kss> <file.png>
//        quorbel-gui-screenshots --time-axis <capture.kss> <file.png>
//        quorbel-gui-screenshots --live <capture.kss> <application folder> <file.png>
//        quorbel-gui-screenshots --receiving <capture.kss> <application folder> <file.png>
//        quorbel-gui-screenshots --history <application folder with archive.sqlite> <file.png>
//        quorbel-gui-screenshots --about-picture <file.jpg>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <iostream>

#include "about_picture.hpp"
#include "history_page.hpp"
#include "main_window.hpp"
#include "qt_platform.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "sqlite_archive.hpp"
#include "system_settings.hpp"
#include "view/value_chart.hpp"

namespace {

bool Save(QWidget& widget, const QDir& output, const QString& name) {
    const QString path = output.filePath("window-" + name + ".png");
    if (!widget.grab().save(path)) {
        std::cerr << "cannot write " << path.toStdString() << "\n";
        return false;
    }
    return true;
}

int TakeScreenshots(const QString& capture, const QString& pictureCapture, const QDir& output,
                    const QString& appFolder) {
    quorbel::gui::QtPlatform platform;
    QString chosen = capture;
    platform.SetFileChooser([&](const QString&, const QString&) { return QStringList{chosen}; });
    quorbel::AppState app(platform);
    quorbel::gui::ApplySystemSettings(app.settings);
    if (!appFolder.isEmpty()) {
        app.settings.appDir = QFile::encodeName(appFolder).toStdString();
    }
    quorbel::gui::MainWindow window(app, platform);
    window.Start();
    window.show();
    QTest::qWait(300);
    window.findChild<QAction*>("openCaptureFiles")->trigger();
    QTest::qWait(300);

    auto* tabs = window.findChild<QTabWidget*>("pages");
    // The History page has a screenshot of its own, over an archive of a year (--history).
    tabs->removeTab(tabs->indexOf(window.History()));
    const char* names[] = {"telemetry", "sensors", "digipeater", "images", "info"};
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        if (page == 1) {
            // The sensor page with the group chart of the magnetic field.
            window.Run([&] { quorbel::ClickFieldSelector(app, 81, true); });
        }
        if (page == 3) {
            // The picture pass: its decoding run writes the picture, which joins the list.
            chosen = pictureCapture;
            window.findChild<QAction*>("openCaptureFiles")->trigger();
            auto* list = window.findChild<QListWidget*>("imageFiles");
            if (!QTest::qWaitFor(
                    [&] { return !list->findItems("ssdv_", Qt::MatchStartsWith).empty(); },
                    10000)) {
                std::cerr << "the picture pass gave no picture (is ssdv built?)\n";
                return 1;
            }
            list->setCurrentRow(0);
        }
        QTest::qWait(300);
        if (!Save(window, output, names[page])) {
            return 1;
        }
    }
    window.findChild<QAction*>("infoMenu")->trigger();
    QTest::qWait(300);
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == "Info" && widget->isVisible() &&
            !Save(*widget, output, "about")) {
            return 1;
        }
    }
    return 0;
}

// Opens a capture and ticks one of the chart's check boxes: "B" shows the beacons' battery
// voltage as bars, "UTC time" on the time axis of the capture's passes.
int TakeChartScreenshot(const QString& capture, const char* checkBox, const QString& output) {
    quorbel::gui::QtPlatform platform;
    platform.SetFileChooser([&](const QString&, const QString&) { return QStringList{capture}; });
    quorbel::AppState app(platform);
    quorbel::gui::ApplySystemSettings(app.settings);
    // The capture's folder is the application folder: its packet files go there.
    app.settings.appDir = QFile::encodeName(QFileInfo(capture).absolutePath()).toStdString();
    quorbel::gui::MainWindow window(app, platform);
    window.Start();
    window.show();
    QTest::qWait(300);
    window.findChild<QAction*>("openCaptureFiles")->trigger();
    window.findChild<QCheckBox*>(checkBox)->click();
    QTest::qWait(300);
    return window.grab().save(output) ? 0 : 1;
}

// The length of the capture's beginning that holds half of its SSDV frames (identifier 500 at
// frame positions 7 and 8, behind the KISS command byte).
qsizetype EndOfHalfThePicture(const QByteArray& capture) {
    const auto isPacket = [](const QByteArray& piece) {
        return piece.size() > 9 && piece[0] != '\x09' &&
               ((static_cast<std::uint8_t>(piece[7]) << 8 | static_cast<std::uint8_t>(piece[8])) &
                0x7FF) == 500;
    };
    const QList<QByteArray> pieces = capture.split('\xC0');
    const auto packets = std::count_if(pieces.begin(), pieces.end(), isPacket);
    qsizetype end = 0;
    qsizetype sent = 0;
    for (const QByteArray& piece : pieces) {
        end += piece.size() + 1;
        if (isPacket(piece) && ++sent >= packets / 2)
            break;
    }
    return std::min(end, capture.size());
}

// The "TCP client" connected to a KISS server on 127.0.0.1 that sends a capture's frames: the
// green lamp, the state text and the status line of the last recorded frame. With `receiving`
// the server sends the first half of the capture and the images page shows the picture as far as
// it has arrived.
int TakeLiveScreenshot(const QString& capture, const QString& appFolder, const QString& output,
                       bool receiving = false) {
    QFile file(capture);
    QTcpServer server;
    if (!file.open(QIODevice::ReadOnly) || !server.listen(QHostAddress::LocalHost, 0)) {
        return 1;
    }
    quorbel::gui::QtPlatform platform;
    quorbel::AppState app(platform);
    quorbel::gui::ApplySystemSettings(app.settings);
    app.settings.appDir = QFile::encodeName(appFolder).toStdString();
    quorbel::gui::MainWindow window(app, platform);
    window.Start();
    app.settings.tcpHost = "127.0.0.1";
    app.settings.tcpPort = server.serverPort();
    app.settings.tcpPortText = std::to_string(server.serverPort());
    window.show();
    QTest::qWait(300);
    window.findChild<QCheckBox*>("tcpClient")->click();
    if (!server.waitForNewConnection(5000)) {
        return 1;
    }
    QTcpSocket* modem = server.nextPendingConnection();
    QByteArray stream = file.readAll();
    if (receiving) {
        stream.truncate(EndOfHalfThePicture(stream));
        window.findChild<QTabWidget*>("pages")->setCurrentIndex(3);
    }
    modem->write(stream);
    modem->flush();
    QTest::qWait(1500);  // the state timer's tick shows the connection
    window.Run([&] { quorbel::ClickFieldSelector(app, 1); });
    QTest::qWait(300);
    return window.grab().save(output) ? 0 : 1;
}

// The History page over everything the application folder's archive holds: the battery voltage
// as a band from minimum to maximum with its mean, and the stations that received it.
int TakeHistoryScreenshot(const QString& appFolder, const QString& output) {
    quorbel::gui::QtPlatform platform;
    quorbel::AppState app(platform);
    quorbel::gui::ApplySystemSettings(app.settings);
    app.settings.appDir = QFile::encodeName(appFolder).toStdString();
    quorbel::gui::MainWindow window(app, platform);
    window.Start([](const std::string& path) { return quorbel::OpenSqliteArchive(path); });
    window.show();
    QTest::qWait(300);
    window.findChild<QTabWidget*>("pages")->setCurrentWidget(window.History());
    QTest::qWait(500);
    if (app.ui.history.series.buckets.empty()) {
        std::cerr << "the archive gave no buckets: " << app.ui.history.statusText << "\n";
        return 1;
    }
    return window.grab().save(output) ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc == 3 && QString(argv[1]) == "--about-picture") {
        return quorbel::gui::DrawAboutPicture(640, 400).save(argv[2], "JPG", 90) ? 0 : 1;
    }
    if (argc == 4 && QString(argv[1]) == "--bars") {
        return TakeChartScreenshot(QString::fromLocal8Bit(argv[2]), "chartBars",
                                   QString::fromLocal8Bit(argv[3]));
    }
    if (argc == 4 && QString(argv[1]) == "--time-axis") {
        return TakeChartScreenshot(QString::fromLocal8Bit(argv[2]), "chartTimeAxis",
                                   QString::fromLocal8Bit(argv[3]));
    }
    if (argc == 4 && QString(argv[1]) == "--history") {
        return TakeHistoryScreenshot(QString::fromLocal8Bit(argv[2]),
                                     QString::fromLocal8Bit(argv[3]));
    }
    if (argc == 5 && QString(argv[1]) == "--live") {
        return TakeLiveScreenshot(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                                  QString::fromLocal8Bit(argv[4]));
    }
    if (argc == 5 && QString(argv[1]) == "--receiving") {
        return TakeLiveScreenshot(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                                  QString::fromLocal8Bit(argv[4]), true);
    }
    if (argc != 5) {
        std::cerr << "usage: quorbel-gui-screenshots <capture.kss> <picture capture.kss> "
                     "<output folder> <app folder>\n";
        return 2;
    }
    return TakeScreenshots(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]),
                           QDir(QString::fromLocal8Bit(argv[3])), QString::fromLocal8Bit(argv[4]));
}
