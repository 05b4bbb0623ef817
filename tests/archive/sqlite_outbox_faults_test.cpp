// The outbox when things go wrong: a process killed at any moment while it puts and marks frames,
// and folders or files it may not write.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <thread>

#include "archive_test_frames.hpp"
#include "sqlite_outbox.hpp"
#include "storage_faults.hpp"
#include "support/mounted_folder.hpp"
#include "support/temp_folder.hpp"
#include "support/unprivileged_user.hpp"

namespace quorbel {
namespace {

using testing::kStartMs;

// Frame n: bytes of its own, received at kStartMs + n * 100.
std::vector<std::uint8_t> NumberedFrame(std::int64_t n) {
    std::vector<std::uint8_t> bytes(40, 0x5A);
    for (int k = 0; k < 8; ++k)
        bytes[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(n >> (8 * k));
    return bytes;
}
std::int64_t NumberedTime(std::int64_t n) {
    return kStartMs + n * 100;
}

// Puts the numbered frames in one call; what Put returns.
int PutNumbered(Outbox& outbox, const std::vector<std::int64_t>& numbers) {
    std::vector<std::vector<std::uint8_t>> bytes;
    std::vector<OutboxPut> frames;
    for (const std::int64_t n : numbers)
        bytes.push_back(NumberedFrame(n));
    for (std::size_t k = 0; k < numbers.size(); ++k)
        frames.push_back({bytes[k], NumberedTime(numbers[k])});
    return outbox.Put(frames, kStartMs);
}

// What the child reports after each call returned.
struct Report {
    enum Kind : std::int64_t { Put, Sent, Failed, Rejected } kind;
    std::int64_t value;  // the frame's number (Put) or its id (marks)
};

// The child: puts frames five at a time and marks the oldest waiting ones, reporting each.
[[noreturn]] void PutAndMarkForever(const std::string& path, int round, int channel) {
    const auto report = [channel](Report::Kind kind, std::int64_t value) {
        testing::SendReport(channel, Report{kind, value});
    };
    try {
        auto outbox = OpenSqliteOutbox(path);
        for (std::int64_t n = round * 1'000'000;; n += 5) {
            PutNumbered(*outbox, {n, n + 1, n + 2, n + 3, n + 4});
            for (std::int64_t k = n; k < n + 5; ++k)
                report(Report::Put, k);
            for (const OutboxFrame& frame : outbox->Waiting(4, {})) {
                // Frames fail twice now and then, some are rejected, all end done.
                if (frame.id % 5 == 0) {
                    outbox->MarkRejected(frame.id, "400");
                    report(Report::Rejected, frame.id);
                } else if (frame.id % 5 <= 2 && frame.attempts < 2) {
                    outbox->MarkFailed(frame.id, "timed out");
                    report(Report::Failed, frame.id);
                } else {
                    outbox->MarkSent(frame.id);
                    report(Report::Sent, frame.id);
                }
            }
        }
    } catch (...) {
        ::_exit(2);
    }
}

std::int64_t Number(const std::string& path, const std::string& sql) {
    return std::stoll(testing::QueryText(path, sql));
}

// Every reported put is in the file (putting it again adds nothing), no frame reported sent or
// rejected waits again, a frame that waits has at least the failures reported of it, and the
// counts agree with the rows.
void CheckReported(const std::string& path, const std::multimap<Report::Kind, std::int64_t>& all) {
    auto outbox = OpenSqliteOutbox(path);
    std::map<std::int64_t, OutboxFrame> waiting;
    for (OutboxFrame& frame : outbox->Waiting(1 << 30, {}))
        waiting.emplace(frame.id, std::move(frame));
    std::map<std::int64_t, int> failures;
    for (const auto& [kind, value] : all) {
        if (kind == Report::Sent || kind == Report::Rejected) {
            ASSERT_EQ(waiting.count(value), 0u) << "frame " << value << " is back after its mark";
        }
        if (kind == Report::Failed)
            ++failures[value];
    }
    for (const auto& [id, count] : failures) {
        if (const auto it = waiting.find(id); it != waiting.end()) {
            ASSERT_GE(it->second.attempts, count) << "frame " << id << " lost a failure";
        }
    }
    const OutboxCounts counts = outbox->Counts();
    EXPECT_EQ(counts.waiting, static_cast<std::int64_t>(waiting.size()));
    EXPECT_EQ(counts.sent, Number(path, "SELECT count(*) FROM shared_frame WHERE state = 1"));
    EXPECT_EQ(counts.rejected, Number(path, "SELECT count(*) FROM shared_frame WHERE state = 2"));

    std::vector<std::int64_t> again;
    const auto [first, last] = all.equal_range(Report::Put);
    for (auto it = first; it != last; ++it)
        again.push_back(it->second);
    EXPECT_EQ(PutNumbered(*outbox, again), 0) << "frames reported put are missing";
}

TEST(SqliteOutboxFaultsTest, KilledProcessLosesNoPutNorMark) {
    ::quorbel::testing::TempFolder folder;
    const std::string path = folder.File("outbox.sqlite");
    std::mt19937 random(23);
    std::multimap<Report::Kind, std::int64_t> reported;
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_NO_FATAL_FAILURE(testing::KillWriterAfter<Report>(
            std::chrono::milliseconds(50 + random() % 300), path,
            [&](int channel) { PutAndMarkForever(path, round, channel); },
            [&](const Report& line) { reported.emplace(line.kind, line.value); }));
        CheckReported(path, reported);
        if (HasFatalFailure())
            return;
    }
    EXPECT_GE(reported.count(Report::Put), 50u) << "the child was killed before it put much";
    EXPECT_GE(reported.count(Report::Sent), 5u);
}

TEST(SqliteOutboxFaultsTest, ReadOnlyFolderGivesAClearError) {
    testing::ExpectRefusedInReadOnlyFolder<OutboxError>(
        "outbox.sqlite", "the outbox ", [](const std::string& path) { OpenSqliteOutbox(path); });
}

// An outbox file the user may read but not write, and one in a folder the user may not write
// (where its log files cannot be made), are refused when opened, not at the first frame.
TEST(SqliteOutboxFaultsTest, ReadOnlyFileGivesAClearError) {
    ::quorbel::testing::TempFolder folder;
    if (const std::string problem = ::quorbel::testing::UnprivilegedRunProblem(folder.Path());
        !problem.empty())
        GTEST_SKIP() << problem;
    const std::string closed = folder.File("closed");
    std::filesystem::create_directories(closed);
    const std::string inClosed = closed + "/outbox.sqlite";
    const std::string path = folder.File("outbox.sqlite");
    for (const std::string& file : {path, inClosed}) {
        const std::vector<std::uint8_t> bytes = NumberedFrame(1);
        const OutboxPut frame{bytes, kStartMs};
        OpenSqliteOutbox(file)->Put({&frame, 1}, kStartMs);
        testing::QueryText(file, "PRAGMA journal_mode = DELETE");  // no log files left beside
    }
    ASSERT_TRUE(::quorbel::testing::GiveToUnprivilegedUser(folder.Path()));
    ASSERT_TRUE(::quorbel::testing::GiveToUnprivilegedUser(path));
    ASSERT_TRUE(::quorbel::testing::GiveToUnprivilegedUser(inClosed));
    ::chmod(path.c_str(), 0444);
    ::chmod(closed.c_str(), 0555);
    for (const std::string& file : {path, inClosed}) {
        const auto report = ::quorbel::testing::RunUnprivileged([&file] {
            return testing::RefusalOf<OutboxError>(
                [](const std::string& path) { OpenSqliteOutbox(path); }, file);
        });
        ASSERT_TRUE(report);
        EXPECT_NE(report->find("the outbox " + file), std::string::npos) << *report;
        EXPECT_NE(report->find("read-only"), std::string::npos) << *report;
    }
    ::chmod(closed.c_str(), 0755);
}

// A full disk fails the Put that does not fit, whole, with a clear error; what was put before
// stays and is read. A mark needs room in the log too: it writes or fails the same way.
TEST(SqliteOutboxFaultsTest, FullDiskFailsThePutAndKeepsWhatWasPut) {
    ::quorbel::testing::TempFolder folder;
    const std::string mount = folder.File("tiny");
    auto tiny = ::quorbel::testing::MountedFolder::Small(mount, 256 << 10);
    if (!tiny.Ready())
        GTEST_SKIP() << tiny.Problem();
    const std::string path = mount + "/outbox.sqlite";
    auto outbox = OpenSqliteOutbox(path);
    std::int64_t put = 0;
    std::string problem;
    for (std::int64_t n = 0; n < 100'000 && problem.empty(); n += 20) {
        std::vector<std::int64_t> numbers(20);
        std::iota(numbers.begin(), numbers.end(), n);
        try {
            put += PutNumbered(*outbox, numbers);
        } catch (const OutboxError& error) {
            problem = error.what();
        }
    }
    EXPECT_NE(problem.find("the outbox " + path), std::string::npos) << problem;
    EXPECT_NE(problem.find("no room left"), std::string::npos) << problem;
    EXPECT_GT(put, 0);
    EXPECT_EQ(outbox->Counts().waiting, put);
    EXPECT_EQ(std::ssize(outbox->Waiting(1 << 20, {})), put);
    const std::int64_t first = outbox->Waiting(1, {}).at(0).id;
    try {
        outbox->MarkSent(first);
        EXPECT_EQ(outbox->Counts().sent, 1);
        EXPECT_EQ(std::ssize(outbox->Waiting(1 << 20, {})), put - 1);
    } catch (const OutboxError& error) {
        EXPECT_NE(std::string(error.what()).find("no room left"), std::string::npos)
            << error.what();
        EXPECT_EQ(outbox->Counts().sent, 0);
        EXPECT_EQ(outbox->Waiting(1, {}).at(0).id, first);
    }
}

}  // namespace
}  // namespace quorbel
