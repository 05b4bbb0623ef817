// The main window: menus, the tabbed pages and the shared controls on one scrolling panel. It
// only wires: every command goes to a handler of the core, and the binding shows the model.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>

#include "shell/commands/archive_commands.hpp"
#include "shell/commands/share_commands.hpp"

namespace quorbel {
struct AppState;
}

class QScrollArea;
class QTimer;
class QFileSystemWatcher;
class QLabel;
class QTabWidget;

namespace quorbel::gui {

class AboutWindow;
class ChartFrame;
class HistoryPage;
class ModelBinding;
class QtPlatform;
struct BoundWidgets;

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    MainWindow(AppState& app, QtPlatform& platform, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Runs StartUp, shows its result and sizes the window to its content on its screen.
    // With an opener, the archive of conf.ini is opened after it is read. With an outbox opener,
    // the "Share with SatNOGS" box shares live frames (from the start when SHARE=on); without
    // one, setting the box says that sharing is not available.
    void Start(const ArchiveOpener& openArchive = {}, const OutboxOpener& openOutbox = {});
    // Runs a handler of the core and shows what it changed.
    void Run(const std::function<void()>& handler);
    void Refresh();
    // Shows the model within about 15 ms, once however many changes come in meanwhile (a fast
    // live stream is not spent repainting).
    void RefreshSoon();
    // The design size of the content panel: scroll bars appear below it.
    QSize ContentSize() const;
    QScrollArea* ScrollView() const { return m_scroll; }
    ChartFrame* Chart() const { return m_chartFrame; }
    HistoryPage* History() const { return m_history; }
    // How the program ends on "Exit" or when the window closes (tests keep their process).
    void SetEndProgram(std::function<void()> end) { m_endProgram = std::move(end); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void BuildMenus(BoundWidgets& widgets);
    QWidget* BuildContent(BoundWidgets& widgets);
    // The "Info" page: the application folder in use above the reader's log (readerLog) and the
    // diagnostics of the last read.
    QWidget* BuildInfoPage(BoundWidgets& widgets);
    void ShowAppFolder();
    void WireControls(const BoundWidgets& widgets);
    // The History page's controls and chart to the history commands; the page loads everything
    // the archive holds when it is first shown.
    void WireHistory();
    // "File > Open from Archive...": the dialog, then the range chosen read into the stores.
    void OpenFromArchiveDialog();
    // The platform's clock in UTC milliseconds: the moment the ranges "last ..." end.
    std::int64_t NowMs() const;
    void WireLiveClient();
    // The "Share with SatNOGS" box, the outbox and the sender's turns.
    void WireSharing(const BoundWidgets& widgets);
    ShareServices SharingServices();
    void WatchImageFolder();
    // Runs a handler of the core; a failure shows a message box instead of ending the program.
    void RunGuarded(const std::function<void()>& handler);
    void ShowAbout();
    void EndProgram();

    AppState& m_app;
    QtPlatform& m_platform;
    std::unique_ptr<ModelBinding> m_binding;
    QScrollArea* m_scroll = nullptr;
    QTabWidget* m_tabs = nullptr;
    ChartFrame* m_chartFrame = nullptr;
    HistoryPage* m_history = nullptr;
    QLabel* m_appFolderLabel = nullptr;  // on the "Info" page
    QPointer<AboutWindow> m_about;
    std::function<void()> m_endProgram;
    QSize m_wantedSize;     // the content with the menu bar: the window's size at start-up
    bool m_fitted = false;  // the start-up fitting with the window manager's frame has run
    QTimer* m_connectionTimer = nullptr;  // the one-second connection state timer
    QTimer* m_refreshSoon = nullptr;      // coalesces the refreshes of live frames
    QTimer* m_sharePump = nullptr;        // the sender's turns while sharing is on
    OutboxOpener m_openOutbox;
    std::unique_ptr<HttpPoster> m_poster;  // made when sharing first starts
    QTimer* m_historyStations = nullptr;   // loads the History page's stations once zooming pauses
    std::uint64_t m_historyRevision = 0;   // the History page's load the timer was started for
    QFileSystemWatcher* m_imageFolderWatch = nullptr;  // new pictures for the image list
};

}  // namespace quorbel::gui
