// The WinINet FTP client. WinINet blocks inside its calls and keeps the server's last reply per
// thread, so each operation is one worker thread that makes the calls and collects their error
// code and reply, while the caller moves the data between the local file and the worker in
// chunks, reports progress and polls its listener. The one table of WinINet's codes is here.
#include "ftp/win32/wininet_ftp_client.h"

#include "ftp/kodtekst.h"
#include "platform/platform.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

namespace spylerom::ftp {

// What the caller and one worker share; the worker keeps it alive after the caller gave up on it.
struct WinInetFtpClient::Job {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> chunks; // data in flight: fetch worker -> caller, store caller -> worker
    bool sourceDone = false;        // store: the caller has handed over the whole file
    bool finished = false;
    bool abandoned = false;
    std::int64_t moved = 0;         // bytes through WinINet so far
    HINTERNET file = nullptr;       // the open data transfer, closed by whoever stops it
    HINTERNET connection = nullptr; // the connection a connect job made
    // InternetOpenW's handle, open as long as any worker runs: one left inside WinINet after the
    // caller gave up must never meet it closed, even past the client's end.
    std::shared_ptr<void> internet;
    // The outcome.
    bool ok = false;
    DWORD error = 0;
    std::string reply;
    std::int64_t size = -1;
};

namespace {

using Clock = std::chrono::steady_clock;
using Job = WinInetFtpClient::Job;

constexpr DWORD kChunk = 16384;
constexpr std::size_t kQueued = 16; // chunks in flight between the file and the worker
constexpr auto kPoll = std::chrono::milliseconds(50);
constexpr auto kGrace = std::chrono::milliseconds(500); // for a stopped worker to end by itself

std::wstring wide(const std::string& utf8) {
    const std::u16string text = utf8ToUtf16(utf8);
    return std::wstring(text.begin(), text.end());
}

// WinINet sends user name, password and file names in the system's ANSI code page, where the
// server reads UTF-8 (RFC 2640): the text handed over is the one whose ANSI form is the UTF-8.
std::wstring serverText(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, utf8.data(), size, nullptr, 0);
    if (length <= 0)
        return wide(utf8);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, utf8.data(), size, text.data(), length);
    return text;
}

std::string fromAnsi(const char* text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1)
        return {};
    std::wstring buffer(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, buffer.data(), length);
    buffer.resize(static_cast<std::size_t>(length - 1));
    return utf16ToUtf8(std::u16string(buffer.begin(), buffer.end()));
}

// The server's last reply on this thread (WinINet keeps it per thread), its last line only;
// empty when WinINet holds none.
std::string lastReply() {
    char buffer[1024] = {};
    DWORD error = 0;
    DWORD length = sizeof buffer - 1;
    if (!InternetGetLastResponseInfoA(&error, buffer, &length))
        return {};
    buffer[std::min<DWORD>(length, sizeof buffer - 1)] = '\0';
    std::string text = buffer;
    if (utf16ToUtf8(utf8ToUtf16(text)) != text) // not UTF-8: the server's own code page
        text = fromAnsi(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    const auto cut = text.find_last_of("\r\n");
    return cut == std::string::npos ? text : text.substr(cut + 1);
}

int replyCode(const std::string& reply) {
    if (reply.size() < 3 ||
        !std::all_of(reply.begin(), reply.begin() + 3, [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    return std::stoi(reply.substr(0, 3));
}

// Records a failed call's error and reply (this thread's) in the job.
void recordFailure(Job& job) {
    job.error = GetLastError();
    job.reply = lastReply();
    job.ok = false;
}

std::string errorText(DWORD error) {
    switch (error) {
    case ERROR_INTERNET_TIMEOUT:
        return "the server did not answer in time";
    case ERROR_INTERNET_EXTENDED_ERROR:
        return "the server refused the request";
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
        return "no such host";
    case ERROR_INTERNET_LOGIN_FAILURE:
        return "the log-in was refused";
    case ERROR_INTERNET_OPERATION_CANCELLED:
        return "the operation was cancelled";
    case ERROR_INTERNET_CANNOT_CONNECT:
        return "cannot connect to the server";
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
    case ERROR_FTP_DROPPED:
        return "the connection broke off";
    case ERROR_FTP_TRANSFER_IN_PROGRESS:
        return "the server closed the connection";
    default:
        break;
    }
    wchar_t* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                        FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD length = FormatMessageW(flags, GetModuleHandleW(L"wininet.dll"), error, 0,
                                        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length > 0 && text) {
        message = utf16ToUtf8(std::u16string(text, text + length));
        while (!message.empty() &&
               (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
            message.pop_back();
    }
    if (text)
        LocalFree(text);
    return message.empty() ? "WinINet error " + std::to_string(error) : message;
}

// What a WinINet failure means for the caller: the one table of WinINet's codes and the FTP
// replies they carry. A 550 means "no such file" for a fetch and a refusal for anything else.
FtpResult resultOf(DWORD error, const std::string& reply, bool connecting, bool fetching) {
    const int code = replyCode(reply);
    FtpStatus status = FtpStatus::TransferFailed;
    if (error == ERROR_INTERNET_TIMEOUT)
        status = FtpStatus::TimedOut;
    else if (error == ERROR_INTERNET_OPERATION_CANCELLED)
        status = FtpStatus::Cancelled;
    else if (error == ERROR_INTERNET_LOGIN_FAILURE || code == 530)
        status = FtpStatus::LoginDenied;
    else if (connecting)
        status = FtpStatus::ConnectFailed;
    else if (code == 550 && fetching)
        status = FtpStatus::RemoteNotFound;
    else if (code == 426 || code == 421 || code == 451)
        status = FtpStatus::TransferFailed;
    else if (code >= 400)
        status = FtpStatus::RemoteRefused;
    return {status, failureMessage(errorText(error), reply)};
}

// A failure whose connection is gone with it: no reply from the server, or its farewell.
bool connectionLost(const FtpResult& result, const std::string& reply) {
    const int code = replyCode(reply);
    return !result.ok() && (code == 0 || code == 421 || result.status == FtpStatus::TimedOut ||
                            result.status == FtpStatus::Cancelled);
}

// Marks the job finished however the worker leaves it.
class Finish {
public:
    explicit Finish(Job& job) : job_(job) {}
    ~Finish() {
        {
            const std::lock_guard<std::mutex> lock(job_.mutex);
            job_.finished = true;
        }
        job_.changed.notify_all();
    }
    Finish(const Finish&) = delete;
    Finish& operator=(const Finish&) = delete;

private:
    Job& job_;
};

// Hands the open data transfer to the job, unless the caller gave up already: then it is closed.
bool adoptFile(Job& job, HINTERNET file) {
    const std::lock_guard<std::mutex> lock(job.mutex);
    if (job.abandoned) {
        InternetCloseHandle(file);
        return false;
    }
    job.file = file;
    return true;
}

// Takes the data transfer back for closing; nullptr when the caller closed it already.
HINTERNET releaseFile(Job& job) {
    const std::lock_guard<std::mutex> lock(job.mutex);
    HINTERNET file = job.file;
    job.file = nullptr;
    return job.abandoned ? nullptr : file;
}

// Closes a finished data transfer (WinINet then reads the server's verdict) and judges it.
void closeTransfer(Job& job, HINTERNET file) {
    if (!file)
        return;
    SetLastError(0);
    InternetCloseHandle(file);
    const std::string reply = lastReply();
    if (replyCode(reply) >= 400) {
        job.ok = false;
        job.error = ERROR_INTERNET_EXTENDED_ERROR;
        job.reply = reply;
    } else {
        job.ok = true;
    }
}

void connectWork(Job& job, HINTERNET internet, std::wstring host, INTERNET_PORT port, std::wstring user,
                 std::wstring password) {
    const Finish finish(job);
    HINTERNET connection = InternetConnectW(internet, host.c_str(), port, user.c_str(), password.c_str(),
                                            INTERNET_SERVICE_FTP, 0 /* active data connections */, 0);
    if (!connection) {
        recordFailure(job);
        return;
    }
    const std::lock_guard<std::mutex> lock(job.mutex);
    if (job.abandoned) {
        InternetCloseHandle(connection);
        return;
    }
    job.connection = connection;
    job.ok = true;
}

// SIZE under type I; where WinINet gives no reply for a command that succeeded, the listing of
// the one file gives its size instead.
void sizeWork(Job& job, HINTERNET session, std::wstring remote) {
    const Finish finish(job);
    if (!FtpCommandW(session, FALSE, FTP_TRANSFER_TYPE_BINARY, L"TYPE I", 0, nullptr)) {
        recordFailure(job);
        return;
    }
    const std::wstring command = L"SIZE " + remote;
    if (!FtpCommandW(session, FALSE, FTP_TRANSFER_TYPE_BINARY, command.c_str(), 0, nullptr)) {
        recordFailure(job);
        job.ok = replyCode(job.reply) >= 500; // the server answered: it has no size for that name
        return;
    }
    const std::string reply = lastReply();
    if (replyCode(reply) == 213) {
        try {
            job.size = std::stoll(reply.substr(4));
        } catch (...) {
            job.size = -1;
        }
        job.ok = true;
        return;
    }
    WIN32_FIND_DATAW found{};
    HINTERNET find = FtpFindFirstFileW(session, remote.c_str(), &found, INTERNET_FLAG_RELOAD, 0);
    if (!find) {
        recordFailure(job);
        job.ok = job.error == ERROR_NO_MORE_FILES || replyCode(job.reply) >= 500;
        return;
    }
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        job.size = (static_cast<std::int64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    InternetCloseHandle(find);
    job.ok = true;
}

void fetchWork(Job& job, HINTERNET session, std::wstring remote) {
    const Finish finish(job);
    HINTERNET file = FtpOpenFileW(session, remote.c_str(), GENERIC_READ,
                                  FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, 0);
    if (!file) {
        recordFailure(job);
        return;
    }
    if (!adoptFile(job, file))
        return;
    std::string buffer(kChunk, '\0');
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(file, buffer.data(), kChunk, &read)) {
            recordFailure(job);
            closeTransfer(job, releaseFile(job));
            job.ok = false;
            return;
        }
        if (read == 0)
            break;
        std::unique_lock<std::mutex> lock(job.mutex);
        job.changed.wait(lock, [&] { return job.abandoned || job.chunks.size() < kQueued; });
        if (job.abandoned)
            return;
        job.chunks.emplace_back(buffer.data(), read);
        job.moved += read;
        lock.unlock();
        job.changed.notify_all();
    }
    closeTransfer(job, releaseFile(job));
}

void storeWork(Job& job, HINTERNET session, std::wstring remote) {
    const Finish finish(job);
    HINTERNET file = FtpOpenFileW(session, remote.c_str(), GENERIC_WRITE, FTP_TRANSFER_TYPE_BINARY, 0);
    if (!file) {
        recordFailure(job);
        return;
    }
    if (!adoptFile(job, file))
        return;
    for (;;) {
        std::unique_lock<std::mutex> lock(job.mutex);
        job.changed.wait(lock, [&] { return job.abandoned || job.sourceDone || !job.chunks.empty(); });
        if (job.abandoned)
            return;
        if (job.chunks.empty())
            break; // the whole file went out
        std::string chunk = std::move(job.chunks.front());
        job.chunks.pop_front();
        lock.unlock();
        job.changed.notify_all();
        std::size_t sent = 0;
        while (sent < chunk.size()) {
            DWORD written = 0;
            if (!InternetWriteFile(file, chunk.data() + sent, static_cast<DWORD>(chunk.size() - sent),
                                   &written) ||
                written == 0) {
                recordFailure(job);
                closeTransfer(job, releaseFile(job));
                job.ok = false;
                return;
            }
            sent += written;
            const std::lock_guard<std::mutex> moved(job.mutex);
            job.moved += written;
        }
    }
    closeTransfer(job, releaseFile(job));
}

std::filesystem::path nativePath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// Starts work on a worker of its own; the worker holds the job as long as it runs.
std::thread startWorker(const std::shared_ptr<Job>& job, std::function<void(Job&)> work) {
    return std::thread([job, work = std::move(work)] { work(*job); });
}

// Joins a worker that finished, or finishes within the grace time; one still inside WinINet
// after that is left to end by itself.
void finishWorker(const std::shared_ptr<Job>& job, std::thread& worker) {
    bool finished = false;
    {
        std::unique_lock<std::mutex> lock(job->mutex);
        finished = job->changed.wait_for(lock, kGrace, [&] { return job->finished; });
    }
    if (finished)
        worker.join();
    else
        worker.detach();
}

} // namespace

std::unique_ptr<FtpClient> makeFtpClient() {
    return std::make_unique<WinInetFtpClient>();
}

WinInetFtpClient::WinInetFtpClient() = default;

WinInetFtpClient::~WinInetFtpClient() {
    setListener(nullptr); // the listener may be gone already
    disconnect();
}

std::shared_ptr<WinInetFtpClient::Job> WinInetFtpClient::newJob() const {
    auto job = std::make_shared<Job>();
    job->internet = internet_;
    return job;
}

FtpResult WinInetFtpClient::wait(const std::shared_ptr<Job>& job, Phase phase, long limitSeconds,
                                 std::ostream* sink, std::istream* source) {
    const bool work = phase == Phase::Fetch || phase == Phase::Store;
    const auto limit = std::chrono::seconds(limitSeconds);
    auto lastMove = Clock::now();
    std::int64_t seen = 0;
    bool sourceEnded = source == nullptr;
    FtpResult local; // a failure of the local file
    bool cancelled = false, stalled = false;
    for (;;) {
        std::deque<std::string> arrived;
        std::size_t queued = 0;
        bool finished = false;
        std::int64_t moved = 0;
        {
            std::unique_lock<std::mutex> lock(job->mutex);
            job->changed.wait_for(lock, kPoll, [&] {
                return job->finished || (sink && !job->chunks.empty()) ||
                       (!sourceEnded && job->chunks.size() < kQueued);
            });
            if (sink)
                arrived.swap(job->chunks);
            queued = job->chunks.size();
            finished = job->finished;
            moved = job->moved;
        }
        job->changed.notify_all();
        for (const auto& chunk : arrived)
            if (!sink->write(chunk.data(), static_cast<std::streamsize>(chunk.size())))
                local = {FtpStatus::LocalFileFailed, "cannot write the local file"};
        while (!sourceEnded && !finished && queued < kQueued) {
            std::string chunk(kChunk, '\0');
            source->read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            if (source->bad() || (source->fail() && !source->eof())) {
                local = {FtpStatus::LocalFileFailed, "cannot read the local file"};
                break;
            }
            chunk.resize(static_cast<std::size_t>(source->gcount()));
            const std::lock_guard<std::mutex> lock(job->mutex);
            if (!chunk.empty())
                job->chunks.push_back(std::move(chunk));
            if (source->eof()) {
                sourceEnded = true;
                job->sourceDone = true;
            }
            queued = job->chunks.size();
        }
        job->changed.notify_all();
        if (work) {
            if (moved > 0 || lastProgress() >= 0)
                reportProgress(moved);
            if (moved != seen) {
                seen = moved;
                lastMove = Clock::now();
            }
        }
        if (finished)
            break;
        if (!local.ok())
            break;
        if (!keepGoing()) {
            cancelled = true;
            break;
        }
        if (Clock::now() - lastMove > limit) {
            stalled = true;
            break;
        }
    }
    if (!local.ok() || cancelled || stalled) {
        abandon(job);
        if (!local.ok())
            return local;
        if (cancelled)
            return {FtpStatus::Cancelled, "cancelled by the user"};
        return {FtpStatus::TimedOut,
                "the server did not answer or send data for " + std::to_string(limitSeconds) + " seconds"};
    }
    if (job->ok)
        return {};
    return resultOf(job->error, job->reply, phase == Phase::Connect, phase == Phase::Fetch);
}

// Stops a job the caller no longer waits for: its data transfer and the connection are closed
// (which ends WinINet's waits where it can), and a worker still inside WinINet is left to end by
// itself; it holds nothing but the job and its own references.
void WinInetFtpClient::abandon(const std::shared_ptr<Job>& job) {
    HINTERNET file = nullptr;
    {
        const std::lock_guard<std::mutex> lock(job->mutex);
        job->abandoned = true;
        file = job->file;
        job->file = nullptr;
    }
    job->changed.notify_all();
    if (file)
        InternetCloseHandle(file);
    closeSession();
}

FtpResult WinInetFtpClient::connect() {
    disconnect();
    if (host().empty())
        return {FtpStatus::ConnectFailed, "not a host name: \"\""};
    if (!internet_) {
        HINTERNET opened = InternetOpenW(L"Spylerom", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        if (!opened)
            return {FtpStatus::ConnectFailed, errorText(GetLastError())};
        internet_ = std::shared_ptr<void>(opened, [](void* handle) { InternetCloseHandle(handle); });
    }
    auto* internet = static_cast<HINTERNET>(internet_.get());
    DWORD connectMs = static_cast<DWORD>(connectTimeout() * 1000);
    DWORD responseMs = static_cast<DWORD>(responseTimeout() * 1000);
    InternetSetOptionW(internet, INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof connectMs);
    InternetSetOptionW(internet, INTERNET_OPTION_RECEIVE_TIMEOUT, &responseMs, sizeof responseMs);
    InternetSetOptionW(internet, INTERNET_OPTION_SEND_TIMEOUT, &responseMs, sizeof responseMs);

    resetProgress();
    auto job = newJob();
    std::thread worker = startWorker(
        job, [internet, h = wide(host()), p = static_cast<INTERNET_PORT>(port()), u = serverText(username()),
              w = serverText(password())](Job& j) { connectWork(j, internet, h, p, u, w); });
    const FtpResult result =
        wait(job, Phase::Connect, connectTimeout() + responseTimeout(), nullptr, nullptr);
    finishWorker(job, worker);
    if (!result.ok())
        return result;
    {
        const std::lock_guard<std::mutex> lock(job->mutex);
        session_ = job->connection;
        job->connection = nullptr;
    }
    markConnected();
    return result;
}

FtpResult WinInetFtpClient::size(const std::string& remote, std::int64_t& size) {
    size = -1;
    if (!connected())
        return {FtpStatus::NotConnected, "not connected"};
    resetProgress();
    auto job = newJob();
    std::thread worker = startWorker(job, [session = static_cast<HINTERNET>(session_),
                                           r = serverText(remote)](Job& j) { sizeWork(j, session, r); });
    FtpResult result = wait(job, Phase::Command, responseTimeout(), nullptr, nullptr);
    finishWorker(job, worker);
    if (result.ok()) {
        size = job->size;
        sizes_[remote] = size;
    } else if (connectionLost(result, job->reply))
        disconnect();
    return result;
}

FtpResult WinInetFtpClient::fetch(const std::string& remote, const std::string& localPath) {
    if (!connected())
        return {FtpStatus::NotConnected, "not connected"};
    // A new file, never one resumed; a link planted at the name is removed, not followed.
    platform::Error ignored;
    platform::sys().deleteFile(localPath, ignored);
    std::ofstream out(nativePath(localPath), std::ios::binary | std::ios::trunc);
    if (!out)
        return {FtpStatus::LocalFileFailed, "cannot create " + localPath};
    const std::int64_t expected = sizeOf(remote);
    if (listener())
        listener()->ftpWorkBegin(FtpDirection::Download);
    resetProgress();
    auto job = newJob();
    std::thread worker = startWorker(job, [session = static_cast<HINTERNET>(session_),
                                           r = serverText(remote)](Job& j) { fetchWork(j, session, r); });
    FtpResult result = wait(job, Phase::Fetch, responseTimeout(), &out, nullptr);
    finishWorker(job, worker);
    out.close();
    if (result.ok() && !out)
        result = {FtpStatus::LocalFileFailed, "cannot write " + localPath};
    // WinINet may keep the server's verdict on the data to itself; a size the server gave before
    // tells a transfer that broke off early from a whole one.
    if (result.ok() && expected >= 0 && job->moved != expected)
        result = {FtpStatus::TransferFailed, "the data ended after " + std::to_string(job->moved) + " of " +
                                                 std::to_string(expected) + " bytes"};
    if (result.ok())
        reportProgress(job->moved);
    else if (connectionLost(result, job->reply))
        disconnect();
    return result;
}

FtpResult WinInetFtpClient::store(const std::string& localPath, const std::string& remote) {
    if (!connected())
        return {FtpStatus::NotConnected, "not connected"};
    std::ifstream in(nativePath(localPath), std::ios::binary);
    if (!in)
        return {FtpStatus::LocalFileFailed, "cannot read " + localPath};
    if (listener())
        listener()->ftpWorkBegin(FtpDirection::Upload);
    resetProgress();
    auto job = newJob();
    std::thread worker = startWorker(job, [session = static_cast<HINTERNET>(session_),
                                           r = serverText(remote)](Job& j) { storeWork(j, session, r); });
    FtpResult result = wait(job, Phase::Store, responseTimeout(), nullptr, &in);
    finishWorker(job, worker);
    if (result.ok())
        reportProgress(job->moved);
    else if (connectionLost(result, job->reply))
        disconnect();
    return result;
}

void WinInetFtpClient::disconnect() {
    if (session_) {
        // WinINet closes without a word; the server is told goodbye first, within the response time.
        auto job = newJob();
        std::thread worker = startWorker(job, [session = static_cast<HINTERNET>(session_)](Job& j) {
            const Finish finish(j);
            j.ok = FtpCommandW(session, FALSE, FTP_TRANSFER_TYPE_BINARY, L"QUIT", 0, nullptr) != FALSE;
        });
        wait(job, Phase::Command, responseTimeout(), nullptr, nullptr);
        finishWorker(job, worker);
    }
    closeSession();
    sizes_.clear();
    markDisconnected();
}

std::int64_t WinInetFtpClient::sizeOf(const std::string& remote) const {
    const auto found = sizes_.find(remote);
    return found == sizes_.end() ? -1 : found->second;
}

void WinInetFtpClient::closeSession() {
    if (session_)
        InternetCloseHandle(static_cast<HINTERNET>(session_)); // QUIT and close
    session_ = nullptr;
}

} // namespace spylerom::ftp
