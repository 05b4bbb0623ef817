// SatNOGS exports: the forward pass that counts and cuts an export into blocks, the blocks read
// back from the last, and the frame of each line.
#include "intake/satnogs_reader.hpp"

#include <array>
#include <fstream>

#include "common/line_reader.hpp"
#include "common/text.hpp"
#include "intake/satnogs_text.hpp"

namespace quorbel {
namespace {

// A new block begins at the first kept line this many bytes or more behind the block's start: an
// export of tens of megabytes is read back in a few hundred reads through a small buffer.
constexpr std::uint64_t kBlockBytes = std::uint64_t{256} << 10;

constexpr std::size_t kTimeLength = 19;
constexpr std::size_t kPayloadStart = 20;

// HexDigitValue of every byte, looked up once per character of an export's frames.
constexpr std::array<std::int8_t, 256> kHexDigitValues = [] {
    std::array<std::int8_t, 256> values{};
    for (int c = 0; c < 256; ++c)
        values[static_cast<std::size_t>(c)] =
            static_cast<std::int8_t>(HexDigitValue(static_cast<char>(c)));
    return values;
}();

// One pair of a frame's text as ParseHexValue reads it. Two hexadecimal digits, nearly every
// pair of an export, are read here directly: no prefix can stand in such a pair.
std::uint8_t ReadHexPair(char first, char second) {
    const int high = kHexDigitValues[static_cast<unsigned char>(first)];
    const int low = kHexDigitValues[static_cast<unsigned char>(second)];
    if (high >= 0 && low >= 0)
        return static_cast<std::uint8_t>((high << 4) | low);
    const char pair[] = {first, second};
    return ParseHexValue(std::string_view(pair, 2));
}

// Field 3 of a line: the text after its third "|" up to a fourth one, spaces trimmed.
std::string_view StationOfLine(std::string_view line) {
    std::size_t at = 0;
    for (int separator = 0; separator < 3; ++separator) {
        at = line.find('|', at);
        if (at == std::string_view::npos)
            return {};
        ++at;
    }
    std::string_view station = line.substr(at, line.find('|', at) - at);
    return TrimChars(station, " ");
}

}  // namespace

std::optional<SatnogsIndex> IndexSatnogsExport(const std::string& path) {
    LineReader reader(path);
    if (!reader.IsOpen())
        return std::nullopt;
    SatnogsIndex index;
    AdjacentRepeatFilter repeats;
    while (const auto line = reader.NextLine()) {
        ++index.lineCount;
        if (!repeats.Keep(*line))
            continue;
        ++index.keptCount;
        // Blocks begin at kept lines, so a block's first line is kept whatever came before it.
        if (index.blocks.empty() ||
            reader.LineOffset() - index.blocks.back().offset >= kBlockBytes) {
            index.blocks.push_back({reader.LineOffset(), 0, index.keptCount});
        }
    }
    if (reader.Failed())
        return std::nullopt;
    // Each block reaches to the next one, the last to the end of the export's last line.
    for (std::size_t i = 0; i < index.blocks.size(); ++i) {
        const std::uint64_t end =
            i + 1 < index.blocks.size() ? index.blocks[i + 1].offset : reader.NextOffset();
        index.blocks[i].length = static_cast<std::size_t>(end - index.blocks[i].offset);
    }
    return index;
}

void ReadKeptLinesBackwards(const std::string& path, const SatnogsIndex& index,
                            const std::function<void(std::size_t, std::string_view)>& onLine) {
    std::ifstream in(path, std::ios::binary);
    std::string text;
    for (auto block = index.blocks.rbegin(); block != index.blocks.rend(); ++block) {
        text.resize(block->length);
        in.clear();
        in.seekg(static_cast<std::streamoff>(block->offset));
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<std::size_t>(in.gcount()));
        // The block holds whole lines from a kept one on, so the rule of the whole export holds
        // within it.
        const std::vector<std::string_view> kept = RemoveAdjacentDuplicates(SplitLines(text));
        for (std::size_t j = kept.size(); j-- > 0;)
            onLine(block->firstKept + j, kept[j]);
    }
}

SatnogsLineKind ReadSatnogsLine(std::string_view line, SatnogsFrame& frame) {
    if (line.empty())
        return SatnogsLineKind::Nothing;
    frame.rxTimeText.assign(line.substr(0, kTimeLength));
    frame.station.assign(StationOfLine(line));
    if (line.size() <= kPayloadStart)
        return SatnogsLineKind::TimeOnly;  // no frame bytes
    const std::string_view payload = line.substr(kPayloadStart);
    const std::size_t pairs = payload.size() / 2;
    frame.bytes.resize(pairs + payload.size() % 2);
    for (std::size_t i = 0; i < pairs; ++i)
        frame.bytes[i] = ReadHexPair(payload[2 * i], payload[2 * i + 1]);
    if (payload.size() % 2 != 0)
        frame.bytes.back() = ParseHexValue(payload.substr(2 * pairs));  // a last single character
    frame.hexText.assign(payload);
    return SatnogsLineKind::Frame;
}

}  // namespace quorbel
