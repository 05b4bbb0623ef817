#include "archive/queueing_archive.hpp"

#include <utility>

namespace quorbel {
namespace {

// Receptions written to the server per transaction while the queue drains.
constexpr std::size_t kDrainBatch = 5'000;

}  // namespace

QueueingArchive::QueueingArchive(std::string location, ServerArchiveOpener open,
                                 const std::string& queuePath, std::int64_t maxWaiting)
    : m_location(std::move(location)), m_open(std::move(open)), m_queue(queuePath, maxWaiting) {}

Archive& QueueingArchive::Server() {
    if (!m_server) {
        m_server = m_open();
        if (m_bulk)
            m_server->WriteInBulk(true);
    }
    return *m_server;
}

void QueueingArchive::WriteInBulk(bool bulk) {
    m_bulk = bulk;
    try {
        if (m_server)
            m_server->WriteInBulk(bulk);
    } catch (const ArchiveUnreachable&) {
        m_server.reset();  // connected anew, in the mode asked for, at the next use
    }
}

// What waits may be live frames that nothing would send again: the queue goes only once the
// server holds them as safely as a live write, whatever a bulk write would allow.
void QueueingArchive::Drain() {
    if (m_bulk)
        Server().WriteInBulk(false);
    std::uint64_t offset = 0;
    for (;;) {
        ReceptionQueue::Slice slice = m_queue.Read(offset, kDrainBatch);
        if (slice.receptions.empty())
            break;
        Server().Write(slice.receptions);
        offset = slice.nextOffset;
    }
    m_queue.Clear();
    if (m_bulk)
        Server().WriteInBulk(true);
}

WriteCount QueueingArchive::Write(std::span<const Reception> batch) {
    try {
        if (m_queue.Waiting() > 0)
            Drain();
        return Server().Write(batch);
    } catch (const ArchiveUnreachable& away) {
        // A lost connection is made anew at the next write.
        m_server.reset();
        const std::int64_t refusedBefore = m_queue.Refused();
        WriteCount count;
        count.queued = static_cast<std::int64_t>(m_queue.Append(batch));
        count.notice = std::string(away.what()) + "; " + std::to_string(m_queue.Waiting()) +
                       " received frames wait in " + m_queue.Path();
        if (m_queue.Refused() > refusedBefore)
            count.notice +=
                " (full: " + std::to_string(m_queue.Refused() - refusedBefore) + " dropped)";
        return count;
    }
}

void QueueingArchive::ReadFrames(const TimeRange& range,
                                 const std::function<bool(const StoredFrame&)>& visit) {
    Server().ReadFrames(range, visit);
}

std::map<FrameKind, std::int64_t> QueueingArchive::CountFrames(const TimeRange& range) {
    return Server().CountFrames(range);
}

FieldSeries QueueingArchive::QueryField(int field, const TimeRange& range, int buckets) {
    return Server().QueryField(field, range, buckets);
}

std::vector<StationCount> QueueingArchive::Stations(const TimeRange& range) {
    return Server().Stations(range);
}

std::optional<TimeRange> QueueingArchive::Extent() {
    return Server().Extent();
}

ArchiveStats QueueingArchive::Stats() {
    ArchiveStats stats;
    try {
        stats = Server().Stats();
    } catch (const ArchiveUnreachable& away) {
        m_server.reset();
        stats.unreachable = away.what();
    }
    stats.location = m_location;
    stats.waiting = m_queue.Waiting();
    return stats;
}

void QueueingArchive::Rebuild(const std::function<void(std::int64_t, std::int64_t)>& progress) {
    Server().Rebuild(progress);
}

}  // namespace quorbel
