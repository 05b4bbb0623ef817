// The application folder: the choice between --app-dir, a portable copy and the user's data
// folder, the facts read from the disk, the XDG data folder and the first start's conf.ini.
#include "shell/app_folder.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <map>
#include <system_error>

#include <unistd.h>

#include "common/files.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/form_load.hpp"
#include "support/fake_platform.hpp"
#include "support/temp_folder.hpp"
#include "support/unprivileged_user.hpp"

namespace quorbel {
namespace {

namespace fs = std::filesystem;

TEST(AppFolderTest, ChoiceFollowsTheFacts) {
    struct Case {
        const char* name;
        bool conf, installed, writable;
        std::optional<std::string> given;
        const char* folder;
        AppFolderOrigin origin;
    };
    const Case cases[] = {
        {"build folder", false, false, true, {}, "/prog", AppFolderOrigin::Portable},
        {"read-only folder", false, false, false, {}, "/data", AppFolderOrigin::UserData},
        {"installed, root may write", false, true, true, {}, "/data", AppFolderOrigin::UserData},
        {"installed", false, true, false, {}, "/data", AppFolderOrigin::UserData},
        {"conf.ini beside, read-only", true, false, false, {}, "/prog", AppFolderOrigin::Portable},
        {"conf.ini beside, installed", true, true, false, {}, "/prog", AppFolderOrigin::Portable},
        {"--app-dir", true, false, true, "/given", "/given", AppFolderOrigin::Given},
        {"--app-dir, installed", false, true, false, "/given", "/given", AppFolderOrigin::Given},
    };
    for (const Case& c : cases) {
        AppFolderFacts facts;
        facts.programFolder = "/prog";
        facts.userDataFolder = "/data";
        facts.confBesideProgram = c.conf;
        facts.installedProgramFolder = c.installed;
        facts.programFolderWritable = c.writable;
        facts.givenFolder = c.given;
        const AppFolderChoice choice = ChooseAppFolder(facts);
        EXPECT_EQ(choice.folder, c.folder) << c.name;
        EXPECT_EQ(choice.origin, c.origin) << c.name;
    }
}

TEST(AppFolderTest, FactsAreReadFromTheDisk) {
    testing::TempFolder program;
    testing::TempFolder other;
    // A writable folder that is not the installed one: a portable copy, and the probe file of
    // the write test is gone again.
    AppFolderFacts facts = GatherAppFolderFacts(program.Path(), {}, "/data", other.Path());
    EXPECT_TRUE(facts.programFolderWritable);
    EXPECT_FALSE(facts.installedProgramFolder);
    EXPECT_FALSE(facts.confBesideProgram);
    EXPECT_EQ(ChooseAppFolder(facts).origin, AppFolderOrigin::Portable);
    EXPECT_TRUE(fs::is_empty(program.Path()));

    // The installed folder, named by another path to the same folder.
    facts = GatherAppFolderFacts(program.Path(), {}, "/data", program.Path() + "/.");
    EXPECT_TRUE(facts.installedProgramFolder);
    EXPECT_EQ(ChooseAppFolder(facts).folder, "/data");

    // A conf.ini beside the program keeps even the installed folder portable.
    program.Write("conf.ini", std::string("TCP_PORT=8001\r\n"));
    facts = GatherAppFolderFacts(program.Path(), {}, "/data", program.Path());
    EXPECT_TRUE(facts.confBesideProgram);
    EXPECT_EQ(ChooseAppFolder(facts).folder, program.Path());

    // A folder that does not exist cannot be written to.
    EXPECT_FALSE(CanCreateFilesIn(program.File("missing")));
    facts = GatherAppFolderFacts(program.File("missing"), {}, "/data", other.Path());
    EXPECT_EQ(ChooseAppFolder(facts).origin, AppFolderOrigin::UserData);

    // --app-dir wins without a look at the disk.
    facts = GatherAppFolderFacts(program.Path(), other.Path(), "/data", program.Path());
    EXPECT_EQ(ChooseAppFolder(facts).folder, other.Path());
    EXPECT_EQ(ChooseAppFolder(facts).origin, AppFolderOrigin::Given);
}

// The program folder belongs to the user (the unprivileged one when the tests run as root), who
// took away its own write permission.
TEST(AppFolderTest, ReadOnlyProgramFolderIsNotWritable) {
    testing::TempFolder program;
    if (const std::string problem = testing::UnprivilegedRunProblem(program.Path());
        !problem.empty())
        GTEST_SKIP() << problem;
    ASSERT_TRUE(testing::GiveToUnprivilegedUser(program.Path()));
    const auto choose = [&program] {
        const AppFolderFacts facts = GatherAppFolderFacts(program.Path(), {}, "/data", "/nowhere");
        return std::string(facts.programFolderWritable ? "writable " : "read-only ") +
               ChooseAppFolder(facts).folder;
    };
    EXPECT_EQ(testing::RunUnprivileged(choose), "writable " + program.Path());
    fs::permissions(program.Path(), fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_EQ(testing::RunUnprivileged(choose), "read-only /data");
    fs::permissions(program.Path(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_TRUE(fs::is_empty(program.Path()));
}

TEST(AppFolderTest, UserDataFolderFollowsTheXdgRules) {
    struct Case {
        std::map<std::string, std::string> environment;
        const char* expected;
    };
    const Case cases[] = {
        {{{"HOME", "/home/op"}}, "/home/op/.local/share/quorbel-decoder"},
        {{{"HOME", "/home/op/"}}, "/home/op/.local/share/quorbel-decoder"},
        {{{"HOME", "/home/op"}, {"XDG_DATA_HOME", "/srv/data"}}, "/srv/data/quorbel-decoder"},
        {{{"HOME", "/home/op"}, {"XDG_DATA_HOME", ""}}, "/home/op/.local/share/quorbel-decoder"},
        {{{"XDG_DATA_HOME", "/srv/data/"}}, "/srv/data/quorbel-decoder"},
        {{}, "/.local/share/quorbel-decoder"},
    };
    for (const Case& c : cases) {
        const std::string folder = UserDataFolder([&](const char* name) -> const char* {
            const auto found = c.environment.find(name);
            return found == c.environment.end() ? nullptr : found->second.c_str();
        });
        EXPECT_EQ(folder, c.expected);
    }
}

TEST(AppFolderTest, FirstStartCreatesTheFolderAndTheExampleConfIni) {
    testing::TempFolder home;
    const std::string folder = home.File("share/quorbel-decoder");
    ASSERT_EQ(PrepareUserDataFolder(folder), std::nullopt);
    const std::string conf = testing::TempFolder::Read(folder + "/conf.ini");
    EXPECT_NE(conf.find("TCP_SERVER = localhost\r\n"), std::string::npos);
    std::size_t lines = 0, crlf = 0;
    for (std::size_t i = 0; i < conf.size(); ++i) {
        lines += conf[i] == '\n';
        crlf += conf[i] == '\n' && i > 0 && conf[i - 1] == '\r';
    }
    EXPECT_GT(lines, 10u);
    EXPECT_EQ(crlf, lines);  // every line ends with CR LF

    // The user's own conf.ini is never replaced.
    home.Write("share/quorbel-decoder/conf.ini", std::string("TCP_PORT=8001\r\n"));
    ASSERT_EQ(PrepareUserDataFolder(folder), std::nullopt);
    EXPECT_EQ(testing::TempFolder::Read(folder + "/conf.ini"), "TCP_PORT=8001\r\n");

    // A folder that cannot be made (a file is in the way) is reported, and nothing is written.
    home.Write("file", std::string("x"));
    const auto problem = PrepareUserDataFolder(home.File("file/quorbel-decoder"));
    ASSERT_TRUE(problem.has_value());
    EXPECT_EQ(*problem, "cannot create the data folder " + home.File("file/quorbel-decoder") +
                            ": " + std::generic_category().message(ENOTDIR));
    EXPECT_EQ(testing::TempFolder::Read(home.File("file")), "x");
}

// A folder named with --app-dir that does not exist yet is made (without a conf.ini), so that the
// first read's packet and picture files have a place; a file of that name is refused.
TEST(AppFolderTest, AGivenFolderIsMadeWhenMissing) {
    testing::TempFolder home;
    const std::string station = home.File("station/today");
    ASSERT_EQ(PrepareAppFolder({station, AppFolderOrigin::Given}), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_directory(station));
    EXPECT_FALSE(std::filesystem::exists(station + "/conf.ini"));
    ASSERT_EQ(PrepareAppFolder({station, AppFolderOrigin::Given}), std::nullopt);  // as it stands

    // A file of that name, or a file where a folder on the way should be: the path and why.
    home.Write("file", std::string("x"));
    const auto problem = PrepareAppFolder({home.File("file"), AppFolderOrigin::Given});
    EXPECT_EQ(problem, "cannot use " + home.File("file") +
                           " as the application folder: it is a file, not a folder");
    const auto below = PrepareAppFolder({home.File("file/station"), AppFolderOrigin::Given});
    EXPECT_EQ(below, "cannot use " + home.File("file/station") +
                         " as the application folder: " + std::generic_category().message(ENOTDIR));
    EXPECT_EQ(testing::TempFolder::Read(home.File("file")), "x");
}

// At start-up the temporary files that killed exports left in the application folder are
// removed once they are a day old; younger ones, other names and other folders stay.
TEST(AppFolderTest, StaleTemporaryFilesAreRemovedAtStartUp) {
    testing::TempFolder folder;
    const fs::file_time_type now = fs::file_time_type::clock::now();
    const struct {
        std::string name;
        std::chrono::hours age;
        bool removed;
    } files[] = {
        {"pass_tlm.csv.part12345678901234567890", std::chrono::hours(25), true},
        {"pass.tlm.part7", std::chrono::hours(24 * 30), true},
        {"pass_sensor.csv.part42", std::chrono::hours(23), false},  // a write may be running
        {"notes.part", std::chrono::hours(48), false},              // no number
        {"notes.partial", std::chrono::hours(48), false},
        {"x.part12a", std::chrono::hours(48), false},
        {".part12", std::chrono::hours(48), false},                      // no target's name
        {"x.part123456789012345678901", std::chrono::hours(48), false},  // too long a number
        {"sub/old.csv.part9", std::chrono::hours(48), false},            // another folder
    };
    fs::create_directory(folder.File("sub"));
    for (const auto& file : files) {
        folder.Write(file.name, std::string("partial"));
        fs::last_write_time(folder.File(file.name), now - file.age);
    }
    fs::create_directory(folder.File("folder.part5"));  // a folder of that name
    fs::last_write_time(folder.File("folder.part5"), now - std::chrono::hours(48));

    // A writer's own temporary file has such a name, so the two cannot drift apart.
    {
        AtomicFileWriter writer(folder.File("export.csv"));
        ASSERT_TRUE(writer.IsOpen());
        int temporaries = 0;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder.Path())) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("export.csv"))
                temporaries += IsTemporaryFileName(name) ? 1 : 100;
        }
        EXPECT_EQ(temporaries, 1);
    }

    testing::FakePlatform platform;
    AppState app(platform);
    app.settings.appDir = folder.Path();
    StartUp(app);
    for (const auto& file : files)
        EXPECT_EQ(fs::exists(folder.File(file.name)), !file.removed) << file.name;
    EXPECT_TRUE(fs::is_directory(folder.File("folder.part5")));
    EXPECT_EQ(RemoveStaleTemporaryFiles(folder.File("missing"), now), 0);
}

}  // namespace
}  // namespace quorbel
