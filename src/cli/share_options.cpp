// Checking the options of `share`, and `share-status`: what the outbox of shared frames holds, as
// JSON.
#include "share_options.hpp"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <ostream>

#include "listen_options.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "sqlite_outbox.hpp"

namespace quorbel::cli {
namespace {

void ShareStatusCommand(CliContext& context, const Args&) {
    using Json = nlohmann::ordered_json;
    AppState& app = context.app;
    const std::string path = OutboxPath(app.settings);
    OutboxCounts counts;
    std::error_code error;
    // Asking must not make an outbox where sharing never ran.
    if (std::filesystem::exists(path, error)) {
        try {
            counts = OpenSqliteOutbox(path)->Counts();
        } catch (const OutboxError& failure) {
            context.err << "quorbel-cli: " << failure.what() << "\n";
            context.failed = true;
            return;
        }
    }
    const auto settings = CheckShareSettings(app.settings);
    const auto* checked = std::get_if<ShareSettings>(&settings);
    Json json = {{"outbox", path},
                 {"share", SharingSwitchedOn(app.settings)},
                 {"url", checked != nullptr ? checked->url : std::string()},
                 {"sent", counts.sent},
                 {"waiting", counts.waiting},
                 {"rejected", counts.rejected},
                 {"lastError", counts.lastError.empty() ? Json(nullptr) : Json(counts.lastError)}};
    // Settings that keep sharing from starting are named, as share and the window name them.
    if (const auto* problem = std::get_if<std::string>(&settings))
        json["settingsProblem"] = *problem;
    context.out << json.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
}

}  // namespace

std::optional<std::string> ParseShareArgs(const Args& args, ShareOptions& options) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--dry-run") {
            options.dryRun = true;
        } else if (arg == "--seconds") {
            if (i + 1 == args.size() || !ParseSeconds(args[++i], options.seconds))
                return "--seconds takes a number of seconds";
        } else if (arg.starts_with("--")) {
            return "unknown option: " + arg;
        } else {
            options.files.push_back(arg);
        }
    }
    return std::nullopt;
}

void AddShareCommands(CommandTable& table, CommandRun run) {
    table.push_back({"share", "[--dry-run] [--seconds S] [FILE...]",
                     "share the capture files' frames (or what waits) with the SiDS server",
                     [](const Args& args) {
                         ShareOptions options;
                         return ParseShareArgs(args, options);
                     },
                     std::move(run), kLeavesPicturesAlone});
    table.push_back({"share-status", "", "the outbox of shared frames: sent, waiting, rejected",
                     [](const Args& args) { return ExpectCount(args, 0, 0); }, ShareStatusCommand,
                     kLeavesPicturesAlone});
}

}  // namespace quorbel::cli
