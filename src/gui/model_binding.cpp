// Model to widgets: each control is written only when its value in the window model changed, so
// a refresh during a long read costs little more than the comparisons.
#include "model_binding.hpp"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>

#include "chart_frame.hpp"
#include "field_page.hpp"
#include "images_page.hpp"
#include "message_log_view.hpp"
#include "status_strip.hpp"
#include "value_chart_view.hpp"

namespace quorbel::gui {

namespace {

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString PathText(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// Runs `apply` when the value differs from what was shown, and remembers it.
template <typename T, typename Apply>
void Sync(bool force, T& shown, const T& value, Apply apply) {
    if (force || !(shown == value)) {
        shown = value;
        apply(value);
    }
}

void SetText(QLabel* label, const std::string& text) {
    label->setText(Latin1(text));
}

void SetText(QLineEdit* box, const std::string& text) {
    box->setText(Latin1(text));
    box->setCursorPosition(0);  // long texts show their beginning
}

// Logs grow at their end: append the new tail, rebuild only when the text changed otherwise.
void SyncLogText(bool force, QPlainTextEdit* box, std::string& shown, const std::string& text) {
    if (!force && shown == text) {
        return;
    }
    const bool grows = !force && !shown.empty() && shown.back() != '\r' &&
                       text.size() > shown.size() && text.compare(0, shown.size(), shown) == 0;
    if (grows) {
        QTextCursor cursor(box->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(Latin1(text.substr(shown.size())));
    } else {
        box->setPlainText(Latin1(text));
    }
    box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
    shown = text;
}

QColor ToColour(Rgb rgb) {
    return {rgb.r, rgb.g, rgb.b};
}

}  // namespace

ModelBinding::ModelBinding(const WindowModel& model, BoundWidgets widgets)
    : m_model(model), m_widgets(std::move(widgets)) {}

ModelBinding::~ModelBinding() {
    if (m_busy) {
        QApplication::restoreOverrideCursor();
    }
}

const FieldRow& ModelBinding::Row(int index) const {
    return m_widgets.telemetry->HasField(index) ? m_widgets.telemetry->Row(index)
                                                : m_widgets.sensors->Row(index);
}

void ModelBinding::Refresh() {
    RefreshFields();
    RefreshLabels();
    RefreshNavigation();
    RefreshStatus();
    RefreshLogs();
    RefreshImages();
    RefreshCommands();
    m_widgets.chartFrame->chart->ShowChart(m_model.Chart);
    m_first = false;
}

void ModelBinding::RefreshFields() {
    for (int index = 0; index < kFieldCount; ++index) {
        RefreshField(index);
    }
}

void ModelBinding::RefreshField(int index) {
    const auto i = static_cast<std::size_t>(index);
    FieldCache& shown = m_fields[i];
    const FieldRow& row = Row(index);
    Sync(m_first, shown.text, m_model.Text1[i], [&](const auto& v) { SetText(row.valueBox, v); });
    Sync(m_first, shown.caption, m_model.Option1[i],
         [&](const auto& v) { row.selector->setText(Latin1(v)); });
    Sync(m_first, shown.unit, m_model.Label1[i], [&](const auto& v) { SetText(row.unitLabel, v); });
    Sync(m_first, shown.selected, static_cast<bool>(m_model.Option1Value[i]), [&](bool v) {
        const QSignalBlocker blocker(row.selector);
        row.selector->setChecked(v);
    });
    // Qt may turn a click into a check of its own: the model's selection always wins.
    if (row.selector->isChecked() != shown.selected) {
        const QSignalBlocker blocker(row.selector);
        row.selector->setChecked(shown.selected);
    }
    Sync(m_first, shown.back, m_model.Text1BackColor[i], [&](Rgb v) {
        QPalette palette = row.valueBox->palette();
        palette.setColor(QPalette::Base, ToColour(v));
        row.valueBox->setPalette(palette);
    });
}

void ModelBinding::RefreshLabels() {
    Sync(m_first, m_form1, m_model.Form1,
         [&](const auto& v) { m_widgets.window->setWindowTitle(Latin1(v)); });
    Sync(m_first, m_label4, m_model.Label4,
         [&](const auto& v) { SetText(m_widgets.recordBar->label4, v); });
    Sync(m_first, m_label5, m_model.Label5,
         [&](const auto& v) { SetText(m_widgets.recordBar->label5, v); });
    Sync(m_first, m_label8, m_model.Label8, [&](const auto& v) { SetText(m_widgets.label8, v); });
    Sync(m_first, m_frame1, m_model.Frame1,
         [&](const auto& v) { m_widgets.chartFrame->setTitle(Latin1(v)); });
    Sync(m_first, m_check1, m_model.Check1, [&](bool v) {
        const QSignalBlocker blocker(m_widgets.chartFrame->check1);
        m_widgets.chartFrame->check1->setChecked(v);
    });
    Sync(m_first, m_check2, m_model.Check2, [&](bool v) {
        const QSignalBlocker blocker(m_widgets.chartFrame->check2);
        m_widgets.chartFrame->check2->setChecked(v);
    });
}

void ModelBinding::RefreshNavigation() {
    const ScrollBar& bar = m_model.HScroll1;
    if (m_first || bar.value != m_hScroll1.value || bar.max != m_hScroll1.max) {
        m_hScroll1 = bar;
        QScrollBar* scroll = m_widgets.recordBar->hScroll1;
        const QSignalBlocker blocker(scroll);
        scroll->setRange(0, std::max(bar.max, 0));
        scroll->setValue(bar.value);
    }
    Sync(m_first, m_text2, m_model.Text2,
         [&](const auto& v) { SetText(m_widgets.recordBar->text2, v); });
}

void ModelBinding::RefreshStatus() {
    StatusStrip* status = m_widgets.status;
    Sync(m_first, m_text4, m_model.Text4, [&](const auto& v) { SetText(status->text4, v); });
    Sync(m_first, m_label2, m_model.Label2, [&](const auto& v) { SetText(status->label2, v); });
    Sync(m_first, m_lamp, m_model.Lamp, [&](Rgb v) { status->lamp->SetColour(ToColour(v)); });
    // The box shows the client's state in the model, whatever a click made of it.
    m_check5 = m_model.Check5;
    if (status->check5->isChecked() != m_check5) {
        const QSignalBlocker blocker(status->check5);
        status->check5->setChecked(m_check5);
    }
    const ProgressBar& progress = m_model.ProgressBar1;
    if (m_first || progress.visible != m_progress.visible || progress.max != m_progress.max ||
        progress.value != m_progress.value) {
        m_progress = progress;
        status->progressBar1->setRange(0, std::max(progress.max, 0));
        status->progressBar1->setValue(std::clamp(progress.value, 0, std::max(progress.max, 0)));
        status->progressBar1->setVisible(progress.visible);
    }
}

void ModelBinding::RefreshLogs() {
    m_widgets.messageLog->ShowLog(m_model.RichTextBox1);
    SyncLogText(m_first, m_widgets.text5, m_text5, m_model.Text5);
    SyncLogText(m_first, m_widgets.images->text6, m_text6, m_model.Text6);
    std::string diagnostics;
    for (const ReadDiagnostics& read : m_model.Diagnostics) {
        diagnostics += (diagnostics.empty() ? "" : "\r\n") + FormatReadDiagnostics(read, "\r\n");
    }
    SyncLogText(m_first, m_widgets.diagnostics, m_diagnostics, diagnostics);
}

void ModelBinding::RefreshImages() {
    ImagesPage* page = m_widgets.images;
    if (m_first || m_model.File1 != m_file1 || m_model.File1Folder != m_file1Folder) {
        m_file1 = m_model.File1;
        m_file1Folder = m_model.File1Folder;
        const QSignalBlocker blocker(page->file1);
        // The list grows as decoders write pictures: the chosen entry stays chosen.
        const QListWidgetItem* current = page->file1->currentItem();
        const QString chosen = current != nullptr ? current->text() : QString();
        page->file1->clear();
        for (const std::string& name : m_file1) {
            page->file1->addItem(PathText(name));
            if (page->file1->item(page->file1->count() - 1)->text() == chosen) {
                page->file1->setCurrentRow(page->file1->count() - 1);
            }
        }
    }
    // The box keeps its picture when it cannot be loaded, as the image browser asks.
    Sync(m_first, m_picture1, m_model.Picture1, [&](const Picture& v) {
        const bool shown = !v.path.empty()   ? page->picture1->ShowPicture(PathText(v.path))
                           : !v.jpeg.empty() ? page->picture1->ShowPictureData(QByteArray(
                                                   reinterpret_cast<const char*>(v.jpeg.data()),
                                                   static_cast<qsizetype>(v.jpeg.size())))
                                             : false;
        if (shown || m_first) {
            page->pictureCaption->setText(PathText(v.caption));
        }
    });
}

void ModelBinding::RefreshCommands() {
    Sync(m_first, m_reading, m_model.Reading, [&](bool reading) {
        for (QAction* command : m_widgets.readCommands) {
            command->setEnabled(!reading);
        }
    });
    Sync(m_first, m_busy, m_model.Busy, [&](bool busy) {
        if (busy) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else if (!m_first) {
            QApplication::restoreOverrideCursor();
        }
    });
}

}  // namespace quorbel::gui
