// Text helpers of SatNOGS exports (lines come from SplitLines): dropping adjacent repeats, reading
// the hexadecimal pairs of a frame and turning LF line ends into CR LF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.hpp"

namespace quorbel {

// Keeps every line that differs (exactly, case-sensitive) from the line kept before it: only
// repeats that follow each other go. Every line takes part, the first one included.
std::vector<std::string_view> RemoveAdjacentDuplicates(const std::vector<std::string_view>& lines);

// The same rule for lines that come one at a time: Keep tells whether a line differs from the
// line before it (the first line always does). It holds a copy of that line, so the lines may
// come from a buffer that is reused.
class AdjacentRepeatFilter {
  public:
    bool Keep(std::string_view line) {
        if (m_any && line == m_previous)
            return false;
        m_previous.assign(line);
        m_any = true;
        return true;
    }

  private:
    std::string m_previous;
    bool m_any = false;
};

// Reads hexadecimal text such as one pair of a frame: a prefix "0X" or "&H" (either case) is
// skipped, then digits are read up to the first character that is not one. No digits give 0;
// only the low 8 bits of a longer number are kept. "1F" and "1f" give 31, "1G" gives 1, "|2" 0.
std::uint8_t ParseHexValue(std::string_view text);

// What happened to an export's line ends when it was opened.
enum class LineEndConversion { NotNeeded, Converted, Failed };

// An export that holds LF line ends but no CR LF pair is rewritten with CR LF: the new text goes
// to a temporary file beside it, which then replaces the export, so a failure (disk full, no
// permission) leaves the export as it was. An unreadable file is reported as Failed.
LineEndConversion ConvertExportToCrLf(const std::string& path);

}  // namespace quorbel
