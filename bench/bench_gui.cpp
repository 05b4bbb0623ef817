// The window's speed: "Open KISS File" of a capture of 5,000 beacons and 5,000 sensor frames until
// the last record and the chart are on screen, redraws of a 5,000-point chart as bars and as a
// line, and a zoom step of the History chart over a million beacons in an archive. Runs on the
// offscreen platform unless another is set.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <fstream>

#include "chart_frame.hpp"
#include "history_chart_view.hpp"
#include "history_page.hpp"
#include "main_window.hpp"
#include "qt_platform.hpp"
#include "sample_frames.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/history_commands.hpp"
#include "sqlite_archive.hpp"
#include "support/beacon_passes.hpp"
#include "value_chart_view.hpp"

namespace {

using namespace quorbel;

QString WriteCapture(const QTemporaryDir& folder) {
    samples::PassOptions options;
    options.beacons = 5000;
    options.sensorFrames = 5000;
    options.textMessages = 40;
    options.digipeatedMessages = 40;
    options.ssdvPackets = 0;
    const QString path = folder.filePath("bench-10000.kss");
    samples::WriteBytes(QFile::encodeName(path).toStdString(), samples::MakePassCapture(options));
    return path;
}

void BM_OpenCaptureInWindow(benchmark::State& state) {
    QTemporaryDir folder;
    const QString capture = WriteCapture(folder);
    gui::QtPlatform platform;
    platform.SetFileChooser([&](const QString&, const QString&) { return QStringList{capture}; });
    AppState app(platform);
    app.settings.appDir = QFile::encodeName(folder.path()).toStdString();
    gui::MainWindow window(app, platform);
    window.Start();
    window.show();
    QCoreApplication::processEvents();
    QAction* open = window.findChild<QAction*>("openCaptureFiles");
    for (auto _ : state) {
        open->trigger();
        QCoreApplication::processEvents();  // the queued chart redraw and the window's repaint
    }
    if (app.telemetry.Count() != 5000 || app.sensor.Count() != 5000 ||
        window.Chart()->chart->PointCount() != 5000) {
        state.SkipWithError("the capture did not fill both stores and the chart");
    }
}
BENCHMARK(BM_OpenCaptureInWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

ChartModel FiveThousandPoints(ChartKind kind) {
    ChartModel chart;
    chart.kind = kind;
    chart.penWidth = kind == ChartKind::Bar ? 1 : 30;
    chart.series.push_back({"Batt Voltage", std::nullopt, {}});
    for (int i = 0; i < 5000; ++i) {
        chart.series[0].values.push_back(7400 + 60 * std::sin(i / 400.0) + (i * 37 % 11));
        chart.labels.push_back("22:13:20.000 UTC");
    }
    chart.pointsPerLabel = 100;
    chart.revision = 1;
    return chart;
}

void RedrawChart(benchmark::State& state, ChartKind kind) {
    gui::ValueChartView view;
    view.resize(1000, 600);
    view.show();
    view.ShowChart(FiveThousandPoints(kind));
    QCoreApplication::processEvents();
    for (auto _ : state) {
        view.replot(QCustomPlot::rpImmediateRefresh);
    }
}

void BM_RedrawBars5000(benchmark::State& state) {
    RedrawChart(state, ChartKind::Bar);
}
BENCHMARK(BM_RedrawBars5000)->Unit(benchmark::kMillisecond);

void BM_RedrawLine5000(benchmark::State& state) {
    RedrawChart(state, ChartKind::Line);
}
BENCHMARK(BM_RedrawLine5000)->Unit(benchmark::kMillisecond);

// A zoom step of the History chart over a million beacons (20,000 passes of 50, about three and a
// half years): the archive's buckets of the new range, the page's model and the chart's replot.
// The steps alternate in and out, so every one covers 800,000 to a million records.
void BM_HistoryZoomStepMillion(benchmark::State& state) {
    QTemporaryDir folder;
    const std::string path = QFile::encodeName(folder.filePath("archive.sqlite")).toStdString();
    const quorbel::testing::BeaconPasses passes{20'000, 50};
    passes.WriteTo(*OpenSqliteArchive(path));
    gui::QtPlatform platform;
    AppState app(platform);
    app.archive = std::make_unique<ArchiveWriter>(OpenSqliteArchive(path));
    gui::HistoryPage page;
    page.resize(1300, 700);
    page.show();
    QCoreApplication::processEvents();
    app.ui.history.chartPixels = page.chart->PlotPixels();
    ShowHistory(app, 1, passes.Everything());
    page.ShowHistory(app.ui.history);
    const TimeRange whole = app.ui.history.range;
    const std::int64_t middle = whole.fromMs + (whole.toMs - whole.fromMs) / 2;
    bool zoomIn = true;
    for (auto _ : state) {
        ZoomHistory(app, middle, zoomIn ? 0.8 : 1.25);
        page.ShowHistory(app.ui.history);  // replots the chart at once
        zoomIn = !zoomIn;
    }
    state.counters["buckets"] = static_cast<double>(app.ui.history.series.buckets.size());
    if (app.ui.history.series.buckets.empty() || page.chart->BandPointCount() == 0)
        state.SkipWithError(("no buckets drawn: " + app.ui.history.statusText).c_str());
}
BENCHMARK(BM_HistoryZoomStepMillion)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
