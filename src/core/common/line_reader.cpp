// Text files read line by line through one reused buffer.
#include "common/line_reader.hpp"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "common/files.hpp"

namespace quorbel {
namespace {

// An export goes by in a few hundred reads, and the buffer stays small enough to be cheap.
constexpr std::size_t kBlockSize = std::size_t{256} << 10;

}  // namespace

LineReader::LineReader(const std::string& path)
    : m_in(OpenRegularFile(path)), m_atEnd(!m_in.is_open()) {
    // The first buffer holds the whole of a small file with one byte to spare, so that its end
    // is seen in the first read; a file that grows meanwhile makes the buffer grow.
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    m_firstCapacity = error || size >= kBlockSize ? kBlockSize : static_cast<std::size_t>(size) + 1;
}

std::optional<std::string_view> LineReader::NextLine() {
    while (true) {
        const char* text = m_buffer.get();
        const void* lf =
            m_begin < m_end ? std::memchr(text + m_begin, '\n', m_end - m_begin) : nullptr;
        if (lf != nullptr) {
            const auto end = static_cast<std::size_t>(static_cast<const char*>(lf) - text);
            std::size_t lineEnd = end;
            m_lineEnd = LineEnd::Lf;
            if (lineEnd > m_begin && text[lineEnd - 1] == '\r') {
                --lineEnd;
                m_lineEnd = LineEnd::CrLf;
            }
            m_lineOffset = m_bufferStart + m_begin;
            const std::string_view line(text + m_begin, lineEnd - m_begin);
            m_begin = end + 1;
            return line;
        }
        if (m_atEnd) {
            if (m_begin == m_end || m_failed)
                return std::nullopt;
            // A last line without a line end.
            m_lineEnd = LineEnd::None;
            m_lineOffset = m_bufferStart + m_begin;
            const std::string_view line(text + m_begin, m_end - m_begin);
            m_begin = m_end;
            return line;
        }
        Refill();
    }
}

void LineReader::Refill() {
    // The unfinished line moves to the buffer's start and the next block is read behind it; a
    // line longer than the whole buffer makes it grow.
    if (m_begin > 0) {
        std::memmove(m_buffer.get(), m_buffer.get() + m_begin, m_end - m_begin);
        m_bufferStart += m_begin;
        m_end -= m_begin;
        m_begin = 0;
    }
    if (m_end == m_capacity) {
        const std::size_t capacity =
            m_capacity == 0 ? m_firstCapacity : std::max(kBlockSize, 2 * m_capacity);
        auto grown = std::make_unique_for_overwrite<char[]>(capacity);
        if (m_end > 0)
            std::memcpy(grown.get(), m_buffer.get(), m_end);
        m_buffer = std::move(grown);
        m_capacity = capacity;
    }
    m_in.read(m_buffer.get() + m_end, static_cast<std::streamsize>(m_capacity - m_end));
    const auto count = static_cast<std::size_t>(m_in.gcount());
    m_end += count;
    if (m_in.bad())
        m_failed = true;
    if (!m_in || count == 0)
        m_atEnd = true;
}

void LineReader::Rewind() {
    m_begin = 0;
    m_end = 0;
    m_bufferStart = 0;
    m_failed = false;
    if (!m_in.is_open())
        return;
    m_failed = !RewindStream(m_in);
    m_atEnd = m_failed;
}

}  // namespace quorbel
