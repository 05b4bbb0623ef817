// quorbel-cli: global options, the command table and the run of the commands in order on one
// shared state, as a user would use the menus.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorbel {
struct AppState;
}

namespace quorbel::cli {

class CliPlatform;

struct CliContext {
    AppState& app;
    CliPlatform& platform;
    std::ostream& out;
    std::ostream& err;
    bool failed = false;  // a command could not do its work: exit status 1
};

using Args = std::vector<std::string>;

struct CliCommand {
    std::string_view name;
    std::string_view synopsis;  // the arguments, for the usage text
    std::string_view help;      // one line
    // Checks the arguments before anything runs; the error text for a wrong command line.
    std::function<std::optional<std::string>(const Args&)> check;
    std::function<void(CliContext&, const Args&)> run;
};

using CommandTable = std::vector<CliCommand>;

// Argument checks shared by the commands.
std::optional<std::string> ExpectCount(const Args& args, std::size_t min, std::size_t max);
bool IsWholeNumber(const std::string& text);
// Reports each file that cannot be read (the command still goes on, as the menu command would).
void CheckReadable(CliContext& context, const Args& files);

void AddCoreCommands(CommandTable& table);
// open-satnogs, crop-images and the three export commands.
void AddSatnogsCommands(CommandTable& table);
// listen: the live client on the configured (or given) KISS server.
void AddListenCommand(CommandTable& table);
CommandTable BuildCommandTable();

// Runs the tool; returns the exit status (0, 1 when a command failed, 2 for a wrong command line).
// `programFolder` is the folder of quorbel-cli, the first place helper programs are looked for;
// the application folder is chosen from it, --app-dir and the user's data folder
// (ChooseAppFolder), and a new user data folder gets its example conf.ini first.
int RunCli(const std::vector<std::string>& arguments, const std::string& programFolder,
           std::ostream& out, std::ostream& err);

}  // namespace quorbel::cli
