// Platform services of the command-line tool.
#include "cli_platform.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <utility>

#include "common/files.hpp"

extern char** environ;

namespace quorbel::cli {

void CliPlatform::ShowMessage(const MessageBoxRequest& box) {
    m_messages << "message: " << box.text << '\n';
}

bool CliPlatform::CanLoadPicture(const std::string& path) {
    // A complete JPEG starts with SOI and ends with EOI.
    const std::optional<std::string> bytes = ReadWholeFile(path);
    return bytes && bytes->size() >= 4 && static_cast<unsigned char>((*bytes)[0]) == 0xFF &&
           static_cast<unsigned char>((*bytes)[1]) == 0xD8 &&
           static_cast<unsigned char>((*bytes)[bytes->size() - 2]) == 0xFF &&
           static_cast<unsigned char>((*bytes)[bytes->size() - 1]) == 0xD9;
}

std::string CliPlatform::FindProgram(const std::string& name) {
    std::vector<std::string> folders{m_programFolder};
    const char* path = std::getenv("PATH");
    for (std::string_view rest = path ? path : ""; !rest.empty();) {
        const std::size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        folders.emplace_back(folder.empty() ? "." : folder);  // an empty entry is the current one
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    for (const std::string& folder : folders) {
        const std::string candidate = JoinPath(folder, name);
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

namespace {

// How a child reaped with this wait status ended.
ProgramEnd EndOf(pid_t child, int status) {
    return {static_cast<int>(child), WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

}  // namespace

std::optional<int> CliPlatform::StartProgram(const std::string& program,
                                             const std::vector<std::string>& arguments) {
    ReapFinishedPrograms();
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int failure =
        posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failure != 0)
        return std::nullopt;
    m_started.push_back(child);
    return static_cast<int>(child);
}

void CliPlatform::ReapFinishedPrograms() {
    std::erase_if(m_started, [this](pid_t child) {
        int status = 0;
        const pid_t result = ::waitpid(child, &status, WNOHANG);
        if (result == child)
            m_ended.push_back(EndOf(child, status));
        else if (result < 0 && errno != EINTR)
            m_ended.push_back({static_cast<int>(child), -1});  // lost: no status to read
        else
            return false;
        return true;
    });
}

std::vector<ProgramEnd> CliPlatform::WaitForStartedPrograms() {
    for (const pid_t child : m_started) {
        int status = 0;
        pid_t result = 0;
        while ((result = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
        }
        m_ended.push_back(result == child ? EndOf(child, status)
                                          : ProgramEnd{static_cast<int>(child), -1});
    }
    m_started.clear();
    return std::exchange(m_ended, {});
}

}  // namespace quorbel::cli
