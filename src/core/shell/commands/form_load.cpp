// Start-up: the field catalogue, the image list and the settings of conf.ini.
#include "shell/commands/form_load.hpp"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "common/files.hpp"
#include "common/text.hpp"
#include "shell/app_folder.hpp"
#include "shell/app_state.hpp"
#include "view/image_browser.hpp"

namespace quorbel {
namespace {

std::optional<int> ParsePort(std::string_view text) {
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    int port = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port > 65535)
        return std::nullopt;
    return port;
}

// Why conf.ini, which is there, cannot be read: its path and the system's reason.
std::string ConfReadProblem(const std::string& path) {
    if (std::optional<std::string> problem = NonFileInputProblem(path))
        return "cannot read conf.ini: " + *problem;
    std::string reason = "the read failed";
    errno = 0;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        std::fclose(file);
    } else if (errno != 0) {
        reason = std::generic_category().message(errno);
    }
    return "cannot read " + path + ": " + reason;
}

// The text of sharing that a conf.ini key sets, or none for another key.
std::string* ShareConfKey(ShareConfText& share, std::string_view key) {
    const std::pair<std::string_view, std::string*> keys[] = {
        {"SHARE", &share.share},       {"SIDS_URL", &share.url},
        {"NORAD_ID", &share.noradId},  {"CALLSIGN", &share.callsign},
        {"LATITUDE", &share.latitude}, {"LONGITUDE", &share.longitude},
        {"SHARE_RATE", &share.rate},   {"SHARE_MAX_AGE_DAYS", &share.maxAgeDays},
    };
    for (const auto& [name, text] : keys) {
        if (name == key)
            return text;
    }
    return nullptr;
}

void ShowConnectionLabel(AppState& app) {
    app.ui.connectionText = "[" + app.settings.tcpHost + ":" + app.settings.tcpPortText + "]";
}

}  // namespace

void ApplyFieldCatalogue(AppState& app) {
    for (const FieldDef& field : kFields) {
        const auto i = static_cast<std::size_t>(field.index);
        if (!field.caption.empty())
            app.ui.fieldCaptions[i] = std::string(field.caption);
        if (!field.unit.empty())
            app.ui.fieldUnits[i] = std::string(field.unit);
    }
    app.ui.progress.visible = false;
}

void ApplyConfLine(AppState& app, std::string_view rawLine) {
    std::string_view view = rawLine;
    if (!view.empty() && view.back() == '\r')
        view.remove_suffix(1);
    if (view.empty() || view[0] == '#')
        return;
    const std::string line = ToUpperLatin1(std::string(view));
    const auto equals = line.find('=');
    if (equals == std::string::npos)
        return;  // not a setting
    const std::string_view text = line;
    const std::string_view key = TrimChars(text.substr(0, equals), " \t");
    const std::string_view value = TrimChars(text.substr(equals + 1), " \t");
    // Upper case keeps the length, so the value as written stands at the same place.
    const std::string_view writtenValue = TrimChars(view.substr(equals + 1), " \t");
    if (key == "TCP_SERVER") {
        app.settings.tcpHost = value;
        ShowConnectionLabel(app);
    } else if (key == "TCP_PORT") {
        const std::optional<int> port = ParsePort(value);
        if (!port || *port == 0) {
            // Not a port: the setting is left out, and the client names the line.
            app.settings.tcpPortProblem =
                "conf.ini: TCP_PORT=" + std::string(writtenValue) + " is not a port (1 to 65535)";
            return;
        }
        app.settings.tcpPortProblem.clear();
        app.settings.tcpPort = port;
        app.settings.tcpPortText = value;
        ShowConnectionLabel(app);
    } else if (key == "ARCHIVE") {
        app.settings.archive = writtenValue;  // a path keeps its case
    } else if (key == "STATION") {
        app.settings.station = writtenValue;
    } else if (std::string* shareKey = ShareConfKey(app.settings.share, key)) {
        *shareKey = writtenValue;  // a callsign and a URL keep their case
    }
    // IMAGE_PATH is accepted and not used: the image files live in the application folder.
}

void ReadConfIni(AppState& app) {
    const std::string path = JoinPath(app.settings.appDir, "conf.ini");
    const std::optional<std::string> text = ReadWholeFile(path);
    if (!text) {
        std::error_code error;
        if (std::filesystem::exists(path, error))
            app.settings.confProblem = ConfReadProblem(path);
        else if (error)
            app.settings.confProblem = "cannot read " + path + ": " + error.message();
        return;  // no file: start without TCP settings
    }
    for (std::string_view line : SplitLines(*text))
        ApplyConfLine(app, line);
}

std::optional<std::string> LiveSettingsProblem(const Settings& settings) {
    if (!settings.tcpPort && !settings.tcpPortProblem.empty())
        return settings.tcpPortProblem;
    if ((settings.tcpHost.empty() || !settings.tcpPort) && !settings.confProblem.empty())
        return settings.confProblem;
    return std::nullopt;
}

void FillImageList(AppState& app) {
    app.ui.imageFiles = ListImageFiles(app.ui.imageFolder);
}

void StartUp(AppState& app) {
    ApplyFieldCatalogue(app);
    app.ui.imageFolder = app.settings.appDir;
    // Exports killed in the middle leave their temporary files beside their targets.
    RemoveStaleTemporaryFiles(app.settings.appDir, std::filesystem::file_time_type::clock::now());
    FillImageList(app);
    ReadConfIni(app);
    // A conf.ini that cannot be used is said at once, not only when the client is started.
    for (const std::string* problem : {&app.settings.confProblem, &app.settings.tcpPortProblem}) {
        if (!problem->empty())
            app.ui.statusLine = *problem;
    }
}

}  // namespace quorbel
