// An archive on a server, whose receptions wait on the disk while the server cannot be reached
// (not started, restarting, the network down, the login refused): decoding and recording never
// stop for it, and what waits is written, in the order it came, once the server is back.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "archive/archive.hpp"
#include "archive/reception_queue.hpp"

namespace quorbel {

// The storage cannot be reached now; the same write may work later.
class ArchiveUnreachable : public ArchiveError {
  public:
    using ArchiveError::ArchiveError;
};

// Opens the server's archive; throws ArchiveUnreachable while it cannot be reached.
using ServerArchiveOpener = std::function<std::unique_ptr<Archive>()>;

class QueueingArchive : public Archive {
  public:
    static constexpr std::int64_t kDefaultMaxWaiting = 1'000'000;

    // `location` names the server as Describe gives it (the URL without its password); the
    // queue lies in the file at `queuePath`. The server is connected at the first use.
    QueueingArchive(std::string location, ServerArchiveOpener open, const std::string& queuePath,
                    std::int64_t maxWaiting = kDefaultMaxWaiting);

    std::string Describe() const override { return m_location; }
    // Writes what waits, then the batch; while the server cannot be reached the batch joins the
    // queue (WriteCount::queued) and the reason is in `WriteCount::notice`.
    WriteCount Write(std::span<const Reception> batch) override;
    void ReadFrames(const TimeRange& range,
                    const std::function<bool(const StoredFrame&)>& visit) override;
    std::map<FrameKind, std::int64_t> CountFrames(const TimeRange& range) override;
    FieldSeries QueryField(int field, const TimeRange& range, int buckets) override;
    std::vector<StationCount> Stations(const TimeRange& range) override;
    std::optional<TimeRange> Extent() override;
    ArchiveStats Stats() override;
    void Rebuild(const std::function<void(std::int64_t, std::int64_t)>& progress) override;
    std::int64_t Waiting() const override { return m_queue.Waiting(); }
    // Passed on to the server's archive, now and whenever it is connected anew.
    void WriteInBulk(bool bulk) override;

  private:
    // The server's archive, connected now if it is not; throws ArchiveUnreachable.
    Archive& Server();
    // Writes the queue to the server in order, in batches; throws ArchiveUnreachable when it
    // stops in the middle (what was written stays written: the server adds nothing twice).
    void Drain();

    std::string m_location;
    ServerArchiveOpener m_open;
    std::unique_ptr<Archive> m_server;
    ReceptionQueue m_queue;
    bool m_bulk = false;
};

}  // namespace quorbel
