// Appending records: each whole or not at all, flushed to the disk a group at a time when asked,
// and a file moved or deleted while open is started anew at its path.
#include "common/append_file.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "support/child_process.hpp"
#include "support/recorded_disk_sync.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

using testing::RecordedDiskSync;
using testing::TempFolder;

TEST(AppendFile, AGroupOfRecordsReachesTheDiskInOneFlushAndANewFilesNameWithIt) {
    TempFolder folder;
    const std::string path = folder.File("2023-01-15_QUORBEL-1U.kss");
    RecordedDiskSync sync;
    AppendFile capture(AppendFile::Flush::ToDisk);
    ASSERT_TRUE(capture.Append(path, "one"));
    ASSERT_TRUE(capture.Append(path, "two"));
    EXPECT_TRUE(sync.flushes.empty());  // the records are with the system until the flush
    EXPECT_EQ(capture.UnflushedRecords(), 2u);
    ASSERT_TRUE(capture.FlushToDisk());
    ASSERT_EQ(sync.flushes.size(), 2u);
    EXPECT_EQ(sync.flushes[0].kind, "data");
    EXPECT_EQ(sync.flushes[0].contents, "onetwo");
    EXPECT_EQ(sync.flushes[1].kind, "all");  // the folder, with the new file's name
    EXPECT_EQ(sync.flushes[1].path, folder.Path());

    // The next group: its data alone; nothing waiting, no flush; closing flushes what waits.
    ASSERT_TRUE(capture.Append(path, "three"));
    ASSERT_TRUE(capture.FlushToDisk());
    ASSERT_TRUE(capture.FlushToDisk());
    ASSERT_TRUE(capture.Append(path, "four"));
    capture.Close();
    ASSERT_EQ(sync.flushes.size(), 4u);
    EXPECT_EQ(sync.flushes[2].contents, "onetwothree");
    EXPECT_EQ(sync.flushes[3].contents, "onetwothreefour");

    // Flushed to the system only: the disk is not waited for.
    sync.flushes.clear();
    EXPECT_TRUE(AppendToFile(folder.File("ssdv_001.bin"), "packet"));
    EXPECT_TRUE(sync.flushes.empty());
}

// A write that the system takes only in part (the file-size limit stops it halfway with EFBIG,
// as a full disk does with ENOSPC) leaves the file as it stood before the record; once there is
// room again, the next record goes in.
TEST(AppendFile, ARecordThatDoesNotFitIsTakenBackWholeAndTheNextTriesAgain) {
    TempFolder folder;
    const std::string path = folder.File("capture.kss");
    const std::string packets = folder.File("ssdv_007.bin");
    const std::string record(100, 'r');
    const auto result = testing::RunInChildProcess(
        [] {
            ::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead of ending the process
            const rlimit size{250, RLIM_INFINITY};
            return ::setrlimit(RLIMIT_FSIZE, &size) == 0;
        },
        [&] {
            std::string seen;
            AppendFile capture(AppendFile::Flush::ToDisk);
            for (int n = 0; n < 3; ++n)
                seen += capture.Append(path, record) ? "+" : "-";
            seen += capture.Error() == EFBIG ? " EFBIG " : " other ";
            seen += std::to_string(std::filesystem::file_size(path)) + " ";
            int error = 0;
            seen += AppendToFile(packets, std::string(300, 'p'), error) ? "+" : "-";
            seen += error == EFBIG ? " EFBIG " : " other ";
            seen += std::to_string(std::filesystem::file_size(packets)) + " ";
            const rlimit room{RLIM_INFINITY, RLIM_INFINITY};
            ::setrlimit(RLIMIT_FSIZE, &room);
            seen += capture.Append(path, record) ? "+" : "-";
            seen += capture.FlushToDisk() ? "+" : "-";
            return seen;
        });
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, "++- EFBIG 200 - EFBIG 0 ++");
    EXPECT_EQ(TempFolder::Read(path), record + record + record);
}

// A flush the disk fails takes back its group: the file holds only what was flushed before, and
// the next record opens it again.
TEST(AppendFile, AFailedFlushTakesBackItsGroupAndTheNextRecordOpensTheFileAgain) {
    TempFolder folder;
    const std::string path = folder.File("2023-01-15_QUORBEL-1U.kss");
    RecordedDiskSync sync;
    AppendFile capture(AppendFile::Flush::ToDisk);
    ASSERT_TRUE(capture.Append(path, "one"));
    ASSERT_TRUE(capture.FlushToDisk());
    ASSERT_TRUE(capture.Append(path, "two"));
    ASSERT_TRUE(capture.Append(path, "three"));
    sync.failures = 1;
    EXPECT_FALSE(capture.FlushToDisk());
    EXPECT_EQ(capture.Error(), EIO);
    EXPECT_EQ(capture.Path(), "");
    EXPECT_EQ(TempFolder::Read(path), "one");
    ASSERT_TRUE(capture.Append(path, "four"));
    ASSERT_TRUE(capture.FlushToDisk());
    EXPECT_EQ(TempFolder::Read(path), "onefour");
}

// Operators rotate captures by hand: the open file deleted, moved away or replaced by another is
// noticed at the next record, which goes to the file the path names now.
TEST(AppendFile, AFileMovedOrDeletedWhileOpenIsStartedAnewAtItsPath) {
    TempFolder folder;
    const std::string path = folder.File("2023-01-15_QUORBEL-1U.kss");
    const std::string moved = folder.File("moved.kss");
    RecordedDiskSync sync;
    AppendFile capture(AppendFile::Flush::ToDisk);
    ASSERT_TRUE(capture.Append(path, "one"));
    EXPECT_FALSE(capture.StartedAnew());

    std::filesystem::remove(path);
    ASSERT_TRUE(capture.Append(path, "two"));
    EXPECT_TRUE(capture.StartedAnew());
    ASSERT_TRUE(capture.Append(path, "three"));
    EXPECT_FALSE(capture.StartedAnew());
    EXPECT_EQ(TempFolder::Read(path), "twothree");

    // Moved with records waiting for the disk: they are flushed in the moved file.
    std::filesystem::rename(path, moved);
    ASSERT_TRUE(capture.Append(path, "four"));
    EXPECT_TRUE(capture.StartedAnew());
    const bool movedFlushed =
        std::any_of(sync.flushes.begin(), sync.flushes.end(), [&](const auto& flush) {
            return flush.kind == "data" && flush.path == moved && flush.contents == "twothree";
        });
    EXPECT_TRUE(movedFlushed);
    EXPECT_EQ(TempFolder::Read(moved), "twothree");
    EXPECT_EQ(TempFolder::Read(path), "four");

    folder.Write("other.kss", std::string("other"));
    std::filesystem::rename(folder.File("other.kss"), path);
    ASSERT_TRUE(capture.Append(path, "five"));
    EXPECT_TRUE(capture.StartedAnew());
    EXPECT_EQ(TempFolder::Read(path), "otherfive");
}

}  // namespace
}  // namespace quorbel
