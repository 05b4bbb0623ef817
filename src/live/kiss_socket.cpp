// The live client's socket: a QTcpSocket whose states and errors become the window's state numbers.
#include "kiss_socket.hpp"

#include <QByteArray>
#include <QMetaObject>
#include <QString>
#include <QTcpSocket>
#include <chrono>

#ifdef __linux__
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace quorbel::live {
namespace {

// The slice of the received bytes handled in one turn of the event loop: pieces of 4 KiB handed to
// the owner one after the other, until 64 KiB or 50 ms. The rest waits for the next turn, so that
// timers, clicks and stop requests between turns are seen soon whatever the server sends (the
// owner records every frame on the disk, which may take a millisecond a frame).
constexpr qint64 kPieceBytes = 4 * 1024;
constexpr qint64 kSliceBytes = 64 * 1024;
constexpr std::chrono::milliseconds kSliceTime{50};
// The most bytes the socket takes from the connection ahead of the owner: while that many wait,
// it reads no more, and the server is held back by the connection's own flow control.
constexpr qint64 kBacklogBytes = 4 * kSliceBytes;

int StateNumber(QAbstractSocket::SocketState state) {
    switch (state) {
        case QAbstractSocket::UnconnectedState:
            return kStateClosed;
        case QAbstractSocket::HostLookupState:
            return kStateResolvingHost;
        case QAbstractSocket::ConnectingState:
            return kStateConnecting;
        case QAbstractSocket::ConnectedState:
            return kStateConnected;
        case QAbstractSocket::BoundState:
            return kStateOpen;
        case QAbstractSocket::ListeningState:
            return kStateListening;
        case QAbstractSocket::ClosingState:
            // The socket closes only when the peer has closed: this one never closes gracefully
            // on its own initiative (Close drops the connection at once).
            return kStatePeerClosing;
    }
    return kStateClosed;
}

}  // namespace

KissSocket::KissSocket() : m_socket(std::make_unique<QTcpSocket>()) {
    QTcpSocket* socket = m_socket.get();
    socket->setReadBufferSize(kBacklogBytes);
    QObject::connect(socket, &QAbstractSocket::stateChanged, socket,
                     [this](QAbstractSocket::SocketState state) { OnSocketState(state); });
    QObject::connect(socket, &QAbstractSocket::errorOccurred, socket,
                     [this](QAbstractSocket::SocketError error) { OnSocketError(error); });
    QObject::connect(socket, &QIODevice::readyRead, socket, [this] { OnReadyRead(); });
}

KissSocket::~KissSocket() {
    // The owner is going away: dropping the connection calls no handler.
    QObject::disconnect(m_socket.get(), nullptr, nullptr, nullptr);
    StopWatching();
    m_socket->abort();
}

void KissSocket::Connect(const std::string& host, int port) {
    DropConnection();
    m_ending = Ending::None;
    m_host = host;
    m_problem.clear();
    // Without a host or a valid port there is nothing to try (and no name to look up).
    if (host.empty() || port < 1 || port > 65535) {
        m_ending = Ending::Error;
        m_problem = host.empty() ? "no host to connect to"
                                 : std::to_string(port) + " is not a port (1 to 65535)";
        PublishState();
        return;
    }
    // With an address for a host the socket passes through host lookup within the call: only
    // the state it is in on return is shown.
    m_quiet = true;
    m_socket->connectToHost(QString::fromStdString(host), static_cast<quint16>(port));
    m_quiet = false;
    PublishState();
}

void KissSocket::Close() {
    DropConnection();
    m_ending = Ending::None;
    PublishState();
}

int KissSocket::State() const {
    switch (m_ending) {
        case Ending::Error:
            return kStateError;
        case Ending::PeerClosed:
            return kStatePeerClosing;
        case Ending::Reset:
            return kStateConnectionReset;
        case Ending::None:
            break;
    }
    return StateNumber(m_socket->state());
}

std::string KissSocket::Problem() const {
    return m_ending == Ending::Error ? m_problem : std::string();
}

void KissSocket::SetDataHandler(DataHandler handler) {
    m_dataHandler = std::move(handler);
}

void KissSocket::SetStateHandler(StateHandler handler) {
    m_stateHandler = std::move(handler);
}

void KissSocket::DropConnection() {
    StopWatching();
    m_quiet = true;
    m_socket->abort();
    m_quiet = false;
}

void KissSocket::WatchConnection() {
#ifdef __linux__
    StopWatching();
    const auto descriptor = static_cast<int>(m_socket->socketDescriptor());
    if (descriptor >= 0)
        m_watch = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
#endif
}

void KissSocket::StopWatching() {
#ifdef __linux__
    if (m_watch >= 0)
        ::close(m_watch);
#endif
    m_watch = -1;
}

KissSocket::Ending KissSocket::PeerEnding() const {
    // The socket reports a reset (RST) as the peer closing the connection (FIN). The connection
    // itself still tells them apart: after a reset it is closed, after the peer's FIN it waits
    // for this end to close too.
#ifdef __linux__
    tcp_info info{};
    socklen_t size = sizeof info;
    if (m_watch >= 0 && ::getsockopt(m_watch, IPPROTO_TCP, TCP_INFO, &info, &size) == 0 &&
        info.tcpi_state == TCP_CLOSE) {
        return Ending::Reset;
    }
#endif
    return Ending::PeerClosed;
}

void KissSocket::OnSocketState(int state) {
    if (state == QAbstractSocket::ConnectedState)
        WatchConnection();
    if (m_quiet)
        return;
    // A connection that ends without Close or Connect ends by an error or by the peer, and the
    // socket reports the error only after it has become unconnected. Showing the state once
    // that report is in keeps "Closed" from flashing up before "Error".
    if (state == QAbstractSocket::UnconnectedState && m_ending == Ending::None) {
        QMetaObject::invokeMethod(
            m_socket.get(), [this] { PublishState(); }, Qt::QueuedConnection);
        return;
    }
    PublishState();
}

void KissSocket::OnSocketError(int error) {
    // The first ending counts: the socket may report further errors while it shuts down.
    if (m_ending != Ending::None)
        return;
    // The peer closing the connection stays shown as "Peer is closing the connection" until the
    // user closes or reconnects: the lamp then tells the user that the server ended the feed,
    // which neither "Closed" (as if the user had closed it, and gone before the one-second state
    // display could show anything else) nor "Error" (nothing failed) would. A reset says that
    // the connection broke off rather than ended.
    if (error == QAbstractSocket::RemoteHostClosedError) {
        m_ending = PeerEnding();
    } else {
        m_ending = Ending::Error;
        m_problem = error == QAbstractSocket::HostNotFoundError
                        ? "host not found: " + m_host
                        : m_socket->errorString().toStdString();
    }
    StopWatching();
    if (!m_quiet)
        PublishState();
}

void KissSocket::OnReadyRead() {
    // A slice already queued handles these bytes too.
    if (!m_sliceQueued)
        HandleSlice();
}

void KissSocket::HandleSlice() {
    m_sliceQueued = false;
    const auto start = std::chrono::steady_clock::now();
    for (qint64 handed = 0;
         handed < kSliceBytes && std::chrono::steady_clock::now() - start < kSliceTime;) {
        const QByteArray piece = m_socket->read(kPieceBytes);
        if (piece.isEmpty())
            break;  // all handed over, or the handler closed the connection
        handed += piece.size();
        if (!m_dataHandler)
            continue;
        // A copy, so that the handler may replace itself.
        const DataHandler handler = m_dataHandler;
        handler(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(piece.constData()),
                                          static_cast<std::size_t>(piece.size())));
    }
    // Bytes left over are handled on a later turn, after the events that came meanwhile. Close
    // and Connect drop them with the connection.
    if (m_socket->bytesAvailable() > 0)
        QueueSlice();
    else if (m_statePending)
        PublishState();
}

void KissSocket::QueueSlice() {
    if (m_sliceQueued)
        return;
    m_sliceQueued = true;
    QMetaObject::invokeMethod(
        m_socket.get(), [this] { HandleSlice(); }, Qt::QueuedConnection);
}

void KissSocket::PublishState() {
    // The owner sees a connection end only after the last bytes the server sent, which stay
    // readable once the connection has gone.
    m_statePending = m_socket->bytesAvailable() > 0 && m_dataHandler;
    if (m_statePending) {
        QueueSlice();
        return;
    }
    const int state = State();
    if (state == m_publishedState)
        return;
    m_publishedState = state;
    if (m_stateHandler) {
        const StateHandler handler = m_stateHandler;
        handler(state);
    }
}

}  // namespace quorbel::live
