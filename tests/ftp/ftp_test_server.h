// A real FTP server for one test: pyftpdlib on 127.0.0.1 and a free port, one user, a fresh
// temporary root. It stops with this object, or by itself when the test program is gone. On
// Windows (under Wine) the test cannot start the Linux server itself: it asks the launcher that
// scripts/test-win32.sh started (port in SPYLEROM_FTP_LAUNCHER_PORT) for a server of its own, and
// sees that server's root through Wine's drive Z:.
#pragma once

#include "support/temp_dir.h"

#include <cstdint>
#include <string>

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
    const std::string& root() const { return root_; }
    std::string file(const std::string& relative) const;
    // Every command the server took, one a line (passwords masked).
    std::string commands() const;
    // Ends the server; its port then refuses connections.
    void stop();

private:
    void start();

#ifndef _WIN32
    TempDir rootDir_;
    TempDir scratch_;
    int pid_ = -1;
    int control_ = -1; // the server's standard input; closing it ends the server
#else
    std::intptr_t control_ = -1; // the connection to the server; closing it ends the server
#endif
    std::string root_;
    std::string log_;
    std::string error_;
    int port_ = 0;
};

// Makes one folder; false when it cannot.
bool makeFolder(const std::string& path);

} // namespace spylerom::test
