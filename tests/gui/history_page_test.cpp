// The History page and "File > Open from Archive..." in the window on the offscreen platform, on
// a real archive in the application folder: the wheel and a drag load finer buckets or move the
// range, and the chart draws what was loaded; the dialog's choice fills the record stores.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWheelEvent>
#include <memory>

#include "history_chart_view.hpp"
#include "history_page.hpp"
#include "main_window.hpp"
#include "open_archive_dialog.hpp"
#include "qt_platform.hpp"
#include "shell/app_state.hpp"
#include "sqlite_archive.hpp"
#include "support/beacon_passes.hpp"

namespace quorbel::gui {
namespace {

using testing::BeaconPasses;

// Sixty passes of fifty beacons: more records than the chart has pixels, so it starts with buckets.
class HistoryPageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        const std::string appDir = QFile::encodeName(m_folder.path()).toStdString();
        m_passes.WriteTo(*OpenSqliteArchive(appDir + "/archive.sqlite"));
        m_app = std::make_unique<AppState>(m_platform);
        m_app->settings.appDir = appDir;
        m_window = std::make_unique<MainWindow>(*m_app, m_platform);
        m_window->resize(1300, 900);
        // The window opens archive.sqlite of the application folder, as conf.ini leaves it.
        m_window->Start([](const std::string& path) { return OpenSqliteArchive(path); });
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    }

    HistoryChartView* Chart() { return m_window->History()->chart; }
    void Wheel(int x, int steps) {
        const QPointF at(x, Chart()->height() / 2);
        QWheelEvent wheel(at, Chart()->mapToGlobal(at), {}, QPoint(0, 120 * steps), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(Chart(), &wheel);
    }
    void Drag(int fromX, int toX) {
        const int y = Chart()->height() / 2;
        QTest::mousePress(Chart(), Qt::LeftButton, Qt::NoModifier, QPoint(fromX, y));
        QTest::mouseMove(Chart(), QPoint(toX, y));
        QTest::mouseRelease(Chart(), Qt::LeftButton, Qt::NoModifier, QPoint(toX, y));
    }

    BeaconPasses m_passes{60, 50};
    QTemporaryDir m_folder;
    QtPlatform m_platform;
    std::unique_ptr<AppState> m_app;
    std::unique_ptr<MainWindow> m_window;
};

TEST_F(HistoryPageTest, WheelZoomAndDragLoadAndDrawFinerBuckets) {
    const HistoryModel& history = m_app->ui.history;
    m_window->findChild<QTabWidget*>("pages")->setCurrentWidget(m_window->History());
    QTest::qWait(50);  // the chart's width is known after its first layout
    // The page shows everything the archive holds, one bucket per pixel at most.
    ASSERT_EQ(history.range.fromMs, BeaconPasses::kStartMs) << history.statusText;
    ASSERT_GT(history.series.bucketWidthMs, 0);
    EXPECT_EQ(history.chartPixels, Chart()->axisRect()->width());
    EXPECT_LE(static_cast<int>(history.series.buckets.size()), history.chartPixels);
    EXPECT_GE(Chart()->BandPointCount(), 2 * static_cast<int>(history.series.buckets.size()));
    EXPECT_DOUBLE_EQ(Chart()->xAxis->range().lower, BeaconPasses::kStartMs / 1000.0);
    // The stations follow once the page has been still for a moment.
    const auto* stations = m_window->findChild<QTreeWidget*>("historyStations");
    ASSERT_TRUE(QTest::qWaitFor([&] { return stations->topLevelItemCount() == 2; }, 3000));
    EXPECT_EQ(stations->topLevelItem(0)->text(1), "1,500");
    EXPECT_FALSE(m_window->findChild<QLabel*>("historyStatus")->text().isEmpty());

    // Three wheel steps in, at the chart's middle: a narrower range with finer buckets, drawn.
    const std::int64_t wholeSpan = history.range.toMs - history.range.fromMs;
    const std::int64_t wholeWidth = history.series.bucketWidthMs;
    const std::uint64_t revision = history.revision;
    const int middle = Chart()->axisRect()->center().x();
    const double middleKey = Chart()->xAxis->pixelToCoord(middle);
    Wheel(middle, 3);
    EXPECT_GT(history.revision, revision);
    const std::int64_t zoomedSpan = history.range.toMs - history.range.fromMs;
    EXPECT_NEAR(static_cast<double>(zoomedSpan), 0.512 * static_cast<double>(wholeSpan),
                0.001 * static_cast<double>(wholeSpan));
    EXPECT_NEAR(Chart()->xAxis->pixelToCoord(middle), middleKey, 60.0);
    ASSERT_GT(history.series.bucketWidthMs, 0);
    EXPECT_LT(history.series.bucketWidthMs, wholeWidth);
    EXPECT_DOUBLE_EQ(Chart()->xAxis->range().lower, history.range.fromMs / 1000.0);
    EXPECT_DOUBLE_EQ(Chart()->xAxis->range().upper, history.range.toMs / 1000.0);

    // A drag to the right shows earlier times, the span kept, loaded anew when the button is up.
    const std::int64_t fromBefore = history.range.fromMs;
    Drag(middle, middle + 200);
    EXPECT_LT(history.range.fromMs, fromBefore);
    EXPECT_NEAR(static_cast<double>(history.range.toMs - history.range.fromMs),
                static_cast<double>(zoomedSpan), 2.0);
    EXPECT_DOUBLE_EQ(Chart()->xAxis->range().lower, history.range.fromMs / 1000.0);

    // Far enough in, the records themselves: a line with dots and no band.
    for (int i = 0; i < 12 && history.series.bucketWidthMs > 0; ++i)
        Wheel(middle, 3);
    ASSERT_EQ(history.series.bucketWidthMs, 0) << history.statusText;
    ASSERT_FALSE(history.series.points.empty());
    EXPECT_EQ(Chart()->BandPointCount(), 0);
    EXPECT_GE(Chart()->LinePointCount(), static_cast<int>(history.series.points.size()));

    // The buttons zoom out again and pan.
    m_window->History()->zoomOut->click();
    EXPECT_GT(history.range.toMs - history.range.fromMs, 0);
    const std::int64_t from = history.range.fromMs;
    m_window->History()->panLater->click();
    EXPECT_GT(history.range.fromMs, from);
}

TEST_F(HistoryPageTest, OpenFromArchiveDialogFillsTheStores) {
    // The dialog is answered once it is up: everything the archive holds.
    bool answered = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<OpenArchiveDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_FALSE(dialog->from->isEnabled());
        dialog->choices[kHistoryFromToChoice]->click();
        EXPECT_TRUE(dialog->from->isEnabled());
        dialog->SetChoice(4);  // everything
        answered = true;
        dialog->accept();
    });
    m_window->findChild<QAction*>("openFromArchive")->trigger();
    ASSERT_TRUE(answered);
    EXPECT_EQ(m_app->telemetry.Count(), static_cast<std::size_t>(m_passes.Records()));
    // The newest beacon is on the Telemetry page.
    const double last = BeaconPasses::Voltage(59, 49);
    EXPECT_EQ(m_app->ui.fieldValues[1], std::to_string(static_cast<int>(last)));

    // From / to: one pass only.
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<OpenArchiveDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->SetChoice(kHistoryFromToChoice);
        dialog->SetFromTo(BeaconPasses::Time(10, 0), BeaconPasses::Time(10, 0) + 600'000);
        dialog->accept();
    });
    m_window->findChild<QAction*>("openFromArchive")->trigger();
    EXPECT_EQ(m_app->telemetry.Count(), 50u);
}

}  // namespace
}  // namespace quorbel::gui
