// Starts and stops the test FTP server script.
#include "ftp/ftp_test_server.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace spylerom::test {

namespace {

constexpr int kStartTimeoutMs = 15000;
constexpr int kStopTimeoutMs = 5000;

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
        const auto at = text.find("PORT ");
        const auto end = text.find('\n', at == std::string::npos ? 0 : at);
        if (at != std::string::npos && end != std::string::npos)
            return std::stoi(text.substr(at + 5, end - at - 5));
    }
    error = "the FTP server did not start: " + text;
    return 0;
}

} // namespace

FtpTestServer::FtpTestServer() {
    int input[2], output[2];
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
        error_ = std::strerror(errno);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    const std::string log = scratch_.file("commands.log");
    std::vector<std::string> args = {SPYLEROM_FTP_PYTHON,
                                     SPYLEROM_FTP_SERVER_SCRIPT,
                                     "--root",
                                     root_.path(),
                                     "--user",
                                     kUser,
                                     "--password",
                                     kPassword,
                                     "--log",
                                     log,
                                     "--lifetime",
                                     "600"};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    close(output[1]);
    control_ = input[1];
    if (rc != 0) {
        pid_ = -1;
        error_ = std::string("cannot start ") + SPYLEROM_FTP_PYTHON + ": " + std::strerror(rc);
    } else {
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

std::string FtpTestServer::commands() const {
    return readText(scratch_.file("commands.log"));
}

} // namespace spylerom::test
