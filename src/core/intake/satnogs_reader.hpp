// SatNOGS exports: the frame and receive time of each line, after adjacent repeated lines are
// dropped. The lines are read from the last to the first (an export lists the newest frame first,
// so the records come oldest first).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorbel {

inline constexpr const char* kSatnogsFilter = "Log Files (*.csv)|*.csv|All Files (*.*)|*.*";

// The lines of an export and those kept after adjacent repeats are dropped; the views point into
// the export's text.
struct SatnogsLines {
    std::vector<std::string_view> all;
    std::vector<std::string_view> kept;
};
SatnogsLines SplitSatnogsExport(std::string_view text);

// The frame of one line: the receive time in its first 19 characters, a separator, and from its
// 21st character on the frame as pairs of hexadecimal characters. Kept between lines to save
// allocations.
struct SatnogsFrame {
    std::string rxTimeText;
    std::vector<std::uint8_t> bytes;
    std::string hexText;  // the pairs as they stand in the line, case kept
};

// What a line gives: nothing (an empty line), a receive time alone (no characters after the
// 20th), or a receive time and a frame.
enum class SatnogsLineKind { Nothing, TimeOnly, Frame };

// Reads one line into `frame`: its time and, when the line has one, the frame's bytes and text.
SatnogsLineKind ReadSatnogsLine(std::string_view line, SatnogsFrame& frame);

}  // namespace quorbel
