// The outbox's writer thread: queued frames reach the storage together and in order, a storage that
// stalls never makes Add or the counts wait, and one that fails is told once and counted.
#include "share/outbox_writer.hpp"

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "memory_outbox.hpp"

namespace quorbel {
namespace {

using testing::MemoryOutbox;
using Bytes = std::vector<std::uint8_t>;

// A memory outbox that records each put's size and whose puts wait while the gate is closed.
class GatedOutbox : public MemoryOutbox {
  public:
    int Put(std::span<const OutboxPut> frames, std::int64_t nowMs) override {
        std::unique_lock lock(mutex);
        ++putsStarted;
        changed.notify_all();
        changed.wait(lock, [this] { return open; });
        putSizes->push_back(frames.size());
        return MemoryOutbox::Put(frames, nowMs);
    }
    void Rest() override {
        std::lock_guard lock(mutex);
        ++rests;
        changed.notify_all();
    }
    void Open() {
        std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
    void AwaitPut() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return putsStarted > 0; });
    }

    std::mutex mutex;
    std::condition_variable changed;
    bool open = true;
    int putsStarted = 0;
    int rests = 0;
    // Kept beyond the storage, which ends with its writer.
    std::shared_ptr<std::vector<std::size_t>> putSizes =
        std::make_shared<std::vector<std::size_t>>();
};

struct Writer {
    explicit Writer(bool open = true) {
        auto made = std::make_unique<GatedOutbox>();
        storage = made.get();
        storage->open = open;
        writer = std::make_unique<OutboxWriter>(
            std::move(made), [] { return 5'000; }, std::chrono::milliseconds(50));
    }
    GatedOutbox* storage;
    std::unique_ptr<OutboxWriter> writer;
};

// A frame after a pause is put at once; those that come while a put runs wait together for the
// next, kHoldMs after it began, in their order, with the clock's time; the end puts what waits.
TEST(OutboxWriter, QueuedFramesArePutTogetherInOrderWithTheClocksTime) {
    Writer w(/*open=*/false);
    w.writer->Add(Bytes{0, 0x55}, 1'000);
    w.storage->AwaitPut();
    for (std::uint8_t i = 1; i < 5; ++i)
        w.writer->Add(Bytes{i, 0x55}, 1'000 + i);
    w.writer->Add(Bytes{2, 0x55}, 1'002);  // the same frame again: one frame
    const auto opened = std::chrono::steady_clock::now();
    w.storage->Open();
    for (int turn = 0; turn < 500 && w.writer->Counts().waiting < 5; ++turn)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(std::chrono::steady_clock::now() - opened, OutboxWriter::kHoldMs / 2);
    EXPECT_EQ(*w.storage->putSizes, (std::vector<std::size_t>{1, 5}));
    const std::vector<OutboxFrame> waiting = w.writer->Waiting(10, {});
    ASSERT_EQ(waiting.size(), 5u);
    for (std::size_t i = 0; i < waiting.size(); ++i) {
        EXPECT_EQ(waiting[i].bytes, (Bytes{static_cast<std::uint8_t>(i), 0x55}));
        EXPECT_EQ(waiting[i].rxTimeMs, 1'000 + static_cast<std::int64_t>(i));
    }
    EXPECT_EQ(w.storage->entries.begin()->second.putMs, 5'000);

    w.writer->Add(Bytes{10}, 2'001);
    w.writer->Add(Bytes{11}, 2'002);
    const auto putSizes = w.storage->putSizes;
    w.writer.reset();
    std::size_t put = 0;
    for (const std::size_t size : *putSizes)
        put += size;
    EXPECT_EQ(put, 8u);
}

// The storage rests once after frames have stopped coming, not while none come at all.
TEST(OutboxWriter, TheStorageRestsOnceAfterAStream) {
    Writer w;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    w.writer->Flush();
    EXPECT_EQ(w.storage->rests, 0);
    w.writer->Add(Bytes{1}, 1'000);
    w.writer->Flush();
    {
        std::unique_lock lock(w.storage->mutex);
        EXPECT_TRUE(w.storage->changed.wait_for(lock, std::chrono::seconds(5),
                                                [&] { return w.storage->rests > 0; }));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::lock_guard lock(w.storage->mutex);
    EXPECT_EQ(w.storage->rests, 1);
}

// While the storage stalls, Add and the counts return at once; beyond kMaxQueued frames are
// dropped, counted and told once.
TEST(OutboxWriter, AStalledStorageNeverHoldsTheReceivingThread) {
    Writer w(/*open=*/false);
    w.writer->Add(Bytes{1}, 1'000);
    w.storage->AwaitPut();                     // the writer is stuck in the storage
    EXPECT_EQ(w.writer->Counts().waiting, 0);  // the last counts, not a wait
    for (std::size_t i = 0; i < OutboxWriter::kMaxQueued + 2; ++i)
        w.writer->Add(Bytes{2}, 2'000);
    EXPECT_EQ(w.writer->Lost(), 2);
    EXPECT_TRUE(w.writer->Failed());
    const auto problem = w.writer->TakeNewProblem();
    ASSERT_TRUE(problem.has_value());
    EXPECT_EQ(*problem, "memory outbox: the outbox cannot keep up; received frames are not shared");
    EXPECT_EQ(w.writer->TakeNewProblem(), std::nullopt);
    w.storage->Open();
    w.writer->Flush();
    EXPECT_EQ(w.writer->Counts().waiting, 2);  // the first frame, and the flood that is one frame
}

// A failing storage is told once while it keeps failing, and again after a put has worked.
TEST(OutboxWriter, AFailingStorageIsToldOnceUntilAPutWorks) {
    Writer w;
    w.storage->failing = true;
    for (int round = 0; round < 2; ++round) {
        w.writer->Add(Bytes{static_cast<std::uint8_t>(round)}, 1'000);
        w.writer->Flush();
        // Told by the first failed put, not by the next while the storage keeps failing.
        EXPECT_EQ(
            w.writer->TakeNewProblem(),
            round == 0 ? std::optional<std::string>("memory outbox: disk full") : std::nullopt);
    }
    EXPECT_EQ(w.writer->Lost(), 2);
    w.storage->failing = false;
    w.writer->Add(Bytes{7}, 1'000);
    w.writer->Flush();
    EXPECT_EQ(w.writer->TakeNewProblem(), std::nullopt);
    w.storage->failing = true;
    w.writer->Add(Bytes{8}, 1'000);
    w.writer->Flush();
    EXPECT_EQ(w.writer->TakeNewProblem(), "memory outbox: disk full");
    EXPECT_EQ(w.writer->Lost(), 3);
    EXPECT_TRUE(w.writer->Failed());
}

}  // namespace
}  // namespace quorbel
