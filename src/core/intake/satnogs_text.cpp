// Text helpers of SatNOGS exports: adjacent repeats, hexadecimal pairs and line ends.
#include "intake/satnogs_text.hpp"

#include <filesystem>
#include <optional>

#include "common/files.hpp"
#include "common/line_reader.hpp"

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

namespace {

// Whether an export's lines end in CR LF anywhere, and in LF anywhere.
struct LineEndsFound {
    bool crLf = false;
    bool lf = false;
};

std::optional<LineEndsFound> FindLineEnds(const std::string& path) {
    LineReader reader(path);
    if (!reader.IsOpen())
        return std::nullopt;
    LineEndsFound found;
    while (!found.crLf && reader.NextLine()) {
        found.crLf = reader.LastLineEnd() == LineEnd::CrLf;
        found.lf = found.lf || reader.LastLineEnd() == LineEnd::Lf;
    }
    if (reader.Failed())
        return std::nullopt;
    return found;
}

// Every LF of the export becomes CR LF (it holds no CR LF); a last line without a line end stays
// without one.
bool RewriteWithCrLf(const std::string& path) {
    AtomicFileWriter converted(path);
    {
        LineReader reader(path);
        while (const auto line = reader.NextLine()) {
            converted.Write(*line);
            if (reader.LastLineEnd() != LineEnd::None)
                converted.Write("\r\n");
        }
        if (!reader.IsOpen() || reader.Failed())
            return false;
    }
    return converted.Commit();
}

}  // namespace

LineEndConversion ConvertExportToCrLf(const std::string& path) {
    const std::optional<LineEndsFound> found = FindLineEnds(path);
    if (!found)
        return LineEndConversion::Failed;
    if (found->crLf || !found->lf)
        return LineEndConversion::NotNeeded;
    // The replacement is a new file: it gets the export's permissions back.
    std::error_code ignored;
    const auto permissions = std::filesystem::status(path, ignored).permissions();
    if (!RewriteWithCrLf(path))
        return LineEndConversion::Failed;
    std::filesystem::permissions(path, permissions, ignored);
    return LineEndConversion::Converted;
}

}  // namespace quorbel
