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
class ImagesPage;
class MessageLogView;
class RecordBar;
class StatusStrip;
struct FieldRow;

struct BoundWidgets {
    QMainWindow* window = nullptr;  // Form1
    FieldPage* telemetry = nullptr;
    FieldPage* sensors = nullptr;
    QLabel* label8 = nullptr;  // spin estimate
    RecordBar* recordBar = nullptr;
    StatusStrip* status = nullptr;
    ChartFrame* chartFrame = nullptr;
    MessageLogView* messageLog = nullptr;  // RichTextBox1
    QPlainTextEdit* text5 = nullptr;
    QPlainTextEdit* diagnostics = nullptr;  // the Info page's diagnostics of the last read
    ImagesPage* images = nullptr;
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
    std::string m_form1, m_label2, m_label4, m_label5, m_label8, m_text2, m_text4, m_frame1;
    std::string m_text5, m_text6, m_diagnostics, m_file1Folder;
    Picture m_picture1;
    std::vector<std::string> m_file1;
    ScrollBar m_hScroll1;
    ProgressBar m_progress;
    Rgb m_lamp = kLightGrey;
    bool m_check1 = false;
    bool m_check2 = false;
    bool m_check5 = false;
    bool m_busy = false;
    bool m_reading = false;
};

}  // namespace quorbel::gui
