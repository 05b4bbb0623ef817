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
#include <memory>

#include "about_picture.hpp"
#include "history_page.hpp"
#include "main_window.hpp"
#include "qt_platform.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "sqlite_archive.hpp"
#include "sqlite_outbox.hpp"
#include "system_settings.hpp"
#include "view/value_chart.hpp"

namespace {

// The window on an application folder (the system's own when none is given), shown and settled.
struct ShotWindow {
    quorbel::gui::QtPlatform platform;
    quorbel::AppState app{platform};
    std::unique_ptr<quorbel::gui::MainWindow> window;

    explicit ShotWindow(const QString& appFolder) {
        quorbel::gui::ApplySystemSettings(app.settings);
        if (!appFolder.isEmpty())
            app.settings.appDir = QFile::encodeName(appFolder).toStdString();
    }
    // The outbox of shared frames is the real one: with SHARE=on in the folder's conf.ini the
    // "Share with SatNOGS" box is set and its counts shown.
    quorbel::gui::MainWindow& Start(const quorbel::ArchiveOpener& openArchive = {}) {
        window = std::make_unique<quorbel::gui::MainWindow>(app, platform);
        window->Start(openArchive,
                      [](const std::string& path) { return quorbel::OpenSqliteOutbox(path); });
        return *window;
    }
    void Show() {
        window->show();
        QTest::qWait(300);
    }
    void Trigger(const char* action) { window->findChild<QAction*>(action)->trigger(); }
};

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
    ShotWindow shot(appFolder);
    QString chosen = capture;
    shot.platform.SetFileChooser(
        [&](const QString&, const QString&) { return QStringList{chosen}; });
    quorbel::gui::MainWindow& window = shot.Start();
    shot.Show();
    shot.Trigger("openCaptureFiles");
    QTest::qWait(300);

    auto* tabs = window.findChild<QTabWidget*>("pages");
    // The History page has a screenshot of its own, over an archive of a year (--history).
    tabs->removeTab(tabs->indexOf(window.History()));
    const char* names[] = {"telemetry", "sensors", "digipeater", "images", "info"};
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        if (page == 1) {
            // The sensor page with the group chart of the magnetic field.
            window.Run([&] { quorbel::ClickFieldSelector(shot.app, 81, true); });
        }
        if (page == 3) {
            // The picture pass: its decoding run writes the picture, which joins the list.
            chosen = pictureCapture;
            shot.Trigger("openCaptureFiles");
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
    shot.Trigger("infoMenu");
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
    // The capture's folder is the application folder: its packet files go there.
    ShotWindow shot(QFileInfo(capture).absolutePath());
    shot.platform.SetFileChooser(
        [&](const QString&, const QString&) { return QStringList{capture}; });
    shot.Start();
    shot.Show();
    shot.Trigger("openCaptureFiles");
    shot.window->findChild<QCheckBox*>(checkBox)->click();
    QTest::qWait(300);
    return shot.window->grab().save(output) ? 0 : 1;
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
    ShotWindow shot(appFolder);
    quorbel::gui::MainWindow& window = shot.Start();
    shot.app.settings.tcpHost = "127.0.0.1";
    shot.app.settings.tcpPort = server.serverPort();
    shot.app.settings.tcpPortText = std::to_string(server.serverPort());
    shot.Show();
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
    window.Run([&] { quorbel::ClickFieldSelector(shot.app, 1); });
    QTest::qWait(300);
    return window.grab().save(output) ? 0 : 1;
}

// The History page over everything the application folder's archive holds: the battery voltage
// as a band from minimum to maximum with its mean, and the stations that received it.
int TakeHistoryScreenshot(const QString& appFolder, const QString& output) {
    ShotWindow shot(appFolder);
    quorbel::gui::MainWindow& window =
        shot.Start([](const std::string& path) { return quorbel::OpenSqliteArchive(path); });
    shot.Show();
    window.findChild<QTabWidget*>("pages")->setCurrentWidget(window.History());
    QTest::qWait(500);
    if (shot.app.ui.history.series.buckets.empty()) {
        std::cerr << "the archive gave no buckets: " << shot.app.ui.history.statusText << "\n";
        return 1;
    }
    return window.grab().save(output) ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const QString option = argc > 1 ? QString(argv[1]) : QString();
    const auto arg = [&](int i) { return QString::fromLocal8Bit(argv[i]); };
    if (argc == 3 && option == "--about-picture")
        return quorbel::gui::DrawAboutPicture(640, 400).save(argv[2], "JPG", 90) ? 0 : 1;
    if (argc == 4 && (option == "--bars" || option == "--time-axis"))
        return TakeChartScreenshot(arg(2), option == "--bars" ? "chartBars" : "chartTimeAxis",
                                   arg(3));
    if (argc == 4 && option == "--history")
        return TakeHistoryScreenshot(arg(2), arg(3));
    if (argc == 5 && (option == "--live" || option == "--receiving"))
        return TakeLiveScreenshot(arg(2), arg(3), arg(4), option == "--receiving");
    if (argc != 5) {
        std::cerr << "usage: quorbel-gui-screenshots <capture.kss> <picture capture.kss> "
                     "<output folder> <app folder>\n";
        return 2;
    }
    return TakeScreenshots(arg(1), arg(2), QDir(arg(3)), arg(4));
}
