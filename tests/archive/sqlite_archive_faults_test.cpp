// The SQLite archive when things go wrong: a writer killed at any moment, two writers at once,
// a read-only file system and a full disk.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <set>
#include <thread>

#include "archive/archive_writer.hpp"
#include "archive_test_frames.hpp"
#include "sqlite_archive.hpp"
#include "storage_faults.hpp"
#include "support/mounted_folder.hpp"
#include "support/temp_folder.hpp"
#include "support/unprivileged_user.hpp"

namespace quorbel {
namespace {

using testing::kStartMs;
using testing::MakeReception;
using testing::RandomValueFrame;
constexpr TimeRange kAllTime{0, std::int64_t{1} << 62};
constexpr int kBatch = 300;

// Batch n: kBatch frames of their own, received at kStartMs + n * 1000 + k.
std::vector<Reception> NumberedBatch(int n) {
    std::vector<Reception> batch;
    for (int k = 0; k < kBatch; ++k)
        batch.push_back(MakeReception(RandomValueFrame(static_cast<std::uint32_t>(n * kBatch + k)),
                                      kStartMs + n * 1000 + k, "S" + std::to_string(k % 5)));
    return batch;
}

std::int64_t FramesIn(Archive& archive, const TimeRange& range) {
    std::int64_t count = 0;
    archive.ReadFrames(range, [&](const StoredFrame&) {
        ++count;
        return true;
    });
    return count;
}

// Records in the value blocks of beacons and of sensor frames (fields 0 and 70 always decode).
std::int64_t BlockRecords(Archive& archive) {
    std::int64_t count = 0;
    for (const int field : {0, 70}) {
        for (const FieldBucket& bucket : archive.QueryField(field, kAllTime, 1).buckets)
            count += bucket.count;
        count += static_cast<std::int64_t>(archive.QueryField(field, kAllTime, 1).points.size());
    }
    return count;
}

// A child process writes numbered batches and reports each commit on a pipe; it is killed with
// SIGKILL at a random moment. Every reported batch must be there, the file must pass SQLite's
// integrity check, and the blocks must hold one record per stored frame.
TEST(SqliteArchiveFaultsTest, KilledWriterLosesNoCommittedBatch) {
    ::quorbel::testing::TempFolder folder;
    const std::string path = folder.File("archive.sqlite");
    std::mt19937 random(11);
    std::set<int> reported;
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const auto writeBatches = [&](int channel) {
            try {
                auto archive = OpenSqliteArchive(path);
                archive->WriteInBulk(round % 2 == 1);  // an import's rarer checkpoints keep as much
                for (int n = round * 1000;; ++n) {
                    archive->Write(NumberedBatch(n));
                    testing::SendReport(channel, n);
                }
            } catch (...) {
                ::_exit(2);
            }
        };
        ASSERT_NO_FATAL_FAILURE(
            testing::KillWriterAfter<int>(std::chrono::milliseconds(100 + random() % 400), path,
                                          writeBatches, [&](int n) { reported.insert(n); }));
        auto archive = OpenSqliteArchive(path);
        for (const int batch : reported)
            ASSERT_EQ(
                FramesIn(*archive, {kStartMs + batch * 1000, kStartMs + batch * 1000 + kBatch}),
                kBatch)
                << "batch " << batch << " reported committed is missing";
        EXPECT_EQ(BlockRecords(*archive), FramesIn(*archive, kAllTime));
    }
    EXPECT_GE(reported.size(), 4u) << "the writer was killed before it committed anything";
}

// Two connections write at once, partly the same receptions: no locked error, nothing lost,
// nothing twice.
TEST(SqliteArchiveFaultsTest, TwoWritersAtOnceLoseNothing) {
    ::quorbel::testing::TempFolder folder;
    const std::string path = folder.File("archive.sqlite");
    OpenSqliteArchive(path);
    constexpr int kBatches = 12;
    std::vector<std::string> failures(2);
    const auto writeBatches = [&](int writer) {
        try {
            auto archive = OpenSqliteArchive(path);
            for (int i = 0; i < kBatches; ++i) {
                archive->Write(NumberedBatch(writer * 100 + i));
                archive->Write(NumberedBatch(50 + i));  // both write these
            }
        } catch (const std::exception& error) {
            failures[static_cast<std::size_t>(writer)] = error.what();
        }
    };
    std::thread first(writeBatches, 0);
    std::thread second(writeBatches, 1);
    first.join();
    second.join();
    EXPECT_EQ(failures[0], "");
    EXPECT_EQ(failures[1], "");
    auto archive = OpenSqliteArchive(path);
    const std::int64_t frames = FramesIn(*archive, kAllTime);
    EXPECT_EQ(frames, 3 * kBatches * kBatch);
    EXPECT_EQ(BlockRecords(*archive), frames);
    std::int64_t receptions = 0;
    for (const KindCount& kind : archive->Stats().kinds)
        receptions += kind.receptions;
    EXPECT_EQ(receptions, frames);
}

TEST(SqliteArchiveFaultsTest, ReadOnlyFileSystemGivesAClearError) {
    testing::ExpectRefusedInReadOnlyFolder<ArchiveError>(
        "archive.sqlite", "", [](const std::string& path) { OpenSqliteArchive(path); });
}

// An archive file the user may read but not write opens for reading; each write fails with a
// clear error, and the writer thread reports it once and goes on.
TEST(SqliteArchiveFaultsTest, WritesToAReadOnlyArchiveFailAndAreReportedOnce) {
    ::quorbel::testing::TempFolder folder;
    if (const std::string problem = ::quorbel::testing::UnprivilegedRunProblem(folder.Path());
        !problem.empty())
        GTEST_SKIP() << problem;
    const std::string path = folder.File("archive.sqlite");
    OpenSqliteArchive(path)->Write(NumberedBatch(0));
    ASSERT_TRUE(::quorbel::testing::GiveToUnprivilegedUser(folder.Path()));
    ASSERT_TRUE(::quorbel::testing::GiveToUnprivilegedUser(path));
    ::chmod(path.c_str(), 0444);
    const auto report = ::quorbel::testing::RunUnprivileged([&path] {
        try {
            ArchiveWriter writer(OpenSqliteArchive(path));
            for (int n = 1; n <= 3; ++n) {
                for (Reception& reception : NumberedBatch(n))
                    writer.Add(std::move(reception));
                writer.Flush();
            }
            const auto problem = writer.TakeNewProblem();
            return std::string(writer.Failed() ? "failed" : "written") + " lost " +
                   std::to_string(writer.GetCounts().lost) + " again " +
                   (writer.TakeNewProblem() ? "yes" : "no") + " frames " +
                   std::to_string(FramesIn(writer.Storage(), kAllTime)) + "\n" +
                   problem.value_or("no problem");
        } catch (const std::exception& error) {
            return std::string("open failed: ") + error.what();
        }
    });
    ASSERT_TRUE(report);
    EXPECT_EQ(
        report->substr(0, report->find('\n')),
        "failed lost " + std::to_string(3 * kBatch) + " again no frames " + std::to_string(kBatch));
    EXPECT_NE(report->find(path + " is read-only"), std::string::npos) << *report;
}

TEST(SqliteArchiveFaultsTest, FullDiskFailsTheBatchAndWritingGoesOn) {
    ::quorbel::testing::TempFolder folder;
    const std::string mount = folder.File("tiny");
    auto tiny = ::quorbel::testing::MountedFolder::Small(mount, 512 << 10);
    if (!tiny.Ready())
        GTEST_SKIP() << tiny.Problem();
    const std::string path = mount + "/archive.sqlite";
    ArchiveWriter writer(OpenSqliteArchive(path));
    for (int n = 0; n < 20; ++n) {
        for (Reception& reception : NumberedBatch(n))
            writer.Add(std::move(reception));
        writer.Flush();
    }
    const ArchiveWriter::Counts counts = writer.GetCounts();
    EXPECT_TRUE(writer.Failed());
    EXPECT_GT(counts.lost, 0);
    EXPECT_EQ(counts.written + counts.lost, 20 * kBatch);
    const auto problem = writer.TakeNewProblem();
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find(path), std::string::npos) << *problem;
    EXPECT_NE(problem->find("no room left"), std::string::npos) << *problem;
    EXPECT_FALSE(writer.TakeNewProblem());
    // What was committed is whole.
    EXPECT_EQ(FramesIn(writer.Storage(), kAllTime), counts.written);
    EXPECT_EQ(BlockRecords(writer.Storage()), counts.written);
}

}  // namespace
}  // namespace quorbel
