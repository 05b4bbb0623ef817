// quorbel-cli: global options, the command table and the run of the commands in order on one
// shared state, as a user would use the menus.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorbel {
struct AppState;
struct CommandOutcome;
}  // namespace quorbel

namespace quorbel::cli {

class CliPlatform;

struct CliContext {
    AppState& app;
    CliPlatform& platform;
    std::ostream& out;
    std::ostream& err;
    bool failed = false;              // a command could not do its work: exit status 1
    bool verbose = false;             // --verbose: the diagnostics of every read on standard error
    bool archiveProblemTold = false;  // the archive's failure has been said
};

using Args = std::vector<std::string>;
using CommandRun = std::function<void(CliContext&, const Args&)>;

struct CliCommand {
    std::string_view name;
    std::string_view synopsis;  // the arguments, for the usage text
    std::string_view help;      // one line
    // Checks the arguments before anything runs; the error text for a wrong command line.
    std::function<std::optional<std::string>(const Args&)> check;
    // Empty for a command only the live tool runs (listen in the plain tool).
    CommandRun run;
    // The command neither reads nor writes packet files, pictures or the image list, so the
    // picture decoders started before it may go on while it runs.
    bool leavesPicturesAlone = false;
    // The command hands frames to the archive: the tool exits 1 when they could not be archived.
    bool archives = false;
};

inline constexpr bool kLeavesPicturesAlone = true;
inline constexpr bool kArchives = true;

using CommandTable = std::vector<CliCommand>;

// Argument checks shared by the commands.
std::optional<std::string> ExpectCount(const Args& args, std::size_t min, std::size_t max);
bool IsWholeNumber(const std::string& text);
// Every problem of a command's outcome that fails it on standard error, once each, with the file
// and the system's reason; a failed outcome makes the exit status 1.
void ReportOutcome(CliContext& context, const CommandOutcome& outcome);
// With --verbose: the diagnostics of the files the last open command read, on standard error.
void ReportReadDiagnostics(CliContext& context);
// open-kiss and open-satnogs: the files go to the open command as the dialog would give them
// (the command reads them in its own order); what it could not read or write is reported.
void OpenFiles(CliContext& context, const Args& files,
               CommandOutcome (*open)(AppState&, const std::vector<std::string>&));

void AddCoreCommands(CommandTable& table);
// open-satnogs, crop-images and the three export commands.
void AddSatnogsCommands(CommandTable& table);
// listen: the live client on the configured (or given) KISS server; `run` is empty in the plain
// tool, which hands a command line with listen over to the live tool.
void AddListenCommand(CommandTable& table, CommandRun run);
// archive-import, archive-open, archive-query, archive-stats and archive-rebuild.
void AddArchiveCommands(CommandTable& table);
// share (the live tool's; `run` is empty in the plain tool) and share-status.
void AddShareCommands(CommandTable& table, CommandRun run);

// The plain tool (quorbel-cli) has no network code, so its commands start without loading the
// toolkit's libraries. The live tool (quorbel-cli-live) is the same tool with the TCP client: its
// platform has a socket and it runs listen.
inline constexpr const char* kLiveToolName = "quorbel-cli-live";
// Where the live tool looks for helper programs first: the plain tool's folder, passed on in this
// environment variable when it hands a command line over.
inline constexpr const char* kProgramFolderVariable = "QUORBEL_CLI_FOLDER";

struct LiveTool {
    std::function<std::unique_ptr<CliPlatform>(std::ostream& messages,
                                               const std::string& programFolder)>
        makePlatform;
    CommandRun listen;
    CommandRun share;
};

CommandTable BuildCommandTable(const LiveTool* live);

// Runs the tool; returns the exit status (0, 1 when a command failed, 2 for a wrong command line).
// `programFolder` is the folder of quorbel-cli, the first place helper programs are looked for;
// the application folder is chosen from it, --app-dir and the user's data folder
// (ChooseAppFolder), and a new user data folder gets its example conf.ini first. Without `live`,
// a command line with listen is handed over to the live tool, found beside this program or in
// ../libexec/quorbel-decoder (an installed copy), in place of this process.
int RunCli(const std::vector<std::string>& arguments, const std::string& programFolder,
           std::ostream& out, std::ostream& err, const LiveTool* live = nullptr);

}  // namespace quorbel::cli
