// The Qt platform services: the open dialog with its filter, message boxes, the throttled event
// loop turn of long reads, modifier keys, helper programs and picture checks.
#include "qt_platform.hpp"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImageReader>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>

#include "shell/window_model.hpp"

namespace quorbel::gui {

namespace {

QStringList ChooseWithDialog(const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileNames(QApplication::activeWindow(), title, QString(), filter);
}

QString ChooseSaveWithDialog(const QString& title, const QString& filter, const QString& fileName) {
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, fileName, filter);
}

void PresentWithMessageBox(const MessageBoxRequest& box) {
    const QString title = QString::fromLatin1(box.title.empty() ? kWindowTitle : box.title);
    QMessageBox message(
        box.icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::Information, title,
        QString::fromLatin1(box.text), QMessageBox::Ok, QApplication::activeWindow());
    message.exec();
}

}  // namespace

QString ConvertDialogFilter(const std::string& filter) {
    // Pairs of caption and pattern; the caption is what Qt shows, with the pattern in brackets.
    const QStringList parts = QString::fromLatin1(filter).split('|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString caption = parts[i].trimmed();
        QString pattern = parts[i + 1].trimmed();
        pattern.replace(';', ' ');
        if (pattern == "*.*") {
            pattern = "*";  // on Qt "*.*" would hide files without an extension
        }
        const qsizetype bracket = caption.indexOf('(');
        if (bracket >= 0) {
            caption = caption.left(bracket).trimmed();
        }
        entries << caption + " (" + pattern + ")";
    }
    return entries.join(";;");
}

QtPlatform::QtPlatform()
    : m_chooser(ChooseWithDialog),
      m_saveChooser(ChooseSaveWithDialog),
      m_presenter(PresentWithMessageBox) {
    m_sinceEvents.start();
}

FileSelection QtPlatform::SelectFiles(const OpenFileDialog& dialog) {
    FileSelection selection;
    const QStringList chosen =
        m_chooser(QString::fromLatin1(dialog.title), ConvertDialogFilter(dialog.filter));
    if (chosen.isEmpty()) {
        selection.outcome = FileSelection::Outcome::Cancelled;
        return selection;
    }
    selection.outcome = FileSelection::Outcome::Chosen;
    for (const QString& path : chosen) {
        selection.paths.push_back(QFile::encodeName(path).toStdString());
        if (!dialog.multiple) {
            break;
        }
    }
    return selection;
}

std::optional<std::string> QtPlatform::SelectSaveFile(const SaveFileDialog& dialog) {
    const QString chosen =
        m_saveChooser(QString::fromLatin1(dialog.title), ConvertDialogFilter(dialog.filter),
                      QFile::decodeName(QByteArray::fromStdString(dialog.fileName)));
    if (chosen.isEmpty())
        return std::nullopt;
    return QFile::encodeName(chosen).toStdString();
}

void QtPlatform::ShowMessage(const MessageBoxRequest& box) {
    if (m_sync) {
        m_sync();
    }
    m_presenter(box);
}

void QtPlatform::DoEvents() {
    // A read asks for an event-loop turn once per frame; turning it for every one of 10,000
    // frames would cost more than the decoding, so the turns come at most every few milliseconds.
    if (m_sinceEvents.elapsed() < m_intervalMs) {
        return;
    }
    if (m_sync) {
        m_sync();
    }
    QCoreApplication::processEvents();
    m_sinceEvents.restart();
}

bool IsGroupModifierHeld() {
    return (QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier) ||
           (QGuiApplication::mouseButtons() & Qt::RightButton);
}

bool QtPlatform::CanLoadPicture(const std::string& path) {
    QImageReader reader(QFile::decodeName(QByteArray::fromStdString(path)));
    return reader.canRead();
}

std::string QtPlatform::FindProgram(const std::string& name) {
    const QString program = QString::fromStdString(name);
    QString found =
        QStandardPaths::findExecutable(program, {QCoreApplication::applicationDirPath()});
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(program);
    return QFile::encodeName(found).toStdString();
}

std::optional<int> QtPlatform::StartProgram(const std::string& program,
                                            const std::vector<std::string>& arguments) {
    auto* process = new QProcess;
    process->setProgram(QFile::decodeName(QByteArray::fromStdString(program)));
    QStringList words;
    for (const std::string& argument : arguments)
        words << QFile::decodeName(QByteArray::fromStdString(argument));
    process->setArguments(words);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start();
    if (!process->waitForStarted()) {
        delete process;
        return std::nullopt;
    }
    const int id = ++m_lastProgramId;
    m_running[id] = process;
    QObject::connect(process, &QProcess::finished, process,
                     [this, id, process](int exitCode, QProcess::ExitStatus status) {
                         m_running.erase(id);
                         process->deleteLater();
                         if (m_programEnded)
                             m_programEnded({id, status == QProcess::NormalExit ? exitCode : -1});
                     });
    return id;
}

QtPlatform::~QtPlatform() {
    // A decoder ends within a moment; one still running after five seconds is stopped.
    constexpr int kWaitMs = 5000;
    for (const auto& [id, process] : m_running) {
        process->disconnect();
        if (!process->waitForFinished(kWaitMs))
            process->kill();
        delete process;
    }
}

}  // namespace quorbel::gui
