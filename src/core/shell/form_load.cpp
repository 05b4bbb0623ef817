// Start-up: the field catalogue, the image list and the settings of conf.ini.
#include "shell/form_load.hpp"

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "shell/app_state.hpp"
#include "shell/text_file.hpp"
#include "store/field_catalogue.hpp"

namespace quorbel {
namespace {

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Upper case of 8-bit (Latin-1) text.
std::string ToUpperLatin1(std::string text) {
    for (char& c : text) {
        auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7)) {
            c = static_cast<char>(byte - 0x20);
        }
    }
    return text;
}

std::optional<int> ParsePort(const std::string& text) {
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

void ShowConnectionLabel(AppState& app) {
    app.ui.Label2 = "[" + app.settings.tcpHost + ":" + app.settings.tcpPortText + "]";
}

bool EndsWithJpg(const std::string& name) {
    if (name.size() < 4)
        return false;
    return ToUpperLatin1(name.substr(name.size() - 4)) == ".JPG";
}

}  // namespace

void ApplyConfLine(AppState& app, const std::string& rawLine) {
    std::string line = rawLine;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.empty() || line[0] == '#')
        return;
    line = ToUpperLatin1(line);
    const auto equals = line.find('=');
    if (equals == std::string::npos)
        return;  // not a setting
    const std::string key = Trim(line.substr(0, equals));
    const std::string value = Trim(line.substr(equals + 1));
    if (key == "IMAGE_PATH") {
        app.settings.imageFolder = value;
    } else if (key == "TCP_SERVER") {
        app.settings.tcpHost = value;
        ShowConnectionLabel(app);
    } else if (key == "TCP_PORT") {
        const std::optional<int> port = ParsePort(value);
        if (!port)
            return;  // not a port number: the setting is left out
        app.settings.tcpPort = port;
        app.settings.tcpPortText = value;
        ShowConnectionLabel(app);
    }
}

void ReadConfIni(AppState& app) {
    const std::optional<std::string> text =
        ReadWholeFile(JoinPath(app.settings.appDir, "conf.ini"));
    if (!text)
        return;  // no file: start without TCP settings
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line))
        ApplyConfLine(app, line);
}

void FillImageList(AppState& app) {
    app.ui.File1.clear();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(app.ui.File1Folder, error)) {
        const std::string name = entry.path().filename().string();
        if (ToUpperLatin1(name.substr(0, 4)) == "SSDV" && EndsWithJpg(name)) {
            app.ui.File1.push_back(name);
        }
    }
    std::sort(app.ui.File1.begin(), app.ui.File1.end());
}

void Form_Load(AppState& app) {
    ApplyFieldCatalogue(app);
    app.settings.imageFolder = JoinPath(app.settings.appDir, "");
    app.ui.File1Folder = app.settings.appDir;
    FillImageList(app);
    ReadConfIni(app);
}

}  // namespace quorbel
