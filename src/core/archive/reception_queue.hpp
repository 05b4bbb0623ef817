// Receptions that wait on the disk for an archive server that cannot be reached: appended whole
// and flushed to the disk before they count as waiting, read back in the order they came, and
// bounded, so that a server away for days cannot fill the station's disk.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "archive/archive.hpp"
#include "common/append_file.hpp"

namespace quorbel {

class ReceptionQueue {
  public:
    // The queue in the file at `path` (made when the first reception waits), holding up to
    // `maxReceptions`; receptions past that are refused and counted.
    ReceptionQueue(std::string path, std::int64_t maxReceptions);

    // Appends the receptions, each whole, and flushes them to the disk: how many were taken (the
    // first ones; the others did not fit the bound). Throws ArchiveError when the file cannot be
    // written.
    std::size_t Append(std::span<const Reception> receptions);

    // Up to `count` waiting receptions from `offset` (bytes into the file, 0 for the first), in
    // the order they came, and the offset after them. A record cut short at the end (the program
    // killed in the middle of an append) ends the queue.
    struct Slice {
        std::vector<Reception> receptions;
        std::uint64_t nextOffset = 0;
    };
    Slice Read(std::uint64_t offset, std::size_t count) const;

    // Empties the queue once everything in it has been written.
    void Clear();

    std::int64_t Waiting() const { return m_waiting; }
    std::int64_t Refused() const { return m_refused; }
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
    std::int64_t m_max;
    std::int64_t m_waiting = 0;
    std::int64_t m_refused = 0;
    AppendFile m_file{AppendFile::Flush::ToDisk};
};

// One reception as the queue holds it, and back; none for bytes that are not a whole record.
std::string EncodeQueuedReception(const Reception& reception);
std::optional<Reception> DecodeQueuedReception(std::string_view record);

}  // namespace quorbel
