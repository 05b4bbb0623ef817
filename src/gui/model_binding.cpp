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
#include "history_page.hpp"
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
    m_widgets.chartFrame->chart->ShowChart(m_model.chart);
    m_widgets.history->ShowHistory(m_model.history);
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
    Sync(m_first, shown.text, m_model.fieldValues[i],
         [&](const auto& v) { SetText(row.valueBox, v); });
    Sync(m_first, shown.caption, m_model.fieldCaptions[i],
         [&](const auto& v) { row.selector->setText(Latin1(v)); });
    Sync(m_first, shown.unit, m_model.fieldUnits[i],
         [&](const auto& v) { SetText(row.unitLabel, v); });
    Sync(m_first, shown.selected, static_cast<bool>(m_model.fieldSelected[i]), [&](bool v) {
        const QSignalBlocker blocker(row.selector);
        row.selector->setChecked(v);
    });
    // Qt may turn a click into a check of its own: the model's selection always wins.
    if (row.selector->isChecked() != shown.selected) {
        const QSignalBlocker blocker(row.selector);
        row.selector->setChecked(shown.selected);
    }
    Sync(m_first, shown.back, m_model.fieldBackgrounds[i], [&](Rgb v) {
        QPalette palette = row.valueBox->palette();
        palette.setColor(QPalette::Base, ToColour(v));
        row.valueBox->setPalette(palette);
    });
}

void ModelBinding::RefreshLabels() {
    Sync(m_first, m_windowTitle, m_model.windowTitle,
         [&](const auto& v) { m_widgets.window->setWindowTitle(Latin1(v)); });
    Sync(m_first, m_receiveTimeText, m_model.receiveTimeText,
         [&](const auto& v) { SetText(m_widgets.recordBar->receiveTimeText, v); });
    Sync(m_first, m_satelliteName, m_model.satelliteName,
         [&](const auto& v) { SetText(m_widgets.recordBar->satelliteName, v); });
    Sync(m_first, m_spinText, m_model.spinText,
         [&](const auto& v) { SetText(m_widgets.spinText, v); });
    Sync(m_first, m_chartTitle, m_model.chartTitle,
         [&](const auto& v) { m_widgets.chartFrame->setTitle(Latin1(v)); });
    Sync(m_first, m_chartBars, m_model.chartBars, [&](bool v) {
        const QSignalBlocker blocker(m_widgets.chartFrame->chartBars);
        m_widgets.chartFrame->chartBars->setChecked(v);
    });
    Sync(m_first, m_chartTimeAxis, m_model.chartTimeAxis, [&](bool v) {
        const QSignalBlocker blocker(m_widgets.chartFrame->chartTimeAxis);
        m_widgets.chartFrame->chartTimeAxis->setChecked(v);
    });
}

void ModelBinding::RefreshNavigation() {
    const ScrollBar& bar = m_model.recordScrollBar;
    if (m_first || bar.value != m_recordScrollBar.value || bar.max != m_recordScrollBar.max) {
        m_recordScrollBar = bar;
        QScrollBar* scroll = m_widgets.recordBar->recordScrollBar;
        const QSignalBlocker blocker(scroll);
        scroll->setRange(0, std::max(bar.max, 0));
        scroll->setValue(bar.value);
    }
    Sync(m_first, m_recordCounter, m_model.recordCounter,
         [&](const auto& v) { SetText(m_widgets.recordBar->recordCounter, v); });
}

void ModelBinding::RefreshStatus() {
    StatusStrip* status = m_widgets.status;
    Sync(m_first, m_statusLine, m_model.statusLine,
         [&](const auto& v) { SetText(status->statusLine, v); });
    Sync(m_first, m_connectionText, m_model.connectionText,
         [&](const auto& v) { SetText(status->connectionText, v); });
    Sync(m_first, m_lamp, m_model.connectionLamp,
         [&](Rgb v) { status->lamp->SetColour(ToColour(v)); });
    // The box shows the client's state in the model, whatever a click made of it.
    m_tcpClient = m_model.tcpClient;
    if (status->tcpClient->isChecked() != m_tcpClient) {
        const QSignalBlocker blocker(status->tcpClient);
        status->tcpClient->setChecked(m_tcpClient);
    }
    Sync(m_first, m_shareText, m_model.shareText, [&](const auto& v) {
        SetText(status->shareText, v);
        status->shareText->setToolTip(status->shareText->text());
    });
    if (status->shareFrames->isChecked() != m_model.shareFrames) {
        const QSignalBlocker blocker(status->shareFrames);
        status->shareFrames->setChecked(m_model.shareFrames);
    }
    const ProgressBar& progress = m_model.progress;
    if (m_first || progress.visible != m_progress.visible || progress.max != m_progress.max ||
        progress.value != m_progress.value) {
        m_progress = progress;
        status->progress->setRange(0, std::max(progress.max, 0));
        status->progress->setValue(std::clamp(progress.value, 0, std::max(progress.max, 0)));
        status->progress->setVisible(progress.visible);
    }
}

void ModelBinding::RefreshLogs() {
    m_widgets.messageLog->ShowLog(m_model.messageLog);
    SyncLogText(m_first, m_widgets.readerLog, m_readerLog, m_model.readerLog);
    if (m_widgets.archiveText != nullptr) {
        Sync(m_first, m_archiveText, m_model.archiveText,
             [&](const auto& v) { SetText(m_widgets.archiveText, v); });
    }
    SyncLogText(m_first, m_widgets.images->ssdvListing, m_ssdvListing, m_model.ssdvListing);
    std::string diagnostics;
    for (const ReadDiagnostics& read : m_model.diagnostics) {
        diagnostics += (diagnostics.empty() ? "" : "\r\n") + FormatReadDiagnostics(read, "\r\n");
    }
    SyncLogText(m_first, m_widgets.diagnostics, m_diagnostics, diagnostics);
}

void ModelBinding::RefreshImages() {
    ImagesPage* page = m_widgets.images;
    if (m_first || m_model.imageFiles != m_imageFiles || m_model.imageFolder != m_imageFolder) {
        m_imageFiles = m_model.imageFiles;
        m_imageFolder = m_model.imageFolder;
        const QSignalBlocker blocker(page->imageFiles);
        // The list grows as decoders write pictures: the chosen entry stays chosen.
        const QListWidgetItem* current = page->imageFiles->currentItem();
        const QString chosen = current != nullptr ? current->text() : QString();
        page->imageFiles->clear();
        for (const std::string& name : m_imageFiles) {
            page->imageFiles->addItem(PathText(name));
            if (page->imageFiles->item(page->imageFiles->count() - 1)->text() == chosen) {
                page->imageFiles->setCurrentRow(page->imageFiles->count() - 1);
            }
        }
    }
    // The box keeps its picture when it cannot be loaded, as the image browser asks.
    Sync(m_first, m_picture, m_model.picture, [&](const Picture& v) {
        const bool shown = !v.path.empty()   ? page->picture->ShowPicture(PathText(v.path))
                           : !v.jpeg.empty() ? page->picture->ShowPictureData(QByteArray(
                                                   reinterpret_cast<const char*>(v.jpeg.data()),
                                                   static_cast<qsizetype>(v.jpeg.size())))
                                             : false;
        if (shown || m_first) {
            page->pictureCaption->setText(PathText(v.caption));
        }
    });
}

void ModelBinding::RefreshCommands() {
    Sync(m_first, m_reading, m_model.reading, [&](bool reading) {
        for (QAction* command : m_widgets.readCommands) {
            command->setEnabled(!reading);
        }
    });
    Sync(m_first, m_busy, m_model.busy, [&](bool busy) {
        if (busy) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else if (!m_first) {
            QApplication::restoreOverrideCursor();
        }
    });
}

}  // namespace quorbel::gui
