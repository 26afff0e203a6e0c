// Sockets on 127.0.0.1 that behave like broken servers: one that takes connections and never says
// a word (the system completes the handshake; nobody ever answers), and a port that refuses.
#pragma once

#include <cstdint>

namespace spylerom::test {

class SilentServer {
public:
    SilentServer();
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    bool ok() const { return port_ > 0; }
    int port() const { return port_; }

private:
    std::intptr_t socket_ = -1;
    int port_ = 0;
};

// A port on 127.0.0.1 where nothing listens (it was free a moment ago); 0 when none was found.
int refusingPort();

} // namespace spylerom::test
