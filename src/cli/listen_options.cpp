// Checking the options of `listen` and its entry in the command table.
#include "listen_options.hpp"

#include <exception>

namespace quorbel::cli {

bool ParseSeconds(const std::string& text, double& value) {
    try {
        std::size_t used = 0;
        value = std::stod(text, &used);
        return used == text.size() && value >= 0;
    } catch (const std::exception&) {
        return false;
    }
}

std::optional<std::string> ParseListenArgs(const Args& args, ListenOptions& options) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--reconnect") {
            options.reconnect = true;
        } else if (arg == "--share") {
            options.share = true;
        } else if (arg == "--seconds" && hasValue) {
            if (!ParseSeconds(args[++i], options.seconds))
                return "--seconds takes a number of seconds";
        } else if (arg == "--host" && hasValue) {
            options.host = args[++i];
        } else if (arg == "--port" && hasValue) {
            options.port = args[++i];
            if (!IsWholeNumber(options.port) || std::stoi(options.port) > 65535)
                return "--port takes a port number from 0 to 65535";
        } else {
            return "unknown option or missing value: " + arg;
        }
    }
    return std::nullopt;
}

void AddListenCommand(CommandTable& table, CommandRun run) {
    table.push_back({"listen", "[--seconds S] [--reconnect] [--host H] [--port P] [--share]",
                     "the live client: record the KISS server's frames until S seconds or a signal",
                     [](const Args& args) {
                         ListenOptions options;
                         return ParseListenArgs(args, options);
                     },
                     std::move(run), false, kArchives});
}

}  // namespace quorbel::cli
