// The window end to end on the offscreen platform: start-up, opening the sample capture through a
// stubbed dialog, selectors, the bar/line box, navigation, scrolling, the about window and exit.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "chart_frame.hpp"
#include "images_page.hpp"
#include "main_window.hpp"
#include "message_log_view.hpp"
#include "qt_platform.hpp"
#include "shell/app_state.hpp"
#include "status_strip.hpp"
#include "value_chart_view.hpp"
#include "view/detail_view.hpp"

namespace quorbel::gui {
namespace {

const QString kSample = QUORBEL_SOURCE_DIR "/samples/pass.kss";

class WindowTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        WriteFile("conf.ini", "# TCP_PORT = 1\r\nTCP_SERVER = localhost\r\nTCP_PORT = 8100\r\n");
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::red);
        ASSERT_TRUE(picture.save(m_folder.filePath("ssdv_000.jpg"), "JPG"));
        ASSERT_TRUE(picture.save(m_folder.filePath("ssdv_012.jpg"), "JPG"));
        ASSERT_TRUE(picture.save(m_folder.filePath("other.jpg"), "JPG"));
        m_app = std::make_unique<AppState>(m_platform);
        m_app->settings.appDir = QFile::encodeName(m_folder.path()).toStdString();
        m_platform.SetFileChooser([this](const QString&, const QString& filter) {
            m_filters << filter;
            return m_chosen;
        });
        m_platform.SetMessagePresenter(
            [this](const MessageBoxRequest& box) { m_messages << QString::fromLatin1(box.text); });
        m_window = std::make_unique<MainWindow>(*m_app, m_platform);
        m_window->SetEndProgram([this] { ++m_ends; });
        m_window->Start();
        m_window->show();
    }

    void WriteFile(const QString& name, const QByteArray& bytes) {
        QFile file(m_folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    template <typename T>
    T* Find(const QString& name) {
        T* widget = m_window->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }

    QCustomPlot* Plot() { return m_window->Chart()->chart; }

    void OpenSample() {
        m_chosen = {kSample};
        Find<QAction>("MnuOpenKISSFile")->trigger();
    }

    QTemporaryDir m_folder;
    QtPlatform m_platform;
    std::unique_ptr<AppState> m_app;
    std::unique_ptr<MainWindow> m_window;
    QStringList m_chosen;
    QStringList m_filters;
    QStringList m_messages;
    int m_ends = 0;
};

TEST_F(WindowTest, StartUpShowsTheCatalogueTheSettingsAndThePages) {
    EXPECT_EQ(m_window->windowTitle(), "QUORBEL Telemetry Decoder");
    EXPECT_EQ(Find<QRadioButton>("Option1_0")->text(), "Batt Current");
    EXPECT_EQ(Find<QLabel>("Label1_0")->text(), "mA");
    EXPECT_EQ(Find<QRadioButton>("Option1_74")->text(), "BG51 Dose Rate");
    EXPECT_EQ(Find<QLabel>("Label1_74")->text(), QString::fromUtf8("\xC2\xB5Sv/h"));  // 8-bit µ
    EXPECT_EQ(Find<QLabel>("Label2")->text(), "[LOCALHOST:8100]");
    EXPECT_EQ(Find<Lamp>("Shape10")->Colour(), QColor(192, 192, 192));
    EXPECT_FALSE(Find<QProgressBar>("ProgressBar1")->isVisibleTo(m_window.get()));
    EXPECT_EQ(Find<QCheckBox>("Check5")->text(), "TCP client");

    QListWidget* images = Find<QListWidget>("File1");
    ASSERT_EQ(images->count(), 2);
    EXPECT_EQ(images->item(0)->text(), "ssdv_000.jpg");
    EXPECT_EQ(images->item(1)->text(), "ssdv_012.jpg");

    // The menu bar with its captions, in order.
    QStringList menus;
    for (QAction* entry : m_window->menuBar()->actions()) {
        QStringList line{entry->text()};
        if (entry->menu() != nullptr) {
            for (QAction* item : entry->menu()->actions()) {
                if (!item->isSeparator()) {
                    line << item->text();
                }
            }
        }
        menus << line.join(" | ");
    }
    EXPECT_EQ(menus, (QStringList{"File | Open KISS File | Open SatNOGS CSV | Exit",
                                  "Tools | Crop SatNOGS CSV -> Image Data",
                                  "TLM File | Write TLM CSV | Write SENSOR CSV | Write TLM File",
                                  "Info"}));

    const QStringList pages{"Telemetry", "Sensors", "SYS / Digipeater", "Images", "Info"};
    auto* tabs = Find<QTabWidget>("SSTab1");
    ASSERT_EQ(tabs->count(), pages.size());
    for (int i = 0; i < tabs->count(); ++i) {
        EXPECT_EQ(tabs->tabText(i), pages[i]);
    }
    for (int field = 0; field < 107; ++field) {
        const bool hidden = field >= 67 && field <= 69;
        auto* box = Find<QLineEdit>("Text1_" + QString::number(field));
        EXPECT_EQ(box->isHidden(), hidden) << field;
        // Captions are never clipped.
        auto* selector = Find<QRadioButton>("Option1_" + QString::number(field));
        EXPECT_GE(selector->width(), selector->sizeHint().width()) << field;
    }
}

TEST_F(WindowTest, OpeningTheSampleFillsValuesLogAndChart) {
    // While the file is read, the commands that read or write files wait.
    m_platform.SetEventInterval(0);
    // The progress bar moves and the pointer is busy while the read lets events run.
    bool sawDisabled = false;
    bool sawBusyPointer = false;
    std::vector<int> progress;
    auto* progressBar = Find<QProgressBar>("ProgressBar1");
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        sawDisabled = sawDisabled || !Find<QAction>("MnuOpenKISSFile")->isEnabled();
        EXPECT_EQ(Find<QAction>("WriteCSVFile")->isEnabled(), !m_app->ui.Reading);
        const QCursor* pointer = QApplication::overrideCursor();
        sawBusyPointer =
            sawBusyPointer || (pointer != nullptr && pointer->shape() == Qt::WaitCursor);
        if (progressBar->isVisible()) {
            progress.push_back(progressBar->value());
        }
    });
    probe.start(0);
    OpenSample();
    probe.stop();
    EXPECT_TRUE(sawDisabled);
    EXPECT_TRUE(sawBusyPointer);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_GE(progress.size(), 2u);
    EXPECT_LT(progress.front(), progress.back());
    EXPECT_FALSE(progressBar->isVisible());
    EXPECT_TRUE(Find<QAction>("MnuOpenKISSFile")->isEnabled());
    EXPECT_TRUE(Find<QAction>("MnuSatNogs_Img")->isEnabled());
    ASSERT_EQ(m_filters.size(), 1);
    EXPECT_EQ(m_filters[0], "KISS Files (*.kss);;All Files (*)");

    const int beacons = m_app->telemetry.Count();
    ASSERT_GT(beacons, 0);
    ASSERT_GT(m_app->sensor.Count(), 0);
    EXPECT_EQ(Find<QLineEdit>("Text4")->text(), kSample);
    // The value boxes show the model's texts of the shown record.
    for (int field : {1, 26, 39, 75, 106}) {
        const std::string& text = m_app->ui.Text1[static_cast<std::size_t>(field)];
        EXPECT_FALSE(text.empty()) << field;
        EXPECT_EQ(Find<QLineEdit>("Text1_" + QString::number(field))->text(),
                  QString::fromLatin1(text));
    }
    for (int field = 0; field < 107; ++field) {
        EXPECT_EQ(Find<QRadioButton>("Option1_" + QString::number(field))->isChecked(),
                  m_app->ui.Option1Value[static_cast<std::size_t>(field)]);
    }
    EXPECT_EQ(Find<QLineEdit>("Text1_1")->palette().color(QPalette::Base), QColor(255, 255, 192));
    EXPECT_EQ(m_window->Chart()->title(), "Batt Voltage (mV)");
    EXPECT_TRUE(Find<QLabel>("Label4")->text().startsWith("RX Timestamp: 2023-11-14"));
    EXPECT_EQ(Find<QLabel>("Label5")->text(), "QUORBEL-1U");

    // The log holds the messages, digipeated ones in blue.
    auto* log = Find<MessageLogView>("RichTextBox1");
    const QString logText = log->toPlainText();
    EXPECT_EQ(logText, QString::fromLatin1(m_app->ui.RichTextBox1.Text()).replace("\r\n", "\n"));
    const int digipeated = logText.indexOf(" | to: ");
    ASSERT_GE(digipeated, 0);
    QTextCursor cursor(log->document());
    cursor.setPosition(digipeated + 2);
    EXPECT_EQ(cursor.charFormat().foreground().color(), QColor(0, 0, 255));
    EXPECT_TRUE(Find<QPlainTextEdit>("Text5")->toPlainText().contains("kiss frames: "));

    // The chart: the beacons' battery voltage as one line labelled with the receive times.
    ASSERT_EQ(Plot()->plottableCount(), 1);
    auto* line = qobject_cast<QCPGraph*>(Plot()->plottable(0));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->data()->size(), beacons);
    EXPECT_EQ(line->name(), "Batt Voltage");
    EXPECT_DOUBLE_EQ(line->data()->at(beacons - 1)->value,
                     m_app->telemetry.Record(beacons).values[1]);
    QVector<double> ticks;
    QVector<QString> labels;
    Plot()->xAxis->ticker()->generate(QCPRange(0.5, beacons + 0.5), QLocale(), 'g', 6, ticks,
                                      nullptr, &labels);
    ASSERT_FALSE(ticks.isEmpty());
    EXPECT_EQ(ticks[0], 1.0);
    EXPECT_EQ(labels[0], QString::fromLatin1(m_app->ui.Chart.labels[0]));
    EXPECT_TRUE(labels[0].startsWith("22:13:20"));
}

TEST_F(WindowTest, ShiftOrRightClickOnASelectorDrawsTheGroup) {
    OpenSample();
    auto* magX = Find<QRadioButton>("Option1_81");
    QTest::mouseClick(magX, Qt::LeftButton, Qt::ShiftModifier, magX->rect().center());
    ASSERT_EQ(Plot()->plottableCount(), 3);
    const char* legends[] = {"Mag Field X", "Mag Field Y", "Mag Field Z"};
    const QColor colours[] = {{70, 130, 180}, {34, 139, 34}, {176, 48, 96}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Plot()->plottable(i)->name(), legends[i]);
        EXPECT_EQ(Plot()->plottable(i)->pen().color(), colours[i]);
        EXPECT_EQ(Plot()->plottable(i)->interface1D()->dataCount(), m_app->sensor.Count());
    }
    EXPECT_TRUE(magX->isChecked());
    EXPECT_EQ(m_window->Chart()->title(), QString::fromUtf8("Mag Field X (\xC2\xB5T)"));

    // A plain click draws the one field; a right-click on a member of a group draws the group.
    auto* temperature = Find<QRadioButton>("Option1_75");
    QTest::mouseClick(temperature, Qt::LeftButton, Qt::NoModifier, temperature->rect().center());
    EXPECT_EQ(Plot()->plottableCount(), 1);
    EXPECT_FALSE(magX->isChecked());
    auto* magZ = Find<QRadioButton>("Option1_83");
    QTest::mouseClick(magZ, Qt::RightButton, Qt::NoModifier, magZ->rect().center());
    ASSERT_EQ(Plot()->plottableCount(), 3);
    EXPECT_EQ(Plot()->plottable(2)->name(), "Mag Field Z");
    EXPECT_TRUE(magZ->isChecked());
    // Clicking the selected selector again keeps it selected.
    QTest::mouseClick(magZ, Qt::LeftButton, Qt::NoModifier, magZ->rect().center());
    EXPECT_TRUE(magZ->isChecked());
    EXPECT_EQ(Plot()->plottableCount(), 1);
}

TEST_F(WindowTest, BarBoxSwitchesBetweenBarsAndThickLine) {
    OpenSample();
    auto* bars = Find<QCheckBox>("Check1");
    QTest::mouseClick(bars, Qt::LeftButton, Qt::NoModifier, bars->rect().center());
    EXPECT_TRUE(m_app->ui.Check1);
    ASSERT_EQ(Plot()->plottableCount(), 1);
    auto* bar = qobject_cast<QCPBars*>(Plot()->plottable(0));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->pen().style(), Qt::NoPen);
    EXPECT_EQ(bar->dataCount(), m_app->telemetry.Count());

    QTest::mouseClick(bars, Qt::LeftButton, Qt::NoModifier, bars->rect().center());
    EXPECT_FALSE(m_app->ui.Check1);
    auto* line = qobject_cast<QCPGraph*>(Plot()->plottable(0));
    ASSERT_NE(line, nullptr);
    EXPECT_GE(line->pen().widthF(), 3.0);  // the thick line
}

TEST_F(WindowTest, NavigationScrollBarShowsOtherRecords) {
    OpenSample();
    auto* scroll = Find<QScrollBar>("HScroll1");
    const int count = m_app->telemetry.Count();
    EXPECT_EQ(scroll->maximum(), count);
    scroll->setValue(5);
    EXPECT_EQ(Find<QLineEdit>("Text2")->text(), QString("#5 / %1").arg(count));
    const double voltage = m_app->telemetry.Record(5).values[1];
    EXPECT_EQ(Find<QLineEdit>("Text1_1")->text(), QString::number(voltage, 'g', 15));
    scroll->setValue(count);
    EXPECT_EQ(Find<QLineEdit>("Text1_1")->text(),
              QString::number(m_app->telemetry.Record(count).values[1], 'g', 15));
}

TEST_F(WindowTest, ScrollBarsAppearOnlyWhenTheWindowIsSmallerThanTheContent) {
    QScrollArea* view = m_window->ScrollView();
    const QSize content = m_window->ContentSize();
    m_window->resize(content + QSize(40, 80));
    QCoreApplication::processEvents();
    EXPECT_FALSE(view->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(view->verticalScrollBar()->isVisible());
    EXPECT_EQ(view->widget()->pos(), QPoint(0, 0));

    m_window->resize(content.width() / 2, content.height() / 2);
    QCoreApplication::processEvents();
    EXPECT_TRUE(view->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(view->verticalScrollBar()->isVisible());
    EXPECT_EQ(view->horizontalScrollBar()->singleStep(), 16);
    EXPECT_EQ(view->verticalScrollBar()->singleStep(), 16);

    // Scrolled to the far right, then widened: the content's right edge stays in view.
    view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
    m_window->resize(content.width() * 3 / 4, content.height() / 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(view->horizontalScrollBar()->value(), view->horizontalScrollBar()->maximum());
    EXPECT_EQ(view->widget()->geometry().right(), view->viewport()->width() - 1);
}

TEST_F(WindowTest, ImageListShowsTheChosenPictureAndKeepsItForAnUnreadableFile) {
    auto* images = Find<QListWidget>("File1");
    auto* picture = Find<PictureBox>("Picture1");
    images->setCurrentRow(1);
    EXPECT_EQ(picture->PicturePath(), m_folder.filePath("ssdv_012.jpg"));
    EXPECT_FALSE(picture->pixmap().isNull());
    // A file deleted since start-up: the picture box keeps what it showed.
    ASSERT_TRUE(QFile::remove(m_folder.filePath("ssdv_000.jpg")));
    images->setCurrentRow(0);
    EXPECT_EQ(picture->PicturePath(), m_folder.filePath("ssdv_012.jpg"));
    // A click on the picture does nothing to the window.
    QTest::mouseClick(picture, Qt::LeftButton);
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_EQ(m_ends, 0);
}

TEST_F(WindowTest, AboutWindowIsNotModalAndExitEndsTheProgram) {
    Find<QAction>("MnuInfo")->trigger();
    const QWidgetList about = QApplication::topLevelWidgets();
    QWidget* info = nullptr;
    for (QWidget* widget : about) {
        if (widget->objectName() == "Info" && widget->isVisible()) {
            info = widget;
        }
    }
    ASSERT_NE(info, nullptr);
    EXPECT_FALSE(info->isModal());
    EXPECT_EQ(info->findChild<QLabel*>("Label1")->text(), "QUORBEL Telemetry Decoder");
    EXPECT_EQ(info->findChild<QLabel*>("Label2")->text(), "Version 0.8    (16 Oct 2026)");
    EXPECT_EQ(info->findChild<QLabel*>("Label11")->text(),
              info->findChild<QLabel*>("Label11")->text().toUpper());
    EXPECT_FALSE(info->findChild<QLabel*>("Image1")->pixmap().isNull());

    Find<QAction>("MenuFileExit")->trigger();
    EXPECT_EQ(m_ends, 1);
    EXPECT_FALSE(info->isVisible());
    m_window->close();
    EXPECT_EQ(m_ends, 2);
}

}  // namespace
}  // namespace quorbel::gui
