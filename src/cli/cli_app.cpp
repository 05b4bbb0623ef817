// Parsing the command line and running the commands in order.
#include "cli_app.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "archive_open.hpp"
#include "cli_platform.hpp"
#include "common/files.hpp"
#include "shell/app_folder.hpp"
#include "shell/app_state.hpp"
#include "shell/command_outcome.hpp"
#include "shell/commands/archive_commands.hpp"
#include "shell/commands/form_load.hpp"
#include "shell/commands/ssdv_commands.hpp"

namespace quorbel::cli {
namespace {

struct Invocation {
    const CliCommand* command;
    Args args;
};

struct ParsedLine {
    std::optional<std::string> appDir;   // --app-dir
    std::optional<std::string> archive;  // --archive: over ARCHIVE of conf.ini
    bool systemLocale = true;
    bool help = false;
    bool verbose = false;
    std::vector<Invocation> invocations;
};

const CliCommand* FindCommand(const CommandTable& table, const std::string& name) {
    for (const CliCommand& command : table) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

void WriteUsage(std::ostream& out, const CommandTable& table, const AppFolderChoice& folder,
                const std::string& archiveText) {
    out << "usage: quorbel-cli [--app-dir DIR] [--archive off|PATH] [--locale C|system] "
           "[--verbose]\n"
           "                  COMMAND [ARGS]...\n"
           "\n"
           "Decodes QUORBEL frames without a window. The commands run in order on one shared\n"
           "state, as a user would use the window's menus.\n"
           "\n"
           "options:\n"
           "  --app-dir DIR       the application folder: conf.ini, captures and SSDV files\n"
           "                      (default: this program's folder for a portable copy,\n"
           "                      one that holds a conf.ini or may be written to; the\n"
           "                      user's data folder for an installed program)\n"
           "  --archive off|PATH  the mission archive every frame read or received is written\n"
           "                      to, over ARCHIVE of conf.ini (default: archive.sqlite in\n"
           "                      the application folder); off: none\n"
           "  --locale C|system   C: every decimal mark is \".\"; system (default): the\n"
           "                      decimal mark of the user's locale, as in the window\n"
           "  --verbose           after each open-kiss and open-satnogs: the frames of each\n"
           "                      file by kind, the records dropped at the 5,000 cap and, for\n"
           "                      SatNOGS exports, the lines without a frame of the\n"
           "                      satellite, on standard error\n"
           "  --help              this text\n"
           "\n"
           "commands:\n";
    for (const CliCommand& command : table) {
        std::string head = std::string(command.name) + " " + std::string(command.synopsis);
        if (head.size() < 30)
            head.resize(30, ' ');
        out << "  " << head << " " << command.help << "\n";
    }
    out << "\n"
           "application folder: "
        << folder.folder << "\n  (" << DescribeAppFolderOrigin(folder.origin) << ")\n"
        << archiveText << "\n";
    out << "\n"
           "A message box of the window is written to standard error as \"message: \" and its\n"
           "text. Exit status: 0 on success, 1 when a command could not do its work (a file\n"
           "that cannot be read, a file it was asked to write that was not written whole, a\n"
           "picture decoder that failed, frames that could not be archived: standard error\n"
           "names the file and the reason), 2 for a wrong command line.\n";
}

// Splits the command line into options and commands; the error text for a wrong one.
std::optional<std::string> ParseLine(const std::vector<std::string>& arguments,
                                     const CommandTable& table, ParsedLine& parsed) {
    std::size_t i = 0;
    for (; i < arguments.size() && arguments[i].starts_with("--"); ++i) {
        const std::string& option = arguments[i];
        if (option == "--help") {
            parsed.help = true;
        } else if (option == "--verbose") {
            parsed.verbose = true;
        } else if (option == "--app-dir" && i + 1 < arguments.size()) {
            parsed.appDir = arguments[++i];
        } else if (option == "--archive" && i + 1 < arguments.size() && !arguments[i + 1].empty()) {
            parsed.archive = arguments[++i];
        } else if (option == "--locale" && i + 1 < arguments.size() &&
                   (arguments[i + 1] == "C" || arguments[i + 1] == "system")) {
            parsed.systemLocale = arguments[++i] == "system";
        } else {
            return "wrong option or missing value: " + option;
        }
    }
    if (parsed.help)
        return std::nullopt;
    if (i == arguments.size())
        return "no command given";
    while (i < arguments.size()) {
        const CliCommand* command = FindCommand(table, arguments[i]);
        if (command == nullptr)
            return "unknown command: " + arguments[i];
        Invocation invocation{command, {}};
        for (++i; i < arguments.size() && FindCommand(table, arguments[i]) == nullptr; ++i) {
            invocation.args.push_back(arguments[i]);
        }
        if (auto error = command->check(invocation.args)) {
            return std::string(command->name) + ": " + *error;
        }
        parsed.invocations.push_back(std::move(invocation));
    }
    return std::nullopt;
}

char SystemDecimalMark() {
    const char* previous = std::setlocale(LC_NUMERIC, "");
    const char mark = previous ? std::localeconv()->decimal_point[0] : '.';
    std::setlocale(LC_NUMERIC, "C");
    return mark == '\0' ? '.' : mark;
}

// Replaces this process with the live tool, run on the same command line in the same application
// folder; returns only when that failed, with the exit status.
int HandOverToLiveTool(const std::vector<std::string>& arguments, const std::string& appDir,
                       const std::string& programFolder, std::ostream& out, std::ostream& err) {
    namespace fs = std::filesystem;
    const fs::path folder(programFolder);
    const fs::path candidates[] = {folder / kLiveToolName,
                                   folder / ".." / "libexec" / "quorbel-decoder" / kLiveToolName};
    std::vector<std::string> line{"", "--app-dir", appDir};
    line.insert(line.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : line)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    setenv(kProgramFolderVariable, programFolder.c_str(), 1);
    out.flush();
    err.flush();
    int failure = ENOENT;
    for (const fs::path& candidate : candidates) {
        line[0] = candidate.string();
        argv[0] = line[0].data();
        execv(argv[0], argv.data());
        if (errno != ENOENT)
            failure = errno;
    }
    err << "quorbel-cli: listen and share need " << kLiveToolName << " beside quorbel-cli, which "
        << (failure == ENOENT ? "is not there"
                              : std::string("could not be started: ") + std::strerror(failure))
        << "\n";
    return 1;
}

// The archive the settings of the application folder's conf.ini and --archive name, for --help.
std::string ArchiveInUse(const AppFolderChoice& folder, const ParsedLine& parsed, std::ostream& err,
                         const std::string& programFolder) {
    CliPlatform platform(err, programFolder);
    AppState app(platform);
    app.settings.appDir = folder.folder;
    ReadConfIni(app);
    if (parsed.archive)
        app.settings.archive = *parsed.archive;
    return DescribeArchiveSetting(app.settings);
}

bool ArchivingCommandIn(const ParsedLine& parsed) {
    return std::any_of(parsed.invocations.begin(), parsed.invocations.end(),
                       [](const Invocation& invocation) { return invocation.command->archives; });
}

// Opens the archive of conf.ini or --archive. One that cannot be opened is said once; the
// commands go on without it, and a command that archives then fails the tool.
void OpenArchiveFor(CliContext& context, const ParsedLine& parsed) {
    AppState& app = context.app;
    if (parsed.archive)
        app.settings.archive = *parsed.archive;
    OpenArchive(app, [&app](const std::string& location) {
        return OpenArchiveAt(location, app.settings.appDir);
    });
    if (!app.archive && ArchiveLocation(app.settings)) {
        context.err << "quorbel-cli: " << app.ui.statusLine << "\n";
        if (ArchivingCommandIn(parsed))
            context.failed = true;
    }
}

// Waits until the writer has written every frame handed to it; a failure not yet reported is
// reported now, and fails the tool when a command archived frames.
void FinishArchive(CliContext& context, const ParsedLine& parsed) {
    AppState& app = context.app;
    if (!app.archive)
        return;
    app.archive->Flush();
    CommandOutcome outcome;
    CheckArchive(app, outcome);
    ReportOutcome(context, outcome);
    if (app.archive->Failed() && ArchivingCommandIn(parsed))
        context.failed = true;
}

}  // namespace

std::optional<std::string> ExpectCount(const Args& args, std::size_t min, std::size_t max) {
    if (args.size() < min)
        return "missing argument";
    if (args.size() > max)
        return "too many arguments";
    return std::nullopt;
}

bool IsWholeNumber(const std::string& text) {
    if (text.empty() || text.size() > 9)
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

void ReportReadDiagnostics(CliContext& context) {
    if (!context.verbose)
        return;
    for (const ReadDiagnostics& read : context.app.ui.diagnostics)
        context.err << FormatReadDiagnostics(read, "\n");
}

void ReportOutcome(CliContext& context, const CommandOutcome& outcome) {
    std::vector<std::string> told;
    for (const CommandProblem& problem : outcome.problems) {
        if (problem.kind == CommandProblem::Kind::DecoderNotFound)
            continue;  // no failure of a read: its packet files wait for a decoder
        if (problem.kind == CommandProblem::Kind::ArchiveFailed ||
            problem.kind == CommandProblem::Kind::ArchiveWaiting) {
            // The archive's failure is said once in a run, however many writes it failed.
            if (context.archiveProblemTold)
                continue;
            context.archiveProblemTold = true;
        }
        std::string text = ExplainProblem(problem);
        if (std::find(told.begin(), told.end(), text) != told.end())
            continue;
        context.err << "quorbel-cli: " << text << "\n";
        told.push_back(std::move(text));
    }
    if (outcome.Failed())
        context.failed = true;
}

void OpenFiles(CliContext& context, const Args& files,
               CommandOutcome (*open)(AppState&, const std::vector<std::string>&)) {
    const CommandOutcome outcome = open(context.app, files);
    ReportReadDiagnostics(context);
    ReportOutcome(context, outcome);
}

CommandTable BuildCommandTable(const LiveTool* live) {
    CommandTable table;
    AddCoreCommands(table);
    AddSatnogsCommands(table);
    AddListenCommand(table, live ? live->listen : CommandRun());
    AddShareCommands(table, live ? live->share : CommandRun());
    AddArchiveCommands(table);
    return table;
}

int RunCli(const std::vector<std::string>& arguments, const std::string& programFolder,
           std::ostream& out, std::ostream& err, const LiveTool* live) {
    const CommandTable table = BuildCommandTable(live);
    ParsedLine parsed;
    const auto error = ParseLine(arguments, table, parsed);
    const AppFolderChoice folder = ChooseAppFolder(
        GatherAppFolderFacts(programFolder, parsed.appDir,
                             UserDataFolder([](const char* name) { return std::getenv(name); }),
                             InstalledProgramFolder()));
    if (error) {
        err << "quorbel-cli: " << *error << "\n\n";
        WriteUsage(err, table, folder, ArchiveInUse(folder, parsed, err, programFolder));
        return 2;
    }
    if (parsed.help) {
        WriteUsage(out, table, folder, ArchiveInUse(folder, parsed, err, programFolder));
        return 0;
    }
    if (auto problem = PrepareAppFolder(folder)) {
        err << "quorbel-cli: " << *problem << "\n";
        return 1;
    }
    for (const Invocation& invocation : parsed.invocations) {
        if (!invocation.command->run)
            return HandOverToLiveTool(arguments, folder.folder, programFolder, out, err);
    }
    const std::unique_ptr<CliPlatform> madePlatform =
        live ? live->makePlatform(err, programFolder)
             : std::make_unique<CliPlatform>(err, programFolder);
    CliPlatform& platform = *madePlatform;
    AppState app(platform);
    app.settings.appDir = folder.folder;
    app.settings.appDirOrigin = folder.origin;
    app.settings.decimalMark = parsed.systemLocale ? SystemDecimalMark() : '.';
    StartUp(app);
    CliContext context{app, platform, out, err};
    context.verbose = parsed.verbose;
    OpenArchiveFor(context, parsed);
    // The pictures a decoding run started are written before the next command that reads or
    // writes pictures (or the end), and then they are in the image list as the window's would
    // be; an export or a view command runs beside the decoders.
    // A decoder that failed names its picture and makes the exit status 1.
    const auto finishPictures = [&] {
        if (platform.HasStartedPrograms()) {
            for (const ProgramEnd& end : platform.WaitForStartedPrograms())
                ReportOutcome(context, FinishSsdvDecoder(app, end));
            FillImageList(app);
        }
    };
    for (const Invocation& invocation : parsed.invocations) {
        if (!invocation.command->leavesPicturesAlone)
            finishPictures();
        invocation.command->run(context, invocation.args);
    }
    finishPictures();
    FinishArchive(context, parsed);
    return context.failed ? 1 : 0;
}

}  // namespace quorbel::cli
