// The durable writes: a replacing file reaches the disk under its temporary name before it takes
// the target's, then the folder with the rename; a failed flush leaves the target as it was, an
// interrupted one is tried again.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "durable/disk_sync.hpp"
#include "durable/replacing_file.hpp"
#include "support/recorded_disk_sync.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

using testing::RecordedDiskSync;
using testing::TempFolder;

std::size_t FilesIn(const TempFolder& folder) {
    return static_cast<std::size_t>(std::distance(
        std::filesystem::directory_iterator(folder.Path()), std::filesystem::directory_iterator()));
}

TEST(ReplacingFile, TheWholeFileIsOnTheDiskBeforeItTakesTheTargetsName) {
    for (const bool byName : {false, true}) {
        TempFolder folder;
        const std::string target = folder.Write("chart.png", std::string("old"));
        RecordedDiskSync sync;
        ReplacingFile file(target);
        ASSERT_TRUE(file.IsCreated());
        const std::string temporary = file.TemporaryPath();
        EXPECT_TRUE(temporary.starts_with(target + ".part")) << temporary;
        if (byName) {  // as a library that opens the file itself writes it
            file.CloseForWritingByName();
            std::ofstream(temporary, std::ios::binary) << "new";
        } else {
            std::fputs("new", file.File());
        }
        EXPECT_EQ(TempFolder::Read(target), "old");
        ASSERT_TRUE(file.Commit());
        EXPECT_EQ(TempFolder::Read(target), "new");
        EXPECT_EQ(FilesIn(folder), 1u);
        // The file was flushed whole while it still had its temporary name, then the folder.
        ASSERT_EQ(sync.flushes.size(), 2u) << byName;
        EXPECT_EQ(sync.flushes[0].kind, "all");
        EXPECT_EQ(sync.flushes[0].path, temporary);
        EXPECT_EQ(sync.flushes[0].contents, "new");
        EXPECT_EQ(sync.flushes[1].kind, "all");
        EXPECT_EQ(sync.flushes[1].path, folder.Path());
    }
}

TEST(ReplacingFile, AFailedFlushLeavesTheTargetAndAnInterruptedOneIsTriedAgain) {
    TempFolder folder;
    const std::string target = folder.Write("ssdv_001.bin", std::string("old"));
    {
        RecordedDiskSync sync;
        sync.failures = 1;
        ReplacingFile file(target);
        std::fputs("new", file.File());
        EXPECT_FALSE(file.Commit());
        EXPECT_EQ(sync.flushes.size(), 1u);
    }
    EXPECT_EQ(TempFolder::Read(target), "old");
    EXPECT_EQ(FilesIn(folder), 1u);

    RecordedDiskSync sync;
    sync.failures = 2;
    sync.failure = EINTR;
    ReplacingFile file(target);
    std::fputs("new", file.File());
    EXPECT_TRUE(file.Commit());
    EXPECT_EQ(sync.flushes.size(), 4u);  // the file three times, then the folder
    EXPECT_EQ(TempFolder::Read(target), "new");

    // A file system that cannot flush a folder counts as done.
    sync.failures = 1;
    sync.failure = EINVAL;
    EXPECT_TRUE(FlushFolderToDisk(folder.Path()));
    EXPECT_EQ(FolderOfPath("a/b/c.bin"), "a/b");
    EXPECT_EQ(FolderOfPath("/c.bin"), "/");
    EXPECT_EQ(FolderOfPath("c.bin"), ".");
}

}  // namespace
}  // namespace quorbel
