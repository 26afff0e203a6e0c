// The libcurl pieces of the FTP client, kept out of its header: the owner of one easy handle and
// the one place where libcurl's result codes become FtpStatus values.
#pragma once

#include "ftp/ftp_client.h"

#include <curl/curl.h>

#include <string>

namespace spylerom::ftp {

// Owns one easy handle (and the connection it keeps); libcurl's global start runs once per
// process before the first handle. A handle that libcurl could not make is null.
class CurlEasy {
public:
    CurlEasy();
    ~CurlEasy();
    CurlEasy(const CurlEasy&) = delete;
    CurlEasy& operator=(const CurlEasy&) = delete;

    CURL* get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    CURL* handle_ = nullptr;
};

// Owns one parsed URL.
class CurlUrl {
public:
    CurlUrl() : url_(curl_url()) {}
    ~CurlUrl() { curl_url_cleanup(url_); }
    CurlUrl(const CurlUrl&) = delete;
    CurlUrl& operator=(const CurlUrl&) = delete;

    CURLU* get() const { return url_; }

private:
    CURLU* url_;
};

// What a libcurl result means for the caller, in the one table of libcurl's codes. The message
// is the code's own text (with the system's reason for a refused connection) and the server's
// last reply; libcurl's error buffer is not used: it keeps the first message of a transfer, which
// is often a harmless step on the way (the active-mode address probe) rather than the failure.
FtpResult resultOf(CURLcode code, const std::string& lastReply, long osErrno);

// An FTP path percent-encoded for a URL; "/" stays a separator.
std::string encodePath(const std::string& path);

} // namespace spylerom::ftp
