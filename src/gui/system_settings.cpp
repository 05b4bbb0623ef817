// The application folder, the locale's decimal mark and the window's command line.
#include "system_settings.hpp"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QStandardPaths>

namespace quorbel::gui {

std::optional<QString> ParseWindowOptions(const QStringList& arguments, WindowOptions& options) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& option = arguments[i];
        if (option == "--help" || option == "-h") {
            options.help = true;
        } else if (option == "--quit-after-start") {
            options.quitAfterStart = true;
        } else if (option == "--app-dir" && i + 1 < arguments.size()) {
            options.appDir = QFile::encodeName(arguments[++i]).toStdString();
        } else {
            return "wrong option or missing value: " + option;
        }
    }
    return std::nullopt;
}

QString WindowUsage() {
    return "usage: quorbel-decoder [--app-dir DIR] [--quit-after-start]\n"
           "\n"
           "  --app-dir DIR        the application folder: conf.ini, captures and SSDV files\n"
           "                       (default: the program's folder when it holds a conf.ini or\n"
           "                       is writable, else the user's data folder; the \"Info\" page\n"
           "                       names the folder in use)\n"
           "  --quit-after-start   start, show the window and end at once (for checks)\n"
           "  --help               this text\n";
}

void SetApplicationNames() {
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setApplicationName(QString::fromLatin1(kDataFolderName));
}

std::string QtUserDataFolder() {
    return QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .toStdString();
}

AppFolderChoice ApplySystemSettings(Settings& settings,
                                    const std::optional<std::string>& givenFolder) {
    const std::string programFolder =
        QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
    const AppFolderChoice choice = ChooseAppFolder(GatherAppFolderFacts(
        programFolder, givenFolder, QtUserDataFolder(), InstalledProgramFolder()));
    settings.appDir = choice.folder;
    settings.appDirOrigin = choice.origin;
    const QString mark = QLocale::system().decimalPoint();
    const char latin1 = mark.isEmpty() ? '\0' : mark.at(0).toLatin1();
    settings.decimalMark = latin1 != '\0' ? latin1 : '.';
    return choice;
}

}  // namespace quorbel::gui
