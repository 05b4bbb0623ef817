// Text helpers of SatNOGS exports: adjacent repeats, hexadecimal pairs and line ends.
#include "intake/satnogs_text.hpp"

#include <filesystem>
#include <optional>

#include "common/files.hpp"

namespace quorbel {

std::vector<std::string_view> RemoveAdjacentDuplicates(const std::vector<std::string_view>& lines) {
    std::vector<std::string_view> kept;
    kept.reserve(lines.size());
    for (std::string_view line : lines) {
        if (kept.empty() || line != kept.back())
            kept.push_back(line);
    }
    return kept;
}

namespace {

bool HasHexPrefix(std::string_view text) {
    if (text.size() < 2)
        return false;
    char second = text[1];
    bool zeroX = text[0] == '0' && (second == 'x' || second == 'X');
    bool ampersandH = text[0] == '&' && (second == 'h' || second == 'H');
    return zeroX || ampersandH;
}

}  // namespace

std::uint8_t ParseHexValue(std::string_view text) {
    if (HasHexPrefix(text))
        text.remove_prefix(2);
    unsigned value = 0;
    for (char c : text) {
        int digit = HexDigitValue(c);
        if (digit < 0)
            break;
        value = ((value << 4) | static_cast<unsigned>(digit)) & 0xFFu;
    }
    return static_cast<std::uint8_t>(value);
}

bool HasCrLf(std::string_view text) {
    return text.find("\r\n") != std::string_view::npos;
}

std::string ConvertLfToCrLf(std::string_view text) {
    std::string converted;
    converted.reserve(text.size() + text.size() / 32);
    for (char c : text) {
        if (c == '\n')
            converted.push_back('\r');
        converted.push_back(c);
    }
    return converted;
}

LineEndConversion ConvertExportToCrLf(const std::string& path) {
    std::optional<std::string> text = ReadWholeFile(path);
    if (!text)
        return LineEndConversion::Failed;
    if (HasCrLf(*text) || text->find('\n') == std::string::npos) {
        return LineEndConversion::NotNeeded;
    }
    // The replacement is a new file: it gets the export's permissions back.
    std::error_code ignored;
    const auto permissions = std::filesystem::status(path, ignored).permissions();
    if (!WriteFileAtomically(path, ConvertLfToCrLf(*text)))
        return LineEndConversion::Failed;
    std::filesystem::permissions(path, permissions, ignored);
    return LineEndConversion::Converted;
}

}  // namespace quorbel
