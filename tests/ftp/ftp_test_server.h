// A real FTP server for one test: pyftpdlib on 127.0.0.1 and a free port, one user, a fresh
// temporary root. It stops with this object, or by itself when the test program is gone.
#pragma once

#include "support/temp_dir.h"

#include <string>
#include <sys/types.h>

namespace spylerom::test {

class FtpTestServer {
public:
    static constexpr const char* kUser = "spyler";
    static constexpr const char* kPassword = "hemmelig æ";

    FtpTestServer();
    ~FtpTestServer();
    FtpTestServer(const FtpTestServer&) = delete;
    FtpTestServer& operator=(const FtpTestServer&) = delete;

    bool ok() const { return port_ > 0; }
    const std::string& error() const { return error_; }
    int port() const { return port_; }
    // The server's root folder (what the user sees as "/"), without a trailing separator.
    const std::string& root() const { return root_.path(); }
    std::string file(const std::string& relative) const { return root_.file(relative); }
    // Every command the server took, one a line (passwords masked).
    std::string commands() const;
    // Ends the server; its port then refuses connections.
    void stop();

private:
    TempDir root_;
    TempDir scratch_;
    std::string error_;
    pid_t pid_ = -1;
    int control_ = -1; // the server's standard input; closing it ends the server
    int port_ = 0;
};

} // namespace spylerom::test
