// The one place where the window model meets the widgets: Refresh writes every control that
// changed since the last refresh into its widget.
#pragma once

#include <QString>
#include <array>
#include <string>
#include <vector>

#include "shell/window_model.hpp"

class QAction;
class QLabel;
class QMainWindow;
class QPlainTextEdit;

namespace quorbel::gui {

class ChartFrame;
class FieldPage;
class HistoryPage;
class ImagesPage;
class MessageLogView;
class RecordBar;
class StatusStrip;
struct FieldRow;

struct BoundWidgets {
    QMainWindow* window = nullptr;  // windowTitle
    FieldPage* telemetry = nullptr;
    FieldPage* sensors = nullptr;
    QLabel* spinText = nullptr;  // spin estimate
    RecordBar* recordBar = nullptr;
    StatusStrip* status = nullptr;
    ChartFrame* chartFrame = nullptr;
    MessageLogView* messageLog = nullptr;  // messageLog
    QPlainTextEdit* readerLog = nullptr;
    QPlainTextEdit* diagnostics = nullptr;  // the Info page's diagnostics of the last read
    QLabel* archiveText = nullptr;          // the Info page's line naming the archive in use
    ImagesPage* images = nullptr;
    HistoryPage* history = nullptr;
    std::vector<QAction*> readCommands;  // open, crop and export: disabled while a file is read
};

class ModelBinding {
  public:
    ModelBinding(const WindowModel& model, BoundWidgets widgets);
    ~ModelBinding();
    ModelBinding(const ModelBinding&) = delete;
    ModelBinding& operator=(const ModelBinding&) = delete;

    void Refresh();
    const FieldRow& Row(int index) const;

  private:
    struct FieldCache {
        std::string text;
        std::string caption;
        std::string unit;
        bool selected = false;
        Rgb back = kWhite;
    };

    void RefreshFields();
    void RefreshField(int index);
    void RefreshLabels();
    void RefreshNavigation();
    void RefreshStatus();
    void RefreshLogs();
    void RefreshImages();
    void RefreshCommands();

    const WindowModel& m_model;
    BoundWidgets m_widgets;
    bool m_first = true;
    std::array<FieldCache, kFieldCount> m_fields;
    std::string m_windowTitle, m_connectionText, m_receiveTimeText, m_satelliteName, m_spinText,
        m_recordCounter, m_statusLine, m_chartTitle, m_archiveText, m_shareText;
    std::string m_readerLog, m_ssdvListing, m_diagnostics, m_imageFolder;
    Picture m_picture;
    std::vector<std::string> m_imageFiles;
    ScrollBar m_recordScrollBar;
    ProgressBar m_progress;
    Rgb m_lamp = kLightGrey;
    bool m_chartBars = false;
    bool m_chartTimeAxis = false;
    bool m_tcpClient = false;
    bool m_busy = false;
    bool m_reading = false;
};

}  // namespace quorbel::gui
