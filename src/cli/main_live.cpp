// quorbel-cli-live: quorbel-cli with the live TCP client, to which quorbel-cli hands every command
// line that has listen; it runs the whole command line itself.
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>

#include "cli_app.hpp"
#include "live_tool.hpp"

int main(int argc, char** argv) {
    // The one exception boundary: whatever escapes a command ends the tool with a message and
    // status 1, never with an abort.
    try {
        std::string programFolder;
        if (const char* folder = std::getenv(quorbel::cli::kProgramFolderVariable))
            programFolder = folder;
        if (programFolder.empty()) {
            std::error_code error;
            const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
            programFolder = error ? std::string(".") : exe.parent_path().string();
        }
        const quorbel::cli::LiveTool live = quorbel::cli::MakeLiveTool();
        return quorbel::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), programFolder,
                                    std::cout, std::cerr, &live);
    } catch (const std::exception& failure) {
        std::cerr << "quorbel-cli: " << failure.what() << "\n";
    } catch (...) {
        std::cerr << "quorbel-cli: unexpected failure\n";
    }
    return 1;
}
