// The window end to end on the offscreen platform: start-up, opening the sample capture through a
// stubbed dialog, selectors, the bar/line and UTC time boxes, saving the chart, the diagnostics
// box, navigation, scrolling, the about window and exit.
#include <gtest/gtest.h>

#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "chart_frame.hpp"
#include "images_page.hpp"
#include "main_window.hpp"
#include "message_log_view.hpp"
#include "qt_platform.hpp"
#include "sample_frames.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "sqlite_outbox.hpp"
#include "support/memory_archive.hpp"
#include "value_chart_view.hpp"
#include "view/time_axis.hpp"

namespace quorbel::gui {
namespace {

const QString kSample = QUORBEL_SOURCE_DIR "/samples/pass.kss";

// A window started on a folder with conf.ini and two SSDV pictures beside another picture.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        QFile conf(m_folder.filePath("conf.ini"));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write("# TCP_PORT = 1\r\nTCP_SERVER = localhost\r\nTCP_PORT = 8100\r\n");
        conf.close();
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::red);
        for (const char* name : {"ssdv_000.jpg", "ssdv_012.jpg", "other.jpg"}) {
            ASSERT_TRUE(picture.save(m_folder.filePath(name), "JPG"));
        }
        m_app = std::make_unique<AppState>(m_platform);
        m_app->settings.appDir = QFile::encodeName(m_folder.path()).toStdString();
        m_platform.SetFileChooser([this](const QString&, const QString& filter) {
            m_filters << filter;
            return QStringList{kSample};
        });
        m_platform.SetMessagePresenter(
            [this](const MessageBoxRequest& box) { m_messages << QString::fromLatin1(box.text); });
        m_window = std::make_unique<MainWindow>(*m_app, m_platform);
        m_window->SetEndProgram([this] { ++m_ends; });
        m_window->Start();
        m_window->show();
    }

    template <typename T>
    T* Find(const QString& name) {
        T* widget = m_window->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    QLineEdit* ValueBox(int i) { return Find<QLineEdit>(QString("fieldValue_%1").arg(i)); }
    QRadioButton* Selector(int i) { return Find<QRadioButton>(QString("fieldSelector_%1").arg(i)); }
    QCustomPlot* Plot() { return m_window->Chart()->chart; }
    void OpenSample() { Find<QAction>("openCaptureFiles")->trigger(); }

    QTemporaryDir m_folder;
    QtPlatform m_platform;
    std::unique_ptr<AppState> m_app;
    std::unique_ptr<MainWindow> m_window;
    QStringList m_filters;
    QStringList m_messages;
    int m_ends = 0;
};

TEST_F(WindowTest, StartUpShowsTheCatalogueTheSettingsTheMenusAndTheImages) {
    EXPECT_EQ(m_window->windowTitle(), "QUORBEL Telemetry Decoder");
    EXPECT_EQ(Selector(0)->text(), "Batt Current");
    EXPECT_EQ(Selector(74)->text(), "BG51 Dose Rate");
    EXPECT_EQ(Find<QLabel>("fieldUnit_74")->text(), QString::fromUtf8("\xC2\xB5Sv/h"));  // 8-bit µ
    EXPECT_EQ(Find<QLabel>("connectionText")->text(), "[LOCALHOST:8100]");
    // The "Info" page names the application folder and why it is the one.
    EXPECT_TRUE(Find<QLabel>("LabelAppFolder")->text().contains(m_folder.path()));
    EXPECT_TRUE(Find<QLabel>("LabelAppFolder")->text().contains("portable copy"));
    EXPECT_FALSE(Find<QProgressBar>("progress")->isVisibleTo(m_window.get()));
    for (int field = 0; field < 107; ++field) {
        EXPECT_EQ(ValueBox(field)->isHidden(), field >= 67 && field <= 69) << field;
        // Captions are never clipped.
        EXPECT_GE(Selector(field)->width(), Selector(field)->sizeHint().width()) << field;
    }

    // The menu bar with its captions, in order.
    QStringList menus;
    for (QAction* entry : m_window->menuBar()->actions()) {
        QStringList line{entry->text()};
        for (QAction* item :
             entry->menu() != nullptr ? entry->menu()->actions() : QList<QAction*>{}) {
            if (!item->isSeparator()) {
                line << item->text();
            }
        }
        menus << line.join(" | ");
    }
    EXPECT_EQ(menus, (QStringList{QString::fromUtf8("File | Open KISS File | Open SatNOGS CSV | "
                                                    "Open from Archive\xE2\x80\xA6 | Exit"),
                                  "Tools | Crop SatNOGS CSV -> Image Data",
                                  "TLM File | Write TLM CSV | Write SENSOR CSV | Write TLM File",
                                  "Info"}));

    // The SSDV pictures are listed; the chosen one shows and stays for a file deleted since.
    auto* images = Find<QListWidget>("imageFiles");
    auto* picture = Find<PictureBox>("picture");
    ASSERT_EQ(images->count(), 2);
    EXPECT_EQ(images->item(0)->text(), "ssdv_000.jpg");
    images->setCurrentRow(1);
    EXPECT_EQ(picture->PicturePath(), m_folder.filePath("ssdv_012.jpg"));
    EXPECT_FALSE(picture->pixmap().isNull());
    ASSERT_TRUE(QFile::remove(m_folder.filePath("ssdv_000.jpg")));
    images->setCurrentRow(0);
    EXPECT_EQ(picture->PicturePath(), m_folder.filePath("ssdv_012.jpg"));
}

TEST_F(WindowTest, OpeningTheSampleFillsValuesLogAndChartAndTheScrollBarNavigates) {
    // While the file is read, events run: the commands that read or write files wait, the
    // pointer is busy and the progress bar moves.
    m_platform.SetEventInterval(0);
    bool sawReading = false;
    bool sawBusyPointer = false;
    std::vector<int> progress;
    auto* progressBar = Find<QProgressBar>("progress");
    const auto look = [&] {
        sawReading = sawReading || m_app->ui.reading;
        for (const char* command : {"openCaptureFiles", "cropImageData", "writeTelemetryCsv"}) {
            EXPECT_EQ(Find<QAction>(command)->isEnabled(), !m_app->ui.reading) << command;
        }
        const QCursor* pointer = QApplication::overrideCursor();
        sawBusyPointer = sawBusyPointer || (pointer && pointer->shape() == Qt::WaitCursor);
        if (progressBar->isVisible()) {
            progress.push_back(progressBar->value());
        }
    };
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, look);
    probe.start(0);
    OpenSample();
    probe.stop();
    EXPECT_TRUE(sawReading);
    EXPECT_TRUE(sawBusyPointer);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_GE(progress.size(), 2u);
    EXPECT_LT(progress.front(), progress.back());
    EXPECT_FALSE(progressBar->isVisible());
    look();  // the commands are back
    EXPECT_EQ(m_filters, QStringList{"KISS Files (*.kss);;All Files (*)"});
    EXPECT_EQ(m_messages, QStringList{});

    // The value boxes, selectors and labels show the model's shown record.
    const int beacons = m_app->telemetry.Count();
    ASSERT_GT(beacons, 0);
    // The status line names the packet file of the sample's SSDV packets, written after the read.
    EXPECT_EQ(Find<QLineEdit>("statusLine")->text(),
              QString::fromStdString(m_app->settings.appDir + "/ssdv_002.bin has been written"));
    for (int field = 0; field < 107; ++field) {
        const auto i = static_cast<std::size_t>(field);
        EXPECT_EQ(ValueBox(field)->text(), QString::fromLatin1(m_app->ui.fieldValues[i])) << field;
        EXPECT_EQ(Selector(field)->isChecked(), m_app->ui.fieldSelected[i]) << field;
    }
    EXPECT_EQ(ValueBox(1)->palette().color(QPalette::Base), QColor(255, 255, 192));
    EXPECT_EQ(m_window->Chart()->title(), "Batt Voltage (mV)");
    EXPECT_TRUE(Find<QLabel>("receiveTimeText")->text().startsWith("RX Timestamp: 2023-11-14"));
    EXPECT_EQ(Find<QLabel>("satelliteName")->text(), "QUORBEL-1U");

    // The log box holds the messages, the digipeated ones too.
    const QString log = Find<MessageLogView>("messageLog")->toPlainText();
    EXPECT_EQ(log, QString::fromLatin1(m_app->ui.messageLog.Text()).replace("\r\n", "\n"));
    EXPECT_TRUE(log.contains(" | to: "));
    // The reader log and, on the Info page, the diagnostics of the read beside it.
    const QString readerLog = Find<QPlainTextEdit>("readerLog")->toPlainText();
    EXPECT_TRUE(readerLog.startsWith("kiss frames: "));
    EXPECT_FALSE(readerLog.contains("beacon frames"));
    const QString diagnostics = Find<QPlainTextEdit>("diagnostics")->toPlainText();
    EXPECT_TRUE(diagnostics.startsWith("file: " + kSample + "\n  beacon frames:"));
    EXPECT_TRUE(diagnostics.contains(
        QString("  beacon frames:                            %1\n").arg(beacons)));

    // The chart: the beacons' battery voltage as one line labelled with the receive times.
    ASSERT_EQ(Plot()->plottableCount(), 1);
    auto* line = qobject_cast<QCPGraph*>(Plot()->plottable(0));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->data()->size(), beacons);
    EXPECT_DOUBLE_EQ(line->data()->at(beacons - 1)->value,
                     m_app->telemetry.Record(beacons).values[1]);
    Plot()->replot();
    ASSERT_FALSE(Plot()->xAxis->tickVector().isEmpty());
    EXPECT_EQ(Plot()->xAxis->tickVector()[0], 1.0);
    EXPECT_EQ(Plot()->xAxis->tickVectorLabels()[0], QString::fromLatin1(m_app->ui.chart.labels[0]));
    EXPECT_TRUE(Plot()->xAxis->tickVectorLabels()[0].startsWith("22:13:20"));

    // The navigation scroll bar shows the other records.
    auto* scroll = Find<QScrollBar>("recordScrollBar");
    EXPECT_EQ(scroll->maximum(), beacons);
    scroll->setValue(5);
    EXPECT_EQ(Find<QLineEdit>("recordCounter")->text(), QString("#5 / %1").arg(beacons));
    EXPECT_EQ(ValueBox(1)->text(), QString::number(m_app->telemetry.Record(5).values[1], 'g', 15));
}

TEST_F(WindowTest, TheMenusOpenAndCropWhatTheirDialogsChoose) {
    OpenSample();
    ASSERT_GT(m_app->telemetry.Count(), 0);
    // Cancelling the open dialog still empties the stores, the boxes and the log.
    QStringList titles;
    QStringList chosen;
    m_platform.SetFileChooser([&](const QString& title, const QString& filter) {
        titles << title;
        m_filters << filter;
        return chosen;
    });
    Find<QAction>("openSatnogsExports")->trigger();
    EXPECT_EQ(m_app->telemetry.Count(), 0);
    EXPECT_EQ(ValueBox(1)->text(), "");
    EXPECT_EQ(Find<QPlainTextEdit>("readerLog")->toPlainText(), "");

    // The crop command takes the one file chosen in "Select File"; cancelling does nothing.
    const QString input = m_folder.filePath("export.csv");
    QFile file(input);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("2023-01-15 12:34:56|86A24040404060AC8AB09E9C406103F003|1|S\r\n");
    file.close();
    Find<QAction>("cropImageData")->trigger();
    EXPECT_FALSE(QFile::exists(input + "_new"));
    chosen = QStringList{input, m_folder.filePath("other.csv")};
    Find<QAction>("cropImageData")->trigger();
    EXPECT_TRUE(QFile::exists(input + "_new"));
    EXPECT_FALSE(QFile::exists(m_folder.filePath("other.csv_new")));
    EXPECT_EQ(Find<QLineEdit>("statusLine")->text(), input + "_new has been written");
    EXPECT_EQ(titles, (QStringList{"", "Select File", "Select File"}));
    EXPECT_EQ(m_filters.mid(1),
              (QStringList{"Log Files (*.csv);;All Files (*)", "Apps (*.csv);;All files (*)",
                           "Apps (*.csv);;All files (*)"}));
    EXPECT_EQ(m_messages, QStringList{});
}

TEST_F(WindowTest, SelectorClicksAndTheBarBoxRedrawTheChart) {
    OpenSample();
    // Shift held at the click draws the group of three in the group's colours.
    auto* magX = Selector(81);
    QTest::mouseClick(magX, Qt::LeftButton, Qt::ShiftModifier);
    ASSERT_EQ(Plot()->plottableCount(), 3);
    EXPECT_EQ(Plot()->plottable(2)->name(), "Mag Field Z");
    EXPECT_EQ(Plot()->plottable(2)->pen().color(), QColor(176, 48, 96));
    EXPECT_EQ(Plot()->plottable(2)->interface1D()->dataCount(), m_app->sensor.Count());
    EXPECT_TRUE(magX->isChecked());

    // A plain click draws the one field; a right-click on a member of a group draws the group;
    // a click on the selected selector keeps it selected.
    QTest::mouseClick(Selector(75), Qt::LeftButton);
    EXPECT_EQ(Plot()->plottableCount(), 1);
    EXPECT_FALSE(magX->isChecked());
    auto* magZ = Selector(83);
    QTest::mouseClick(magZ, Qt::RightButton);
    ASSERT_EQ(Plot()->plottableCount(), 3);
    EXPECT_EQ(Plot()->plottable(2)->name(), "Mag Field Z");
    EXPECT_TRUE(magZ->isChecked());
    QTest::mouseClick(magZ, Qt::LeftButton);
    EXPECT_TRUE(magZ->isChecked());
    EXPECT_EQ(Plot()->plottableCount(), 1);

    // chartBars switches between bars without outline and the thick line.
    auto* barBox = Find<QCheckBox>("chartBars");
    QTest::mouseClick(barBox, Qt::LeftButton);
    ASSERT_EQ(Plot()->plottableCount(), 1);
    auto* bars = qobject_cast<QCPBars*>(Plot()->plottable(0));
    ASSERT_NE(bars, nullptr);
    EXPECT_EQ(bars->pen().style(), Qt::NoPen);
    EXPECT_EQ(bars->dataCount(), m_app->sensor.Count());
    QTest::mouseClick(barBox, Qt::LeftButton);
    auto* line = qobject_cast<QCPGraph*>(Plot()->plottable(0));
    ASSERT_NE(line, nullptr);
    EXPECT_GE(line->pen().widthF(), 3.0);
}

TEST_F(WindowTest, TheUtcTimeBoxDrawsThePointsAtTheirReceiveTimesWithDatesOnTheAxis) {
    OpenSample();
    ValueChartView* chart = m_window->Chart()->chart;
    EXPECT_FALSE(chart->ShowsTimeAxis());
    QTest::mouseClick(Find<QCheckBox>("chartTimeAxis"), Qt::LeftButton);
    EXPECT_TRUE(m_app->ui.chartTimeAxis);
    ASSERT_TRUE(chart->ShowsTimeAxis());
    EXPECT_FALSE(
        qSharedPointerDynamicCast<QCPAxisTickerDateTime>(Plot()->xAxis->ticker()).isNull());

    const TimeAxis axis = BuildTimeAxis(m_app->ui.chart);
    ASSERT_TRUE(axis.first && axis.last);
    ASSERT_EQ(Plot()->plottableCount(), 1);
    auto* line = qobject_cast<QCPGraph*>(Plot()->plottable(0));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->data()->size(), m_app->telemetry.Count());  // one pass: no breaks
    EXPECT_DOUBLE_EQ(line->data()->at(0)->key, *axis.first);
    Plot()->replot();
    ASSERT_FALSE(Plot()->xAxis->tickVectorLabels().isEmpty());
    EXPECT_TRUE(Plot()->xAxis->tickVectorLabels()[0].startsWith("2023-11-14\n22:1"));

    // A group chart and bars stay on the time axis; clearing the box brings the labels back.
    QTest::mouseClick(Find<QCheckBox>("chartBars"), Qt::LeftButton);
    ASSERT_NE(qobject_cast<QCPBars*>(Plot()->plottable(0)), nullptr);
    QTest::mouseClick(Selector(81), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(Plot()->plottableCount(), 3);
    EXPECT_TRUE(chart->ShowsTimeAxis());
    QTest::mouseClick(Find<QCheckBox>("chartTimeAxis"), Qt::LeftButton);
    EXPECT_FALSE(chart->ShowsTimeAxis());
    EXPECT_EQ(Plot()->xAxis->range().lower, 0.5);
}

TEST_F(WindowTest, TheChartsMenuSavesItAsPngSvgAndPdf) {
    OpenSample();
    ValueChartView* chart = m_window->Chart()->chart;
    QStringList offered;
    QString answer;
    m_platform.SetSaveChooser([&](const QString&, const QString& filter, const QString& name) {
        offered << filter << name;
        return answer;
    });
    const QPoint at(200, 100);
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, at, chart->mapToGlobal(at));
    QApplication::sendEvent(chart, &rightClick);
    QMenu* menu = chart->ContextMenu();
    ASSERT_TRUE(menu->isVisible());
    menu->hide();
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(menu->actions()[0]->text(), QString::fromUtf8("Save chart as PNG\u2026"));

    const int rows = chart->plotLayout()->rowCount();
    const struct {
        const char* action;
        const char* name;
        QByteArray header;
        QByteArray text;  // a text the file holds: for SVG the chart's title above it
    } saves[] = {
        {"SaveChartPng", "chart.png", QByteArray("\x89PNG\r\n\x1a\n", 8), QByteArray("IEND")},
        {"SaveChartSvg", "chart.svg", QByteArray("<?xml"), QByteArray("Batt Voltage (mV)")},
        {"SaveChartPdf", "chart.pdf", QByteArray("%PDF-"), QByteArray("%%EOF")}};
    for (const auto& save : saves) {
        answer = m_folder.filePath(save.name);
        menu->findChild<QAction*>(save.action)->trigger();
        QFile file(answer);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << save.name;
        EXPECT_GT(file.size(), 1000) << save.name;
        const QByteArray bytes = file.readAll();
        EXPECT_TRUE(bytes.startsWith(save.header)) << save.name;
        EXPECT_TRUE(bytes.contains(save.text)) << save.name;
        EXPECT_TRUE(QDir(m_folder.path()).entryList({"*.part*"}).isEmpty());
        EXPECT_EQ(Find<QLineEdit>("statusLine")->text(), answer + " has been written");
    }
    EXPECT_EQ(QImage(m_folder.filePath("chart.png")).size(), chart->size());
    // The window's chart stays without the title row: the frame's caption titles it there.
    EXPECT_EQ(chart->plotLayout()->rowCount(), rows);
    EXPECT_EQ(
        offered,
        (QStringList{"PNG Pictures (*.png)", kSample.left(kSample.size() - 4) + "_chart.png",
                     "SVG Drawings (*.svg)", kSample.left(kSample.size() - 4) + "_chart.svg",
                     "PDF Documents (*.pdf)", kSample.left(kSample.size() - 4) + "_chart.pdf"}));

    // Cancelling writes nothing; a folder that does not exist gets "could not be written".
    answer.clear();
    menu->findChild<QAction*>("SaveChartPng")->trigger();
    EXPECT_EQ(Find<QLineEdit>("statusLine")->text(),
              m_folder.filePath("chart.pdf") + " has been written");
    answer = m_folder.filePath("none/chart.png");
    menu->findChild<QAction*>("SaveChartPng")->trigger();
    EXPECT_EQ(Find<QLineEdit>("statusLine")->text(), answer + " could not be written");
    EXPECT_TRUE(QDir(m_folder.path()).entryList({"*.part*"}).isEmpty());
}

// The archive is opened once conf.ini is read; one that cannot be opened is named on the Info
// page and in the status line while the window goes on.
TEST(WindowArchiveTest, TheInfoPageNamesTheArchiveThatCannotBeOpened) {
    QTemporaryDir folder;
    QFile conf(folder.filePath("conf.ini"));
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write("ARCHIVE = Mission.sqlite\n");
    conf.close();
    QtPlatform platform;
    AppState app(platform);
    app.settings.appDir = QFile::encodeName(folder.path()).toStdString();
    std::string opened;
    MainWindow window(app, platform);
    window.Start([&](const std::string& path) -> std::unique_ptr<Archive> {
        opened = path;
        throw ArchiveError(path + " is read-only");
    });
    EXPECT_EQ(opened, app.settings.appDir + "/Mission.sqlite");
    EXPECT_TRUE(window.findChild<QLabel*>("LabelArchive")->text().contains("cannot be opened"));
    EXPECT_TRUE(window.findChild<QLineEdit*>("statusLine")->text().contains("is read-only"));
}

// SHARE=on sets the "Share with SatNOGS" box from the start; the box writes its state into
// conf.ini, and settings that cannot work leave it clear and name the key.
TEST(WindowShareTest, TheShareBoxSharesAndKeepsItsStateInConfIni) {
    QTemporaryDir folder;
    const auto writeConf = [&](const char* text) {
        QFile conf(folder.filePath("conf.ini"));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly | QIODevice::Truncate));
        conf.write(text);
    };
    // Nothing listens on port 1 of this machine: requests fail and the frames wait.
    writeConf(
        "SHARE=on\nSIDS_URL=http://127.0.0.1:1/api/telemetry/\nNORAD_ID=99999\n"
        "CALLSIGN=DL0ABC\nLATITUDE=52.52\nLONGITUDE=13.405\n");
    QtPlatform platform;
    AppState app(platform);
    app.settings.appDir = QFile::encodeName(folder.path()).toStdString();
    const OutboxOpener openOutbox = [](const std::string& path) { return OpenSqliteOutbox(path); };
    auto window = std::make_unique<MainWindow>(app, platform);
    window->Start({}, openOutbox);
    auto* box = window->findChild<QCheckBox*>("shareFrames");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Share with SatNOGS");
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(window->findChild<QLabel*>("shareText")->text(),
              "Shared: 0 sent, 0 waiting, 0 rejected");
    EXPECT_TRUE(QFile::exists(folder.filePath("outbox.sqlite")));

    box->click();
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(window->findChild<QLabel*>("shareText")->text(), "");
    QFile conf(folder.filePath("conf.ini"));
    ASSERT_TRUE(conf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(conf.readAll().contains("SHARE=off\r\n"));
    conf.close();

    // A window started without a callsign shares nothing and says why.
    window.reset();
    writeConf("SHARE=on\nNORAD_ID=99999\nLATITUDE=52.52\nLONGITUDE=13.405\n");
    AppState second(platform);
    second.settings.appDir = app.settings.appDir;
    window = std::make_unique<MainWindow>(second, platform);
    window->Start({}, openOutbox);
    box = window->findChild<QCheckBox*>("shareFrames");
    EXPECT_FALSE(box->isChecked());
    EXPECT_TRUE(window->findChild<QLineEdit*>("statusLine")->text().contains("CALLSIGN"));
    box->click();
    EXPECT_FALSE(box->isChecked());
}

TEST_F(WindowTest, ScrollBarsAppearOnlyWhenTheWindowIsSmallerThanTheContent) {
    // Past the window's one look at its frame, 200 ms after it shows: on a busy machine that
    // look would otherwise fall between the resizes below and fit the window to the screen.
    QTest::qWait(400);
    QScrollArea* view = m_window->ScrollView();
    QScrollBar* across = view->horizontalScrollBar();
    const QSize content = m_window->ContentSize();
    // Layout runs from posted events: on a busy machine one turn of the loop may not be enough.
    m_window->resize(content + QSize(40, 80));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !across->isVisible() && !view->verticalScrollBar()->isVisible(); }, 2000));
    EXPECT_EQ(view->widget()->pos(), QPoint(0, 0));

    m_window->resize(content / 2);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return across->isVisible() && view->verticalScrollBar()->isVisible(); }, 2000));

    // Scrolled to the far right, then widened: the content's right edge stays in view.
    across->setValue(across->maximum());
    m_window->resize(content.width() * 3 / 4, content.height() / 2);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return view->widget()->geometry().right() == view->viewport()->width() - 1 &&
                   across->value() == across->maximum();
        },
        2000));
}

TEST_F(WindowTest, AboutWindowIsNotModalAndExitOrCloseEndsTheProgram) {
    Find<QAction>("infoMenu")->trigger();
    QWidget* info = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == "Info" && widget->isVisible()) {
            info = widget;
        }
    }
    ASSERT_NE(info, nullptr);
    EXPECT_FALSE(info->isModal());
    EXPECT_FALSE(info->findChild<QLabel*>("aboutPicture")->pixmap().isNull());

    Find<QAction>("exitCommand")->trigger();
    EXPECT_EQ(m_ends, 1);
    EXPECT_FALSE(info->isVisible());
    m_window->close();
    EXPECT_EQ(m_ends, 2);
}

TEST_F(WindowTest, AnImageGrowsInThePictureBoxAsItsPacketsArriveAndNewPicturesAreListed) {
    // A picture as the satellite sends it: its packets, one frame each.
    QImage drawn(128, 96, QImage::Format_RGB32);
    for (int i = 0; i < 128 * 96; ++i)
        drawn.setPixel(i % 128, i / 128, qRgb(2 * (i % 128), i / 64, (i % 128) * (i / 128) % 256));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    ASSERT_TRUE(drawn.save(&buffer, "JPG", 90));
    const std::vector<std::uint8_t> packets = samples::EncodePicturePackets(
        std::span(reinterpret_cast<const std::uint8_t*>(jpeg.constData()),
                  static_cast<std::size_t>(jpeg.size())),
        21);
    const std::size_t count = packets.size() / 118;
    ASSERT_GE(count, 6u);

    auto* picture = Find<PictureBox>("picture");
    std::vector<QImage> shown;
    for (std::size_t i = 0; i < count; ++i) {
        const std::span packet(packets.data() + 118 * i, 118);
        ReceiveFrame(*m_app, samples::MakeSsdvFrame(22, packet));
        m_window->Refresh();
        shown.push_back(picture->Picture().toImage());
        ASSERT_FALSE(shown.back().isNull()) << i;
    }
    // Its pixels change as packets come in, before any decoding run.
    EXPECT_NE(shown.front(), shown[count / 2]);
    EXPECT_NE(shown[count / 2], shown.back());
    EXPECT_EQ(shown.back().size(), QSize(128, 96));
    EXPECT_EQ(Find<QLabel>("PictureCaption")->text(),
              QString("Image 21, 128 x 96: %1 packets, complete").arg(count));
    EXPECT_FALSE(QFile::exists(m_folder.filePath("ssdv_021.jpg")));
    EXPECT_TRUE(Find<QPlainTextEdit>("ssdvListing")
                    ->toPlainText()
                    .startsWith("Image ID: 21\nPacket ID: 0\n"));

    // A picture that a decoder writes into the folder joins the list, the chosen entry stays.
    auto* images = Find<QListWidget>("imageFiles");
    images->setCurrentRow(1);
    ASSERT_TRUE(drawn.save(m_folder.filePath("ssdv_021.jpg"), "JPG"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return images->count() == 3; }, 5000));
    EXPECT_EQ(images->item(2)->text(), "ssdv_021.jpg");
    EXPECT_EQ(images->currentRow(), 1);
}

// The window hears when a program it started ends: a picture decoder that failed (here a stand-in
// that exits with the decoder's "cannot write" status) is named in the status line; one that
// succeeded changes nothing.
TEST_F(WindowTest, APictureDecoderThatFailsIsNamedInTheStatusLine) {
    auto* status = Find<QLineEdit>("statusLine");
    const std::string picture = m_app->settings.appDir + "/ssdv_007.jpg";
    const auto start = [&](const char* script) {
        const std::optional<int> id = m_platform.StartProgram("/bin/sh", {"-c", script});
        EXPECT_TRUE(id);
        m_app->runningDecoders[id.value_or(0)] = picture;
    };
    start("exit 0");
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_app->runningDecoders.empty(); }, 10000));
    EXPECT_EQ(status->text(), "");
    start("exit 255");
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_app->runningDecoders.empty(); }, 10000));
    EXPECT_EQ(status->text(), QString::fromStdString(picture + " could not be written"));
    EXPECT_FALSE(m_platform.StartProgram("/no/such/program", {}));
}

}  // namespace
}  // namespace quorbel::gui
