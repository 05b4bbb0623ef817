// Binary files read forward in blocks through one reused buffer.
#include "common/block_reader.hpp"

#include <algorithm>

#include "common/files.hpp"

namespace quorbel {
namespace {

// A capture of a few megabytes goes by in a few dozen reads.
constexpr std::size_t kBlockSize = std::size_t{64} << 10;

}  // namespace

BlockReader::BlockReader(const std::string& path) : m_in(OpenRegularFile(path)) {}

std::span<const std::uint8_t> BlockReader::Next() {
    if (!m_in.is_open() || m_failed || !m_in || m_position >= m_limit)
        return {};
    m_buffer.resize(
        static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, m_limit - m_position)));
    m_in.read(reinterpret_cast<char*>(m_buffer.data()),
              static_cast<std::streamsize>(m_buffer.size()));
    const auto count = static_cast<std::size_t>(m_in.gcount());
    m_failed = m_in.bad();
    m_position += count;
    return {m_buffer.data(), m_failed ? 0 : count};
}

void BlockReader::Rewind(std::uint64_t limit) {
    m_position = 0;
    m_limit = limit;
    m_failed = false;
    if (!m_in.is_open())
        return;
    m_failed = !RewindStream(m_in);
}

}  // namespace quorbel
