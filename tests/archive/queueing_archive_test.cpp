// The queue in front of a server's archive passes an import's bulk mode on to every connection it
// makes, and writes what waited on the disk in the server's safest mode, since nothing sends
// those frames again once the queue is gone.
#include "archive/queueing_archive.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/memory_archive.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

// A server's archive that records each write with the bulk mode in force, and can be away.
struct ServerLog {
    bool away = false;
    std::vector<bool> writesInBulk;  // per batch written
};

class RecordingArchive : public testing::WriteOnlyArchive {
  public:
    explicit RecordingArchive(ServerLog& log) : m_log(log) {}
    std::string Describe() const override { return "server"; }
    WriteCount Write(std::span<const Reception> batch) override {
        if (m_log.away)
            throw ArchiveUnreachable("the server cannot be reached");
        m_log.writesInBulk.push_back(m_bulk);
        WriteCount count;
        count.newReceptions = static_cast<std::int64_t>(batch.size());
        return count;
    }
    void WriteInBulk(bool bulk) override { m_bulk = bulk; }

  private:
    ServerLog& m_log;
    bool m_bulk = false;
};

TEST(QueueingArchive, BulkModeReachesEveryConnectionButNotTheQueuedFrames) {
    testing::TempFolder folder;
    ServerLog log;
    QueueingArchive archive(
        "server",
        [&log]() -> std::unique_ptr<Archive> {
            if (log.away)
                throw ArchiveUnreachable("the server cannot be reached");
            return std::make_unique<RecordingArchive>(log);
        },
        folder.Path() + "/archive-queue.bin");
    Reception reception;
    reception.bytes = {1, 2, 3};
    const std::vector<Reception> batch(3, reception);

    archive.WriteInBulk(true);  // before the first connection
    archive.Write(batch);
    log.away = true;
    EXPECT_EQ(archive.Write(batch).queued, 3);
    log.away = false;
    archive.Write(batch);  // a new connection: the queue first, then the batch
    archive.WriteInBulk(false);
    archive.Write(batch);
    EXPECT_EQ(log.writesInBulk, (std::vector<bool>{true, false, true, false}));
}

}  // namespace
}  // namespace quorbel
