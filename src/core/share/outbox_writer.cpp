// The outbox's writer thread: live frames queue up, the thread puts them in one transaction per
// batch, at most one batch per kHoldMs, so a fast stream costs two transactions a second and none
// of the receiving thread's time, and a frame of a pass's slow stream is put at once.
#include "share/outbox_writer.hpp"

#include <exception>
#include <utility>

namespace quorbel {

OutboxWriter::OutboxWriter(std::unique_ptr<Outbox> storage, std::function<std::int64_t()> nowMs,
                           std::chrono::milliseconds restAfter)
    : m_storage(std::move(storage)),
      m_nowMs(std::move(nowMs)),
      m_restAfter(restAfter),
      m_thread([this] { Run(); }) {}

OutboxWriter::~OutboxWriter() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void OutboxWriter::Add(std::vector<std::uint8_t> bytes, std::int64_t rxTimeMs) {
    bool first = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_queue.size() >= kMaxQueued) {
            // The disk has fallen too far behind: this frame is not shared, and that is said once.
            ++m_lost;
            m_failed = true;
            if (!m_dropping && !m_newProblem)
                m_newProblem = m_storage->Describe() +
                               ": the outbox cannot keep up; received frames are not shared";
            m_dropping = true;
            return;
        }
        m_dropping = false;
        first = m_queue.empty();
        m_queue.push_back({std::move(bytes), rxTimeMs});
    }
    // Only the first frame wakes the writer, which then takes the queue as a whole: waking it for
    // every frame would cost both threads a switch per frame.
    if (first)
        m_wake.notify_one();
}

void OutboxWriter::Flush() {
    std::unique_lock lock(m_mutex);
    m_flushAsked = true;
    m_wake.notify_one();
    m_idle.wait(lock, [this] { return m_queue.empty() && !m_writing; });
}

std::optional<std::string> OutboxWriter::TakeNewProblem() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_newProblem, std::nullopt);
}

bool OutboxWriter::Failed() const {
    std::lock_guard lock(m_mutex);
    return m_failed;
}

std::int64_t OutboxWriter::Lost() const {
    std::lock_guard lock(m_mutex);
    return m_lost;
}

// Waits for frames, holds them until kHoldMs after the last put began (or a flush or the stop asks
// for them at once), and puts them without the queue's lock held, so that Add never waits. Once no
// frame has come for kRestAfter after a put, the storage rests.
void OutboxWriter::Run() {
    const auto due = [this] { return m_stop || m_flushAsked || !m_queue.empty(); };
    bool restDue = false;
    std::chrono::steady_clock::time_point lastPut;  // long ago: the first frame is put at once
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!restDue) {
            m_wake.wait(lock, due);
        } else if (!m_wake.wait_for(lock, m_restAfter, due)) {
            restDue = false;
            m_writing = true;
            lock.unlock();
            try {
                std::lock_guard storage(m_storageMutex);
                m_storage->Rest();
            } catch (const std::exception&) {
                // Upkeep put off: the next rest or the storage's closing does it.
            }
            lock.lock();
            m_writing = false;
            if (m_queue.empty())
                m_idle.notify_all();
            continue;
        }
        if (m_queue.empty()) {
            if (m_stop)
                return;
            m_flushAsked = false;
            m_idle.notify_all();
            continue;
        }
        m_wake.wait_until(lock, lastPut + kHoldMs, [this] { return m_stop || m_flushAsked; });
        lastPut = std::chrono::steady_clock::now();
        std::vector<Queued> taken;
        taken.swap(m_queue);
        m_flushAsked = false;
        m_writing = true;
        lock.unlock();

        std::vector<OutboxPut> puts;
        puts.reserve(taken.size());
        for (const Queued& frame : taken)
            puts.push_back({frame.bytes, frame.rxTimeMs});
        std::optional<std::string> problem;
        try {
            std::lock_guard storage(m_storageMutex);
            m_storage->Put(puts, m_nowMs());
        } catch (const std::exception& failure) {
            problem = failure.what();
        }

        lock.lock();
        m_writing = false;
        restDue = true;
        Report(std::move(problem), static_cast<std::int64_t>(taken.size()));
        if (m_queue.empty())
            m_idle.notify_all();
    }
}

// Books a put's outcome, under m_mutex: a failure is told once until a put works again.
void OutboxWriter::Report(std::optional<std::string> problem, std::int64_t frames) {
    if (!problem) {
        m_quiet = false;
        return;
    }
    m_failed = true;
    m_lost += frames;
    if (!m_quiet && !m_newProblem)
        m_newProblem = std::move(problem);
    m_quiet = true;
}

std::string OutboxWriter::Describe() const {
    return m_storage->Describe();
}

int OutboxWriter::Put(std::span<const OutboxPut> frames, std::int64_t nowMs) {
    std::lock_guard storage(m_storageMutex);
    return m_storage->Put(frames, nowMs);
}

std::vector<OutboxFrame> OutboxWriter::Waiting(int limit, std::span<const std::int64_t> skip) {
    std::lock_guard storage(m_storageMutex);
    return m_storage->Waiting(limit, skip);
}

void OutboxWriter::MarkSent(std::int64_t id) {
    std::lock_guard storage(m_storageMutex);
    m_storage->MarkSent(id);
}

void OutboxWriter::MarkFailed(std::int64_t id, const std::string& error) {
    std::lock_guard storage(m_storageMutex);
    m_storage->MarkFailed(id, error);
}

void OutboxWriter::MarkRejected(std::int64_t id, const std::string& reply) {
    std::lock_guard storage(m_storageMutex);
    m_storage->MarkRejected(id, reply);
}

std::vector<std::int64_t> OutboxWriter::DropExpired(std::int64_t nowMs, std::int64_t maxAgeMs,
                                                    std::int64_t keepMs) {
    std::lock_guard storage(m_storageMutex);
    return m_storage->DropExpired(nowMs, maxAgeMs, keepMs);
}

void OutboxWriter::Rest() {
    std::lock_guard storage(m_storageMutex);
    m_storage->Rest();
}

OutboxCounts OutboxWriter::Counts() {
    std::unique_lock storage(m_storageMutex, std::try_to_lock);
    if (!storage.owns_lock()) {
        std::lock_guard lock(m_mutex);
        return m_lastCounts;  // a put runs: the counts from before it
    }
    OutboxCounts counts = m_storage->Counts();
    std::lock_guard lock(m_mutex);
    m_lastCounts = counts;
    return counts;
}

}  // namespace quorbel
