// Choosing the application folder and preparing the user's data folder on first start.
#include "shell/app_folder.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>

#include "common/files.hpp"

#ifndef QUORBEL_INSTALLED_BIN_DIR
#define QUORBEL_INSTALLED_BIN_DIR "/usr/local/bin"
#endif

namespace quorbel {
namespace {

namespace fs = std::filesystem;

bool IsSameFolder(const std::string& a, const std::string& b) {
    std::error_code error;
    const bool same = fs::equivalent(a, b, error);
    return !error && same;
}

// Makes the folder and its parents; the reason it is not a folder afterwards, or none: the
// system's reason when it could not be made, or that a file of that name is in the way.
std::optional<std::string> MakeFolder(const std::string& folder) {
    std::error_code created;
    fs::create_directories(folder, created);
    std::error_code error;
    if (fs::is_directory(folder, error))
        return std::nullopt;
    if (fs::exists(fs::symlink_status(folder, error)))
        return "it is a file, not a folder";
    return created ? created.message() : "it could not be made";
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

}  // namespace

AppFolderChoice ChooseAppFolder(const AppFolderFacts& facts) {
    if (facts.givenFolder)
        return {*facts.givenFolder, AppFolderOrigin::Given};
    if (facts.confBesideProgram)
        return {facts.programFolder, AppFolderOrigin::Portable};
    if (facts.programFolderWritable && !facts.installedProgramFolder)
        return {facts.programFolder, AppFolderOrigin::Portable};
    return {facts.userDataFolder, AppFolderOrigin::UserData};
}

AppFolderFacts GatherAppFolderFacts(const std::string& programFolder,
                                    const std::optional<std::string>& givenFolder,
                                    const std::string& userDataFolder,
                                    const std::string& installedFolder) {
    AppFolderFacts facts;
    facts.programFolder = programFolder;
    facts.givenFolder = givenFolder;
    facts.userDataFolder = userDataFolder;
    if (givenFolder)
        return facts;
    std::error_code error;
    facts.confBesideProgram = fs::is_regular_file(JoinPath(programFolder, "conf.ini"), error);
    facts.installedProgramFolder = IsSameFolder(programFolder, installedFolder);
    // Trying a write leaves a trace in the folder's times, so it is tried only when it decides.
    if (!facts.confBesideProgram && !facts.installedProgramFolder)
        facts.programFolderWritable = CanCreateFilesIn(programFolder);
    return facts;
}

std::string InstalledProgramFolder() {
    return QUORBEL_INSTALLED_BIN_DIR;
}

bool CanCreateFilesIn(const std::string& folder) {
    std::random_device random;
    const std::string probe =
        JoinPath(folder, ".quorbel-write-test-" + std::to_string(random()) + ".tmp");
    // "x": fails rather than open a file of the same name that is there already.
    std::FILE* file = std::fopen(probe.c_str(), "wx");
    if (file == nullptr)
        return false;
    std::fclose(file);
    std::error_code ignored;
    fs::remove(probe, ignored);
    return true;
}

std::string UserDataFolder(const std::function<const char*(const char*)>& environment) {
    const char* dataHome = environment("XDG_DATA_HOME");
    std::string base;
    if (dataHome != nullptr && *dataHome != '\0') {
        base = dataHome;
    } else {
        const char* home = environment("HOME");
        base = (home != nullptr && *home != '\0') ? home : "/";
        base = WithoutTrailingSlashes(base);
        base += base == "/" ? ".local/share" : "/.local/share";
    }
    base = WithoutTrailingSlashes(base);
    return (base == "/" ? base : base + "/") + std::string(kDataFolderName);
}

std::string_view DescribeAppFolderOrigin(AppFolderOrigin origin) {
    switch (origin) {
        case AppFolderOrigin::Given:
            return "given with --app-dir";
        case AppFolderOrigin::Portable:
            return "the program's own folder: a portable copy";
        case AppFolderOrigin::UserData:
            return "the user's data folder";
    }
    return "";
}

std::optional<std::string> PrepareUserDataFolder(const std::string& folder) {
    if (const std::optional<std::string> reason = MakeFolder(folder))
        return "cannot create the data folder " + folder + ": " + *reason;
    const std::string conf = JoinPath(folder, "conf.ini");
    std::error_code error;
    if (fs::exists(fs::symlink_status(conf, error)))
        return std::nullopt;
    // Like every text file the program writes, with CR LF line ends.
    std::string text;
    for (char c : ExampleConfIni()) {
        if (c == '\n')
            text += '\r';
        text += c;
    }
    if (!WriteFileAtomically(conf, text))
        return "cannot write " + conf;
    return std::nullopt;
}

bool IsTemporaryFileName(std::string_view name) {
    // A uint64 has at most 20 decimal digits.
    constexpr std::string_view kMark = ".part";
    constexpr std::size_t kMostDigits = 20;
    const std::size_t mark = name.rfind(kMark);
    if (mark == std::string_view::npos || mark == 0)
        return false;
    const std::string_view digits = name.substr(mark + kMark.size());
    return !digits.empty() && digits.size() <= kMostDigits &&
           std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int RemoveStaleTemporaryFiles(const std::string& folder, fs::file_time_type now) {
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    int removed = 0;
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        const fs::directory_entry& entry = *entries;
        std::error_code ignored;
        if (!IsTemporaryFileName(entry.path().filename().string()) ||
            !fs::is_regular_file(entry.symlink_status(ignored))) {
            continue;
        }
        const fs::file_time_type written = entry.last_write_time(ignored);
        if (!ignored && now - written > kStaleTemporaryAge && fs::remove(entry.path(), ignored))
            ++removed;
    }
    return removed;
}

std::optional<std::string> PrepareAppFolder(const AppFolderChoice& choice) {
    switch (choice.origin) {
        case AppFolderOrigin::UserData:
            return PrepareUserDataFolder(choice.folder);
        case AppFolderOrigin::Given:
            if (const std::optional<std::string> reason = MakeFolder(choice.folder))
                return "cannot use " + choice.folder + " as the application folder: " + *reason;
            return std::nullopt;
        case AppFolderOrigin::Portable:
            break;
    }
    return std::nullopt;
}

}  // namespace quorbel
