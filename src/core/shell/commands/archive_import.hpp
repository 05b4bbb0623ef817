// Capture files and SatNOGS exports put into the mission archive without the window: every frame,
// parsed as the open commands parse them, no record store, no decoding on this thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/archive_writer.hpp"
#include "shell/command_outcome.hpp"

namespace quorbel {

// What an import did. newFrames and newReceptions are what the archive gained: a file imported
// again adds nothing.
struct ArchiveImport {
    std::int64_t files = 0;       // files read
    std::int64_t framesRead = 0;  // frames handed to the archive
    std::int64_t newFrames = 0;
    std::int64_t newReceptions = 0;
    CommandOutcome outcome;  // inputs not read, the archive's failure
};

// How far an import has come: the file being read (from 1) and the frames read so far.
struct ImportProgress {
    std::size_t file = 0;
    std::size_t files = 0;
    std::int64_t framesRead = 0;
};

// A capture file (.kss, or a file whose first byte is FEND) or else a SatNOGS export.
bool IsCaptureFile(const std::string& path);

// The name a source file is archived under: its absolute path, so a file read from another
// folder is the same file.
std::string ArchivedFileName(const std::string& path);

// Reads every file and hands each frame to the writer: capture frames with their stamp frames'
// receive times and `station`, export lines with their own time and station. Waits until the
// writer has written them. `progress` is called at each file and every few thousand frames.
ArchiveImport ImportIntoArchive(ArchiveWriter& writer, const std::vector<std::string>& paths,
                                const std::string& station,
                                const std::function<void(const ImportProgress&)>& progress);

}  // namespace quorbel
