// Appending records: flushed to the disk after each one when asked, and a file whose append
// failed is closed, so the next record opens the file of that name again.
#include "common/append_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/recorded_disk_sync.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

using testing::RecordedDiskSync;
using testing::TempFolder;

TEST(AppendFile, EveryRecordReachesTheDiskWhenAskedAndANewFilesNameToo) {
    TempFolder folder;
    const std::string path = folder.File("2023-01-15_QUORBEL-1U.kss");
    RecordedDiskSync sync;
    AppendFile capture(AppendFile::Flush::ToDisk);
    for (const char* record : {"one", "two", "three"})
        ASSERT_TRUE(capture.Append(path, record));
    ASSERT_EQ(sync.flushes.size(), 4u);
    EXPECT_EQ(sync.flushes[0].kind, "data");
    EXPECT_EQ(sync.flushes[0].contents, "one");
    EXPECT_EQ(sync.flushes[1].kind, "all");  // the folder, with the new file's name
    EXPECT_EQ(sync.flushes[1].path, folder.Path());
    EXPECT_EQ(sync.flushes[2].contents, "onetwo");
    EXPECT_EQ(sync.flushes[3].contents, "onetwothree");
    EXPECT_EQ(sync.flushes[3].path, path);

    // Flushed to the system only: the disk is not waited for.
    sync.flushes.clear();
    EXPECT_TRUE(AppendToFile(folder.File("ssdv_001.bin"), "packet"));
    EXPECT_TRUE(sync.flushes.empty());
}

TEST(AppendFile, AFailedAppendClosesTheFileSoADeletedOrReplacedOneIsOpenedAgain) {
    TempFolder folder;
    const std::string path = folder.File("2023-01-15_QUORBEL-1U.kss");
    RecordedDiskSync sync;
    AppendFile capture(AppendFile::Flush::ToDisk);
    ASSERT_TRUE(capture.Append(path, "one"));
    sync.failures = 1;
    EXPECT_FALSE(capture.Append(path, "two"));
    EXPECT_EQ(capture.Path(), "");
    // The operator deletes the file: the next record makes a new one.
    std::filesystem::remove(path);
    ASSERT_TRUE(capture.Append(path, "three"));
    EXPECT_EQ(TempFolder::Read(path), "three");

    // A file put in its place after a failure gets the next record.
    sync.failures = 1;
    EXPECT_FALSE(capture.Append(path, "four"));
    folder.Write("other.kss", std::string("other"));
    std::filesystem::rename(folder.File("other.kss"), path);
    ASSERT_TRUE(capture.Append(path, "five"));
    EXPECT_EQ(TempFolder::Read(path), "otherfive");
}

}  // namespace
}  // namespace quorbel
