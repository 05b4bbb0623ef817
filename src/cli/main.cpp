// quorbel-cli: the decoder without a window, for scripts and batch use.
#include <exception>
#include <filesystem>
#include <iostream>

#include "cli_app.hpp"

int main(int argc, char** argv) {
    // The one exception boundary: whatever escapes a command ends the tool with a message and
    // status 1, never with an abort.
    try {
        std::error_code error;
        const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
        const std::string appDir = error ? std::string(".") : exe.parent_path().string();
        return quorbel::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), appDir,
                                    std::cout, std::cerr);
    } catch (const std::exception& failure) {
        std::cerr << "quorbel-cli: " << failure.what() << "\n";
    } catch (...) {
        std::cerr << "quorbel-cli: unexpected failure\n";
    }
    return 1;
}
