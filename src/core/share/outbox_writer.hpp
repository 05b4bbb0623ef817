// Puts live frames in the outbox on a thread of its own, so that a fast stream never waits for
// the outbox's disk: the receiving thread only queues a copy of each frame. The writer puts what
// queued up together, in one transaction, at most once per kHoldMs. The sender
// works through the same outbox through this writer; its calls and the writer's puts take turns.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "share/outbox.hpp"

namespace quorbel {

class OutboxWriter final : public Outbox {
  public:
    // The shortest time between two puts: a frame that comes after a pause is put at once, those
    // of a fast stream wait up to this. A kill -9 can take back the frames queued in the last such
    // span (they stay in the capture file, and `share` of it puts them).
    static constexpr auto kHoldMs = std::chrono::milliseconds(500);
    // The storage rests (Outbox::Rest) once no frame has come for this long after a put.
    static constexpr auto kRestAfter = std::chrono::seconds(2);
    // Frames queued beyond this are dropped and counted: a stalled disk must not take all memory.
    static constexpr std::size_t kMaxQueued = 200'000;

    // `nowMs` is the clock the frames' put time (their age) is read from.
    OutboxWriter(std::unique_ptr<Outbox> storage, std::function<std::int64_t()> nowMs,
                 std::chrono::milliseconds restAfter = kRestAfter);
    // Puts what is queued, then stops the thread.
    ~OutboxWriter() override;
    OutboxWriter(const OutboxWriter&) = delete;
    OutboxWriter& operator=(const OutboxWriter&) = delete;

    // Queues one frame; never waits for the disk.
    void Add(std::vector<std::uint8_t> bytes, std::int64_t rxTimeMs);
    // Puts what is queued now, and waits until it is on the disk or has failed.
    void Flush();
    // The first failure to put queued frames since the last call, once; a storage that keeps
    // failing is told once, and again only after a put has worked in between.
    std::optional<std::string> TakeNewProblem();
    // True once queued frames could not be put (or were dropped).
    bool Failed() const;
    // Queued frames that were dropped or whose put failed.
    std::int64_t Lost() const;

    // The outbox, through the writer: each call waits for a put in progress. Counts do not: while
    // a put runs they are the last ones read.
    std::string Describe() const override;
    int Put(std::span<const OutboxPut> frames, std::int64_t nowMs) override;
    std::vector<OutboxFrame> Waiting(int limit, std::span<const std::int64_t> skip) override;
    void MarkSent(std::int64_t id) override;
    void MarkFailed(std::int64_t id, const std::string& error) override;
    void MarkRejected(std::int64_t id, const std::string& reply) override;
    std::vector<std::int64_t> DropExpired(std::int64_t nowMs, std::int64_t maxAgeMs,
                                          std::int64_t keepMs) override;
    OutboxCounts Counts() override;
    void Rest() override;

  private:
    struct Queued {
        std::vector<std::uint8_t> bytes;
        std::int64_t rxTimeMs = 0;
    };
    void Run();
    void Report(std::optional<std::string> problem, std::int64_t frames);

    std::unique_ptr<Outbox> m_storage;
    std::function<std::int64_t()> m_nowMs;
    std::chrono::milliseconds m_restAfter;
    std::mutex m_storageMutex;  // one call on the storage at a time

    mutable std::mutex m_mutex;  // the queue, what the writer reports and the last counts
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::vector<Queued> m_queue;
    bool m_writing = false;
    bool m_flushAsked = false;
    bool m_stop = false;
    bool m_failed = false;
    bool m_quiet = false;  // a failure was told; the next is told only after a put has worked
    bool m_dropping = false;
    std::int64_t m_lost = 0;
    std::optional<std::string> m_newProblem;
    OutboxCounts m_lastCounts;
    std::thread m_thread;  // last: starts after every member above is made
};

}  // namespace quorbel
