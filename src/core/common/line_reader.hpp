// Text files read line by line through one buffer that is reused, so a SatNOGS export of tens
// of megabytes is walked without ever being held in memory whole.
#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quorbel {

// How a line ended: at the end of the file, at LF, or at CR LF.
enum class LineEnd { None, Lf, CrLf };

// Reads a regular file forward, one line at a time, splitting it exactly as SplitLines splits a
// text: a line ends at LF and a CR right before that LF belongs to the line end; a last line
// without a line end is a line too, the empty text after a final line end is not.
class LineReader {
  public:
    // Opens the file; a folder, a device or a file that cannot be opened is not read.
    explicit LineReader(const std::string& path);

    bool IsOpen() const { return m_in.is_open(); }
    // The next line without its line end; none at the end of the file or after a read error.
    // The view stays valid until the next call.
    std::optional<std::string_view> NextLine();
    // Where the line returned last starts in the file, and how it ended.
    std::uint64_t LineOffset() const { return m_lineOffset; }
    LineEnd LastLineEnd() const { return m_lineEnd; }
    // Where the next line starts: right behind the line returned last and its line end.
    std::uint64_t NextOffset() const { return m_bufferStart + m_begin; }
    // True when a read failed (the end of the file is not a failure).
    bool Failed() const { return m_failed; }
    // Back to the first line of the file.
    void Rewind();

  private:
    void Refill();

    std::ifstream m_in;
    // Not zero-filled, and at first no larger than the file: a small file costs a small buffer.
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity = 0;
    std::size_t m_firstCapacity = 0;
    std::size_t m_begin = 0;          // the unread text is m_buffer[m_begin, m_end)
    std::size_t m_end = 0;            //
    std::uint64_t m_bufferStart = 0;  // file offset of m_buffer[0]
    std::uint64_t m_lineOffset = 0;
    LineEnd m_lineEnd = LineEnd::None;
    bool m_atEnd = false;
    bool m_failed = false;
};

}  // namespace quorbel
