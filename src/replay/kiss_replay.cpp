// quorbel-kiss-replay: a KISS server on 127.0.0.1 that sends the data frames of capture files to
// every client that connects, as a ground station's modem would send a pass, for trying the live
// client without a radio.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "common/files.hpp"
#include "kiss_replay.hpp"
#include "stop_request.hpp"

namespace {

using quorbel::Bytes;
using namespace quorbel::replay;

constexpr int kDefaultPort = 8001;
constexpr double kDefaultRate = 10.0;
constexpr double kLongestRun = 1e6;  // seconds: --max-seconds above this is refused
constexpr double kLongestWaitMs = 60000;

struct Options {
    std::vector<std::string> files;
    int port = kDefaultPort;
    double rate = kDefaultRate;  // frames per second; 0: as fast as possible
    Chunking chunking = Chunking::Frame;
    std::uint32_t seed = 1;
    bool once = false;
    double maxSeconds = 0;  // 0: no limit
};

// A wrong command line: the message, then status 2.
struct UsageError {
    std::string message;
};

// What every client receives.
struct Replay {
    Bytes stream;
    std::vector<Write> writes;
    std::size_t frames = 0;
};

void Say(const std::string& line) {
    std::cout << line << std::endl;  // flushed at once: a script may be waiting for the port
}

constexpr const char* kUsage =
    "usage: quorbel-kiss-replay FILE... [--port P] [--rate R] [--chunk frame|random] [--seed N]\n"
    "                           [--once] [--max-seconds S]\n";

constexpr const char* kHelp =
    "Serves the frames of KISS capture files (.kss) on 127.0.0.1, as the modem of a ground\n"
    "station would: each data frame is sent as FEND, its bytes exactly as in the file, FEND.\n"
    "Time stamp frames (command byte 0x09), which the live client adds as it records, are not\n"
    "sent: a modem sends data frames only. Bytes before a file's first FEND and after its last\n"
    "are not sent either. Every client that connects receives all frames of all files in\n"
    "order; its connection then stays open, as a modem's does after a pass.\n"
    "\n"
    "  --port P         listen on port P of 127.0.0.1 (default 8001; 0: any free port).\n"
    "                   The port used is printed: \"listening on 127.0.0.1:P\".\n"
    "  --rate R         send R frames per second (default 10; 0: as fast as possible)\n"
    "  --chunk frame    one write per frame (default)\n"
    "  --chunk random   writes of 1 to 256 bytes cut anywhere in the stream, so that a write\n"
    "                   may hold the end of one frame and the start of the next (with a rate\n"
    "                   above 0 a write is also cut where a frame ends)\n"
    "  --seed N         seed of the random cuts (default 1): the same seed cuts the same way\n"
    "  --once           serve the first client only, then close its connection and exit\n"
    "  --max-seconds S  stop by itself after S seconds\n"
    "  -h, --help       show this text\n"
    "\n"
    "Without --once the server runs until SIGINT or SIGTERM, or until --max-seconds.\n"
    "Exit status: 0 done; 1 bad input, or a --once run that ended before its client received\n"
    "all frames; 2 wrong command line.\n";

void AddOptions(QCommandLineParser& parser) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({
        {{"h", "help"}, "show the help"},
        {"port", "port", "P", QString::number(kDefaultPort)},
        {"rate", "frames per second", "R", QString::number(kDefaultRate)},
        {"chunk", "frame or random", "MODE", "frame"},
        {"seed", "seed of the random cuts", "N", "1"},
        {"once", "serve one client"},
        {"max-seconds", "stop after S seconds", "S"},
    });
}

double NumberOption(const QCommandLineParser& parser, const QString& name, double low,
                    double high) {
    bool ok = false;
    const double value = parser.value(name).toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < low || value > high)
        throw UsageError{"--" + name.toStdString() + " needs a number from " +
                         QString::number(low).toStdString() + " to " +
                         QString::number(high, 'g', 10).toStdString() + ", not \"" +
                         parser.value(name).toStdString() + "\""};
    return value;
}

// Reads the command line; throws UsageError when it is wrong. None when help was asked for.
std::optional<Options> ParseCommandLine(QCommandLineParser& parser, const QStringList& arguments) {
    if (!parser.parse(arguments))
        throw UsageError{parser.errorText().toStdString()};
    if (parser.isSet("help"))
        return std::nullopt;
    Options options;
    for (const QString& file : parser.positionalArguments())
        options.files.push_back(file.toStdString());
    if (options.files.empty())
        throw UsageError{"no capture file given"};
    bool ok = false;
    options.port = parser.value("port").toInt(&ok);
    if (!ok || options.port < 0 || options.port > 65535)
        throw UsageError{"--port needs a whole number from 0 to 65535, not \"" +
                         parser.value("port").toStdString() + "\""};
    options.rate = NumberOption(parser, "rate", 0, 1e6);
    const QString chunk = parser.value("chunk");
    if (chunk != "frame" && chunk != "random")
        throw UsageError{"--chunk is frame or random, not \"" + chunk.toStdString() + "\""};
    options.chunking = chunk == "random" ? Chunking::Random : Chunking::Frame;
    options.seed = parser.value("seed").toUInt(&ok);
    if (!ok)
        throw UsageError{"--seed needs a whole number from 0 to 4294967295"};
    options.once = parser.isSet("once");
    if (parser.isSet("max-seconds")) {
        options.maxSeconds = NumberOption(parser, "max-seconds", 0, kLongestRun);
        if (options.maxSeconds <= 0)
            throw UsageError{"--max-seconds needs a number above 0"};
    }
    return options;
}

// The frames of all files, in order; an empty string and the replay, or the problem with a file.
std::string LoadReplay(const Options& options, Replay& replay) {
    std::vector<Bytes> frames;
    for (const std::string& path : options.files) {
        std::error_code error;
        if (!std::filesystem::exists(path, error))
            return path + " does not exist";
        if (auto problem = quorbel::NonFileInputProblem(path))
            return *problem;
        const std::optional<std::string> contents = quorbel::ReadWholeFile(path);
        if (!contents)
            return path + " could not be read";
        if (contents->empty())
            return path + " is empty";
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(contents->data());
        std::vector<Bytes> fileFrames = CaptureDataFrames({bytes, contents->size()});
        if (fileFrames.empty())
            return path + " holds no KISS data frame (a frame lies between two FEND bytes)";
        Say(path + ": " + std::to_string(fileFrames.size()) + " frames");
        frames.insert(frames.end(), std::make_move_iterator(fileFrames.begin()),
                      std::make_move_iterator(fileFrames.end()));
    }
    replay.stream = FrameStream(frames);
    replay.writes = PlanWrites(frames, options.chunking, options.rate > 0, options.seed);
    replay.frames = frames.size();
    return "";
}

// Sends the replay to every client that connects and ends the run with an exit status.
class ReplayServer {
  public:
    ReplayServer(const Replay& replay, const Options& options)
        : m_replay(replay), m_options(options) {
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server,
                         [this] { OnNewConnections(); });
    }
    ~ReplayServer() {
        QObject::disconnect(&m_server, nullptr, nullptr, nullptr);
        for (auto& [socket, session] : m_sessions) {
            QObject::disconnect(socket, nullptr, nullptr, nullptr);
            socket->abort();
        }
    }
    ReplayServer(const ReplayServer&) = delete;
    ReplayServer& operator=(const ReplayServer&) = delete;

    // Listens on 127.0.0.1; the port used, or 0 and the problem.
    int Listen(std::string& problem) {
        const auto port = static_cast<quint16>(m_options.port);
        if (m_server.listen(QHostAddress::LocalHost, port))
            return m_server.serverPort();
        problem = "cannot listen on 127.0.0.1:" + std::to_string(m_options.port) + ": " +
                  m_server.errorString().toStdString();
        return 0;
    }

    // Ends the run before its natural end. A --once run ends with status 1 unless its client
    // has received everything already.
    void Stop(const std::string& reason) {
        if (m_options.once)
            Finish(1, reason + " before a client received all frames");
        else
            Finish(0, reason);
    }

  private:
    struct Session {
        std::unique_ptr<QTimer> timer;
        QElapsedTimer clock;
        std::string peer;
        std::size_t nextWrite = 0;
        std::size_t written = 0;
        bool closed = false;
    };

    void OnNewConnections() {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            if (m_options.once && m_accepted > 0) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            ++m_accepted;
            if (m_options.once)
                m_server.close();  // later clients are refused
            StartSession(socket);
        }
    }

    void StartSession(QTcpSocket* socket) {
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);  // each write goes out alone
        Session& session = m_sessions[socket];
        session.peer = socket->peerAddress().toString().toStdString() + ":" +
                       std::to_string(socket->peerPort());
        session.timer = std::make_unique<QTimer>();
        session.timer->setSingleShot(true);
        session.timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(session.timer.get(), &QTimer::timeout, socket,
                         [this, socket] { SendDue(socket); });
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket,
                         [this, socket](qint64 count) { OnBytesWritten(socket, count); });
        // What a client sends (frames a modem would transmit) is read and let go.
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket,
                         [this, socket] { OnDisconnected(socket); });
        Say("client " + session.peer + " connected");
        session.clock.start();
        SendDue(socket);
    }

    // The number of frames whose time has come, `elapsedMs` after a client connected.
    std::size_t DueFrames(qint64 elapsedMs) const {
        if (m_options.rate <= 0)
            return m_replay.frames;
        return static_cast<std::size_t>(static_cast<double>(elapsedMs) * m_options.rate / 1000.0 +
                                        1e-9) +
               1;
    }

    // Writes every write whose frame is due, then waits for the next frame's time.
    void SendDue(QTcpSocket* socket) {
        Session& session = m_sessions.at(socket);
        const qint64 elapsed = session.clock.elapsed();
        const std::size_t due = DueFrames(elapsed);
        const std::vector<Write>& writes = m_replay.writes;
        while (!session.closed && session.nextWrite < writes.size() &&
               writes[session.nextWrite].frame < due) {
            const Write& write = writes[session.nextWrite++];
            socket->write(reinterpret_cast<const char*>(m_replay.stream.data() + write.offset),
                          static_cast<qint64>(write.length));
            socket->flush();
        }
        if (session.closed)
            return;
        if (session.nextWrite < writes.size()) {
            const double dueMs =
                static_cast<double>(writes[session.nextWrite].frame) * 1000.0 / m_options.rate;
            // A long wait is taken in steps of at most a minute: the timer counts in int.
            const double waitMs =
                std::clamp(std::ceil(dueMs) - static_cast<double>(elapsed), 0.0, kLongestWaitMs);
            session.timer->start(static_cast<int>(waitMs));
        } else if (m_options.once) {
            socket->disconnectFromHost();  // after the bytes still waiting have gone out
        }
    }

    void OnBytesWritten(QTcpSocket* socket, qint64 count) {
        Session& session = m_sessions.at(socket);
        session.written += static_cast<std::size_t>(count);
        if (session.written == m_replay.stream.size())
            Say("sent " + std::to_string(m_replay.frames) + " frames, " +
                std::to_string(m_replay.stream.size()) + " bytes, to " + session.peer);
    }

    void OnDisconnected(QTcpSocket* socket) {
        Session& session = m_sessions.at(socket);
        session.closed = true;
        session.timer->stop();
        const bool complete = session.written == m_replay.stream.size();
        if (complete)
            Say("client " + session.peer + " disconnected");
        else
            Say("client " + session.peer + " left after " + std::to_string(session.written) +
                " of " + std::to_string(m_replay.stream.size()) + " bytes");
        // The socket may be inside one of its own calls (a write that found the peer gone):
        // it is let go once that call has returned.
        QMetaObject::invokeMethod(
            &m_server,
            [this, socket] {
                QObject::disconnect(socket, nullptr, nullptr, nullptr);
                m_sessions.erase(socket);
                socket->deleteLater();
            },
            Qt::QueuedConnection);
        if (m_options.once)
            Finish(complete ? 0 : 1, complete ? "" : "the client left before all frames were sent");
    }

    void Finish(int status, const std::string& message) {
        if (m_finished)
            return;
        m_finished = true;
        m_server.close();
        if (!message.empty())
            (status == 0 ? std::cout : std::cerr) << message << std::endl;
        QCoreApplication::exit(status);
    }

    const Replay& m_replay;
    const Options& m_options;
    std::map<QTcpSocket*, Session> m_sessions;
    QTcpServer m_server;
    int m_accepted = 0;
    bool m_finished = false;
};

int Run(const Options& options) {
    Replay replay;
    if (const std::string problem = LoadReplay(options, replay); !problem.empty()) {
        std::cerr << "quorbel-kiss-replay: " << problem << std::endl;
        return 1;
    }
    ReplayServer server(replay, options);
    std::string problem;
    const int port = server.Listen(problem);
    if (port == 0) {
        std::cerr << "quorbel-kiss-replay: " << problem << std::endl;
        return 1;
    }
    Say("listening on 127.0.0.1:" + std::to_string(port));

    const quorbel::live::StopOnSignals stop([&server] { server.Stop("stopped on request"); });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &deadline, [&server, &options] {
        server.Stop("stopped after " + QString::number(options.maxSeconds).toStdString() +
                    " s (--max-seconds)");
    });
    if (options.maxSeconds > 0)
        deadline.start(static_cast<int>(std::ceil(options.maxSeconds * 1000.0)));
    return QCoreApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    try {
        QCoreApplication application(argc, argv);
        QCommandLineParser parser;
        AddOptions(parser);
        const std::optional<Options> options = ParseCommandLine(parser, application.arguments());
        if (!options) {
            std::cout << kUsage << "\n" << kHelp;
            return 0;
        }
        return Run(*options);
    } catch (const UsageError& error) {
        std::cerr << "quorbel-kiss-replay: " << error.message << "\n" << kUsage;
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "quorbel-kiss-replay: " << error.what() << std::endl;
        return 1;
    } catch (...) {
        std::cerr << "quorbel-kiss-replay: unexpected failure" << std::endl;
        return 1;
    }
}
