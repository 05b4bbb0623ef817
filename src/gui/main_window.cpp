// The main window's menus, pages, scrolling panel and the wiring of user actions to handlers.
#include "main_window.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFileSystemWatcher>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdlib>
#include <exception>
#include <string_view>

#include "about_window.hpp"
#include "chart_frame.hpp"
#include "export/image_data_crop.hpp"
#include "field_page.hpp"
#include "history_chart_view.hpp"
#include "history_page.hpp"
#include "images_page.hpp"
#include "intake/kiss_file_reader.hpp"
#include "intake/satnogs_reader.hpp"
#include "message_log_view.hpp"
#include "model_binding.hpp"
#include "open_archive_dialog.hpp"
#include "qt_http_poster.hpp"
#include "qt_platform.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "status_strip.hpp"
#include "value_chart_view.hpp"
#include "window_fit.hpp"

namespace quorbel::gui {

namespace {

// The History page's stations are counted this long after the last zoom or pan step.
constexpr int kHistoryStationsDelayMs = 300;
// Time for the window manager to put its frame around the new window.
constexpr int kFrameSettleMs = 200;
// Scroll bars of the panel move by this many pixels per step.
constexpr int kScrollStep = 16;
// Rows per column on the field pages: 67 beacon fields in four columns, 37 sensor fields in three.
constexpr int kTelemetryRows = 17;
constexpr int kSensorRows = 13;
// The longest value texts: a 32-bit count on the beacon page; a single-precision value in full
// and the date and time of field 70 on the sensor page.
constexpr const char* kWidestBeaconValue = "-2147483648";
constexpr const char* kWidestSensorValue = "-0.0991942510008812";

constexpr const char* kTooManyFilesMessage = "Es wurden zu viele Dateien ausgew\xE4hlt!";

// An open command's files from the multi-file dialog. Cancelling hands over no files: the command
// still prepares the window, as it always has. A choice too long for the dialog is the same, and
// says so in a message box.
void OpenChosenFiles(AppState& app, QtPlatform& platform, const char* filter,
                     CommandOutcome (*open)(AppState&, const std::vector<std::string>&)) {
    if (app.ui.reading)
        return;  // the command would refuse the files anyway
    const FileSelection selection = platform.SelectFiles({"", filter, true});
    const bool chosen = selection.outcome == FileSelection::Outcome::Chosen;
    open(app, chosen ? selection.paths : std::vector<std::string>());
    if (selection.outcome == FileSelection::Outcome::TooMany)
        platform.ShowMessage({"", kTooManyFilesMessage, MessageIcon::Information});
}

// The crop command's one file from the dialog "Select File"; cancelling does nothing.
void CropChosenExport(AppState& app, QtPlatform& platform) {
    const FileSelection selection = platform.SelectFiles({"Select File", kCropFilter, false});
    if (selection.outcome == FileSelection::Outcome::Chosen && !selection.paths.empty())
        CropSatnogsImageData(app, selection.paths.front());
}

struct MenuCommand {
    const char* menu;
    const char* caption;
    const char* name;
    // Each command shows its outcome in the status line itself.
    void (*handler)(AppState&, QtPlatform&);
};

// The menu bar's commands; all of them read or write files and wait while a file is read.
const MenuCommand kFileCommands[] = {
    {"File", "Open KISS File", "openCaptureFiles",
     [](AppState& app, QtPlatform& platform) {
         OpenChosenFiles(app, platform, kKissFilter, OpenCaptureFiles);
     }},
    {"File", "Open SatNOGS CSV", "openSatnogsExports",
     [](AppState& app, QtPlatform& platform) {
         OpenChosenFiles(app, platform, kSatnogsFilter, OpenSatnogsExports);
     }},
    {"Tools", "Crop SatNOGS CSV -> Image Data", "cropImageData", CropChosenExport},
    {"TLM File", "Write TLM CSV", "writeTelemetryCsv",
     [](AppState& app, QtPlatform&) { WriteTelemetryCsv(app); }},
    {"TLM File", "Write SENSOR CSV", "writeSensorCsv",
     [](AppState& app, QtPlatform&) { WriteSensorCsv(app); }},
    {"TLM File", "Write TLM File", "writeTlmReport",
     [](AppState& app, QtPlatform&) { WriteTlmReport(app); }},
};

}  // namespace

MainWindow::MainWindow(AppState& app, QtPlatform& platform, QWidget* parent)
    : QMainWindow(parent), m_app(app), m_platform(platform) {
    setObjectName("mainWindow");
    BoundWidgets widgets;
    widgets.window = this;
    BuildMenus(widgets);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName("picView");
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    QWidget* content = BuildContent(widgets);
    content->setMinimumSize(content->sizeHint());
    m_scroll->setWidget(content);
    m_scroll->horizontalScrollBar()->setSingleStep(kScrollStep);
    m_scroll->verticalScrollBar()->setSingleStep(kScrollStep);
    setCentralWidget(m_scroll);
    WireControls(widgets);
    WireSharing(widgets);
    WireHistory();
    m_binding = std::make_unique<ModelBinding>(m_app.ui, std::move(widgets));
    WireLiveClient();
    m_platform.SetModelSync([this] { Refresh(); });
    // A picture decoder that failed is named in the status line.
    m_platform.SetProgramEndHandler(
        [this](const ProgramEnd& end) { Run([this, end] { FinishSsdvDecoder(m_app, end); }); });
    m_endProgram = [this] {
        // Inside a running read the handler is still on the stack: end without unwinding it.
        if (m_app.ui.reading) {
            std::quick_exit(0);
        }
        QApplication::quit();
    };
}

MainWindow::~MainWindow() {
    m_platform.SetModelSync(nullptr);
    m_platform.SetProgramEndHandler(nullptr);
    m_platform.Socket().SetDataHandler(nullptr);
    m_platform.Socket().SetStateHandler(nullptr);
    StopSharing(m_app);  // the sender goes before the HTTP client it uses
    delete m_about;      // a window without owner: it goes with the main window
}

void MainWindow::BuildMenus(BoundWidgets& widgets) {
    QMenu* file = menuBar()->addMenu("File");
    file->setObjectName("fileMenu");
    QMenu* tools = menuBar()->addMenu("Tools");
    tools->setObjectName("toolsMenu");
    QMenu* tlm = menuBar()->addMenu("TLM File");
    tlm->setObjectName("tlmFileMenu");
    for (const MenuCommand& command : kFileCommands) {
        QMenu* menu = command.menu == std::string_view("File")    ? file
                      : command.menu == std::string_view("Tools") ? tools
                                                                  : tlm;
        QAction* action = menu->addAction(command.caption);
        action->setObjectName(command.name);
        connect(action, &QAction::triggered, this, [this, handler = command.handler] {
            Run([this, handler] { handler(m_app, m_platform); });
        });
        widgets.readCommands.push_back(action);
    }
    QAction* fromArchive = file->addAction(QString::fromUtf8("Open from Archive\xE2\x80\xA6"));
    fromArchive->setObjectName("openFromArchive");
    connect(fromArchive, &QAction::triggered, this, [this] { OpenFromArchiveDialog(); });
    widgets.readCommands.push_back(fromArchive);
    file->addSeparator();
    QAction* exit = file->addAction("Exit");
    exit->setObjectName("exitCommand");
    connect(exit, &QAction::triggered, this, [this] { EndProgram(); });
    QAction* info = menuBar()->addAction("Info");
    info->setObjectName("infoMenu");
    connect(info, &QAction::triggered, this, [this] { ShowAbout(); });
}

QWidget* MainWindow::BuildContent(BoundWidgets& widgets) {
    auto* content = new QWidget;
    content->setObjectName("picContent");
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(8, 6, 8, 6);
    m_tabs = new QTabWidget(content);
    m_tabs->setObjectName("pages");
    widgets.telemetry = new FieldPage(0, 69, kTelemetryRows, kWidestBeaconValue);
    widgets.sensors = new FieldPage(70, 106, kSensorRows, kWidestSensorValue);
    widgets.spinText = widgets.sensors->AddNoteLabel("spinText");
    widgets.messageLog = new MessageLogView;
    widgets.images = new ImagesPage;
    widgets.history = m_history = new HistoryPage;
    m_tabs->addTab(widgets.telemetry, "Telemetry");
    m_tabs->addTab(widgets.sensors, "Sensors");
    m_tabs->addTab(widgets.messageLog, "SYS / Digipeater");
    m_tabs->addTab(widgets.images, "Images");
    m_tabs->addTab(widgets.history, "History");
    m_tabs->addTab(BuildInfoPage(widgets), "Info");
    widgets.recordBar = new RecordBar(content);
    m_chartFrame = new ChartFrame(content);
    widgets.chartFrame = m_chartFrame;
    widgets.status = new StatusStrip(content);
    layout->addWidget(m_tabs);
    layout->addWidget(widgets.recordBar);
    layout->addWidget(m_chartFrame, 1);
    layout->addWidget(widgets.status);
    return content;
}

QWidget* MainWindow::BuildInfoPage(BoundWidgets& widgets) {
    // The reader's log beside the diagnostics of the files read last, both in a fixed font.
    auto* page = new QWidget;
    page->setObjectName("InfoPage");
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 4, 0, 0);
    m_appFolderLabel = new QLabel(page);
    m_appFolderLabel->setObjectName("LabelAppFolder");
    m_appFolderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pageLayout->addWidget(m_appFolderLabel);
    widgets.archiveText = new QLabel(page);
    widgets.archiveText->setObjectName("LabelArchive");
    widgets.archiveText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pageLayout->addWidget(widgets.archiveText);
    auto* layout = new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    pageLayout->addLayout(layout, 1);
    const auto fixedTextBox = [](const char* name) {
        auto* text = new QPlainTextEdit;
        text->setObjectName(name);
        text->setReadOnly(true);
        text->setLineWrapMode(QPlainTextEdit::NoWrap);
        text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        return text;
    };
    widgets.readerLog = fixedTextBox("readerLog");
    auto* box = new QGroupBox("Diagnostics of the last read");
    box->setObjectName("DiagnosticsBox");
    auto* boxLayout = new QVBoxLayout(box);
    boxLayout->setContentsMargins(4, 4, 4, 4);
    widgets.diagnostics = fixedTextBox("diagnostics");
    boxLayout->addWidget(widgets.diagnostics);
    layout->addWidget(widgets.readerLog, 3);
    layout->addWidget(box, 2);
    return page;
}

void MainWindow::ShowAppFolder() {
    const QString folder = QFile::decodeName(QByteArray::fromStdString(m_app.settings.appDir));
    const auto origin = DescribeAppFolderOrigin(m_app.settings.appDirOrigin);
    m_appFolderLabel->setText(
        QString("Application folder (conf.ini, captures, SSDV files): %1  (%2)")
            .arg(folder,
                 QString::fromLatin1(origin.data(), static_cast<qsizetype>(origin.size()))));
}

void MainWindow::WireControls(const BoundWidgets& widgets) {
    for (FieldPage* page : {widgets.telemetry, widgets.sensors}) {
        connect(page, &FieldPage::SelectorClicked, this, [this](int index, bool groupRequest) {
            m_chartFrame->chart->ResetZoomOnNextDraw();
            const bool group = groupRequest || IsGroupModifierHeld();
            Run([this, index, group] { ClickFieldSelector(m_app, index, group); });
        });
    }
    connect(m_chartFrame->chartBars, &QCheckBox::clicked, this, [this](bool checked) {
        Run([this, checked] {
            m_app.ui.chartBars = checked;
            SetChartBars(m_app);
        });
    });
    connect(m_chartFrame->chartTimeAxis, &QCheckBox::clicked, this, [this](bool checked) {
        Run([this, checked] {
            m_app.ui.chartTimeAxis = checked;
            SetChartTimeAxis(m_app);
        });
    });
    connect(m_chartFrame->chart, &ValueChartView::SaveRequested, this,
            [this](ChartFileFormat format) {
                Run([this, format] {
                    SaveChart(m_app, format, [this, format](const std::string& path) {
                        return m_chartFrame->chart->SaveToFile(path, format);
                    });
                });
            });
    connect(widgets.recordBar->recordScrollBar, &QScrollBar::valueChanged, this,
            [this](int value) { Run([this, value] { SetRecordPosition(m_app, value); }); });
    connect(widgets.status->tcpClient, &QCheckBox::clicked, this, [this](bool checked) {
        Run([this, checked] {
            m_app.ui.tcpClient = checked;
            SetTcpClient(m_app);
        });
    });
    connect(widgets.images->imageFiles, &QListWidget::currentRowChanged, this,
            [this](int row) { Run([this, row] { ShowListedImage(m_app, row); }); });
    widgets.messageLog->SetCaretHandler(
        [this](std::size_t point) { m_app.ui.messageLog.SetInsertionPoint(point); });
}

void MainWindow::WireHistory() {
    HistoryPage* page = m_history;
    const HistoryModel& history = m_app.ui.history;
    m_historyStations = new QTimer(this);
    m_historyStations->setObjectName("historyStationsTimer");
    m_historyStations->setSingleShot(true);
    m_historyStations->setInterval(kHistoryStationsDelayMs);
    connect(m_historyStations, &QTimer::timeout, this,
            [this] { Run([this] { LoadHistoryStations(m_app); }); });
    connect(page, &HistoryPage::FieldChosen, this,
            [this](int field) { Run([this, field] { SelectHistoryField(m_app, field); }); });
    connect(page, &HistoryPage::RangeChoiceChosen, this, [this](int choice) {
        Run([this, choice] {
            ChooseHistoryRange(m_app, static_cast<ArchiveRangeChoice>(choice), NowMs());
        });
    });
    connect(page, &HistoryPage::FromToChosen, this, [this](qint64 from, qint64 to) {
        Run([this, from, to] { ShowHistoryRange(m_app, {from, to}); });
    });
    connect(page, &HistoryPage::ZoomClicked, this, [this, &history](double factor) {
        const std::int64_t middle =
            history.range.fromMs + (history.range.toMs - history.range.fromMs) / 2;
        Run([this, middle, factor] { ZoomHistory(m_app, middle, factor); });
    });
    connect(page, &HistoryPage::PanClicked, this, [this, &history](double share) {
        const auto by = static_cast<std::int64_t>(
            share * static_cast<double>(history.range.toMs - history.range.fromMs));
        Run([this, by] { PanHistory(m_app, by); });
    });
    connect(page, &HistoryPage::ExportClicked, this,
            [this] { Run([this] { ExportHistoryCsv(m_app); }); });
    connect(page->chart, &HistoryChartView::ZoomRequested, this,
            [this](qint64 around, double factor) {
                Run([this, around, factor] { ZoomHistory(m_app, around, factor); });
            });
    connect(page->chart, &HistoryChartView::RangeRequested, this, [this](qint64 from, qint64 to) {
        Run([this, from, to] { ShowHistoryRange(m_app, {from, to}); });
    });
    // The width is known during a redraw of the chart: its new buckets are loaded after it.
    connect(
        page->chart, &HistoryChartView::PlotPixelsChanged, this,
        [this](int pixels) { Run([this, pixels] { SetHistoryChartPixels(m_app, pixels); }); },
        Qt::QueuedConnection);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this, &history](int index) {
        if (m_tabs->widget(index) != m_history || history.revision != 0)
            return;
        m_app.ui.history.chartPixels = m_history->chart->PlotPixels();
        Run([this] { ChooseHistoryRange(m_app, ArchiveRangeChoice::Everything, NowMs()); });
    });
}

void MainWindow::OpenFromArchiveDialog() {
    if (m_app.ui.reading)
        return;
    OpenArchiveDialog dialog(this);
    const TimeRange shown = m_app.ui.history.range;
    const std::int64_t now = NowMs();
    dialog.SetFromTo(shown.toMs > shown.fromMs ? shown.fromMs : now - 24 * 3600 * 1000,
                     shown.toMs > shown.fromMs ? shown.toMs : now);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const int choice = dialog.Choice();
    const TimeRange fromTo{dialog.FromMs(), dialog.ToMs()};
    Run([this, choice, fromTo, now] {
        if (choice == kHistoryFromToChoice)
            OpenFromArchive(m_app, fromTo);
        else
            OpenArchiveChoice(m_app, static_cast<ArchiveRangeChoice>(choice), now);
    });
}

std::int64_t MainWindow::NowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               m_platform.Now().time_since_epoch())
        .count();
}

void MainWindow::WireLiveClient() {
    // connectionTimer ticks every second while the model has it enabled: from start-up until the
    // box is first cleared, and again while the box is set.
    m_connectionTimer = new QTimer(this);
    m_connectionTimer->setObjectName("connectionTimer");
    m_connectionTimer->setInterval(1000);
    connect(m_connectionTimer, &QTimer::timeout, this, [this] {
        if (m_app.ui.connectionTimerRunning)
            Run([this] { PollConnectionState(m_app); });
    });
    m_connectionTimer->start();
    m_refreshSoon = new QTimer(this);
    m_refreshSoon->setSingleShot(true);
    m_refreshSoon->setInterval(15);
    connect(m_refreshSoon, &QTimer::timeout, this, [this] { Refresh(); });
    m_platform.Socket().SetDataHandler([this](std::span<const std::uint8_t> bytes) {
        RunGuarded([&] { ReceiveLiveBytes(m_app, bytes); });
        RefreshSoon();
    });
}

ShareServices MainWindow::SharingServices() {
    if (!m_poster)
        m_poster = std::make_unique<QtHttpPoster>();
    return {m_openOutbox, m_poster.get(), [this] { return NowMs(); }, {}};
}

void MainWindow::WireSharing(const BoundWidgets& widgets) {
    connect(widgets.status->shareFrames, &QCheckBox::clicked, this, [this](bool checked) {
        Run([this, checked] {
            m_app.ui.shareFrames = checked;
            if (checked && !m_openOutbox) {
                m_app.ui.shareFrames = false;
                m_app.ui.statusLine = "sharing frames is not available in this window";
                return;
            }
            SetShareBox(m_app, SharingServices());
        });
    });
    // The sender's turns: requests are started and replies marked between live frames; the
    // window is drawn again only when the counts or the log changed.
    m_sharePump = new QTimer(this);
    m_sharePump->setObjectName("sharePump");
    m_sharePump->setInterval(100);
    connect(m_sharePump, &QTimer::timeout, this, [this] {
        if (!m_app.sharing.sender)
            return;
        const std::string before = m_app.ui.shareText;
        bool logged = false;
        RunGuarded([&] { logged = !PumpSharing(m_app).empty(); });
        if (logged || m_app.ui.shareText != before)
            RefreshSoon();
    });
    m_sharePump->start();
}

void MainWindow::WatchImageFolder() {
    // The decoders write their pictures into the image list's folder while the program runs.
    m_imageFolderWatch = new QFileSystemWatcher(this);
    m_imageFolderWatch->addPath(QFile::decodeName(QByteArray::fromStdString(m_app.ui.imageFolder)));
    connect(m_imageFolderWatch, &QFileSystemWatcher::directoryChanged, this,
            [this] { Run([this] { FillImageList(m_app); }); });
}

void MainWindow::RefreshSoon() {
    if (!m_refreshSoon->isActive())
        m_refreshSoon->start();
}

void MainWindow::Start(const ArchiveOpener& openArchive, const OutboxOpener& openOutbox) {
    m_openOutbox = openOutbox;
    Run([&] {
        StartUp(m_app);
        if (openArchive)
            OpenArchive(m_app, openArchive);
        // SHARE=on shares from the start; settings that cannot work leave the box clear and
        // say why.
        if (m_openOutbox && SharingSwitchedOn(m_app.settings))
            m_app.ui.shareFrames = !StartSharing(m_app, SharingServices());
    });
    ShowAppFolder();
    WatchImageFolder();
    m_wantedSize = ContentSize() + QSize(0, menuBar()->sizeHint().height());
    FitWindowToScreen(*this, m_wantedSize);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_fitted || !m_wantedSize.isValid()) {
        return;
    }
    m_fitted = true;
    // The window manager's frame is known only once the window is on screen: a window that was
    // sized to the whole work area is fitted again so its title bar and borders fit in as well.
    QTimer::singleShot(kFrameSettleMs, this, [this] {
        const QScreen* screen = this->screen();
        const QSize frame = frameGeometry().size() - geometry().size();
        if (screen != nullptr && (frame.width() > 0 || frame.height() > 0) &&
            !screen->availableGeometry().contains(frameGeometry())) {
            FitWindowToScreen(*this, m_wantedSize);
        }
    });
}

void MainWindow::Run(const std::function<void()>& handler) {
    RunGuarded(handler);
    Refresh();
}

void MainWindow::RunGuarded(const std::function<void()>& handler) {
    // The window is the command boundary: a failure of one command must not end the program.
    try {
        handler();
    } catch (const std::exception& error) {
        m_platform.ShowMessage({kWindowTitle, error.what(), MessageIcon::Warning});
    }
}

void MainWindow::Refresh() {
    m_binding->Refresh();
    // Every new range of the History page starts the wait for its stations again.
    const HistoryModel& history = m_app.ui.history;
    if (history.stationsPending && history.revision != m_historyRevision) {
        m_historyRevision = history.revision;
        m_historyStations->start();
    }
}

QSize MainWindow::ContentSize() const {
    return m_scroll->widget()->minimumSize();
}

void MainWindow::ShowAbout() {
    // Created on first use, shown again later; without owner so the main window stays usable.
    if (m_about == nullptr) {
        m_about = new AboutWindow;
        m_about->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void MainWindow::EndProgram() {
    if (m_about != nullptr) {
        m_about->close();
    }
    m_endProgram();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    EndProgram();
}

}  // namespace quorbel::gui
