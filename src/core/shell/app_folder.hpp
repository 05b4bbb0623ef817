// The application folder: where conf.ini, the day's captures and the SSDV packet and image files
// live. A portable copy keeps them beside the program; an installed program keeps them in the
// user's data folder; --app-dir names another.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quorbel {

enum class AppFolderOrigin {
    Given,     // --app-dir
    Portable,  // the program's own folder
    UserData,  // the user's data folder
};

// What the front end knows when it starts.
struct AppFolderFacts {
    std::string programFolder;
    bool confBesideProgram = false;       // a conf.ini lies in the program's folder
    bool installedProgramFolder = false;  // the folder the package installs the programs into
    bool programFolderWritable = false;
    std::optional<std::string> givenFolder;  // --app-dir
    std::string userDataFolder;
};

struct AppFolderChoice {
    std::string folder;
    AppFolderOrigin origin = AppFolderOrigin::Portable;
};

// The folder named with --app-dir; else the program's folder when a conf.ini lies beside the
// program, or when that folder is writable and not the installed programs' folder (the build
// folder, an unpacked copy); else the user's data folder. The installed folder counts as read-only
// even for a user who may write there (root), so the package never writes beside /usr/bin.
AppFolderChoice ChooseAppFolder(const AppFolderFacts& facts);

// Looks at the disk for the facts: conf.ini beside the program, whether the program's folder is
// the installed one (`installedFolder`, compared as the same folder on disk), and, only when the
// choice depends on it, whether a file can be created in the program's folder.
AppFolderFacts GatherAppFolderFacts(const std::string& programFolder,
                                    const std::optional<std::string>& givenFolder,
                                    const std::string& userDataFolder,
                                    const std::string& installedFolder);

// The folder the build installs the programs into (for the package: /usr/bin).
std::string InstalledProgramFolder();

// True when a new file can be created in the folder: tried with a file that is removed again,
// since permission bits alone do not say it (root, read-only mounts, access lists).
bool CanCreateFilesIn(const std::string& folder);

// The name of the program's folder under the user's data folders; the window gives Qt the same
// application name, so both front ends arrive at one folder.
inline constexpr std::string_view kDataFolderName = "quorbel-decoder";

// The user's data folder as the XDG rules give it: $XDG_DATA_HOME, or $HOME/.local/share when
// that is empty, followed by kDataFolderName. `environment` reads one variable (null: unset).
std::string UserDataFolder(const std::function<const char*(const char*)>& environment);

// How the Info page and `quorbel-cli --help` name where the folder came from.
std::string_view DescribeAppFolderOrigin(AppFolderOrigin origin);

// The text of the example conf.ini that is written into a new user data folder and installed with
// the package's documentation.
std::string_view ExampleConfIni();

// Creates the user's data folder and, when it holds no conf.ini yet, the example one; the message
// that says what failed, or none. A conf.ini the user has is never touched.
std::optional<std::string> PrepareUserDataFolder(const std::string& folder);

// Makes the chosen folder ready before anything is written into it: the user's data folder as
// above, a folder named with --app-dir created when it does not exist yet (it must not be a
// file); the message that says what failed, or none.
std::optional<std::string> PrepareAppFolder(const AppFolderChoice& choice);

// True for the name of a file being written safely: the target's name, ".part" and a decimal
// number, as AtomicFileWriter names its temporary files.
bool IsTemporaryFileName(std::string_view name);

// How long a temporary file may lie unchanged before it counts as left behind by a program that
// was killed in the middle of an export; no write lasts that long.
inline constexpr std::chrono::hours kStaleTemporaryAge{24};

// Removes the temporary files of writes that never ended from the folder itself (not from
// folders inside it): regular files with a temporary file's name last written more than
// kStaleTemporaryAge before `now`. Younger ones, which a running write may still use, and files
// of any other name stay. The number of files removed; a folder that cannot be read removes none.
int RemoveStaleTemporaryFiles(const std::string& folder, std::filesystem::file_time_type now);

}  // namespace quorbel
