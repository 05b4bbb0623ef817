// Building the status texts and messages of a command's outcome.
#include "shell/command_outcome.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iterator>

#include "common/files.hpp"
#include "shell/app_state.hpp"

namespace quorbel {

void CommandOutcome::AddNotWritten(const std::string& path, int systemError) {
    AddProblem({CommandProblem::Kind::NotWritten, path, SystemErrorText(systemError), 0});
}

void CommandOutcome::AddNotRead(const std::string& path, std::string reason) {
    AddProblem({CommandProblem::Kind::NotRead, path, std::move(reason), 0});
}

void CommandOutcome::AddProblem(CommandProblem problem) {
    problems.push_back(std::move(problem));
}

void CommandOutcome::Merge(const CommandOutcome& other) {
    written.insert(written.end(), other.written.begin(), other.written.end());
    problems.insert(problems.end(), other.problems.begin(), other.problems.end());
    framesRead += other.framesRead;
    recordsRefused += other.recordsRefused;
    framesNotRecorded += other.framesNotRecorded;
    restartedCaptures.insert(restartedCaptures.end(), other.restartedCaptures.begin(),
                             other.restartedCaptures.end());
    if (other.appended)
        appended = other.appended;
}

bool CommandOutcome::Failed() const {
    return std::any_of(problems.begin(), problems.end(), [](const CommandProblem& problem) {
        return problem.kind != CommandProblem::Kind::DecoderNotFound &&
               problem.kind != CommandProblem::Kind::ArchiveWaiting;
    });
}

bool CommandOutcome::Has(CommandProblem::Kind kind) const {
    return std::any_of(problems.begin(), problems.end(),
                       [kind](const CommandProblem& problem) { return problem.kind == kind; });
}

std::vector<CommandProblem> CommandOutcome::ProblemsOf(CommandProblem::Kind kind) const {
    std::vector<CommandProblem> found;
    std::copy_if(problems.begin(), problems.end(), std::back_inserter(found),
                 [kind](const CommandProblem& problem) { return problem.kind == kind; });
    return found;
}

std::string DescribeRestartedCapture(const std::string& path) {
    return path + " was moved or deleted; a new capture file was started";
}

std::string DescribeProblem(const CommandProblem& problem) {
    switch (problem.kind) {
        case CommandProblem::Kind::NotWritten:
        case CommandProblem::Kind::DecoderFailed:
            return problem.path + " could not be written";
        case CommandProblem::Kind::NotRead:
            return problem.path + " could not be read";
        case CommandProblem::Kind::NotDeleted:
            return problem.path + " could not be deleted";
        case CommandProblem::Kind::NoInputFile:
            return "no input file";
        case CommandProblem::Kind::DecoderNotFound:
            return problem.path + " decoder not found";
        case CommandProblem::Kind::DecoderNotStarted:
            return problem.path + " could not be started";
        case CommandProblem::Kind::ArchiveFailed:
            return "frames not archived: " + problem.reason;
        case CommandProblem::Kind::ArchiveWaiting:
            return "frames not archived yet: " + problem.reason;
        case CommandProblem::Kind::ShareFailed:
            return "frames not shared: " + problem.reason;
    }
    return {};
}

std::string ExplainProblem(const CommandProblem& problem) {
    std::string reason = problem.reason;
    if (problem.kind == CommandProblem::Kind::DecoderFailed) {
        reason = problem.exitStatus < 0 ? "the picture decoder did not end normally"
                                        : "the picture decoder ended with exit status " +
                                              std::to_string(problem.exitStatus);
    }
    const std::string text = DescribeProblem(problem);
    if (problem.kind == CommandProblem::Kind::ArchiveFailed ||
        problem.kind == CommandProblem::Kind::ArchiveWaiting ||
        problem.kind == CommandProblem::Kind::ShareFailed)
        return text;  // the reason is in the text
    return reason.empty() ? text : text + ": " + reason;
}

std::string BuildStatusText(const CommandOutcome& outcome) {
    std::string status;
    if (outcome.appended) {
        status = std::to_string(outcome.appended->frameBytes) + " bytes has been added to " +
                 outcome.appended->path;
    } else if (!outcome.written.empty()) {
        status = outcome.written.back() + " has been written";
    }
    std::vector<std::string> named;
    const auto add = [&](std::string text) {
        if (std::find(named.begin(), named.end(), text) != named.end())
            return;
        status += (status.empty() ? "" : "; ") + text;
        named.push_back(std::move(text));
    };
    for (const std::string& path : outcome.restartedCaptures)
        add(DescribeRestartedCapture(path));
    for (const CommandProblem& problem : outcome.problems)
        add(DescribeProblem(problem));
    return status;
}

CommandOutcome ShowOutcome(AppState& app, CommandOutcome outcome) {
    std::string status = BuildStatusText(outcome);
    if (!status.empty())
        app.ui.statusLine = std::move(status);
    return outcome;
}

std::string ReadFailureReason(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return SystemErrorText(errno);
    std::fclose(file);
    return {};
}

}  // namespace quorbel
