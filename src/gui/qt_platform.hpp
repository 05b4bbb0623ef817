// The platform services of the Qt window: open and save dialogs, message boxes, the event loop, the
// modifier keys of a selector click, picture checks, helper programs, the TCP client's socket and
// the clock.
// Dialogs can be replaced for tests.
#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "kiss_socket.hpp"
#include "shell/platform.hpp"

namespace quorbel::gui {

// The result of the open-file dialog.
struct FileSelection {
    enum class Outcome { Chosen, Cancelled, TooMany };
    Outcome outcome = Outcome::Cancelled;
    std::vector<std::string> paths;
};

struct OpenFileDialog {
    std::string title;   // empty: the platform's default
    std::string filter;  // "Caption (*.ext)|*.ext|All Files (*.*)|*.*"
    bool multiple = true;
};

// Converts "Caption (*.ext)|*.ext|All Files (*.*)|*.*" into "Caption (*.ext);;All Files (*)".
QString ConvertDialogFilter(const std::string& filter);

// Shift or the right mouse button held at this moment: a selector click then asks for the group
// chart.
bool IsGroupModifierHeld();

class QtPlatform : public Platform {
  public:
    // Shows the open dialog; an empty list means the user cancelled.
    using FileChooser = std::function<QStringList(const QString& title, const QString& filter)>;
    using MessagePresenter = std::function<void(const MessageBoxRequest& box)>;
    // Shows the save dialog with the name offered; an empty text means the user cancelled.
    using SaveChooser = std::function<QString(const QString& title, const QString& filter,
                                              const QString& fileName)>;

    using ProgramEndHandler = std::function<void(const ProgramEnd& end)>;

    QtPlatform();
    // Waits a little for the programs still running, so that their pictures are whole.
    ~QtPlatform() override;
    QtPlatform(const QtPlatform&) = delete;
    QtPlatform& operator=(const QtPlatform&) = delete;

    // The open dialog of the window's menu commands.
    FileSelection SelectFiles(const OpenFileDialog& dialog);
    std::optional<std::string> SelectSaveFile(const SaveFileDialog& dialog) override;
    void ShowMessage(const MessageBoxRequest& box) override;
    void DoEvents() override;
    bool CanLoadPicture(const std::string& path) override;
    std::string FindProgram(const std::string& name) override;
    // Starts the program as a child of the window; its end goes to the program-end handler once
    // the event loop sees it.
    std::optional<int> StartProgram(const std::string& program,
                                    const std::vector<std::string>& arguments) override;
    void ConnectSocket(const std::string& host, int port) override { m_socket.Connect(host, port); }
    void CloseSocket() override { m_socket.Close(); }
    int SocketState() override { return m_socket.State(); }
    std::string SocketProblem() override { return m_socket.Problem(); }
    std::chrono::system_clock::time_point Now() override {
        return std::chrono::system_clock::now();
    }
    // The TCP client's socket: the window hands its data and states to the core.
    live::KissSocket& Socket() { return m_socket; }

    void SetFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }
    void SetMessagePresenter(MessagePresenter presenter) { m_presenter = std::move(presenter); }
    void SetSaveChooser(SaveChooser chooser) { m_saveChooser = std::move(chooser); }
    // Brings the widgets up to date with the window model before pending events run.
    void SetModelSync(std::function<void()> sync) { m_sync = std::move(sync); }
    // Receives how every started program ended.
    void SetProgramEndHandler(ProgramEndHandler handler) { m_programEnded = std::move(handler); }
    // The longest stretch a long read runs between two event-loop turns.
    void SetEventInterval(int milliseconds) { m_intervalMs = milliseconds; }

  private:
    FileChooser m_chooser;
    SaveChooser m_saveChooser;
    MessagePresenter m_presenter;
    std::function<void()> m_sync;
    QElapsedTimer m_sinceEvents;
    int m_intervalMs = 15;
    live::KissSocket m_socket;
    ProgramEndHandler m_programEnded;
    int m_lastProgramId = 0;
    std::map<int, QProcess*> m_running;  // started programs that have not ended yet
};

}  // namespace quorbel::gui
