// The FTP client the transfer window drives: connect with log-in, size query, fetch to a file,
// store from a file, disconnect, a connected query, and notifications for connect, disconnect,
// the start of a data transfer, its progress and the waits in between (where the caller may
// cancel). Binary transfers (type I), active data connections, IPv4, no proxy, no TLS. The
// libcurl client (Linux) and the WinINet client (Windows) implement it; what to transfer and what
// to tell the user is left to the caller.
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
    Cancelled, // the listener asked to stop
};

struct FtpResult {
    FtpStatus status = FtpStatus::Ok;
    std::string message; // what went wrong: the failure itself and the server's last reply
    bool ok() const { return status == FtpStatus::Ok; }
};

// The explanation of a failure: the cause, then the server's last reply when there was one.
std::string failureMessage(const std::string& cause, const std::string& lastReply);

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
    // Called again and again (about 20 times a second) while a call waits for the server or the
    // data; false ends that call with Cancelled.
    virtual bool ftpContinue() { return true; }
};

class FtpClient {
public:
    virtual ~FtpClient() = default;
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

    // Limits that keep a dead server from hanging the program: the connection must stand within
    // connectSeconds, and the server must answer, and the data keep moving, within responseSeconds.
    void setTimeouts(long connectSeconds, long responseSeconds);
    long connectTimeout() const { return connectTimeout_; }
    long responseTimeout() const { return responseTimeout_; }

    // Connects and logs in; a connection held already is closed first.
    virtual FtpResult connect() = 0;
    bool connected() const { return connected_; }
    // The server's size of a remote file (relative to the log-in folder unless it starts with "/").
    // size is -1 when the server gives none (no such file, SIZE refused); the result fails only
    // when the connection or the log-in does.
    virtual FtpResult size(const std::string& remote, std::int64_t& size) = 0;
    // Fetches remote into localPath from its first byte, replacing a file of that name.
    virtual FtpResult fetch(const std::string& remote, const std::string& localPath) = 0;
    // Stores localPath on the server as remote, replacing a file of that name.
    virtual FtpResult store(const std::string& localPath, const std::string& remote) = 0;
    // Logs out and closes the connection.
    virtual void disconnect() = 0;

protected:
    FtpClient() = default;

    FtpClientListener* listener() const { return listener_; }
    // Record the connection state and tell the listener of a change.
    void markConnected();
    void markDisconnected();
    // The listener's answer whether to go on; a listener that throws stops the call.
    bool keepGoing();
    // Tells the listener of progress when the count changed since the last report.
    void reportProgress(std::int64_t bytes);
    // Starts a call afresh: no progress reported yet, no listener failure.
    void resetProgress();
    std::int64_t lastProgress() const { return lastProgress_; }

private:
    FtpClientListener* listener_ = nullptr;
    std::string host_, user_, password_;
    std::int32_t port_ = 21;
    long connectTimeout_ = 30;
    long responseTimeout_ = 60;
    bool connected_ = false;
    std::int64_t lastProgress_ = -1;
    bool listenerFailed_ = false;
};

// The client of this system: libcurl on Linux, WinINet on Windows.
std::unique_ptr<FtpClient> makeFtpClient();

} // namespace spylerom::ftp
