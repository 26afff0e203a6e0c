// What every FTP client shares: its settings, its connection state and the calls to its listener.
#include "ftp/ftp_client.h"

namespace spylerom::ftp {

std::string failureMessage(const std::string& cause, const std::string& lastReply) {
    if (lastReply.empty())
        return cause;
    return cause + " (the server's last reply: " + lastReply + ")";
}

void FtpClient::setTimeouts(long connectSeconds, long responseSeconds) {
    connectTimeout_ = connectSeconds;
    responseTimeout_ = responseSeconds;
}

void FtpClient::markConnected() {
    if (connected_)
        return;
    connected_ = true;
    if (listener_)
        listener_->ftpConnected();
}

void FtpClient::markDisconnected() {
    if (!connected_)
        return;
    connected_ = false;
    if (listener_)
        listener_->ftpDisconnected();
}

bool FtpClient::keepGoing() {
    if (listenerFailed_)
        return false;
    if (!listener_)
        return true;
    try {
        return listener_->ftpContinue();
    } catch (...) {
        listenerFailed_ = true; // never through a library's C frames; ends the call instead
        return false;
    }
}

void FtpClient::reportProgress(std::int64_t bytes) {
    if (bytes == lastProgress_ || !listener_)
        return;
    lastProgress_ = bytes;
    try {
        listener_->ftpProgress(bytes);
    } catch (...) {
        listenerFailed_ = true;
    }
}

void FtpClient::resetProgress() {
    lastProgress_ = -1;
    listenerFailed_ = false;
}

} // namespace spylerom::ftp
