// A small blocking FTP client on libcurl: connect with log-in, size query, fetch to a file, store
// from a file, disconnect, a connected query, and notifications for connect, disconnect, the start
// of a data transfer and its progress. Binary transfers (type I), active data connections, IPv4,
// no proxy, no TLS. What to transfer and what to tell the user is left to the caller.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace spylerom::ftp {

enum class FtpStatus {
    Ok,
    NotConnected,    // an operation that needs a connection was called without one
    ConnectFailed,   // no such host, refused, unreachable, malformed host text
    LoginDenied,     // the server refused the user name or password
    RemoteNotFound,  // the server has no such file
    RemoteRefused,   // the server refused the command (permissions, missing folder, full disk ...)
    LocalFileFailed, // the local file could not be opened, read or written
    TransferFailed,  // the connection broke or the data arrived incomplete
    TimedOut,
};

struct FtpResult {
    FtpStatus status = FtpStatus::Ok;
    std::string message; // libcurl's own explanation, or ours for local failures
    bool ok() const { return status == FtpStatus::Ok; }
};

enum class FtpDirection { Download, Upload };

// Notifications, called on the caller's thread from inside the client's blocking calls.
class FtpClientListener {
public:
    virtual ~FtpClientListener() = default;
    virtual void ftpConnected() {}
    virtual void ftpDisconnected() {}
    virtual void ftpWorkBegin(FtpDirection) {}
    // Bytes of the current data transfer so far; the last call of a successful transfer gives
    // its full size.
    virtual void ftpProgress(std::int64_t) {}
};

class FtpClient {
public:
    FtpClient();
    ~FtpClient();
    FtpClient(const FtpClient&) = delete;
    FtpClient& operator=(const FtpClient&) = delete;

    void setListener(FtpClientListener* listener) { listener_ = listener; }

    void setHost(std::string host) { host_ = std::move(host); }
    void setUsername(std::string user) { user_ = std::move(user); }
    void setPassword(std::string password) { password_ = std::move(password); }
    void setPort(std::int32_t port) { port_ = port; } // 0 or less: 21
    const std::string& host() const { return host_; }
    const std::string& username() const { return user_; }
    const std::string& password() const { return password_; }
    std::int32_t port() const { return port_ > 0 ? port_ : 21; }

    // Limits that keep a dead server from hanging the program.
    void setTimeouts(long connectSeconds, long responseSeconds);

    // Connects and logs in; a connection held already is closed first.
    FtpResult connect();
    bool connected() const { return connected_; }
    // The server's size of a remote file (relative to the log-in folder unless it starts with "/").
    // size is -1 when the server gives none (no such file, SIZE refused); the result fails only
    // when the connection or the log-in does.
    FtpResult size(const std::string& remote, std::int64_t& size);
    // Fetches remote into localPath from its first byte, replacing a file of that name.
    FtpResult fetch(const std::string& remote, const std::string& localPath);
    // Stores localPath on the server as remote, replacing a file of that name.
    FtpResult store(const std::string& localPath, const std::string& remote);
    // Logs out and closes the connection.
    void disconnect();

private:
    class Session;

    void afterOperation();

    std::unique_ptr<Session> session_;
    FtpClientListener* listener_ = nullptr;
    std::string host_, user_, password_;
    std::int32_t port_ = 21;
    long connectTimeout_ = 30;
    long responseTimeout_ = 60;
    bool connected_ = false;
};

} // namespace spylerom::ftp
