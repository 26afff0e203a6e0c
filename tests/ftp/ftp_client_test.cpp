// The FTP client of this system (libcurl on Linux, WinINet on Windows) against a real FTP server
// on 127.0.0.1.
#include "ftp/ftp_client.h"
#include "ftp/ftp_test_server.h"
#include "ftp/silent_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace spylerom::ftp {
namespace {

using test::FtpTestServer;
using test::readText;
using test::writeText;

struct Recorder : FtpClientListener {
    std::vector<std::string> events;
    std::vector<std::int64_t> progress;
    void ftpConnected() override { events.push_back("connected"); }
    void ftpDisconnected() override { events.push_back("disconnected"); }
    void ftpWorkBegin(FtpDirection d) override {
        events.push_back(d == FtpDirection::Download ? "download" : "upload");
        progress.clear();
    }
    void ftpProgress(std::int64_t bytes) override { progress.push_back(bytes); }
    int asked = 0;
    std::function<bool()> onContinue;
    bool ftpContinue() override {
        ++asked;
        return onContinue ? onContinue() : true;
    }
};

// Seconds since start.
double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Every byte value, with the line-end and end-of-file bytes an ASCII transfer would rewrite.
std::string binaryContent(std::size_t repeat) {
    std::string bytes;
    for (std::size_t r = 0; r < repeat; ++r) {
        bytes += std::string("\x00\x0D\x0A\x1A\x0A\x0D\x0D\x0A", 8);
        for (int b = 0; b < 256; ++b)
            bytes += static_cast<char>(b);
    }
    return bytes;
}

class FtpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.ok()) << server_.error();
        client_->setListener(&recorder_);
        client_->setHost("127.0.0.1");
        client_->setPort(server_.port());
        client_->setUsername(FtpTestServer::kUser);
        client_->setPassword(FtpTestServer::kPassword);
        client_->setTimeouts(10, 20);
        ASSERT_TRUE(test::makeFolder(server_.file("pub")));
    }

    void connect() {
        const FtpResult result = client_->connect();
        ASSERT_TRUE(result.ok()) << result.message;
    }

    FtpTestServer server_;
    test::TempDir local_;
    Recorder recorder_;
    std::unique_ptr<FtpClient> client_ = makeFtpClient();
};

TEST_F(FtpClientTest, ConnectLogsInAndDisconnectLogsOut) {
    connect();
    EXPECT_TRUE(client_->connected());
    client_->disconnect();
    EXPECT_FALSE(client_->connected());
    EXPECT_EQ(recorder_.events, (std::vector<std::string>{"connected", "disconnected"}));
    const std::string commands = server_.commands();
    EXPECT_NE(commands.find("USER spyler\n"), std::string::npos) << commands;
    EXPECT_NE(commands.find("QUIT"), std::string::npos) << commands;
    client_->disconnect(); // a second disconnect tells nobody anything
    EXPECT_EQ(recorder_.events.size(), 2u);
}

struct ConnectFailure {
    const char* name;
    const char* host;
    const char* password;
    bool stopServer;
    FtpStatus status;
};

void PrintTo(const ConnectFailure& c, std::ostream* os) {
    *os << c.name;
}

class FtpConnectFailureTest : public FtpClientTest, public ::testing::WithParamInterface<ConnectFailure> {};

TEST_P(FtpConnectFailureTest, LeavesTheClientDisconnectedWithTheReason) {
    const ConnectFailure& c = GetParam();
    client_->setHost(c.host);
    client_->setPassword(c.password);
    if (c.stopServer)
        server_.stop();
    const FtpResult result = client_->connect();
    EXPECT_EQ(result.status, c.status) << result.message;
    EXPECT_FALSE(result.message.empty());
    EXPECT_FALSE(client_->connected());
    EXPECT_TRUE(recorder_.events.empty());
    std::int64_t size = 7;
    EXPECT_EQ(client_->size("a.txt", size).status, FtpStatus::NotConnected);
    EXPECT_EQ(size, -1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FtpConnectFailureTest,
    ::testing::Values(
        ConnectFailure{"WrongPassword", "127.0.0.1", "feil", false, FtpStatus::LoginDenied},
        ConnectFailure{"ServerDown", "127.0.0.1", FtpTestServer::kPassword, true, FtpStatus::ConnectFailed},
        ConnectFailure{"EmptyHost", "", FtpTestServer::kPassword, false, FtpStatus::ConnectFailed},
        ConnectFailure{"HostWithPath", "127.0.0.1/x@y", FtpTestServer::kPassword, false,
                       FtpStatus::ConnectFailed}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(FtpClientTest, SizeOfPresentAndMissingFiles) {
    writeText(server_.file("pub/seven.bin"), "1234567");
    writeText(server_.file("empty.bin"), "");
    connect();
    std::int64_t size = 0;
    ASSERT_TRUE(client_->size("pub/seven.bin", size).ok());
    EXPECT_EQ(size, 7);
    ASSERT_TRUE(client_->size("empty.bin", size).ok());
    EXPECT_EQ(size, 0);
    const FtpResult missing = client_->size("pub/missing.bin", size);
    EXPECT_TRUE(missing.ok()) << missing.message;
    EXPECT_EQ(size, -1);
    EXPECT_TRUE(client_->connected());
    ASSERT_TRUE(client_->size("pub/seven.bin", size).ok()); // the session goes on after a missing file
    EXPECT_EQ(size, 7);
}

TEST_F(FtpClientTest, BinaryBytesArriveUnchangedBothWaysInTypeI) {
    const std::string content = binaryContent(64);
    const std::string source = local_.file("out.bin");
    writeText(source, content);
    connect();
    ASSERT_TRUE(client_->store(source, "pub/bin.dat").ok());
    EXPECT_EQ(readText(server_.file("pub/bin.dat")), content);

    const std::string back = local_.file("back.bin");
    const FtpResult fetched = client_->fetch("pub/bin.dat", back);
    ASSERT_TRUE(fetched.ok()) << fetched.message;
    EXPECT_EQ(readText(back), content);

    const std::string commands = server_.commands();
    EXPECT_NE(commands.find("TYPE I"), std::string::npos) << commands;
    EXPECT_EQ(commands.find("TYPE A"), std::string::npos) << commands;
    EXPECT_NE(commands.find("STOR pub/bin.dat"), std::string::npos) << commands;
    // Active data connections: the client names its own port (EPRT or PORT), never asks for passive.
    EXPECT_TRUE(commands.find("EPRT ") != std::string::npos || commands.find("PORT ") != std::string::npos)
        << commands;
    EXPECT_EQ(commands.find("PASV"), std::string::npos) << commands;
    EXPECT_EQ(commands.find("EPSV"), std::string::npos) << commands;
}

TEST_F(FtpClientTest, FetchReplacesALongerLocalFileFromItsFirstByte) {
    writeText(server_.file("pub/new.txt"), "new");
    const std::string target = local_.file("target.tmp");
    writeText(target, "an older and much longer file");
    connect();
    ASSERT_TRUE(client_->fetch("pub/new.txt", target).ok());
    EXPECT_EQ(readText(target), "new");
    EXPECT_EQ(server_.commands().find("REST 2"), std::string::npos) << "never a resumed download";
}

TEST_F(FtpClientTest, StoreReplacesTheRemoteFile) {
    writeText(server_.file("pub/up.txt"), "an older and much longer remote file");
    const std::string source = local_.file("up.txt");
    writeText(source, "short");
    connect();
    ASSERT_TRUE(client_->store(source, "pub/up.txt").ok());
    EXPECT_EQ(readText(server_.file("pub/up.txt")), "short");
    EXPECT_EQ(server_.commands().find("APPE"), std::string::npos);
}

TEST_F(FtpClientTest, ProgressGrowsToTheFileSizeBothWays) {
    const std::string content = binaryContent(1200); // about 300 KB, several chunks
    writeText(server_.file("pub/big.bin"), content);
    connect();
    ASSERT_TRUE(client_->fetch("pub/big.bin", local_.file("big.bin")).ok());
    ASSERT_FALSE(recorder_.progress.empty());
    EXPECT_EQ(recorder_.progress.back(), static_cast<std::int64_t>(content.size()));
    EXPECT_TRUE(std::is_sorted(recorder_.progress.begin(), recorder_.progress.end()));

    ASSERT_TRUE(client_->store(local_.file("big.bin"), "pub/copy.bin").ok());
    ASSERT_FALSE(recorder_.progress.empty());
    EXPECT_EQ(recorder_.progress.back(), static_cast<std::int64_t>(content.size()));
    EXPECT_TRUE(std::is_sorted(recorder_.progress.begin(), recorder_.progress.end()));
    EXPECT_EQ(recorder_.events, (std::vector<std::string>{"connected", "download", "upload"}));
}

TEST_F(FtpClientTest, FailedOperationsKeepTheSessionAndSayWhy) {
    connect();
    const FtpResult missing = client_->fetch("pub/none.bin", local_.file("none.bin"));
    EXPECT_EQ(missing.status, FtpStatus::RemoteNotFound) << missing.message;

    const FtpResult noSource = client_->store(local_.file("does-not-exist"), "pub/x");
    EXPECT_EQ(noSource.status, FtpStatus::LocalFileFailed) << noSource.message;

    writeText(local_.file("x.txt"), "x");
    const FtpResult noFolder = client_->store(local_.file("x.txt"), "no-such-folder/x.txt");
    EXPECT_EQ(noFolder.status, FtpStatus::RemoteRefused) << noFolder.message;

    writeText(server_.file("pub/a.txt"), "a");
    const FtpResult noTarget = client_->fetch("pub/a.txt", local_.file("no-such-folder/a.txt"));
    EXPECT_EQ(noTarget.status, FtpStatus::LocalFileFailed) << noTarget.message;

    EXPECT_TRUE(client_->connected());
    ASSERT_TRUE(client_->fetch("pub/a.txt", local_.file("a.txt")).ok());
    EXPECT_EQ(readText(local_.file("a.txt")), "a");
}

TEST_F(FtpClientTest, AServerThatGoesAwayLeavesTheClientDisconnected) {
    writeText(server_.file("a.txt"), "a");
    connect();
    server_.stop();
    std::int64_t size = 0;
    const FtpResult result = client_->size("a.txt", size);
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(client_->connected());
    EXPECT_EQ(recorder_.events, (std::vector<std::string>{"connected", "disconnected"}));
}

TEST_F(FtpClientTest, NamesWithBlanksAndSpecialCharactersTravelIntact) {
#ifdef _WIN32 // the test reads the server's folder through Windows, where "?" has no place in a name
    const std::string name = "pub/bær fil #1 %20.txt";
#else
    const std::string name = "pub/bær fil #1 %20?.txt";
#endif
    writeText(local_.file("src.txt"), "innhold");
    connect();
    ASSERT_TRUE(client_->store(local_.file("src.txt"), name).ok());
    EXPECT_EQ(readText(server_.file(name)), "innhold");
    std::int64_t size = 0;
    ASSERT_TRUE(client_->size(name, size).ok());
    EXPECT_EQ(size, 7);
}

TEST_F(FtpClientTest, AnAbsoluteRemoteNameStartsAtTheServerRoot) {
    writeText(server_.file("pub/root.txt"), "root");
    connect();
    ASSERT_TRUE(client_->fetch("/pub/root.txt", local_.file("root.txt")).ok());
    EXPECT_EQ(readText(local_.file("root.txt")), "root");
}

// A failure names itself and the server's reply, never a message of an earlier harmless step.
struct NamedFailure {
    const char* name;
    const char* remote; // fetched from pub/, or stored there when upload
    bool upload;
    FtpStatus status;
    const char* reply; // the server's reply the message must quote (or the cause, where no reply comes)
};

void PrintTo(const NamedFailure& c, std::ostream* os) {
    *os << c.name;
}

#ifdef _WIN32
constexpr const char* kStallCause =
    "send data for 2 seconds"; // WinINet gives replies to failed commands only
#else
constexpr const char* kStallCause = "125 ";
#endif

class FtpNamedFailureTest : public FtpClientTest, public ::testing::WithParamInterface<NamedFailure> {};

TEST_P(FtpNamedFailureTest, TheMessageNamesTheFailureAndTheServersReply) {
    const NamedFailure& c = GetParam();
    client_->setTimeouts(5, 2);
    if (!c.upload)
        writeText(server_.file(std::string("pub/") + c.remote), binaryContent(40));
    writeText(local_.file("up.bin"), "data");
    connect();
    const auto start = std::chrono::steady_clock::now();
    const FtpResult result = c.upload
                                 ? client_->store(local_.file("up.bin"), c.remote)
                                 : client_->fetch(std::string("pub/") + c.remote, local_.file("down.bin"));
    EXPECT_LT(secondsSince(start), 4.5); // within the response time of 2 s, and some slack
    EXPECT_EQ(result.status, c.status) << result.message;
    EXPECT_NE(result.message.find(c.reply), std::string::npos) << result.message;
    EXPECT_EQ(result.message.find("inet_ntop"), std::string::npos) << result.message;
    EXPECT_EQ(result.message.find("errno"), std::string::npos) << result.message;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FtpNamedFailureTest,
    ::testing::Values(NamedFailure{"RefusedStore", "no-such-folder/x.bin", true, FtpStatus::RemoteRefused,
                                   "550 "},
                      NamedFailure{"AbortedFetch", "abort-x.bin", false, FtpStatus::TransferFailed, "426 "},
                      NamedFailure{"StalledFetch", "stall-x.bin", false, FtpStatus::TimedOut, kStallCause}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(FtpClientTest, AServerThatAcceptsAndStaysSilentTimesOut) {
    test::SilentServer silent;
    ASSERT_TRUE(silent.ok());
    client_->setPort(silent.port());
    client_->setTimeouts(2, 2);
    const auto start = std::chrono::steady_clock::now();
    const FtpResult result = client_->connect();
    const double seconds = secondsSince(start);
    EXPECT_EQ(result.status, FtpStatus::TimedOut) << result.message;
    EXPECT_GE(seconds, 1.5);
    EXPECT_LT(seconds, 6.5); // connection and answer, 2 s each, and some slack
    EXPECT_FALSE(client_->connected());
    // The wait was no dead block: the listener was asked again and again (the window painted).
    EXPECT_GE(recorder_.asked, static_cast<int>(seconds * 8)) << seconds;
}

TEST_F(FtpClientTest, AStopFromTheListenerEndsAWaitingFetchAtOnce) {
    writeText(server_.file("pub/stall-big.bin"), binaryContent(40));
    connect();
    bool transferring = false;
    recorder_.onContinue = [&] { return !(transferring && recorder_.asked > 40); };
    const auto start = std::chrono::steady_clock::now();
    transferring = true; // the stop comes once the data connection waits for more
    const FtpResult result = client_->fetch("pub/stall-big.bin", local_.file("big.bin"));
    EXPECT_LT(secondsSince(start), static_cast<double>(client_->responseTimeout()) / 2);
    EXPECT_EQ(result.status, FtpStatus::Cancelled) << result.message;
    EXPECT_FALSE(client_->connected()); // the broken-off transfer took its connection along
    recorder_.onContinue = nullptr;
    writeText(server_.file("pub/after.txt"), "after");
    connect();
    ASSERT_TRUE(client_->fetch("pub/after.txt", local_.file("after.txt")).ok());
    EXPECT_EQ(readText(local_.file("after.txt")), "after");
}

} // namespace
} // namespace spylerom::ftp
