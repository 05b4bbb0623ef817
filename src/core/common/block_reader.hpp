// Binary files read forward in blocks through one buffer that is reused, so a capture of many
// megabytes is decoded without ever being held in memory whole.
#pragma once

#include <cstdint>
#include <fstream>
#include <span>
#include <string>
#include <vector>

namespace quorbel {

class BlockReader {
  public:
    // Opens the file; a folder, a device or a file that cannot be opened is not read.
    explicit BlockReader(const std::string& path);

    bool IsOpen() const { return m_in.is_open(); }
    // The next block of the file; empty at the end, after a read error, or once `limit` bytes
    // (see Rewind) have been given. The bytes stay valid until the next call.
    std::span<const std::uint8_t> Next();
    // True when a read failed (the end of the file is not a failure).
    bool Failed() const { return m_failed; }
    // The bytes given since the start or the last Rewind.
    std::uint64_t Position() const { return m_position; }
    // Back to the start; from there on at most `limit` bytes are given, so a second pass reads
    // no more than a first one saw of a file that grows meanwhile.
    void Rewind(std::uint64_t limit);

  private:
    std::ifstream m_in;
    std::vector<std::uint8_t> m_buffer;
    std::uint64_t m_position = 0;
    std::uint64_t m_limit = UINT64_MAX;
    bool m_failed = false;
};

}  // namespace quorbel
