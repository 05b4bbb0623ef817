// An outbox held in memory for the sender's tests: the same frame rule as the file (same bytes
// received within 10 minutes are one frame), and an outbox that fails on demand.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "share/outbox.hpp"

namespace quorbel::testing {

class MemoryOutbox : public Outbox {
  public:
    enum class State { Waiting, Sent, Rejected };
    struct Entry {
        OutboxFrame frame;
        std::int64_t putMs = 0;
        State state = State::Waiting;
        std::string reply;  // the last error or the rejection's reply
    };

    std::string Describe() const override { return "memory outbox"; }
    int Put(std::span<const OutboxPut> frames, std::int64_t nowMs) override;
    std::vector<OutboxFrame> Waiting(int limit, std::span<const std::int64_t> skip) override;
    void MarkSent(std::int64_t id) override;
    void MarkFailed(std::int64_t id, const std::string& error) override;
    void MarkRejected(std::int64_t id, const std::string& reply) override;
    std::vector<std::int64_t> DropExpired(std::int64_t nowMs, std::int64_t maxAgeMs,
                                          std::int64_t keepMs) override;
    OutboxCounts Counts() override;

    // Puts one frame of the given bytes; its id, or 0 when it was the same frame as one held.
    std::int64_t PutOne(std::vector<std::uint8_t> bytes, std::int64_t rxTimeMs, std::int64_t nowMs);

    std::map<std::int64_t, Entry> entries;  // by id, in putting order
    bool failing = false;                   // every call throws OutboxError("disk full")

  private:
    void FailIfAsked() const;
    Entry& At(std::int64_t id);
    std::int64_t m_nextId = 1;
    std::string m_lastError;
    Entry m_gone;  // where marks of frames no longer held go
};

}  // namespace quorbel::testing
