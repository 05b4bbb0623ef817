// Platform services of the command-line tool.
#include "cli_platform.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <ostream>

#include "shell/text_file.hpp"

extern char** environ;

namespace quorbel::cli {

FileSelection CliPlatform::SelectFiles(const OpenFileDialog& /*dialog*/) {
    FileSelection selection;
    if (!m_nextSelection.empty()) {
        selection.outcome = FileSelection::Outcome::Chosen;
        selection.paths = std::move(m_nextSelection);
    }
    m_nextSelection.clear();
    return selection;
}

void CliPlatform::ShowMessage(const MessageBoxRequest& box) {
    m_messages << "message: " << box.text << '\n';
}

bool CliPlatform::StartDetached(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int result =
        posix_spawnp(&pid, program.c_str(), &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return result == 0;
}

bool CliPlatform::CanLoadPicture(const std::string& path) {
    // A complete JPEG starts with SOI and ends with EOI.
    const std::optional<std::string> bytes = ReadWholeFile(path);
    return bytes && bytes->size() >= 4 && static_cast<unsigned char>((*bytes)[0]) == 0xFF &&
           static_cast<unsigned char>((*bytes)[1]) == 0xD8 &&
           static_cast<unsigned char>((*bytes)[bytes->size() - 2]) == 0xFF &&
           static_cast<unsigned char>((*bytes)[bytes->size() - 1]) == 0xD9;
}

}  // namespace quorbel::cli
