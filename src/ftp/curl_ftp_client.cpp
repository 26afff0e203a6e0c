// The libcurl FTP client. Each operation is one transfer of the easy handle inside the session's
// multi handle; the multi handle keeps the logged-in control connection between them (at most
// one connection cached) and sends QUIT when the session ends.
#include "ftp/curl_ftp_client.h"

#include "ftp/curl_handle.h"
#include "platform/platform.h"

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>

namespace spylerom::ftp {

namespace {

constexpr int kPollMs = 50; // how long a wait may run before the listener is asked again

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

// A complete reply line of the server ("550 No such file."), or empty for anything else.
std::string replyLine(const char* data, size_t bytes) {
    std::string line(data, bytes);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    const bool numbered = line.size() >= 4 && std::isdigit(static_cast<unsigned char>(line[0])) &&
                          std::isdigit(static_cast<unsigned char>(line[1])) &&
                          std::isdigit(static_cast<unsigned char>(line[2])) && line[3] == ' ';
    return numbered ? line : std::string();
}

} // namespace

// The easy and multi handles and what the callbacks need while one transfer runs.
class CurlFtpClient::Session {
public:
    explicit Session(CurlFtpClient& owner) : owner_(owner), multi_(curl_multi_init()) {}
    ~Session() {
        if (multi_)
            curl_multi_cleanup(multi_); // QUIT on a connection still cached
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool valid() const { return static_cast<bool>(easy_) && multi_ != nullptr; }
    CURL* easy() const { return easy_.get(); }
    // Whether the control connection outlived the last transfer.
    bool alive() const { return alive_; }

    FtpResult run(const std::string& remote, const Request& request);

private:
    FtpResult prepare(const std::string& remote, const Request& request, CurlUrl& url);
    CURLcode perform();
    bool connectionAlive() const;
    static size_t header(char* data, size_t size, size_t count, void* self);
    static size_t write(char* data, size_t size, size_t count, void* self);
    static size_t read(char* data, size_t size, size_t count, void* self);
    static int progress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded);

    CurlFtpClient& owner_;
    CurlEasy easy_;
    CURLM* multi_;
    Request request_;
    std::string lastReply_;
    std::int64_t moved_ = 0; // bytes of the data transfer so far, both ways
    std::chrono::steady_clock::time_point lastMove_;
    bool cancelled_ = false;
    bool stalled_ = false;
    bool alive_ = false;
};

FtpResult CurlFtpClient::Session::prepare(const std::string& remote, const Request& request, CurlUrl& url) {
    const std::string port = std::to_string(owner_.port());
    const std::string path = "/" + encodePath(remote);
    if (!url.get() || curl_url_set(url.get(), CURLUPART_SCHEME, "ftp", 0) != CURLUE_OK)
        return {FtpStatus::ConnectFailed, "libcurl could not make a URL"};
    if (owner_.host().empty() ||
        curl_url_set(url.get(), CURLUPART_HOST, owner_.host().c_str(), 0) != CURLUE_OK)
        return {FtpStatus::ConnectFailed, "not a host name: \"" + owner_.host() + "\""};
    if (curl_url_set(url.get(), CURLUPART_PORT, port.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_PATH, path.c_str(), 0) != CURLUE_OK)
        return {FtpStatus::ConnectFailed, "not a usable port or path: " + port + " " + remote};

    CURL* h = easy_.get();
    curl_easy_reset(h); // options only; the cached connection stays
    curl_easy_setopt(h, CURLOPT_CURLU, url.get());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(h, CURLOPT_USERNAME, owner_.username().c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, owner_.password().c_str());
    curl_easy_setopt(h, CURLOPT_MAXCONNECTS, 1L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_IPRESOLVE, static_cast<long>(CURL_IPRESOLVE_V4));
    curl_easy_setopt(h, CURLOPT_PROXY, "");
    curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_NONE));
    curl_easy_setopt(h, CURLOPT_FTPPORT, "-"); // active data connections from the control address
    curl_easy_setopt(h, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 0L); // type I: the bytes arrive as they were sent
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, owner_.connectTimeout());
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, owner_.responseTimeout());
    curl_easy_setopt(h, CURLOPT_ACCEPTTIMEOUT_MS, owner_.responseTimeout() * 1000L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, owner_.responseTimeout());
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, header);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, this);
    // A fetch reads to the end of the data and then the server's verdict on it, rather than
    // stopping at a size it announced: the verdict ("426 ...") says why data went missing.
    curl_easy_setopt(h, CURLOPT_IGNORE_CONTENT_LENGTH, request.sink ? 1L : 0L);
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

FtpResult CurlFtpClient::Session::run(const std::string& remote, const Request& request) {
    CurlUrl url;
    if (FtpResult prepared = prepare(remote, request, url); !prepared.ok())
        return prepared;
    request_ = request;
    lastReply_.clear();
    cancelled_ = false;
    stalled_ = false;
    owner_.resetProgress();
    const CURLcode code = perform();
    curl_easy_setopt(easy_.get(), CURLOPT_CURLU, nullptr); // url dies with this scope
    request_ = Request{};
    if (cancelled_)
        return {FtpStatus::Cancelled, failureMessage("cancelled by the user", lastReply_)};
    if (stalled_)
        return {FtpStatus::TimedOut,
                failureMessage("no data moved for " + std::to_string(owner_.responseTimeout()) + " seconds",
                               lastReply_)};
    long osErrno = 0;
    curl_easy_getinfo(easy_.get(), CURLINFO_OS_ERRNO, &osErrno);
    return resultOf(code, lastReply_, osErrno);
}

// Drives the transfer to its end, asking the listener between waits; a "stop" removes the
// transfer at once, which closes its connection. A data transfer whose bytes stop moving for the
// response time is ended here: libcurl's own low-speed check averages over several seconds more.
CURLcode CurlFtpClient::Session::perform() {
    CURL* h = easy_.get();
    moved_ = 0;
    lastMove_ = std::chrono::steady_clock::now();
    const auto stallLimit = std::chrono::seconds(owner_.responseTimeout());
    if (curl_multi_add_handle(multi_, h) != CURLM_OK)
        return CURLE_FAILED_INIT;
    CURLcode code = CURLE_OK;
    bool done = false;
    while (!done) {
        int running = 0;
        if (curl_multi_perform(multi_, &running) != CURLM_OK) {
            code = CURLE_OUT_OF_MEMORY;
            break;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == h) {
                code = message->data.result;
                done = true;
            }
        }
        if (done)
            break;
        if (!owner_.keepGoing()) {
            cancelled_ = true;
            break;
        }
        if (request_.work && std::chrono::steady_clock::now() - lastMove_ > stallLimit) {
            stalled_ = true;
            break;
        }
        if (curl_multi_poll(multi_, nullptr, 0, kPollMs, nullptr) != CURLM_OK) {
            code = CURLE_OUT_OF_MEMORY;
            break;
        }
    }
    // The connection is found through the multi handle only while the transfer is still in it.
    alive_ = done && connectionAlive();
    curl_multi_remove_handle(multi_, h);
    return code;
}

bool CurlFtpClient::Session::connectionAlive() const {
    curl_socket_t socket = CURL_SOCKET_BAD;
    return curl_easy_getinfo(easy_.get(), CURLINFO_ACTIVESOCKET, &socket) == CURLE_OK &&
           socket != CURL_SOCKET_BAD;
}

size_t CurlFtpClient::Session::header(char* data, size_t size, size_t count, void* self) {
    auto* session = static_cast<Session*>(self);
    const size_t bytes = size * count;
    if (std::string line = replyLine(data, bytes); !line.empty())
        session->lastReply_ = std::move(line);
    return bytes;
}

size_t CurlFtpClient::Session::write(char* data, size_t size, size_t count, void* self) {
    auto* session = static_cast<Session*>(self);
    const size_t bytes = size * count;
    if (!session->request_.sink || !session->request_.sink->write(data, static_cast<std::streamsize>(bytes)))
        return 0; // libcurl reports CURLE_WRITE_ERROR
    return bytes;
}

size_t CurlFtpClient::Session::read(char* data, size_t size, size_t count, void* self) {
    auto* session = static_cast<Session*>(self);
    std::istream* source = session->request_.source;
    if (!source)
        return CURL_READFUNC_ABORT;
    source->read(data, static_cast<std::streamsize>(size * count));
    if (source->bad() || (source->fail() && !source->eof()))
        return CURL_READFUNC_ABORT;
    return static_cast<size_t>(source->gcount());
}

int CurlFtpClient::Session::progress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                                     curl_off_t uploaded) {
    auto* session = static_cast<Session*>(self);
    if (!session->request_.work)
        return 0;
    if (downloaded + uploaded != session->moved_) {
        session->moved_ = downloaded + uploaded;
        session->lastMove_ = std::chrono::steady_clock::now();
    }
    const bool upload = *session->request_.work == FtpDirection::Upload;
    const curl_off_t bytes = upload ? uploaded : downloaded;
    if (bytes > 0 || session->owner_.lastProgress() >= 0)
        session->owner_.reportProgress(bytes);
    return 0; // a stop is the transfer loop's business
}

std::unique_ptr<FtpClient> makeFtpClient() {
    return std::make_unique<CurlFtpClient>();
}

CurlFtpClient::CurlFtpClient() = default;

CurlFtpClient::~CurlFtpClient() {
    setListener(nullptr); // the listener may be gone already
    disconnect();
}

FtpResult CurlFtpClient::connect() {
    disconnect();
    session_ = std::make_unique<Session>(*this);
    if (!session_->valid()) {
        session_.reset();
        return {FtpStatus::ConnectFailed, "libcurl could not start a session"};
    }
    Request request;
    request.nobody = true; // logs in on the server's root URL without a transfer
    FtpResult result = session_->run("", request);
    if (result.ok() && !session_->alive())
        result = {FtpStatus::ConnectFailed, "the server closed the connection after the log-in"};
    if (!result.ok()) {
        session_.reset();
        return result;
    }
    markConnected();
    return result;
}

FtpResult CurlFtpClient::size(const std::string& remote, std::int64_t& size) {
    size = -1;
    if (!connected())
        return {FtpStatus::NotConnected, "not connected"};
    Request request;
    request.nobody = true;
    FtpResult result = session_->run(remote, request);
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

FtpResult CurlFtpClient::fetch(const std::string& remote, const std::string& localPath) {
    if (!connected())
        return {FtpStatus::NotConnected, "not connected"};
    // A new file, never one resumed; a link planted at the name is removed, not followed.
    platform::Error ignored;
    platform::sys().deleteFile(localPath, ignored);
    std::ofstream out(nativePath(localPath), std::ios::binary | std::ios::trunc);
    if (!out)
        return {FtpStatus::LocalFileFailed, "cannot create " + localPath};
    const FtpDirection work = FtpDirection::Download;
    if (listener())
        listener()->ftpWorkBegin(work);
    Request request;
    request.sink = &out;
    request.work = &work;
    FtpResult result = session_->run(remote, request);
    out.close();
    if (result.ok() && !out)
        result = {FtpStatus::LocalFileFailed, "cannot write " + localPath};
    if (result.ok()) {
        curl_off_t bytes = 0;
        curl_easy_getinfo(session_->easy(), CURLINFO_SIZE_DOWNLOAD_T, &bytes);
        reportProgress(bytes);
    }
    afterOperation();
    return result;
}

FtpResult CurlFtpClient::store(const std::string& localPath, const std::string& remote) {
    if (!connected())
        return {FtpStatus::NotConnected, "not connected"};
    std::ifstream in(nativePath(localPath), std::ios::binary);
    std::error_code ec;
    const auto fileSize = std::filesystem::file_size(nativePath(localPath), ec);
    if (!in || ec)
        return {FtpStatus::LocalFileFailed, "cannot read " + localPath};
    const FtpDirection work = FtpDirection::Upload;
    if (listener())
        listener()->ftpWorkBegin(work);
    Request request;
    request.source = &in;
    request.uploadSize = static_cast<std::int64_t>(fileSize);
    request.work = &work;
    FtpResult result = session_->run(remote, request);
    if (result.ok()) {
        curl_off_t bytes = 0;
        curl_easy_getinfo(session_->easy(), CURLINFO_SIZE_UPLOAD_T, &bytes);
        reportProgress(bytes);
    }
    afterOperation();
    return result;
}

void CurlFtpClient::disconnect() {
    session_.reset(); // QUIT and close
    markDisconnected();
}

void CurlFtpClient::afterOperation() {
    // A failure that took the connection with it leaves the client disconnected.
    if (connected() && !session_->alive())
        disconnect();
}

} // namespace spylerom::ftp
