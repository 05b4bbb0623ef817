// Hands received frames to the archive on a thread of its own, in batches, so that reading a file
// or a live frame never waits for the database.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "archive/archive.hpp"

namespace quorbel {

class ArchiveWriter {
  public:
    // Receptions waiting beyond this are dropped and counted (a stalled storage must not take
    // all memory); a read's frames are taken in batches of up to kBatchSize. Each batch is one
    // transaction, whose fixed costs (the server archive's lock, its look-up of the frames near
    // the batch's times, its COPY statements, the commit) 20,000 receptions share: an import
    // takes about a sixth less time than with 5,000, for about 40 MB more memory.
    static constexpr std::size_t kMaxWaiting = 1'000'000;
    static constexpr std::size_t kBatchSize = 20'000;

    explicit ArchiveWriter(std::unique_ptr<Archive> archive);
    // Writes what waits, then stops the thread.
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    // Queues one reception; never blocks on the storage.
    void Add(Reception reception);
    // Receptions already written, handed back during an import (SetBulk) so that its reader fills
    // them again instead of allocating new ones: their contents are stale, their room is kept.
    std::vector<Reception> TakeSpent();
    // Waits until every reception added before has been written or has failed.
    void Flush();
    // An import begins (true) or has ended (false): Archive::WriteInBulk on the writer's thread,
    // before the next batch (Flush waits for it too).
    void SetBulk(bool bulk);

    // The first failure of the storage since the last call, once: the caller reports it in the
    // status line and the log. Writing goes on with later batches. A storage that keeps failing
    // is reported once; after a batch is written again, a new failure is reported again.
    std::optional<std::string> TakeNewProblem();
    // True once any write has failed (the command-line tool exits 1).
    bool Failed() const;

    struct Counts {
        std::int64_t written = 0;  // receptions in committed batches
        std::int64_t newFrames = 0;
        std::int64_t newReceptions = 0;  // receptions the archive did not hold before
        std::int64_t lost = 0;           // receptions in failed batches or dropped for want of room
        std::int64_t queued = 0;  // receptions put on the disk to wait for a server that is away
        std::int64_t waiting = 0;
    };
    Counts GetCounts() const;

    // The archive itself, for reading; only while no write runs on it (after Flush()).
    Archive& Storage() { return *m_archive; }
    std::string Describe() const;

  private:
    void Run();

    std::unique_ptr<Archive> m_archive;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::vector<Reception> m_queue;  // in order of adding; the writer takes it whole
    std::size_t m_held = 0;          // taken by the writer, not yet in a batch being written
    std::vector<Reception> m_spent;  // written, for TakeSpent
    bool m_writing = false;
    bool m_bulk = false;         // as asked by SetBulk
    bool m_bulkStorage = false;  // as the storage was told
    bool m_stop = false;
    bool m_failed = false;
    bool m_dropping = false;  // the last reception added was dropped: the drop is reported
    std::optional<std::string> m_newProblem;
    Counts m_counts;
    std::thread m_thread;  // last: starts after every member above is made
};

}  // namespace quorbel
