// The in-memory outbox of the sender's tests.
#include "memory_outbox.hpp"

#include <algorithm>
#include <cstdlib>

namespace quorbel::testing {

namespace {
constexpr std::int64_t kSameFrameMs = 10 * 60 * 1000;
}

void MemoryOutbox::FailIfAsked() const {
    if (failing)
        throw OutboxError("memory outbox: disk full");
}

// A frame dropped while its request was under way is marked nowhere, as a file's update of a
// deleted row changes nothing.
MemoryOutbox::Entry& MemoryOutbox::At(std::int64_t id) {
    FailIfAsked();
    const auto entry = entries.find(id);
    return entry != entries.end() ? entry->second : m_gone;
}

int MemoryOutbox::Put(std::span<const OutboxPut> frames, std::int64_t nowMs) {
    FailIfAsked();
    int added = 0;
    for (const OutboxPut& put : frames) {
        const std::vector<std::uint8_t> bytes(put.bytes.begin(), put.bytes.end());
        const bool held = std::any_of(entries.begin(), entries.end(), [&](const auto& entry) {
            const OutboxFrame& frame = entry.second.frame;
            return frame.bytes == bytes && std::abs(frame.rxTimeMs - put.rxTimeMs) < kSameFrameMs;
        });
        if (held)
            continue;
        const std::int64_t id = m_nextId++;
        entries[id] = Entry{OutboxFrame{id, bytes, put.rxTimeMs, 0}, nowMs, State::Waiting, {}};
        ++added;
    }
    return added;
}

std::int64_t MemoryOutbox::PutOne(std::vector<std::uint8_t> bytes, std::int64_t rxTimeMs,
                                  std::int64_t nowMs) {
    const OutboxPut put{bytes, rxTimeMs};
    return Put({&put, 1}, nowMs) == 1 ? m_nextId - 1 : 0;
}

std::vector<OutboxFrame> MemoryOutbox::Waiting(int limit, std::span<const std::int64_t> skip) {
    FailIfAsked();
    std::vector<OutboxFrame> waiting;
    for (const auto& [id, entry] : entries) {
        if (entry.state == State::Waiting && std::find(skip.begin(), skip.end(), id) == skip.end())
            waiting.push_back(entry.frame);
    }
    // Ids grow in putting order, so equal receive times stay in that order.
    std::stable_sort(waiting.begin(), waiting.end(),
                     [](const auto& a, const auto& b) { return a.rxTimeMs < b.rxTimeMs; });
    if (waiting.size() > static_cast<std::size_t>(limit))
        waiting.resize(static_cast<std::size_t>(limit));
    return waiting;
}

void MemoryOutbox::MarkSent(std::int64_t id) {
    At(id).state = State::Sent;
}

void MemoryOutbox::MarkFailed(std::int64_t id, const std::string& error) {
    Entry& entry = At(id);
    ++entry.frame.attempts;
    entry.reply = error;
    m_lastError = error;
}

void MemoryOutbox::MarkRejected(std::int64_t id, const std::string& reply) {
    Entry& entry = At(id);
    entry.state = State::Rejected;
    entry.reply = reply;
    m_lastError = reply;
}

std::vector<std::int64_t> MemoryOutbox::DropExpired(std::int64_t nowMs, std::int64_t maxAgeMs,
                                                    std::int64_t keepMs) {
    FailIfAsked();
    std::vector<std::int64_t> dropped;
    std::erase_if(entries, [&](const auto& item) {
        const Entry& entry = item.second;
        const bool waiting = entry.state == State::Waiting;
        if (nowMs - entry.putMs <= (waiting ? maxAgeMs : keepMs))
            return false;
        if (waiting)
            dropped.push_back(entry.frame.rxTimeMs);
        return true;
    });
    std::sort(dropped.begin(), dropped.end());
    return dropped;
}

OutboxCounts MemoryOutbox::Counts() {
    FailIfAsked();
    OutboxCounts counts;
    for (const auto& [id, entry] : entries) {
        counts.sent += entry.state == State::Sent;
        counts.waiting += entry.state == State::Waiting;
        counts.rejected += entry.state == State::Rejected;
    }
    counts.lastError = m_lastError;
    return counts;
}

}  // namespace quorbel::testing
