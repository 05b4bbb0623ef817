// The import of capture files and exports into the archive: every frame with its file's source,
// station and times, files told apart by name or first byte, unreadable inputs named.
#include "shell/commands/archive_import.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/text.hpp"
#include "sample_frames.hpp"
#include "support/memory_archive.hpp"
#include "support/pass_frames.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

TEST(ArchiveImport, EveryFrameOfCapturesAndExports) {
    testing::TempFolder folder;
    const samples::PassOptions pass = testing::PassWithFrames(7, 3, 1, 0, 2, 1);
    const samples::Bytes capture = samples::MakePassCapture(pass);
    // A capture without its extension is known by its first byte, FEND.
    const std::string kss = folder.Write("pass.kss", capture);
    const std::string bare = folder.Write("pass-copy", capture);
    std::string hex;
    AppendHex(hex, samples::MakeBeacon(23, samples::FieldValues{}));
    const std::string csv = folder.Write(
        "obs.txt", "head\r\n2024-03-01 10:00:05|" + hex + "|1|  B  \r\n2024-03-01 10:00:00|" + hex +
                       "|1|A\r\n2024-03-01 10:00:00|" + hex + "|1|A\r\n\r\n");
    std::filesystem::create_directory(folder.File("folder"));

    auto contents = std::make_shared<testing::MemoryArchiveContents>();
    ArchiveWriter writer(std::make_unique<testing::MemoryArchive>(contents));
    int progressCalls = 0;
    const ArchiveImport import = ImportIntoArchive(
        writer, {kss, folder.File("missing.kss"), bare, csv, folder.File("folder")}, "DL0ABC",
        [&](const ImportProgress& progress) {
            ++progressCalls;
            EXPECT_EQ(progress.files, 5u);
        });

    EXPECT_EQ(import.files, 3);
    EXPECT_EQ(import.framesRead, 14 + 14 + 2);  // the repeated line once, as the reader keeps it
    EXPECT_EQ(import.newFrames, 14 + 2);        // the copy's frames join those of the capture
    EXPECT_EQ(import.newReceptions, 30);
    ASSERT_EQ(import.outcome.ProblemsOf(CommandProblem::Kind::NotRead).size(), 2u);
    EXPECT_EQ(import.outcome.problems[0].path, folder.File("missing.kss"));
    EXPECT_EQ(import.outcome.problems[1].path, folder.File("folder"));
    EXPECT_GE(progressCalls, 5);

    ASSERT_EQ(contents->receptions.size(), 30u);
    const Reception& first = contents->receptions.front();
    EXPECT_EQ(first.source, ReceptionSource::CaptureFile);
    EXPECT_EQ(first.station, "DL0ABC");
    EXPECT_EQ(first.sourceFile, kss);
    EXPECT_EQ(first.rxTimeMs, pass.startMilliseconds);
    EXPECT_EQ(contents->receptions[14].sourceFile, bare);
    const Reception& line = contents->receptions[28];  // the export's last line comes first
    EXPECT_EQ(line.source, ReceptionSource::Export);
    EXPECT_EQ(line.station, "A");
    EXPECT_EQ(line.rxTimeText, "2024-03-01 10:00:00");
    EXPECT_EQ(contents->receptions[29].station, "B");
    EXPECT_FALSE(import.outcome.Has(CommandProblem::Kind::ArchiveFailed));
}

}  // namespace
}  // namespace quorbel
