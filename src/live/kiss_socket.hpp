// The socket of the live TCP client: one connection to a KISS server, its state as the numbers
// the window shows, and the received bytes handed to the owner in slices of bounded size.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

class QTcpSocket;

namespace quorbel::live {

// Connection states, numbered as the window's state text and lamp expect them.
inline constexpr int kStateClosed = 0;             // "Closed": no connection
inline constexpr int kStateOpen = 1;               // "Open": bound, not connecting
inline constexpr int kStateListening = 2;          // "Listening" (never, a client only connects)
inline constexpr int kStateConnectionPending = 3;  // "Connection pending" (never reported)
inline constexpr int kStateResolvingHost = 4;      // "Resolving host": looking up the host name
inline constexpr int kStateHostResolved = 5;       // "Host resolved" (never reported)
inline constexpr int kStateConnecting = 6;         // "Connecting"
inline constexpr int kStateConnected = 7;          // "Connected": blocks may arrive
inline constexpr int kStatePeerClosing = 8;        // "Peer is closing the connection"
inline constexpr int kStateError = 9;              // "Error": refused, host not found, lost, ...
inline constexpr int kStateConnectionReset = 10;   // "Connection reset by the peer"

// One TCP connection to a KISS server. Lives on the thread of its owner's event loop; the
// handlers run there. Not copyable. The owner must not destroy it from inside a handler.
class KissSocket {
  public:
    using DataHandler = std::function<void(std::span<const std::uint8_t>)>;
    using StateHandler = std::function<void(int)>;

    KissSocket();
    ~KissSocket();
    KissSocket(const KissSocket&) = delete;
    KissSocket& operator=(const KissSocket&) = delete;

    // Starts connecting to the host (a name or an address) and port; returns at once. An open or
    // pending connection is dropped first. An empty host or a port outside 1 to 65535 is not
    // tried: the state becomes kStateError at once.
    void Connect(const std::string& host, int port);
    // Drops the connection at once, unsent and unread bytes with it; the state is kStateClosed.
    void Close();
    // The current state, kStateClosed to kStateConnectionReset. An error, the peer closing the
    // connection and a reset stay shown until the next Connect or Close.
    int State() const;
    // While the state is kStateError, what went wrong in words: "host not found: H", the
    // system's reason ("Connection refused") or what was not tried; empty in other states.
    std::string Problem() const;

    // Called with the bytes of the connection in the order the server sent them, in pieces of at
    // most 4 KiB, and at most 64 KiB or 50 ms of them per turn of the event loop: a larger
    // arrival is handed over in slices on successive turns, and the socket reads no more from the
    // connection while 256 KiB wait. Bytes that arrive while no handler is set are dropped.
    void SetDataHandler(DataHandler handler);
    // Called with the new state whenever State() changes; while bytes of the connection wait to
    // be handed over, only after them.
    void SetStateHandler(StateHandler handler);

  private:
    // How the last connection ended, when it did not end by Close or Connect.
    enum class Ending { None, PeerClosed, Reset, Error };

    void DropConnection();
    void WatchConnection();
    void StopWatching();
    Ending PeerEnding() const;
    void OnSocketState(int state);
    void OnSocketError(int error);
    void OnReadyRead();
    void HandleSlice();
    void QueueSlice();
    void PublishState();

    std::unique_ptr<QTcpSocket> m_socket;
    Ending m_ending = Ending::None;
    std::string m_host;
    std::string m_problem;
    // A second descriptor of the connected socket: it keeps the connection's end readable after
    // the socket has closed its own, so a reset can be told from the peer closing.
    int m_watch = -1;
    bool m_quiet = false;         // set while Close and Connect change the connection themselves
    bool m_sliceQueued = false;   // a later turn of the event loop hands over waiting bytes
    bool m_statePending = false;  // a new state is published once the waiting bytes are handed over
    int m_publishedState = kStateClosed;
    DataHandler m_dataHandler;
    StateHandler m_stateHandler;
};

}  // namespace quorbel::live
