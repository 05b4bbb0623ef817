// SatNOGS exports: lines, adjacent repeats and the frame of each line.
#include "intake/satnogs_reader.hpp"

#include "common/text.hpp"
#include "intake/satnogs_text.hpp"

namespace quorbel {
namespace {

constexpr std::size_t kTimeLength = 19;
constexpr std::size_t kPayloadStart = 20;

}  // namespace

SatnogsLines SplitSatnogsExport(std::string_view text) {
    SatnogsLines lines;
    lines.all = SplitLines(text);
    lines.kept = RemoveAdjacentDuplicates(lines.all);
    return lines;
}

SatnogsLineKind ReadSatnogsLine(std::string_view line, SatnogsFrame& frame) {
    if (line.empty())
        return SatnogsLineKind::Nothing;
    frame.rxTimeText.assign(line.substr(0, kTimeLength));
    if (line.size() <= kPayloadStart)
        return SatnogsLineKind::TimeOnly;  // no frame bytes
    const std::string_view payload = line.substr(kPayloadStart);
    frame.bytes.clear();
    for (std::size_t i = 0; i < payload.size(); i += 2) {
        frame.bytes.push_back(ParseHexValue(payload.substr(i, 2)));  // a last single character too
    }
    frame.hexText.assign(payload);
    return SatnogsLineKind::Frame;
}

}  // namespace quorbel
