// The application folder and the locale's decimal mark for the running program.
#include "system_settings.hpp"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>

namespace quorbel::gui {

void ApplySystemSettings(Settings& settings) {
    settings.appDir = QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
    const QString mark = QLocale::system().decimalPoint();
    const char latin1 = mark.isEmpty() ? '\0' : mark.at(0).toLatin1();
    settings.decimalMark = latin1 != '\0' ? latin1 : '.';
}

}  // namespace quorbel::gui
