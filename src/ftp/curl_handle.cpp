// The easy-handle owner and the mapping of libcurl's result codes.
#include "ftp/curl_handle.h"

#include <cstring>
#include <mutex>

namespace spylerom::ftp {

namespace {
std::once_flag g_globalInit;
} // namespace

CurlEasy::CurlEasy() {
    std::call_once(g_globalInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    handle_ = curl_easy_init();
}

CurlEasy::~CurlEasy() {
    if (handle_)
        curl_easy_cleanup(handle_); // sends QUIT on a connection still open
}

FtpResult resultOf(CURLcode code, const std::string& lastReply, long osErrno) {
    FtpStatus status = FtpStatus::TransferFailed;
    switch (code) {
    case CURLE_OK:
        return {};
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_FTP_WEIRD_SERVER_REPLY:
        status = FtpStatus::ConnectFailed;
        break;
    case CURLE_LOGIN_DENIED:
        status = FtpStatus::LoginDenied;
        break;
    case CURLE_REMOTE_FILE_NOT_FOUND:
        status = FtpStatus::RemoteNotFound;
        break;
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_UPLOAD_FAILED:
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_FTP_COULDNT_SET_TYPE:
    case CURLE_FTP_COULDNT_USE_REST:
    case CURLE_QUOTE_ERROR:
    case CURLE_REMOTE_DISK_FULL:
    case CURLE_REMOTE_FILE_EXISTS:
        status = FtpStatus::RemoteRefused;
        break;
    case CURLE_WRITE_ERROR:
    case CURLE_READ_ERROR:
    case CURLE_FILE_COULDNT_READ_FILE:
        status = FtpStatus::LocalFileFailed;
        break;
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_FTP_ACCEPT_TIMEOUT:
        status = FtpStatus::TimedOut;
        break;
    default:
        break; // broken or incomplete transfers, and anything new
    }
    std::string cause = curl_easy_strerror(code);
    if (status == FtpStatus::ConnectFailed && osErrno != 0)
        cause += ": " + std::string(std::strerror(static_cast<int>(osErrno)));
    return {status, failureMessage(cause, lastReply)};
}

std::string encodePath(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        }
    }
    return out;
}

} // namespace spylerom::ftp
