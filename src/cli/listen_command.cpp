// listen: the headless recorder of an unattended station computer. The live client on the KISS
// server of conf.ini (or --host/--port) decodes and records every frame, prints one line per
// decoded frame, and ends after --seconds or on SIGINT/SIGTERM; --reconnect retries a lost or
// refused connection with a growing pause.
#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <ostream>

#include "cli_app.hpp"
#include "cli_platform.hpp"
#include "kiss_socket.hpp"
#include "listen_options.hpp"
#include "live_tool.hpp"
#include "qt_http_poster.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "stop_request.hpp"
#include "view/detail_view.hpp"

namespace quorbel::cli {
namespace {

constexpr int kFirstRetryMs = 1000;
constexpr int kLongestRetryMs = 30000;
constexpr int kSharePumpMs = 100;

// The tool's platform with the TCP client's socket, made on first use (it needs the event loop
// that listen starts).
class LiveCliPlatform : public CliPlatform {
  public:
    using CliPlatform::CliPlatform;
    void ConnectSocket(const std::string& host, int port) override { Socket().Connect(host, port); }
    void CloseSocket() override { Socket().Close(); }
    int SocketState() override { return m_socket ? m_socket->State() : live::kStateClosed; }
    std::string SocketProblem() override { return m_socket ? m_socket->Problem() : std::string(); }

    live::KissSocket& Socket() {
        if (!m_socket)
            m_socket = std::make_unique<live::KissSocket>();
        return *m_socket;
    }

  private:
    std::unique_ptr<live::KissSocket> m_socket;
};

// The event loop of one listen: the socket's data and states, the end and the retries.
class Listener {
  public:
    Listener(CliContext& context, const ListenOptions& options)
        : m_context(context), m_app(context.app), m_options(options) {}

    void Run() {
        if (!m_options.host.empty())
            m_app.settings.tcpHost = m_options.host;
        if (!m_options.port.empty()) {
            m_app.settings.tcpPort = std::stoi(m_options.port);
            m_app.settings.tcpPortText = m_options.port;
        }
        // Settings that cannot work end the listen at once, whether or not it would reconnect.
        if (const std::optional<std::string> problem = LiveSettingsProblem(m_app.settings)) {
            m_context.err << "quorbel-cli: " << *problem << "\n";
            m_context.failed = true;
            return;
        }
        QtHttpPoster poster;
        QTimer sharePump;
        if (m_options.share || SharingSwitchedOn(m_app.settings)) {
            if (const auto problem = StartSharing(m_app, ToolShareServices(poster))) {
                m_context.err << "quorbel-cli: " << *problem << "\n";
                m_context.failed = true;
                return;
            }
            QObject::connect(&sharePump, &QTimer::timeout, [this] { TellSharing(); });
            sharePump.start(kSharePumpMs);
        }
        live::KissSocket& socket = dynamic_cast<LiveCliPlatform&>(m_context.platform).Socket();
        socket.SetDataHandler([this](std::span<const std::uint8_t> bytes) { OnData(bytes); });
        socket.SetStateHandler([this](int) { OnState(); });

        const live::StopOnSignals stopSignals([this] { Stop(); });
        m_signals = &stopSignals;
        QTimer end;
        end.setSingleShot(true);
        end.setTimerType(Qt::PreciseTimer);  // a coarse timer may end a long listen seconds late
        QObject::connect(&end, &QTimer::timeout, [this] { Stop(); });
        if (m_options.seconds >= 0) {
            const int endMs = static_cast<int>(std::min(m_options.seconds * 1000.0, 2.0e9));
            m_end = std::chrono::steady_clock::now() + std::chrono::milliseconds(endMs);
            end.start(endMs);
        }

        m_app.ui.tcpClient = true;
        SetTcpClient(m_app);
        OnState();
        if (!m_finished)
            QCoreApplication::exec();

        // Closes the socket and the capture file, as clearing the box does.
        socket.SetStateHandler(nullptr);
        socket.SetDataHandler(nullptr);
        m_app.ui.tcpClient = false;
        SetTcpClient(m_app);
        m_signals = nullptr;
        ReportUnrecordedFrames();
        if (m_app.sharing.sender) {
            // What was not sent yet waits in the outbox for the next listen or share.
            CommandOutcome outcome;
            FlushSharedFrames(m_app, outcome);
            TellSharing();
            for (const CommandProblem& problem : outcome.problems)
                m_context.err << "quorbel-cli: " << ExplainProblem(problem) << "\n";
            if (m_app.sharing.putFailed)
                m_context.failed = true;
            m_context.err << "quorbel-cli: " << DescribeShareStatus(m_app.sharing.sender->Status())
                          << "\n";
            StopSharing(m_app);
        }
    }

  private:
    // The end by --seconds or a signal: no frame is decoded after it, even from bytes the socket
    // still holds for a later turn of the event loop.
    void Stop() {
        dynamic_cast<LiveCliPlatform&>(m_context.platform).Socket().SetDataHandler(nullptr);
        m_finished = true;
        QCoreApplication::exit(0);
    }

    // How many decoded frames were not recorded in the capture file, and why the last was not;
    // a listen that lost any, or could not write a packet file, ends with exit status 1.
    void ReportUnrecordedFrames() const {
        if (m_unrecorded > 0) {
            m_context.err << "quorbel-cli: " << m_unrecorded << " of " << m_decoded
                          << " decoded frames were not recorded (" << m_lastProblem << ")\n";
        }
        if (m_failed)
            m_context.failed = true;
    }

    // The sender's turn, and what it has to say.
    void TellSharing() {
        for (const std::string& line : PumpSharing(m_app))
            m_context.err << "quorbel-cli: share: " << line << "\n";
    }

    // True when the end is due though its timer or signal has not been seen yet: the socket's
    // pieces come faster than the event loop turns.
    bool StopDue() const {
        return (m_signals != nullptr && m_signals->Requested()) ||
               (m_end && std::chrono::steady_clock::now() >= *m_end);
    }

    void OnData(std::span<const std::uint8_t> bytes) {
        if (StopDue()) {
            Stop();
            return;
        }
        const LiveArrival arrival = ReceiveLiveBytes(m_app, bytes);
        for (const LiveReception& frame : arrival.frames) {
            m_context.out << frame.rxTimeText << " UTC " << FrameKindName(frame.kind) << ' '
                          << SatelliteName(frame.spacecraftId) << '\n';
        }
        m_context.out.flush();
        m_decoded += arrival.frames.size();
        m_unrecorded += static_cast<std::size_t>(arrival.outcome.framesNotRecorded);
        for (const std::string& path : arrival.outcome.restartedCaptures)
            m_context.err << "quorbel-cli: " << DescribeRestartedCapture(path) << "\n";
        for (const CommandProblem& problem : arrival.outcome.problems) {
            if (problem.kind == CommandProblem::Kind::ArchiveWaiting) {
                // The archive's server is away: said once, and no failure.
                if (!m_context.archiveProblemTold)
                    m_context.err << "quorbel-cli: " << ExplainProblem(problem) << "\n";
                m_context.archiveProblemTold = true;
                continue;
            }
            m_failed = true;
            if (problem.kind == CommandProblem::Kind::ArchiveFailed) {
                // Said once in the run; the frames are still decoded and recorded.
                if (!m_context.archiveProblemTold)
                    m_context.err << "quorbel-cli: " << ExplainProblem(problem) << "\n";
                m_context.archiveProblemTold = true;
                continue;
            }
            // Each new problem once, as it happens; the count comes at the end.
            const std::string text = ExplainProblem(problem);
            if (text != m_lastProblem)
                m_context.err << "quorbel-cli: " << text << "\n";
            m_lastProblem = text;
            m_failed = true;
        }
    }

    void OnState() {
        const int state = m_app.platform.SocketState();
        const std::string text = ShowConnectionState(m_app);
        m_app.ui.connectionText = text;
        if (state == m_lastState)
            return;
        m_lastState = state;
        m_context.err << "quorbel-cli: " << m_app.settings.tcpHost << ":"
                      << m_app.settings.tcpPortText << " " << text << "\n";
        if (state == live::kStateConnected)
            m_retryMs = kFirstRetryMs;  // a connection that was made starts the pauses anew
        if (state != live::kStatePeerClosing && state != live::kStateError &&
            state != live::kStateConnectionReset) {
            return;
        }
        if (m_options.reconnect) {
            const int pause = m_retryMs;
            m_retryMs = std::min(m_retryMs * 2, kLongestRetryMs);
            m_context.err << "quorbel-cli: connecting again in " << pause / 1000 << " s\n";
            QTimer::singleShot(pause, [this] { ConnectLiveClient(m_app); });
            return;
        }
        // Without --reconnect the listen ends with the connection, as the window would show it;
        // an error or a reset is a failure, the server ending the feed is not.
        if (state == live::kStateError || state == live::kStateConnectionReset)
            m_context.failed = true;
        m_finished = true;
        QCoreApplication::exit(0);
    }

    CliContext& m_context;
    AppState& m_app;
    ListenOptions m_options;
    int m_lastState = -1;
    int m_retryMs = kFirstRetryMs;
    bool m_finished = false;
    const live::StopOnSignals* m_signals = nullptr;
    std::optional<std::chrono::steady_clock::time_point> m_end;
    std::size_t m_decoded = 0;
    std::size_t m_unrecorded = 0;
    bool m_failed = false;  // a frame or packet was not written
    std::string m_lastProblem;
};

void Listen(CliContext& context, const Args& args) {
    ListenOptions options;
    ParseListenArgs(args, options);
    // The socket needs an event loop; a tool started without one gets it here.
    const std::unique_ptr<QCoreApplication> loop = MakeEventLoop();
    Listener(context, options).Run();
}

}  // namespace

LiveTool MakeLiveTool() {
    return {[](std::ostream& messages, const std::string& programFolder) {
                return std::unique_ptr<CliPlatform>(
                    std::make_unique<LiveCliPlatform>(messages, programFolder));
            },
            Listen, Share};
}

}  // namespace quorbel::cli
