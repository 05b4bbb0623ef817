// The archive's writer thread: receptions queue up, the thread stores them in batches of up to
// kBatchSize, one transaction each.
#include "archive/archive_writer.hpp"

#include <algorithm>
#include <exception>
#include <span>
#include <utility>
#include <vector>

namespace quorbel {

ArchiveWriter::ArchiveWriter(std::unique_ptr<Archive> archive)
    : m_archive(std::move(archive)), m_thread([this] { Run(); }) {}

ArchiveWriter::~ArchiveWriter() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void ArchiveWriter::Add(Reception reception) {
    {
        std::lock_guard lock(m_mutex);
        if (m_queue.size() + m_held >= kMaxWaiting) {
            // The storage has fallen too far behind: this reception is lost, and said so once.
            ++m_counts.lost;
            if (!m_dropping && !m_newProblem)
                m_newProblem = m_archive->Describe() +
                               ": the archive cannot keep up; received frames are being dropped";
            m_dropping = true;
            m_failed = true;
            return;
        }
        m_dropping = false;
        m_queue.push_back(std::move(reception));
        ++m_counts.waiting;
    }
    m_wake.notify_one();
}

std::vector<Reception> ArchiveWriter::TakeSpent() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_spent, {});
}

void ArchiveWriter::Flush() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] {
        return m_queue.empty() && m_held == 0 && !m_writing && m_bulk == m_bulkStorage;
    });
}

void ArchiveWriter::SetBulk(bool bulk) {
    {
        std::lock_guard lock(m_mutex);
        m_bulk = bulk;
    }
    m_wake.notify_one();
}

std::optional<std::string> ArchiveWriter::TakeNewProblem() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_newProblem, std::nullopt);
}

bool ArchiveWriter::Failed() const {
    std::lock_guard lock(m_mutex);
    return m_failed;
}

ArchiveWriter::Counts ArchiveWriter::GetCounts() const {
    std::lock_guard lock(m_mutex);
    return m_counts;
}

std::string ArchiveWriter::Describe() const {
    return m_archive->Describe();
}

// Takes what waits, writes it in batches without the lock held, and books each outcome. A failure
// is reported once: later failures stay quiet until a batch has been written again, so a storage
// that stays broken gives one message, and one that recovers and breaks again gives a new one. On
// stop, the thread writes what still waits before it ends. During an import the receptions
// written go back to its reader (TakeSpent), whose thread made them, with their room.
void ArchiveWriter::Run() {
    constexpr std::size_t kMostSpent = 2 * kBatchSize;
    std::vector<Reception> taken;  // everything waiting when last taken
    std::size_t next = 0;          // the first of `taken` not yet written
    bool quiet = false;
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (next == taken.size()) {
            m_wake.wait(lock,
                        [this] { return m_stop || !m_queue.empty() || m_bulk != m_bulkStorage; });
            if (m_bulk != m_bulkStorage) {
                const bool bulk = m_bulk;
                std::vector<Reception> spent;
                if (!bulk)
                    spent.swap(m_spent);  // freed below, without the lock
                m_writing = true;
                lock.unlock();
                spent.clear();
                try {
                    m_archive->WriteInBulk(bulk);
                } catch (const std::exception&) {
                    // Upkeep put off: the next batches or the archive's closing do it.
                }
                lock.lock();
                m_bulkStorage = bulk;
                m_writing = false;
                if (m_queue.empty())
                    m_idle.notify_all();
                continue;
            }
            if (m_queue.empty())
                return;  // stopping, nothing left
            taken.clear();
            taken.swap(m_queue);
            next = 0;
            m_held = taken.size();
        }
        const std::size_t size = std::min(taken.size() - next, kBatchSize);
        const std::span<const Reception> batch(taken.data() + next, size);
        m_held -= size;
        m_writing = true;
        lock.unlock();

        std::optional<WriteCount> written;
        std::string problem;
        try {
            written = m_archive->Write(batch);
        } catch (const std::exception& error) {
            problem = error.what();
        }

        lock.lock();
        const auto count = static_cast<std::int64_t>(size);
        m_counts.waiting -= count;
        if (written && written->queued > 0) {
            // A server that is away: the batch waits on the disk, neither stored nor lost; said
            // once until the server takes a batch again.
            m_counts.queued += written->queued;
            m_counts.lost += count - written->queued;
            if (written->queued < count)
                m_failed = true;
            if (!quiet && !m_newProblem)
                m_newProblem = written->notice;
            quiet = true;
        } else if (written) {
            m_counts.written += count;
            m_counts.newFrames += written->newFrames;
            m_counts.newReceptions += written->newReceptions;
            quiet = false;
        } else {
            m_counts.lost += count;
            m_failed = true;
            if (!quiet && !m_newProblem)
                m_newProblem = problem;
            quiet = true;
        }
        if (m_bulkStorage) {
            for (std::size_t i = next; i < next + size && m_spent.size() < kMostSpent; ++i)
                m_spent.push_back(std::move(taken[i]));
        }
        next += size;
        if (next == taken.size()) {
            // What was written is freed without the lock, so that no Add waits for it.
            lock.unlock();
            taken.clear();
            next = 0;
            lock.lock();
        }
        m_writing = false;
        if (m_queue.empty() && m_held == 0)
            m_idle.notify_all();
    }
}

}  // namespace quorbel
