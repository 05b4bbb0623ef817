// The import of capture files and exports into the archive: the readers' own parsing, each frame
// handed to the writer, and the writer given time when it falls behind.
#include "shell/commands/archive_import.hpp"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/block_reader.hpp"
#include "common/files.hpp"
#include "intake/kiss_file_reader.hpp"
#include "intake/satnogs_reader.hpp"
#include "shell/commands/archive_commands.hpp"

namespace quorbel {
namespace {

// The reader waits while more than this many receptions wait for the writer, so an import of any
// size never fills the writer's queue (which would drop receptions) nor memory.
constexpr std::int64_t kMostWaiting = 2 * static_cast<std::int64_t>(ArchiveWriter::kBatchSize);
constexpr std::int64_t kFramesPerCheck = 1'000;
constexpr std::int64_t kFramesPerProgress = 20'000;

class Importer {
  public:
    Importer(ArchiveWriter& writer, const std::function<void(const ImportProgress&)>& progress,
             std::size_t files)
        : m_writer(writer), m_progress(progress) {
        m_state.files = files;
    }

    void StartFile(std::size_t number) {
        m_state.file = number;
        Report();
    }

    void Add(std::span<const std::uint8_t> bytes, const std::string& rxTimeText,
             const std::string& station, ReceptionSource source, const std::string& file) {
        if (m_spare.empty())
            m_spare = m_writer.TakeSpent();
        Reception reception;
        if (!m_spare.empty()) {
            reception = std::move(m_spare.back());  // every member is set again below
            m_spare.pop_back();
        }
        reception.bytes.assign(bytes.begin(), bytes.end());
        reception.rxTimeMs = ReceiveTimeMs(rxTimeText).value_or(0);
        reception.rxTimeText = rxTimeText;
        reception.station = station;
        reception.source = source;
        reception.sourceFile = file;
        PrepareForArchive(reception);  // here, not on the writer's thread, which has more to do
        m_writer.Add(std::move(reception));
        ++m_state.framesRead;
        if (m_state.framesRead % kFramesPerCheck == 0)
            WaitForWriter();
        if (m_state.framesRead % kFramesPerProgress == 0)
            Report();
    }

    std::int64_t FramesRead() const { return m_state.framesRead; }

  private:
    void WaitForWriter() {
        while (m_writer.GetCounts().waiting > kMostWaiting)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void Report() {
        if (m_progress)
            m_progress(m_state);
    }

    ArchiveWriter& m_writer;
    std::vector<Reception> m_spare;  // written receptions whose room is used again
    const std::function<void(const ImportProgress&)>& m_progress;
    ImportProgress m_state;
};

// Every data frame of a capture with the receive time of the stamp frame before it; false when
// the file could not be read.
bool ImportCapture(Importer& importer, const std::string& path, const std::string& station) {
    const std::string file = ArchivedFileName(path);
    BlockReader capture(path);
    if (!capture.IsOpen())
        return false;
    KissDeframer deframer{kMaxCaptureFrameBytes};
    CapturePiece piece;
    std::string stamp;
    for (auto block = capture.Next(); !block.empty(); block = capture.Next()) {
        deframer.Feed(block, [&](std::span<const std::uint8_t> escaped) {
            ReadCapturePiece(escaped, piece);
            if (piece.kind == CapturePiece::Kind::Stamp)
                stamp = piece.stampTime;
            else if (piece.kind == CapturePiece::Kind::Frame)
                importer.Add(piece.DataFrame(), stamp, station, ReceptionSource::CaptureFile, file);
        });
    }
    return !capture.Failed();
}

// Every kept line of an export that holds a frame, from the last to the first as the open command
// reads them, with the line's time and station.
bool ImportExport(Importer& importer, const std::string& path) {
    const std::string file = ArchivedFileName(path);
    const std::optional<SatnogsIndex> index = IndexSatnogsExport(path);
    if (!index)
        return false;
    SatnogsFrame frame;
    ReadKeptLinesBackwards(path, *index, [&](std::size_t, std::string_view line) {
        if (ReadSatnogsLine(line, frame) == SatnogsLineKind::Frame)
            importer.Add(frame.bytes, frame.rxTimeText, frame.station, ReceptionSource::Export,
                         file);
    });
    return true;
}

}  // namespace

bool IsCaptureFile(const std::string& path) {
    const std::string extension = std::filesystem::path(path).extension().string();
    if (extension == ".kss" || extension == ".KSS")
        return true;
    if (extension == ".csv" || extension == ".CSV")
        return false;
    std::ifstream in(path, std::ios::binary);
    return in.get() == 0xC0;  // a capture begins with FEND
}

std::string ArchivedFileName(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

ArchiveImport ImportIntoArchive(ArchiveWriter& writer, const std::vector<std::string>& paths,
                                const std::string& station,
                                const std::function<void(const ImportProgress&)>& progress) {
    ArchiveImport result;
    const ArchiveWriter::Counts before = writer.GetCounts();
    Importer importer(writer, progress, paths.size());
    writer.SetBulk(true);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string& path = paths[i];
        importer.StartFile(i + 1);
        if (const std::optional<std::string> problem = NonFileInputProblem(path)) {
            result.outcome.AddNotRead(path, *problem);
            continue;
        }
        const bool read = IsCaptureFile(path) ? ImportCapture(importer, path, station)
                                              : ImportExport(importer, path);
        if (!read) {
            result.outcome.AddNotRead(path, ReadFailureReason(path));
            continue;
        }
        ++result.files;
    }
    writer.SetBulk(false);
    writer.Flush();
    const ArchiveWriter::Counts after = writer.GetCounts();
    result.framesRead = importer.FramesRead();
    result.newFrames = after.newFrames - before.newFrames;
    result.newReceptions = after.newReceptions - before.newReceptions;
    if (const std::optional<std::string> problem = writer.TakeNewProblem())
        result.outcome.AddProblem({writer.Failed() ? CommandProblem::Kind::ArchiveFailed
                                                   : CommandProblem::Kind::ArchiveWaiting,
                                   {},
                                   *problem,
                                   0});
    return result;
}

}  // namespace quorbel
