#include "shell/commands/share_commands.hpp"

#include <cstring>
#include <filesystem>

#include "common/block_reader.hpp"
#include "common/files.hpp"
#include "common/text.hpp"
#include "intake/kiss.hpp"
#include "intake/kiss_file_reader.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/archive_commands.hpp"
#include "shell/commands/archive_import.hpp"

namespace quorbel {
namespace {

void Log(AppState& app, const std::string& line) {
    app.ui.readerLog += "share: " + line + "\r\n";
}

// Says a problem of sharing in the status line and the log.
std::string Refuse(AppState& app, std::string problem) {
    app.ui.statusLine = problem;
    Log(app, problem);
    return problem;
}

// The key of a conf.ini line, upper case; empty for a comment or a line that sets nothing.
std::string KeyOfLine(std::string_view line) {
    if (line.empty() || line[0] == '#')
        return {};
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return {};
    return ToUpperLatin1(std::string(TrimChars(line.substr(0, equals), " \t")));
}

// Every data frame of one capture with the receive time of the stamp frame before it; false when
// the file could not be read.
bool ReadCaptureFrames(const std::string& path, FramesToShare& read) {
    BlockReader capture(path);
    if (!capture.IsOpen())
        return false;
    KissDeframer deframer{kMaxCaptureFrameBytes};
    CapturePiece piece;
    std::optional<std::int64_t> rxMs;
    for (auto block = capture.Next(); !block.empty(); block = capture.Next()) {
        deframer.Feed(block, [&](std::span<const std::uint8_t> escaped) {
            ReadCapturePiece(escaped, piece);
            if (piece.kind == CapturePiece::Kind::Stamp) {
                rxMs = ReceiveTimeMs(piece.stampTime);
            } else if (piece.kind == CapturePiece::Kind::Frame) {
                if (!rxMs) {
                    ++read.withoutTime;
                    return;
                }
                const auto frame = piece.DataFrame();
                read.frames.emplace_back(frame.begin(), frame.end());
                read.rxTimesMs.push_back(*rxMs);
            }
        });
    }
    return !capture.Failed();
}

}  // namespace

std::string OutboxPath(const Settings& settings) {
    return JoinPath(settings.appDir, kOutboxName);
}

std::variant<ShareSettings, std::string> CheckShareSettings(const Settings& settings) {
    return ParseShareSettings(settings.share);
}

bool SharingSwitchedOn(const Settings& settings) {
    return ToLowerAscii(settings.share.share) == "on";
}

std::optional<std::string> StartSharing(AppState& app, const ShareServices& services) {
    StopSharing(app);
    const std::variant<ShareSettings, std::string> checked = CheckShareSettings(app.settings);
    if (const auto* problem = std::get_if<std::string>(&checked))
        return Refuse(app, *problem);
    try {
        app.sharing.outbox = std::make_unique<OutboxWriter>(
            services.openOutbox(OutboxPath(app.settings)), services.nowMs);
    } catch (const OutboxError& failure) {
        return Refuse(app, std::string("frames not shared: ") + failure.what());
    }
    app.sharing.sender =
        std::make_unique<ShareSender>(*app.sharing.outbox, *services.poster, services.nowMs,
                                      std::get<ShareSettings>(checked), services.options);
    app.sharing.nowMs = services.nowMs;
    app.sharing.problemTold = false;
    app.sharing.putFailed = false;
    Log(app, "frames are shared with " + std::get<ShareSettings>(checked).url + " from " +
                 app.sharing.outbox->Describe());
    PumpSharing(app);
    return std::nullopt;
}

void StopSharing(AppState& app) {
    if (app.sharing.outbox) {
        CommandOutcome outcome;
        FlushSharedFrames(app, outcome);
    }
    app.sharing.sender.reset();
    app.sharing.outbox.reset();
    app.ui.shareText.clear();
}

void SetShareBox(AppState& app, const ShareServices& services) {
    if (app.ui.shareFrames) {
        if (StartSharing(app, services))
            app.ui.shareFrames = false;
    } else {
        StopSharing(app);
    }
    if (const auto problem =
            SaveConfValue(app.settings.appDir, "SHARE", app.ui.shareFrames ? "on" : "off")) {
        Refuse(app, *problem);
    } else {
        app.settings.share.share = app.ui.shareFrames ? "on" : "off";
    }
}

std::vector<std::string> PumpSharing(AppState& app) {
    if (!app.sharing.sender)
        return {};
    CommandOutcome outcome;
    CheckSharedFrames(app, outcome);
    std::vector<std::string> lines;
    for (const CommandProblem& problem : outcome.problems) {  // logged by the check
        app.ui.statusLine = ExplainProblem(problem);
        lines.push_back(app.ui.statusLine);
    }
    app.sharing.sender->Pump();
    for (std::string& line : app.sharing.sender->TakeLog()) {
        Log(app, line);
        lines.push_back(std::move(line));
    }
    app.ui.shareText = DescribeShareStatus(app.sharing.sender->Status());
    return lines;
}

std::string DescribeShareStatus(const ShareStatus& status) {
    std::string text = "Shared: " + std::to_string(status.counts.sent) + " sent, " +
                       std::to_string(status.counts.waiting) + " waiting, " +
                       std::to_string(status.counts.rejected) + " rejected";
    if (!status.counts.lastError.empty())
        text += "; last error: " + status.counts.lastError;
    return text;
}

namespace {

// Says a failure to put frames in the outbox.
void SayShareFailure(AppState& app, const std::string& failure, CommandOutcome& outcome) {
    outcome.AddProblem({CommandProblem::Kind::ShareFailed, {}, failure, 0});
    Log(app, "frames not shared: " + failure);
    app.sharing.putFailed = true;
}

// Says a failed put of a capture file's frames, once until such a put works again.
void TellShareFailure(AppState& app, const std::string& failure, CommandOutcome& outcome) {
    if (!app.sharing.problemTold)
        SayShareFailure(app, failure, outcome);
    app.sharing.problemTold = true;
    app.sharing.putFailed = true;
}

}  // namespace

void PutSharedFrames(AppState& app, std::span<const OutboxPut> frames, CommandOutcome& outcome) {
    if (!app.sharing.outbox || frames.empty())
        return;
    try {
        app.sharing.outbox->Put(frames, app.sharing.nowMs());
        app.sharing.problemTold = false;
    } catch (const OutboxError& failure) {
        TellShareFailure(app, failure.what(), outcome);
        return;
    }
    if (app.sharing.sender)
        app.sharing.sender->Pump();
}

void QueueSharedFrame(AppState& app, std::span<const std::uint8_t> frame, std::int64_t rxTimeMs) {
    if (app.sharing.outbox)
        app.sharing.outbox->Add({frame.begin(), frame.end()}, rxTimeMs);
}

void CheckSharedFrames(AppState& app, CommandOutcome& outcome) {
    if (!app.sharing.outbox)
        return;
    // The writer reports each outage once, so every report is said: a second outage after
    // puts worked again is news.
    if (const std::optional<std::string> failure = app.sharing.outbox->TakeNewProblem())
        SayShareFailure(app, *failure, outcome);
}

void FlushSharedFrames(AppState& app, CommandOutcome& outcome) {
    if (!app.sharing.outbox)
        return;
    app.sharing.outbox->Flush();
    CheckSharedFrames(app, outcome);
}

std::optional<std::string> SaveConfValue(const std::string& appDir, std::string_view key,
                                         std::string_view value) {
    const std::string path = JoinPath(appDir, "conf.ini");
    std::string text;
    std::error_code error;
    if (std::filesystem::exists(path, error)) {
        const std::optional<std::string> old = ReadWholeFile(path);
        if (!old)
            return "conf.ini could not be read: " + path;
        text = *old;
    }
    const std::string line = std::string(key) + "=" + std::string(value);
    std::string written;
    bool replaced = false;
    for (std::string_view old : SplitLines(text)) {
        std::string_view bare = old;
        if (!bare.empty() && bare.back() == '\r')
            bare.remove_suffix(1);
        if (!replaced && KeyOfLine(bare) == key) {
            written += line + "\r\n";
            replaced = true;
        } else {
            written += std::string(bare) + "\r\n";
        }
    }
    if (!replaced)
        written += line + "\r\n";
    AtomicFileWriter file(path);
    file.Write(written);
    if (!file.Commit())
        return path + " could not be written: " + std::strerror(file.Error());
    return std::nullopt;
}

FramesToShare ReadFramesToShare(const std::vector<std::string>& paths) {
    FramesToShare read;
    for (const std::string& path : paths) {
        if (const std::optional<std::string> problem = NonFileInputProblem(path)) {
            read.outcome.AddNotRead(path, *problem);
            continue;
        }
        if (!IsCaptureFile(path)) {
            const std::string extension = ToLowerAscii(std::filesystem::path(path).extension());
            read.outcome.AddNotRead(path, extension == ".csv"
                                              ? "a SatNOGS export is not shared: its frames came "
                                                "from the network; share the station's capture "
                                                "files"
                                              : "not a capture file (.kss)");
            continue;
        }
        if (!ReadCaptureFrames(path, read))
            read.outcome.AddNotRead(path, ReadFailureReason(path));
    }
    return read;
}

}  // namespace quorbel
