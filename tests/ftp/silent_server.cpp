// The silent listener and the refusing port, on POSIX sockets or Winsock.
#include "ftp/silent_server.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace spylerom::test {

namespace {

#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
void closeSocket(Socket s) {
    closesocket(s);
}
bool startSockets() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
void closeSocket(Socket s) {
    close(s);
}
bool startSockets() {
    return true;
}
#endif

// A socket bound to 127.0.0.1 on a free port, listening when backlog > 0.
Socket boundSocket(int backlog, int& port) {
    port = 0;
    if (!startSockets())
        return kNoSocket;
    const Socket s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == kNoSocket)
        return kNoSocket;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (backlog > 0 && listen(s, backlog) != 0) ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closeSocket(s);
        return kNoSocket;
    }
    port = ntohs(address.sin_port);
    return s;
}

} // namespace

SilentServer::SilentServer() {
    const Socket s = boundSocket(8, port_);
    socket_ = static_cast<std::intptr_t>(s);
    if (s == kNoSocket)
        port_ = 0;
}

SilentServer::~SilentServer() {
    if (port_ > 0)
        closeSocket(static_cast<Socket>(socket_));
}

int refusingPort() {
    int port = 0;
    const Socket s = boundSocket(0, port);
    if (s == kNoSocket)
        return 0;
    closeSocket(s);
    return port;
}

} // namespace spylerom::test
