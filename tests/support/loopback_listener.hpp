// A listening TCP socket on 127.0.0.1 at a free port, for the small servers the tests start.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorbel::testing {

// The listening socket (-1 when none could be made) and its port in `port` (0 then).
inline int ListenOnLoopback(int backlog, int& port) {
    port = 0;
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (socket < 0 || ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(socket, backlog) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return socket;
    port = ntohs(address.sin_port);
    return socket;
}

}  // namespace quorbel::testing
