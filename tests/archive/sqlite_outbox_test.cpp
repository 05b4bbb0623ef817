// The outbox of shared frames on a real SQLite file: which frames are the same, the order they
// wait in, marks across reopening, expiry, the counts, and files it must refuse.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive_test_frames.hpp"
#include "sqlite_outbox.hpp"
#include "sqlite_outbox_queries.hpp"
#include "storage_faults.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

using testing::kStartMs;
using namespace std::string_literals;
constexpr std::int64_t kSecond = 1'000;
constexpr std::int64_t kMinute = 60 * kSecond;
constexpr std::int64_t kDay = 86'400'000;

std::vector<std::uint8_t> FrameBytes(std::uint8_t seed) {
    return {0xA5, seed, 0x00, 0xC0, static_cast<std::uint8_t>(seed * 7), 0xDB};
}

std::vector<std::int64_t> ReceiveTimes(const std::vector<OutboxFrame>& frames) {
    std::vector<std::int64_t> times;
    for (const OutboxFrame& frame : frames)
        times.push_back(frame.rxTimeMs);
    return times;
}

std::string CountsText(Outbox& outbox) {
    const OutboxCounts counts = outbox.Counts();
    return "waiting " + std::to_string(counts.waiting) + " sent " + std::to_string(counts.sent) +
           " rejected " + std::to_string(counts.rejected) + " error '" + counts.lastError + "'";
}

// The plan SQLite makes of a query on the file: its steps, one a line.
std::string PlanOf(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    std::string plan;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, ("EXPLAIN QUERY PLAN " + sql).c_str(), -1, &statement, nullptr) ==
        SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW)
            plan += reinterpret_cast<const char*>(sqlite3_column_text(statement, 3)) + "\n"s;
    } else {
        plan = sqlite3_errmsg(db);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return plan;
}

// An outbox file of its own in a temporary folder, open.
class SqliteOutboxTest : public ::testing::Test {
  protected:
    int PutOne(const std::vector<std::uint8_t>& bytes, std::int64_t rxMs,
               std::int64_t nowMs = kStartMs) {
        const OutboxPut frame{bytes, rxMs};
        return outbox->Put({&frame, 1}, nowMs);
    }
    std::vector<OutboxFrame> AllWaiting(std::span<const std::int64_t> skip = {}) {
        return outbox->Waiting(1000, skip);
    }

    ::quorbel::testing::TempFolder folder;
    const std::string path = folder.File("outbox.sqlite");
    std::unique_ptr<Outbox> outbox = OpenSqliteOutbox(path);
};

TEST_F(SqliteOutboxTest, SameBytesWithinTenMinutesAreOneFrame) {
    const auto beacon = FrameBytes(1);
    EXPECT_EQ(outbox->Describe(), path);
    EXPECT_EQ(CountsText(*outbox), "waiting 0 sent 0 rejected 0 error ''");
    EXPECT_EQ(PutOne(beacon, kStartMs), 1);
    EXPECT_EQ(PutOne(beacon, kStartMs + 9 * kMinute + 59 * kSecond), 0);
    EXPECT_EQ(PutOne(beacon, kStartMs - 9 * kMinute - 59 * kSecond), 0);
    EXPECT_EQ(PutOne(beacon, kStartMs + 10 * kMinute + 1 * kSecond), 1);  // sent again later
    EXPECT_EQ(PutOne(FrameBytes(2), kStartMs), 1);                        // other bytes
    EXPECT_EQ(PutOne({beacon.begin(), beacon.end() - 1}, kStartMs), 1);   // a shorter frame
    EXPECT_EQ(CountsText(*outbox), "waiting 4 sent 0 rejected 0 error ''");

    // Within one Put: the same frame from two stations, and again twenty minutes on.
    const auto sensor = FrameBytes(3);
    const auto other = FrameBytes(4);
    const std::vector<OutboxPut> pass = {{sensor, kStartMs},
                                         {sensor, kStartMs + 2 * kSecond},
                                         {other, kStartMs},
                                         {sensor, kStartMs + 20 * kMinute}};
    EXPECT_EQ(outbox->Put(pass, kStartMs), 3);
    EXPECT_EQ(outbox->Put(pass, kStartMs), 0);

    // A frame the server acknowledged or rejected is still the same frame: shared once.
    const auto waiting = AllWaiting();
    ASSERT_EQ(waiting.size(), 7u);
    outbox->MarkSent(waiting[0].id);
    outbox->MarkRejected(waiting[1].id, "400 bad frame");
    EXPECT_EQ(PutOne(waiting[0].bytes, waiting[0].rxTimeMs + 5 * kMinute), 0);
    EXPECT_EQ(PutOne(waiting[1].bytes, waiting[1].rxTimeMs - 5 * kMinute), 0);
    EXPECT_EQ(CountsText(*outbox), "waiting 5 sent 1 rejected 1 error '400 bad frame'");

    // A frame of no bytes is a frame too.
    EXPECT_EQ(PutOne({}, kStartMs), 1);
    EXPECT_EQ(PutOne({}, kStartMs + kSecond), 0);
    EXPECT_EQ(outbox->Put({}, kStartMs), 0);
}

TEST_F(SqliteOutboxTest, FramesWaitInReceiveOrderAndFramesInFlightAreSkipped) {
    EXPECT_EQ(PutOne(FrameBytes(1), kStartMs + 3000), 1);
    EXPECT_EQ(PutOne(FrameBytes(2), kStartMs + 1000), 1);
    const auto third = FrameBytes(3);
    const auto fourth = FrameBytes(4);
    const std::vector<OutboxPut> more = {{third, kStartMs + 2000}, {fourth, kStartMs + 1000}};
    EXPECT_EQ(outbox->Put(more, kStartMs), 2);

    const auto waiting = AllWaiting();
    ASSERT_EQ(ReceiveTimes(waiting), (std::vector<std::int64_t>{kStartMs + 1000, kStartMs + 1000,
                                                                kStartMs + 2000, kStartMs + 3000}));
    EXPECT_EQ(waiting[0].bytes, FrameBytes(2));  // equal receive times: in putting order
    EXPECT_EQ(waiting[1].bytes, FrameBytes(4));
    EXPECT_EQ(waiting[0].attempts, 0);

    const std::int64_t inFlight[] = {waiting[0].id, waiting[2].id};
    const auto next = outbox->Waiting(2, inFlight);
    ASSERT_EQ(next.size(), 2u);
    EXPECT_EQ(next[0].id, waiting[1].id);
    EXPECT_EQ(next[1].id, waiting[3].id);
    EXPECT_EQ(outbox->Waiting(1, {}).at(0).id, waiting[0].id);
    EXPECT_TRUE(outbox->Waiting(0, {}).empty());
    const std::int64_t all[] = {waiting[0].id, waiting[1].id, waiting[2].id, waiting[3].id};
    EXPECT_TRUE(outbox->Waiting(3, all).empty());
}

TEST_F(SqliteOutboxTest, MarksSurviveReopeningAndDoneFramesNeverComeBack) {
    const auto first = FrameBytes(1);
    const auto second = FrameBytes(2);
    const auto third = FrameBytes(3);
    const std::vector<OutboxPut> frames = {
        {first, kStartMs + 1}, {second, kStartMs + 2}, {third, kStartMs + 3}};
    ASSERT_EQ(outbox->Put(frames, kStartMs), 3);
    const auto waiting = AllWaiting();
    outbox->MarkFailed(waiting[0].id, "timed out");
    outbox->MarkFailed(waiting[0].id, "503 busy");
    outbox->MarkSent(waiting[1].id);
    outbox->MarkRejected(waiting[2].id, "400 {\"frame\": \"not hex\"}");
    // Late outcomes of a frame already done change nothing but the last error.
    outbox->MarkSent(waiting[2].id);
    outbox->MarkRejected(waiting[1].id, "404 gone");
    outbox->MarkFailed(waiting[1].id, "timed out");
    outbox->MarkSent(waiting[1].id);
    outbox->MarkSent(99);

    outbox.reset();
    outbox = OpenSqliteOutbox(path);
    const auto left = AllWaiting();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].id, waiting[0].id);
    EXPECT_EQ(left[0].attempts, 2);
    EXPECT_EQ(left[0].bytes, FrameBytes(1));
    EXPECT_EQ(CountsText(*outbox), "waiting 1 sent 1 rejected 1 error 'timed out'");

    outbox->MarkSent(left[0].id);
    outbox.reset();
    outbox = OpenSqliteOutbox(path);
    EXPECT_TRUE(AllWaiting().empty());
    EXPECT_EQ(CountsText(*outbox), "waiting 0 sent 2 rejected 1 error 'timed out'");
    EXPECT_EQ(testing::QueryText(path, "PRAGMA journal_mode"), "wal");
}

// Waiting frames expire by when they were put, not by when they were received; sent and rejected
// ones are kept longer, for the same-frame check.
TEST_F(SqliteOutboxTest, DropExpiredCountsAgeFromPutting) {
    const std::int64_t now = kStartMs + 100 * kDay;
    PutOne(FrameBytes(1), kStartMs + 5, now - 8 * kDay);
    PutOne(FrameBytes(2), kStartMs + 1, now - 8 * kDay);  // oldest receive time first
    PutOne(FrameBytes(3), kStartMs, now - 6 * kDay);      // received long ago, put lately
    PutOne(FrameBytes(4), kStartMs + 2, now - 31 * kDay);
    PutOne(FrameBytes(5), kStartMs + 3, now - 29 * kDay);
    PutOne(FrameBytes(6), kStartMs + 4, now - 31 * kDay);
    PutOne(FrameBytes(7), kStartMs + 6, now - 29 * kDay);
    for (const OutboxFrame& frame : AllWaiting()) {
        if (frame.bytes == FrameBytes(4) || frame.bytes == FrameBytes(5))
            outbox->MarkSent(frame.id);
        if (frame.bytes == FrameBytes(6) || frame.bytes == FrameBytes(7))
            outbox->MarkRejected(frame.id, "400");
    }
    EXPECT_EQ(CountsText(*outbox), "waiting 3 sent 2 rejected 2 error '400'");

    EXPECT_EQ(outbox->DropExpired(now, 7 * kDay, 30 * kDay),
              (std::vector<std::int64_t>{kStartMs + 1, kStartMs + 5}));
    EXPECT_EQ(CountsText(*outbox), "waiting 1 sent 1 rejected 1 error '400'");
    EXPECT_EQ(ReceiveTimes(AllWaiting()), std::vector<std::int64_t>{kStartMs});
    EXPECT_TRUE(outbox->DropExpired(now, 7 * kDay, 30 * kDay).empty());
    // A forgotten sent frame may be put again; a kept one may not.
    EXPECT_EQ(PutOne(FrameBytes(4), kStartMs + 2), 1);
    EXPECT_EQ(PutOne(FrameBytes(5), kStartMs + 3), 0);

    EXPECT_EQ(outbox->DropExpired(now + 30 * kDay, 7 * kDay, 30 * kDay).size(), 2u);
    EXPECT_EQ(CountsText(*outbox), "waiting 0 sent 0 rejected 0 error '400'");
}

TEST_F(SqliteOutboxTest, NewerOrForeignFilesAreRefusedAndLeftUntouched) {
    PutOne(FrameBytes(1), kStartMs);
    outbox.reset();
    testing::ExpectNewerAndForeignFilesRefused<OutboxError>(
        folder, path, "the outbox ", [](const std::string& file) { OpenSqliteOutbox(file); });
}

// The queries made again and again read only the rows they need through an index, with no sort of
// every waiting frame, so that a million frames waiting slow neither sending nor expiry.
// Puts stay in the write-ahead log, whose copying into the file flushes the disk; a rest copies
// them, away from a stream's arrivals.
TEST_F(SqliteOutboxTest, PutsStayInTheLogUntilTheOutboxRests) {
    std::vector<OutboxPut> puts;
    std::vector<std::vector<std::uint8_t>> frames;
    for (int i = 0; i < 400; ++i) {
        frames.emplace_back(250, static_cast<std::uint8_t>(i));
        frames.back()[1] = static_cast<std::uint8_t>(i >> 8);
    }
    for (int i = 0; i < 400; ++i)
        puts.push_back({frames[static_cast<std::size_t>(i)], kStartMs + i});
    ASSERT_EQ(outbox->Put(puts, kStartMs), 400);
    const auto before = std::filesystem::file_size(path);
    EXPECT_LT(before, 100'000u);
    outbox->Rest();
    EXPECT_GT(std::filesystem::file_size(path), before + 100'000);
    EXPECT_EQ(outbox->Counts().waiting, 400);
}

TEST_F(SqliteOutboxTest, FrequentQueriesReadThroughTheirIndexes) {
    for (std::uint8_t seed = 0; seed < 50; ++seed)
        PutOne(FrameBytes(seed), kStartMs + seed, kStartMs + seed);
    const std::vector<std::pair<const char*, std::string>> expected = {
        {sqlite::kOutboxWaitingSql, "SCAN shared_frame USING INDEX shared_frame_waiting\n"},
        {sqlite::kOutboxSameFramesSql,
         "SEARCH shared_frame USING INDEX shared_frame_same (digest=? AND rx_ms>? AND rx_ms<?)\n"},
        {sqlite::kOutboxExpiredSql,
         "SEARCH shared_frame USING INDEX shared_frame_age (state=? AND put_ms<?)\n"
         "USE TEMP B-TREE FOR ORDER BY\n"},
        {sqlite::kOutboxForgetSql,
         "SEARCH shared_frame USING INDEX shared_frame_age (state=? AND put_ms<?)\n"},
    };
    for (const auto& [sql, plan] : expected)
        EXPECT_EQ(PlanOf(path, sql), plan) << sql;
}

}  // namespace
}  // namespace quorbel
