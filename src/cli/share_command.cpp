// share: the frames of capture files put in the outbox with the receive times of their own stamp
// frames (no real-time replay) and sent to the SiDS server, or, without files, what waits in the
// outbox; it ends when nothing waits, after --seconds or on SIGINT/SIGTERM. --dry-run prints the
// requests that would be sent and changes nothing.
#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <ostream>

#include "cli_app.hpp"
#include "live_tool.hpp"
#include "qt_http_poster.hpp"
#include "share/sids_request.hpp"
#include "share_options.hpp"
#include "shell/app_state.hpp"
#include "sqlite_outbox.hpp"
#include "stop_request.hpp"

namespace quorbel::cli {
namespace {

// Frames go to the outbox in transactions of this many.
constexpr std::size_t kPutChunk = 5'000;
constexpr int kPumpMs = 100;

std::int64_t SystemNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void PrintRequest(std::ostream& out, const ShareSettings& settings,
                  std::span<const std::uint8_t> frame, std::int64_t rxTimeMs) {
    out << "POST " << settings.url << "\n" << SidsRequestBody(settings, frame, rxTimeMs) << "\n";
}

void Tell(CliContext& context, const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        context.err << "quorbel-cli: share: " << line << "\n";
}

// --dry-run: the requests of the files' frames, or of what waits in the outbox.
void DryRun(CliContext& context, const ShareSettings& settings, const FramesToShare& read,
            bool fromFiles) {
    if (fromFiles) {
        for (std::size_t i = 0; i < read.frames.size(); ++i)
            PrintRequest(context.out, settings, read.frames[i], read.rxTimesMs[i]);
        return;
    }
    const std::string path = OutboxPath(context.app.settings);
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return;  // nothing waits where sharing never ran
    const std::unique_ptr<Outbox> outbox = OpenSqliteOutbox(path);
    std::vector<std::int64_t> shown;
    for (;;) {
        const std::vector<OutboxFrame> page = outbox->Waiting(1'000, shown);
        if (page.empty())
            break;
        for (const OutboxFrame& frame : page) {
            PrintRequest(context.out, settings, frame.bytes, frame.rxTimeMs);
            shown.push_back(frame.id);
        }
    }
}

// Sends what waits until nothing does, the seconds are up or a signal comes.
void SendWhatWaits(CliContext& context, double seconds) {
    AppState& app = context.app;
    const live::StopOnSignals stopSignals([] { QCoreApplication::exit(0); });
    const auto start = std::chrono::steady_clock::now();
    QTimer pump;
    QObject::connect(&pump, &QTimer::timeout, [&] {
        Tell(context, PumpSharing(app));
        const ShareStatus status = app.sharing.sender->Status();
        const bool timeUp = seconds >= 0 && std::chrono::steady_clock::now() - start >=
                                                std::chrono::duration<double>(seconds);
        if ((status.counts.waiting == 0 && status.inFlight == 0) || timeUp ||
            stopSignals.Requested())
            QCoreApplication::exit(0);
    });
    pump.start(kPumpMs);
    QCoreApplication::exec();
}

}  // namespace

ShareServices ToolShareServices(HttpPoster& poster) {
    return {
        [](const std::string& path) { return OpenSqliteOutbox(path); }, &poster, SystemNowMs, {}};
}

std::unique_ptr<QCoreApplication> MakeEventLoop() {
    static int argc = 1;
    static char name[] = "quorbel-cli-live";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() != nullptr)
        return nullptr;
    return std::make_unique<QCoreApplication>(argc, argv);
}

void Share(CliContext& context, const Args& args) {
    ShareOptions options;
    ParseShareArgs(args, options);
    AppState& app = context.app;
    const auto checked = CheckShareSettings(app.settings);
    if (const auto* problem = std::get_if<std::string>(&checked)) {
        context.err << "quorbel-cli: " << *problem << "\n";
        context.failed = true;
        return;
    }
    const FramesToShare read = ReadFramesToShare(options.files);
    ReportOutcome(context, read.outcome);
    if (read.withoutTime > 0) {
        context.err << "quorbel-cli: " << read.withoutTime
                    << " frames had no stamp frame before them and no receive time; they are not "
                       "shared\n";
    }
    if (options.dryRun) {
        DryRun(context, std::get<ShareSettings>(checked), read, !options.files.empty());
        return;
    }
    const std::unique_ptr<QCoreApplication> loop = MakeEventLoop();
    QtHttpPoster poster;
    if (const auto problem = StartSharing(app, ToolShareServices(poster))) {
        context.err << "quorbel-cli: " << *problem << "\n";
        context.failed = true;
        return;
    }
    const std::int64_t rejectedBefore = app.sharing.sender->Status().counts.rejected;
    CommandOutcome outcome;
    std::vector<OutboxPut> puts;
    for (std::size_t i = 0; i < read.frames.size(); ++i) {
        puts.push_back({read.frames[i], read.rxTimesMs[i]});
        if (puts.size() == kPutChunk || i + 1 == read.frames.size()) {
            PutSharedFrames(app, puts, outcome);
            puts.clear();
        }
    }
    ReportOutcome(context, outcome);
    SendWhatWaits(context, options.seconds);
    Tell(context, PumpSharing(app));
    const ShareStatus status = app.sharing.sender->Status();
    context.err << "quorbel-cli: " << DescribeShareStatus(status) << "\n";
    if (status.counts.rejected > rejectedBefore) {
        context.err << "quorbel-cli: the server rejected "
                    << status.counts.rejected - rejectedBefore << " frames\n";
        context.failed = true;
    }
    if (status.counts.waiting > 0) {
        context.err << "quorbel-cli: " << status.counts.waiting
                    << " frames still wait in the outbox; share again to send them\n";
        context.failed = true;
    }
    StopSharing(app);
}

}  // namespace quorbel::cli
