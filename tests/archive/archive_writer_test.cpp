// The writer thread against a double of the storage that can be made to block or to fail:
// batches, Flush, counts, drops, problems reported once, and the last batches written on the way
// out.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "archive/archive_writer.hpp"
#include "support/memory_archive.hpp"

namespace quorbel {
namespace {

// What the double does and saw, shared with the test (the writer owns the double itself).
struct StorageControl {
    std::mutex mutex;
    std::condition_variable changed;
    bool blocked = false;
    std::atomic<bool> failing = false;
    bool inWrite = false;
    std::vector<std::size_t> batchSizes;
    std::int64_t stored = 0;
    std::vector<bool> bulk;  // WriteInBulk calls, in order
    std::thread::id writingThread;
    bool bulkOnWritingThread = true;

    void SetBlocked(bool value) {
        std::lock_guard lock(mutex);
        blocked = value;
        changed.notify_all();
    }
    void WaitInWrite() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return inWrite; });
    }
};

class ControlledArchive : public testing::WriteOnlyArchive {
  public:
    explicit ControlledArchive(std::shared_ptr<StorageControl> control)
        : m_control(std::move(control)) {}
    std::string Describe() const override { return "test.sqlite"; }
    WriteCount Write(std::span<const Reception> batch) override {
        std::unique_lock lock(m_control->mutex);
        m_control->inWrite = true;
        m_control->changed.notify_all();
        m_control->changed.wait(lock, [this] { return !m_control->blocked; });
        m_control->inWrite = false;
        m_control->batchSizes.push_back(batch.size());
        m_control->writingThread = std::this_thread::get_id();
        if (m_control->failing)
            throw ArchiveError("test.sqlite: no room left to write");
        m_control->stored += static_cast<std::int64_t>(batch.size());
        // Every second reception counts as a new frame.
        WriteCount count;
        count.newFrames = static_cast<std::int64_t>(batch.size() / 2);
        count.newReceptions = static_cast<std::int64_t>(batch.size());
        return count;
    }
    void WriteInBulk(bool bulk) override {
        std::lock_guard lock(m_control->mutex);
        m_control->bulk.push_back(bulk);
        if (m_control->writingThread != std::thread::id{} &&
            m_control->writingThread != std::this_thread::get_id())
            m_control->bulkOnWritingThread = false;
    }

  private:
    std::shared_ptr<StorageControl> m_control;
};

struct WriterUnderTest {
    std::shared_ptr<StorageControl> control = std::make_shared<StorageControl>();
    std::unique_ptr<ArchiveWriter> writer =
        std::make_unique<ArchiveWriter>(std::make_unique<ControlledArchive>(control));
};

TEST(ArchiveWriterTest, BatchesFlushAndCounts) {
    WriterUnderTest test;
    test.control->SetBlocked(true);
    test.writer->Add({});
    test.control->WaitInWrite();  // the first reception is being written; the rest queue up
    constexpr std::size_t kBatch = ArchiveWriter::kBatchSize;
    const std::size_t queued = 2 * kBatch + kBatch / 5;  // two whole batches and a part
    for (std::size_t i = 0; i < queued; ++i)
        test.writer->Add({});
    EXPECT_EQ(test.writer->GetCounts().waiting, static_cast<std::int64_t>(queued + 1));
    test.control->SetBlocked(false);
    test.writer->Flush();

    const ArchiveWriter::Counts counts = test.writer->GetCounts();
    EXPECT_EQ(counts.written, static_cast<std::int64_t>(queued + 1));
    EXPECT_EQ(counts.waiting, 0);
    EXPECT_EQ(counts.lost, 0);
    EXPECT_EQ(counts.newFrames,
              static_cast<std::int64_t>(0 + kBatch / 2 + kBatch / 2 + kBatch / 10));
    EXPECT_EQ(test.control->batchSizes, (std::vector<std::size_t>{1, kBatch, kBatch, kBatch / 5}));
    EXPECT_FALSE(test.writer->Failed());
    EXPECT_FALSE(test.writer->TakeNewProblem());
    test.writer->Flush();  // nothing waits: returns at once
    EXPECT_EQ(test.writer->Describe(), "test.sqlite");
}

TEST(ArchiveWriterTest, FailuresAreReportedOnceUntilAWriteSucceedsAndWritingGoesOn) {
    WriterUnderTest test;
    test.control->failing = true;
    for (int i = 0; i < 3; ++i)
        test.writer->Add({});
    test.writer->Flush();
    test.writer->Add({});
    test.writer->Flush();
    EXPECT_TRUE(test.writer->Failed());
    EXPECT_EQ(test.writer->GetCounts().lost, 4);
    const auto problem = test.writer->TakeNewProblem();
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("no room"), std::string::npos);
    test.writer->Add({});
    test.writer->Flush();
    EXPECT_FALSE(test.writer->TakeNewProblem()) << "the same failure again is not news";

    test.control->failing = false;
    test.writer->Add({});
    test.writer->Flush();
    EXPECT_EQ(test.writer->GetCounts().written, 1);
    EXPECT_FALSE(test.writer->TakeNewProblem());
    test.control->failing = true;
    test.writer->Add({});
    test.writer->Flush();
    EXPECT_TRUE(test.writer->TakeNewProblem()) << "a failure after a success is news";
    EXPECT_TRUE(test.writer->Failed());
    EXPECT_EQ(test.writer->GetCounts().lost, 6);
}

TEST(ArchiveWriterTest, DropsPastTheLimitAndWritesWhatWaitsOnTheWayOut) {
    WriterUnderTest test;
    test.control->SetBlocked(true);
    test.writer->Add({});
    test.control->WaitInWrite();
    const std::int64_t room = ArchiveWriter::kMaxWaiting;
    for (std::int64_t i = 0; i < room + 5; ++i)
        test.writer->Add({});
    ArchiveWriter::Counts counts = test.writer->GetCounts();
    EXPECT_EQ(counts.lost, 5);
    EXPECT_EQ(counts.waiting, room + 1);
    EXPECT_TRUE(test.writer->Failed());
    const auto problem = test.writer->TakeNewProblem();
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("dropped"), std::string::npos);
    EXPECT_FALSE(test.writer->TakeNewProblem());

    // The storage comes free only while the writer is being destroyed: everything that waits is
    // still written before the thread ends.
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        test.control->SetBlocked(false);
    });
    test.writer.reset();
    release.join();
    EXPECT_EQ(test.control->stored, room + 1);
}

// An import tells the storage, on the writer's thread, and gets the receptions written back to
// fill again; outside an import nothing is kept for it.
TEST(ArchiveWriterTest, BulkWritingIsToldToTheStorageAndHandsWrittenReceptionsBack) {
    WriterUnderTest test;
    const auto reception = [](int n) {
        Reception r;
        r.bytes.assign(300, static_cast<std::uint8_t>(n));
        r.station = "station with a long name " + std::to_string(n);
        return r;
    };
    test.writer->Add(reception(0));
    test.writer->Flush();
    EXPECT_TRUE(test.writer->TakeSpent().empty()) << "nothing is kept outside an import";

    test.writer->SetBulk(true);
    for (int i = 1; i <= 7'000; ++i)
        test.writer->Add(reception(i));
    test.writer->Flush();
    std::vector<Reception> spent = test.writer->TakeSpent();
    EXPECT_EQ(spent.size(), 7'000u);
    ASSERT_FALSE(spent.empty());
    EXPECT_GE(spent.back().bytes.capacity(), 300u) << "the room of the bytes comes back";
    EXPECT_TRUE(test.writer->TakeSpent().empty()) << "handed back once";
    test.writer->SetBulk(false);
    test.writer->Flush();  // waits for the storage to be told
    test.writer->Add(reception(7'001));
    test.writer->Flush();
    EXPECT_TRUE(test.writer->TakeSpent().empty());

    std::lock_guard lock(test.control->mutex);
    EXPECT_EQ(test.control->bulk, (std::vector<bool>{true, false}));
    EXPECT_TRUE(test.control->bulkOnWritingThread);
    EXPECT_EQ(test.control->stored, 7'002);
    EXPECT_EQ(test.control->batchSizes.front(), 1u);
    for (const std::size_t size : test.control->batchSizes)
        EXPECT_LE(size, ArchiveWriter::kBatchSize);
}

}  // namespace
}  // namespace quorbel
