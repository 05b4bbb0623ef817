// The archive's writer thread: receptions queue up, the thread stores them in batches of up to
// kBatchSize, one transaction each.
#include "archive/archive_writer.hpp"

#include <algorithm>
#include <exception>
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
        if (m_queue.size() >= kMaxWaiting) {
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

void ArchiveWriter::Flush() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_queue.empty() && !m_writing; });
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

// Takes a batch, writes it without the lock held, and books the outcome. A failure is reported
// once: later failures stay quiet until a batch has been written again, so a storage that stays
// broken gives one message, and one that recovers and breaks again gives a new one. On stop, the
// thread writes what still waits before it ends.
void ArchiveWriter::Run() {
    std::vector<Reception> batch;
    bool quiet = false;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty())
            return;  // stopping, nothing left
        const std::size_t take = std::min(m_queue.size(), kBatchSize);
        batch.clear();
        for (std::size_t i = 0; i < take; ++i) {
            batch.push_back(std::move(m_queue.front()));
            m_queue.pop_front();
        }
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
        const auto size = static_cast<std::int64_t>(batch.size());
        m_counts.waiting -= size;
        if (written && written->queued > 0) {
            // A server that is away: the batch waits on the disk, neither stored nor lost; said
            // once until the server takes a batch again.
            m_counts.queued += written->queued;
            m_counts.lost += size - written->queued;
            if (written->queued < size)
                m_failed = true;
            if (!quiet && !m_newProblem)
                m_newProblem = written->notice;
            quiet = true;
        } else if (written) {
            m_counts.written += size;
            m_counts.newFrames += written->newFrames;
            m_counts.newReceptions += written->newReceptions;
            quiet = false;
        } else {
            m_counts.lost += size;
            m_failed = true;
            if (!quiet && !m_newProblem)
                m_newProblem = problem;
            quiet = true;
        }
        m_writing = false;
        if (m_queue.empty())
            m_idle.notify_all();
    }
}

}  // namespace quorbel
