// What a command did: the files it wrote, the files it could not write and why, the inputs it
// could not read, the picture decoders that failed, the frames it read. The window's status line
// and the command-line tool's messages and exit status are made from it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quorbel {

struct AppState;

// Something a command was asked to do and could not.
struct CommandProblem {
    enum class Kind {
        NotWritten,         // a file not written whole (an export, a report, a packet file...)
        NotRead,            // an input file
        NotDeleted,         // an empty packet file
        NoInputFile,        // an export before any file was read
        DecoderNotFound,    // no picture decoder beside the program or on the PATH
        DecoderNotStarted,  // the decoder at `path` could not be started
        DecoderFailed,      // the decoder of the picture at `path` ended with `exitStatus`
        ArchiveFailed,      // the mission archive failed: `reason` names it and says why
        // The archive's server is away: frames wait on the disk (`reason` says why and how many)
        // and are written when it is back. No failure: nothing is lost.
        ArchiveWaiting,
        // The outbox of shared frames could not take frames (`reason` names it and says why):
        // they are recorded but will not be shared.
        ShareFailed,
    };
    Kind kind = Kind::NotWritten;
    std::string path;
    std::string reason;  // the system's reason ("No space left on device"); empty when unknown
    int exitStatus = 0;  // DecoderFailed: the decoder's exit status; -1 when a signal ended it
};

// The record of a capture file the live client appended a frame to.
struct AppendedRecord {
    std::string path;
    std::size_t frameBytes = 0;  // the frame as received, FEND to FEND
};

struct CommandOutcome {
    std::vector<std::string> written;      // files written whole, in order
    std::vector<CommandProblem> problems;  // in the order they happened
    long long framesRead = 0;              // frames decoded from the inputs
    long long recordsRefused = 0;          // records a full store refused
    long long framesNotRecorded = 0;       // live frames decoded but not in their capture file
    std::optional<AppendedRecord> appended;
    // Capture files that were moved or deleted while recording: a new file was started at each.
    std::vector<std::string> restartedCaptures;

    void AddWritten(const std::string& path) { written.push_back(path); }
    void AddNotWritten(const std::string& path, int systemError);
    void AddNotRead(const std::string& path, std::string reason = {});
    void AddProblem(CommandProblem problem);
    // Adds what another step of the same command did.
    void Merge(const CommandOutcome& other);

    // True when a file the command was asked to write was not written whole, an input could not
    // be read, a picture decoder could not be started or failed, or an export had no input file.
    // A missing decoder alone is no failure: the packet files stand for a later decoding run.
    bool Failed() const;
    bool Has(CommandProblem::Kind kind) const;
    // The problems of one kind.
    std::vector<CommandProblem> ProblemsOf(CommandProblem::Kind kind) const;
};

// The notice of a capture file that was moved or deleted while recording.
std::string DescribeRestartedCapture(const std::string& path);

// The problem as the status line names it: "<path> could not be written", "ssdv decoder not
// found", "no input file"...
std::string DescribeProblem(const CommandProblem& problem);
// The same followed by its reason, when there is one: "<path> could not be written: Permission
// denied"; "<picture> could not be written: the ssdv decoder ended with exit status 255".
std::string ExplainProblem(const CommandProblem& problem);

// The status line after the command: the last file written followed by " has been written" (or
// the record appended: "<n> bytes has been added to <path>"), then every capture started anew
// ("<path> was moved or deleted; a new capture file was started") and every different problem,
// all joined by "; ". Empty when the command wrote nothing and had no problem.
std::string BuildStatusText(const CommandOutcome& outcome);

// Shows the outcome's status text in statusLine (a command that wrote nothing and had no problem
// leaves it as it was) and hands the outcome on.
CommandOutcome ShowOutcome(AppState& app, CommandOutcome outcome);

// The system's reason why the file cannot be opened for reading ("No such file or directory");
// empty when it can.
std::string ReadFailureReason(const std::string& path);

}  // namespace quorbel
