// The window and quorbel-cli arrive at one user data folder: Qt's AppDataLocation under the
// names the window sets, and the core's own XDG computation.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdlib>

#include "shell/app_folder.hpp"
#include "shell/app_state.hpp"
#include "system_settings.hpp"

namespace quorbel::gui {
namespace {

// Sets or clears one variable for the life of the object.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const QByteArray* value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        value != nullptr ? qputenv(name, *value) : qunsetenv(name);
    }
    ~ScopedVariable() { m_had ? qputenv(m_name, m_old) : qunsetenv(m_name); }

  private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

TEST(AppFolderGuiTest, WindowAndCommandLineToolAgreeOnTheUserDataFolder) {
    const QString oldName = QCoreApplication::applicationName();
    const QString oldOrganisation = QCoreApplication::organizationName();
    SetApplicationNames();
    QTemporaryDir home;
    const QByteArray homePath = home.path().toLocal8Bit();
    const QByteArray dataHome = homePath + "/data";
    const QByteArray empty;
    const QByteArray* dataHomes[] = {nullptr, &empty, &dataHome};
    for (const QByteArray* xdg : dataHomes) {
        ScopedVariable homeVariable("HOME", &homePath);
        ScopedVariable xdgVariable("XDG_DATA_HOME", xdg);
        const std::string ours = UserDataFolder([](const char* name) { return std::getenv(name); });
        EXPECT_EQ(QtUserDataFolder(), ours) << (xdg ? xdg->constData() : "(unset)");
        EXPECT_TRUE(QString::fromStdString(ours).startsWith(home.path()));
    }
    QCoreApplication::setApplicationName(oldName);
    QCoreApplication::setOrganizationName(oldOrganisation);
}

TEST(AppFolderGuiTest, OptionsAndTheFolderTheyGive) {
    WindowOptions options;
    EXPECT_EQ(ParseWindowOptions({"--app-dir", "/tmp/station", "--quit-after-start"}, options),
              std::nullopt);
    EXPECT_EQ(options.appDir, "/tmp/station");
    EXPECT_TRUE(options.quitAfterStart);
    WindowOptions wrong;
    EXPECT_NE(ParseWindowOptions({"--app-dir"}, wrong), std::nullopt);
    EXPECT_NE(ParseWindowOptions({"capture.kss"}, wrong), std::nullopt);

    // --app-dir is the folder whatever the program's folder is; without it, the test program's
    // writable build folder is a portable copy.
    Settings given;
    ApplySystemSettings(given, std::string("/tmp/station"));
    EXPECT_EQ(given.appDir, "/tmp/station");
    EXPECT_EQ(given.appDirOrigin, AppFolderOrigin::Given);
    Settings own;
    ApplySystemSettings(own);
    EXPECT_EQ(own.appDirOrigin, AppFolderOrigin::Portable);
    EXPECT_EQ(QString::fromStdString(own.appDir), QCoreApplication::applicationDirPath());
}

}  // namespace
}  // namespace quorbel::gui
