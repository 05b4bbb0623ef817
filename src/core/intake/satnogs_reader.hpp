// SatNOGS exports: the frame and receive time of each line, after adjacent repeated lines are
// dropped. The lines are read from the last to the first (an export lists the newest frame first,
// so the records come oldest first). An export is never held in memory whole: one forward pass
// counts its lines and cuts it into blocks, which are then read back from the last.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorbel {

inline constexpr const char* kSatnogsFilter = "Log Files (*.csv)|*.csv|All Files (*.*)|*.*";

// A stretch of whole lines of an export that begins with a kept line; `firstKept` is that line's
// number among the kept lines, from 1.
struct SatnogsBlock {
    std::uint64_t offset = 0;
    std::size_t length = 0;
    std::size_t firstKept = 1;
};

// What the forward pass finds: the export's lines (as SplitLines splits them), those kept after
// adjacent repeats are dropped (as RemoveAdjacentDuplicates keeps them), and the blocks that
// cover the file in order.
struct SatnogsIndex {
    std::size_t lineCount = 0;
    std::size_t keptCount = 0;
    std::vector<SatnogsBlock> blocks;
};

// One pass over the export; none when it cannot be read.
std::optional<SatnogsIndex> IndexSatnogsExport(const std::string& path);

// Hands the kept lines of an indexed export to `onLine` from the last to the first, each with its
// number among the kept lines (keptCount down to 1), one block read at a time. A block that can no
// longer be read whole (the file changed since it was indexed) gives the lines it still has.
void ReadKeptLinesBackwards(const std::string& path, const SatnogsIndex& index,
                            const std::function<void(std::size_t, std::string_view)>& onLine);

// The frame of one line: the receive time in its first 19 characters, a separator, and from its
// 21st character on the frame as pairs of hexadecimal characters. Kept between lines to save
// allocations.
struct SatnogsFrame {
    std::string rxTimeText;
    std::vector<std::uint8_t> bytes;
    std::string hexText;  // the pairs as they stand in the line, case kept
    std::string station;  // the line's field 3 (after the third "|"), spaces trimmed; may be empty
};

// What a line gives: nothing (an empty line), a receive time alone (no characters after the
// 20th), or a receive time and a frame.
enum class SatnogsLineKind { Nothing, TimeOnly, Frame };

// Reads one line into `frame`: its time, its station and, when the line has one, the frame's
// bytes and text.
SatnogsLineKind ReadSatnogsLine(std::string_view line, SatnogsFrame& frame);

}  // namespace quorbel
