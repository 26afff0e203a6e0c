// Starts and stops the test FTP server script: as a child process on POSIX, through the launcher
// on Windows.
#include "ftp/ftp_test_server.h"

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>
#else
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace spylerom::test {

namespace {

constexpr int kStartTimeoutMs = 15000;
constexpr int kStopTimeoutMs = 5000;

// The value after "<key> " on a line of text, or empty.
std::string lineValue(const std::string& text, const std::string& key) {
    const auto at = text.find(key + " ");
    if (at == std::string::npos)
        return {};
    const auto end = text.find('\n', at);
    if (end == std::string::npos)
        return {};
    return text.substr(at + key.size() + 1, end - at - key.size() - 1);
}

} // namespace

bool makeFolder(const std::string& path) {
    std::error_code ec;
    return std::filesystem::create_directory(std::filesystem::path(std::u8string(path.begin(), path.end())),
                                             ec);
}

std::string FtpTestServer::file(const std::string& relative) const {
    std::string path = root_ + '/' + relative;
#ifdef _WIN32
    for (char& c : path)
        if (c == '/')
            c = '\\';
#endif
    return path;
}

#ifdef _WIN32

namespace {

// Connects to 127.0.0.1:port; INVALID_SOCKET when nothing answers.
SOCKET connectTo(int port) {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started)
        return INVALID_SOCKET;
    const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET)
        return s;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

// The Windows name of a path on this Linux machine (Wine's drive Z: is "/").
std::string windowsPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

} // namespace

FtpTestServer::FtpTestServer() {
    start();
}

void FtpTestServer::start() {
    const char* launcher = std::getenv("SPYLEROM_FTP_LAUNCHER_PORT");
    if (!launcher || !*launcher) {
        error_ =
            "no FTP server launcher: SPYLEROM_FTP_LAUNCHER_PORT is not set (scripts/test-win32.sh sets it)";
        return;
    }
    const SOCKET s = connectTo(std::atoi(launcher));
    if (s == INVALID_SOCKET) {
        error_ = std::string("the FTP server launcher does not answer on port ") + launcher;
        return;
    }
    control_ = static_cast<std::intptr_t>(s);
    const DWORD timeout = kStartTimeoutMs;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    std::string text;
    char buffer[512];
    while (lineValue(text, "PORT").empty()) {
        const int n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) {
            error_ = "the FTP server did not start: " + text;
            stop();
            return;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    root_ = windowsPath(lineValue(text, "ROOT"));
    log_ = windowsPath(lineValue(text, "LOG"));
    port_ = std::atoi(lineValue(text, "PORT").c_str());
}

FtpTestServer::~FtpTestServer() {
    stop();
}

void FtpTestServer::stop() {
    if (control_ == -1)
        return;
    closesocket(static_cast<SOCKET>(control_));
    control_ = -1;
    // The server ends when it sees its connection closed; then its port refuses.
    for (int waited = 0; port_ > 0 && waited < kStopTimeoutMs; waited += 50) {
        const SOCKET probe = connectTo(port_);
        if (probe == INVALID_SOCKET)
            return;
        closesocket(probe);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

#else

namespace {

// Reads the "PORT <n>" line the script prints once it listens.
int readPort(int fd, std::string& error) {
    std::string text;
    char buffer[256];
    for (int waited = 0; waited < kStartTimeoutMs; waited += 100) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (const std::string port = lineValue(text, "PORT"); !port.empty())
            return std::stoi(port);
    }
    error = "the FTP server did not start: " + text;
    return 0;
}

} // namespace

FtpTestServer::FtpTestServer() : root_(rootDir_.path()), log_(scratch_.file("commands.log")) {
    start();
}

void FtpTestServer::start() {
    int input[2], output[2];
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
        error_ = std::strerror(errno);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    std::vector<std::string> args = {SPYLEROM_FTP_PYTHON,
                                     SPYLEROM_FTP_SERVER_SCRIPT,
                                     "--root",
                                     root_,
                                     "--user",
                                     kUser,
                                     "--password",
                                     kPassword,
                                     "--log",
                                     log_,
                                     "--lifetime",
                                     "600"};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    close(output[1]);
    control_ = input[1];
    if (rc != 0) {
        error_ = std::string("cannot start ") + SPYLEROM_FTP_PYTHON + ": " + std::strerror(rc);
    } else {
        pid_ = pid;
        port_ = readPort(output[0], error_);
    }
    close(output[0]);
    if (!ok())
        stop();
}

FtpTestServer::~FtpTestServer() {
    stop();
}

void FtpTestServer::stop() {
    if (control_ >= 0) {
        close(control_);
        control_ = -1;
    }
    if (pid_ <= 0)
        return;
    for (int waited = 0; waited < kStopTimeoutMs; waited += 20) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        usleep(20000);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

#endif

std::string FtpTestServer::commands() const {
    return readText(log_);
}

} // namespace spylerom::test
