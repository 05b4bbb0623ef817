// The outbox of shared frames: every frame to be shared is put on the disk here before any attempt
// to send it, and stays until a server acknowledged or rejected it, so that a network that is
// down, a stalled server, a restart or a kill loses nothing. The storage (an SQLite file) is an
// adapter outside the core.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorbel {

// A failure of the outbox's storage (cannot open, disk full, newer schema): its message names
// the file and the reason.
class OutboxError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A frame handed to the outbox.
struct OutboxPut {
    std::span<const std::uint8_t> bytes;  // unescaped, without the KISS command byte
    std::int64_t rxTimeMs = 0;            // UTC milliseconds
};

// A frame waiting in the outbox.
struct OutboxFrame {
    std::int64_t id = 0;
    std::vector<std::uint8_t> bytes;
    std::int64_t rxTimeMs = 0;
    int attempts = 0;  // requests that failed and are to be tried again
};

struct OutboxCounts {
    std::int64_t sent = 0;     // acknowledged by the server (kept as long as the outbox keeps them)
    std::int64_t waiting = 0;  // not yet acknowledged nor rejected
    std::int64_t rejected = 0;  // refused by the server for good
    std::string lastError;  // the last failure of a request, with the server's reply; empty: none
};

class Outbox {
  public:
    virtual ~Outbox() = default;
    // The outbox's file, for messages and share-status.
    virtual std::string Describe() const = 0;

    // Puts the frames in, all in one transaction, on the disk when it returns. A frame whose bytes
    // the outbox already holds (in any state) received within 10 minutes (kSameFrameWindowMs) of
    // it is the same frame and is left out: shared once. `nowMs` is when they were put (their age
    // counts from it). Returns how many were new. Throws OutboxError.
    virtual int Put(std::span<const OutboxPut> frames, std::int64_t nowMs) = 0;

    // Up to `limit` waiting frames, oldest receive time first (equal times in putting order),
    // leaving out those whose id is in `skip` (the requests in flight).
    virtual std::vector<OutboxFrame> Waiting(int limit, std::span<const std::int64_t> skip) = 0;

    // The outcome of one request, on the disk when it returns. A frame marked sent or rejected is
    // never handed out by Waiting again, across restarts.
    virtual void MarkSent(std::int64_t id) = 0;
    virtual void MarkFailed(std::int64_t id, const std::string& error) = 0;  // tried again later
    virtual void MarkRejected(std::int64_t id, const std::string& reply) = 0;

    // Drops waiting frames put more than maxAgeMs before nowMs and forgets sent and rejected ones
    // put more than keepMs before it. Returns the dropped waiting frames' receive times, oldest
    // first, for the log.
    virtual std::vector<std::int64_t> DropExpired(std::int64_t nowMs, std::int64_t maxAgeMs,
                                                  std::int64_t keepMs) = 0;

    virtual OutboxCounts Counts() = 0;

    // No frame has been put for a while (a pass has ended): the storage's upkeep that makes the
    // disk flush (a file's checkpoint) is done now rather than during a stream's arrivals.
    // Throws OutboxError.
    virtual void Rest() {}
};

}  // namespace quorbel
