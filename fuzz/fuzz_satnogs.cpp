// Fuzzes the SatNOGS source on one export: its lines, the dropping of adjacent repeats, the frame
// and receive time of each kept line through the dispatch, and the export reader on the same
// bytes as a file: the line-end conversion, the forward index and the reading back from the last
// line, which must give the kept lines of the text in reverse.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.hpp"
#include "intake/dispatch.hpp"
#include "intake/satnogs_reader.hpp"
#include "intake/satnogs_text.hpp"

namespace {

using namespace quorbel;

void CheckReader(const std::string& path, const std::vector<std::string_view>& kept,
                 std::size_t lineCount) {
    const auto index = IndexSatnogsExport(path);
    QUORBEL_FUZZ_CHECK(index.has_value());
    QUORBEL_FUZZ_CHECK(index->lineCount == lineCount);
    QUORBEL_FUZZ_CHECK(index->keptCount == kept.size());
    std::size_t expected = kept.size();
    ReadKeptLinesBackwards(path, *index, [&](std::size_t number, std::string_view line) {
        QUORBEL_FUZZ_CHECK(number == expected && number >= 1);
        QUORBEL_FUZZ_CHECK(line == kept[number - 1]);
        --expected;
    });
    QUORBEL_FUZZ_CHECK(expected == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::ScratchFolder folder("fuzz-satnogs");
    static const std::string path = (folder.Path() / "export.csv").string();
    static FrameState frame;
    static SatnogsFrame line;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::vector<std::string_view> lines = SplitLines(text);
    const std::vector<std::string_view> kept = RemoveAdjacentDuplicates(lines);
    AdjacentRepeatFilter repeats;
    std::size_t keptOneByOne = 0;
    for (std::string_view each : lines)
        keptOneByOne += repeats.Keep(each) ? 1 : 0;
    QUORBEL_FUZZ_CHECK(keptOneByOne == kept.size());

    for (std::string_view each : kept) {
        switch (ReadSatnogsLine(each, line)) {
            case SatnogsLineKind::Frame:
                QUORBEL_FUZZ_CHECK(line.hexText.size() <= each.size());
                frame.rxTimeText = line.rxTimeText;
                DispatchFrame(frame, line.bytes, &line.hexText);
                break;
            case SatnogsLineKind::TimeOnly:
            case SatnogsLineKind::Nothing:
                break;
        }
    }

    // The reader sees the same lines in the file, before and after its line ends are converted.
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
    CheckReader(path, kept, lines.size());
    if (ConvertExportToCrLf(path) == LineEndConversion::Converted)
        CheckReader(path, kept, lines.size());
    return 0;
}
