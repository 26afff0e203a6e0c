// The FTP client on one libcurl easy handle. Each operation is one transfer on that handle; the
// handle keeps the logged-in control connection between them (at most one connection cached).
#include "ftp/ftp_client.h"

#include "ftp/curl_handle.h"
#include "platform/platform.h"

#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>

namespace spylerom::ftp {

namespace {

std::filesystem::path nativePath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// What one transfer does besides talking to the server.
struct Request {
    bool nobody = false;            // commands only: log-in, SIZE
    std::ostream* sink = nullptr;   // fetch target
    std::istream* source = nullptr; // store source
    std::int64_t uploadSize = -1;
    const FtpDirection* work = nullptr; // set for data transfers
};

size_t discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

} // namespace

// The easy handle and what its callbacks need while one transfer runs.
class FtpClient::Session {
public:
    explicit Session(FtpClientListener* listener) : listener_(listener) {}

    bool valid() const { return static_cast<bool>(easy_); }
    CURL* easy() const { return easy_.get(); }

    FtpResult run(const FtpClient& client, const std::string& remote, const Request& request);
    bool connectionAlive() const;
    std::int64_t lastProgress() const { return lastProgress_; }
    void reportProgress(std::int64_t bytes);

private:
    FtpResult prepare(const FtpClient& client, const std::string& remote, const Request& request,
                      CurlUrl& url);
    static size_t write(char* data, size_t size, size_t count, void* self);
    static size_t read(char* data, size_t size, size_t count, void* self);
    static int progress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded);

    CurlEasy easy_;
    FtpClientListener* listener_;
    char error_[CURL_ERROR_SIZE] = {};
    Request request_;
    std::int64_t lastProgress_ = -1;
    bool listenerFailed_ = false;
};

FtpResult FtpClient::Session::prepare(const FtpClient& client, const std::string& remote,
                                      const Request& request, CurlUrl& url) {
    const std::string port = std::to_string(client.port());
    const std::string path = "/" + encodePath(remote);
    if (!url.get() || curl_url_set(url.get(), CURLUPART_SCHEME, "ftp", 0) != CURLUE_OK)
        return {FtpStatus::ConnectFailed, "libcurl could not make a URL"};
    if (client.host().empty() ||
        curl_url_set(url.get(), CURLUPART_HOST, client.host().c_str(), 0) != CURLUE_OK)
        return {FtpStatus::ConnectFailed, "not a host name: \"" + client.host() + "\""};
    if (curl_url_set(url.get(), CURLUPART_PORT, port.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_PATH, path.c_str(), 0) != CURLUE_OK)
        return {FtpStatus::ConnectFailed, "not a usable port or path: " + port + " " + remote};

    CURL* h = easy_.get();
    curl_easy_reset(h); // options only; the cached connection stays
    error_[0] = '\0';
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error_);
    curl_easy_setopt(h, CURLOPT_CURLU, url.get());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(h, CURLOPT_USERNAME, client.username().c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, client.password().c_str());
    curl_easy_setopt(h, CURLOPT_MAXCONNECTS, 1L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_IPRESOLVE, static_cast<long>(CURL_IPRESOLVE_V4));
    curl_easy_setopt(h, CURLOPT_PROXY, "");
    curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_NONE));
    curl_easy_setopt(h, CURLOPT_FTPPORT, "-"); // active data connections from the control address
    curl_easy_setopt(h, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 0L); // type I: the bytes arrive as they were sent
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, client.connectTimeout_);
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, client.responseTimeout_);
    curl_easy_setopt(h, CURLOPT_ACCEPTTIMEOUT_MS, client.responseTimeout_ * 1000L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, client.responseTimeout_);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, discard);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, request.sink ? write : discard);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(h, CURLOPT_NOBODY, request.nobody ? 1L : 0L);
    if (request.source) {
        curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(h, CURLOPT_READFUNCTION, read);
        curl_easy_setopt(h, CURLOPT_READDATA, this);
        curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(request.uploadSize));
    }
    if (request.work) {
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, progress);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
    }
    return {};
}

FtpResult FtpClient::Session::run(const FtpClient& client, const std::string& remote,
                                  const Request& request) {
    CurlUrl url;
    if (FtpResult prepared = prepare(client, remote, request, url); !prepared.ok())
        return prepared;
    request_ = request;
    lastProgress_ = -1;
    listenerFailed_ = false;
    const CURLcode code = curl_easy_perform(easy_.get());
    curl_easy_setopt(easy_.get(), CURLOPT_CURLU, nullptr); // url dies with this scope
    request_ = Request{};
    return resultOf(code, error_);
}

bool FtpClient::Session::connectionAlive() const {
    curl_socket_t socket = CURL_SOCKET_BAD;
    return curl_easy_getinfo(easy_.get(), CURLINFO_ACTIVESOCKET, &socket) == CURLE_OK &&
           socket != CURL_SOCKET_BAD;
}

void FtpClient::Session::reportProgress(std::int64_t bytes) {
    if (bytes == lastProgress_ || !listener_)
        return;
    lastProgress_ = bytes;
    try {
        listener_->ftpProgress(bytes);
    } catch (...) {
        listenerFailed_ = true; // never through libcurl's C frames; ends the transfer instead
    }
}

size_t FtpClient::Session::write(char* data, size_t size, size_t count, void* self) {
    auto* session = static_cast<Session*>(self);
    const size_t bytes = size * count;
    if (!session->request_.sink || !session->request_.sink->write(data, static_cast<std::streamsize>(bytes)))
        return 0; // libcurl reports CURLE_WRITE_ERROR
    return bytes;
}

size_t FtpClient::Session::read(char* data, size_t size, size_t count, void* self) {
    auto* session = static_cast<Session*>(self);
    std::istream* source = session->request_.source;
    if (!source)
        return CURL_READFUNC_ABORT;
    source->read(data, static_cast<std::streamsize>(size * count));
    if (source->bad() || (source->fail() && !source->eof()))
        return CURL_READFUNC_ABORT;
    return static_cast<size_t>(source->gcount());
}

int FtpClient::Session::progress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                                 curl_off_t uploaded) {
    auto* session = static_cast<Session*>(self);
    if (!session->request_.work)
        return 0;
    const bool upload = *session->request_.work == FtpDirection::Upload;
    const curl_off_t bytes = upload ? uploaded : downloaded;
    if (bytes > 0 || session->lastProgress_ >= 0)
        session->reportProgress(bytes);
    return session->listenerFailed_ ? 1 : 0;
}

FtpClient::FtpClient() = default;

FtpClient::~FtpClient() {
    listener_ = nullptr; // the listener may be gone already
    disconnect();
}

void FtpClient::setTimeouts(long connectSeconds, long responseSeconds) {
    connectTimeout_ = connectSeconds;
    responseTimeout_ = responseSeconds;
}

FtpResult FtpClient::connect() {
    disconnect();
    session_ = std::make_unique<Session>(listener_);
    if (!session_->valid()) {
        session_.reset();
        return {FtpStatus::ConnectFailed, "libcurl could not start a session"};
    }
    Request request;
    request.nobody = true; // logs in on the server's root URL without a transfer
    FtpResult result = session_->run(*this, "", request);
    if (result.ok() && !session_->connectionAlive())
        result = {FtpStatus::ConnectFailed, "the server closed the connection after the log-in"};
    if (!result.ok()) {
        session_.reset();
        return result;
    }
    connected_ = true;
    if (listener_)
        listener_->ftpConnected();
    return result;
}

FtpResult FtpClient::size(const std::string& remote, std::int64_t& size) {
    size = -1;
    if (!connected_)
        return {FtpStatus::NotConnected, "not connected"};
    Request request;
    request.nobody = true;
    FtpResult result = session_->run(*this, remote, request);
    if (result.ok()) {
        curl_off_t length = -1;
        if (curl_easy_getinfo(session_->easy(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK)
            size = length;
    } else if (result.status == FtpStatus::RemoteNotFound) {
        result = {}; // the server answered; it has no size for that name
    }
    afterOperation();
    return result;
}

FtpResult FtpClient::fetch(const std::string& remote, const std::string& localPath) {
    if (!connected_)
        return {FtpStatus::NotConnected, "not connected"};
    // A new file, never one resumed; a link planted at the name is removed, not followed.
    platform::Error ignored;
    platform::sys().deleteFile(localPath, ignored);
    std::ofstream out(nativePath(localPath), std::ios::binary | std::ios::trunc);
    if (!out)
        return {FtpStatus::LocalFileFailed, "cannot create " + localPath};
    const FtpDirection work = FtpDirection::Download;
    if (listener_)
        listener_->ftpWorkBegin(work);
    Request request;
    request.sink = &out;
    request.work = &work;
    FtpResult result = session_->run(*this, remote, request);
    out.close();
    if (result.ok() && !out)
        result = {FtpStatus::LocalFileFailed, "cannot write " + localPath};
    if (result.ok()) {
        curl_off_t bytes = 0;
        curl_easy_getinfo(session_->easy(), CURLINFO_SIZE_DOWNLOAD_T, &bytes);
        session_->reportProgress(bytes);
    }
    afterOperation();
    return result;
}

FtpResult FtpClient::store(const std::string& localPath, const std::string& remote) {
    if (!connected_)
        return {FtpStatus::NotConnected, "not connected"};
    std::ifstream in(nativePath(localPath), std::ios::binary);
    std::error_code ec;
    const auto fileSize = std::filesystem::file_size(nativePath(localPath), ec);
    if (!in || ec)
        return {FtpStatus::LocalFileFailed, "cannot read " + localPath};
    const FtpDirection work = FtpDirection::Upload;
    if (listener_)
        listener_->ftpWorkBegin(work);
    Request request;
    request.source = &in;
    request.uploadSize = static_cast<std::int64_t>(fileSize);
    request.work = &work;
    FtpResult result = session_->run(*this, remote, request);
    if (result.ok()) {
        curl_off_t bytes = 0;
        curl_easy_getinfo(session_->easy(), CURLINFO_SIZE_UPLOAD_T, &bytes);
        session_->reportProgress(bytes);
    }
    afterOperation();
    return result;
}

void FtpClient::disconnect() {
    session_.reset(); // QUIT and close
    if (connected_) {
        connected_ = false;
        if (listener_)
            listener_->ftpDisconnected();
    }
}

void FtpClient::afterOperation() {
    // A failure that took the connection with it leaves the client disconnected.
    if (connected_ && !session_->connectionAlive())
        disconnect();
}

} // namespace spylerom::ftp
