// spylerom-cli as a user runs it: the real program, its exit status, its output and its files.
#include "support/env_guard.h"
#include "support/loop_image.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace spylerom::cli {
namespace {

using test::TempDir;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

// Starts spylerom-cli with args; onErrLine sees standard error as it comes, line by line. A
// file-size limit other than 0 is set on it (prlimit), as `ulimit -f` or LimitFSIZE would.
class Cli {
public:
    explicit Cli(const std::vector<std::string>& args, std::uint64_t fileSizeLimit = 0) {
        int out[2], err[2];
        if (pipe(out) != 0 || pipe(err) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, err[0]);
        std::vector<std::string> all;
        if (fileSizeLimit > 0)
            all = {"prlimit", "--fsize=" + std::to_string(fileSizeLimit), "--"};
        all.push_back(SPYLEROM_CLI_PATH);
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, argv.front(), &actions, nullptr, argv.data(), environ) != 0)
            throw std::runtime_error("spawn");
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }

    // Reads both pipes until the program ends; calls onErr with every chunk of standard error.
    Result wait(const std::function<void(const std::string&)>& onErr = {}) {
        Result r;
        pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        int open = 2;
        char buffer[4096];
        while (open > 0 && poll(fds, 2, 60000) > 0) {
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                    continue;
                const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n <= 0) {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                    continue;
                }
                const std::string chunk(buffer, static_cast<std::size_t>(n));
                (i == 0 ? r.out : r.err) += chunk;
                if (i == 1 && onErr)
                    onErr(r.err);
                if (i == 1 && errClosed_) {
                    // The reader goes away, as `| head -c 10` does once it has its bytes.
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                }
            }
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return r;
    }

    void signal(int sig) const { kill(pid_, sig); }
    // Stops reading standard error and closes its pipe (from an onErr callback).
    void closeErr() { errClosed_ = true; }

private:
    bool errClosed_ = false;
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
};

Result runCli(const std::vector<std::string>& args) {
    return Cli(args).wait();
}

bool folderEmpty(const std::string& path) {
    return !std::filesystem::exists(path) || std::filesystem::is_empty(path);
}

// Bytes a user may still write on the file system at path.
std::uint64_t freeBytes(const std::string& path) {
    struct statvfs st {};
    return statvfs(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize : 0;
}

// The first line a command prints, without its line end.
std::string firstLineOf(const std::string& command) {
    std::string line;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        if (std::fgets(buffer, sizeof buffer, pipe))
            line = buffer;
        pclose(pipe);
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line;
}

// ext4's pool of blocks held back from ordinary writes, as the kernel shows it for the device
// mounted at mountPoint; empty where it shows none.
std::string reservedClusters(const std::string& mountPoint) {
    const std::string device = firstLineOf("findmnt -no SOURCE '" + mountPoint + "'");
    std::ifstream in("/sys/fs/ext4/" + std::filesystem::path(device).filename().string() +
                     "/reserved_clusters");
    std::string value;
    std::getline(in, value);
    return value;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        env_.set("APPDATA", appData_.path());
        env_.set("SYSTEMDRIVE", "C:");
    }
    // Logging on for the runs that fill.
    void enableLog() {
        std::filesystem::create_directories(appData_.file("Solvarek/etc"));
        test::writeText(appData_.file("Solvarek/etc/solvarek.ini"), "[STANDARD]\r\nLogToFile=1\r\n");
    }
    std::string log() const { return test::readText(appData_.file("Solvarek/log/spylerom-cli.log")); }

    test::EnvGuard env_;
    TempDir appData_;
};

struct BadInput {
    std::string name;
    std::vector<std::string> args;
    std::string problem;
};

std::string badInputName(const ::testing::TestParamInfo<BadInput>& info) {
    return info.param.name;
}

class CliBadInput : public CliTest, public ::testing::WithParamInterface<BadInput> {};

TEST_P(CliBadInput, OneLineAUsageHintExit2AndNoFiles) {
    const Result r = runCli(GetParam().args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(GetParam().problem), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Try 'spylerom-cli --help'"), std::string::npos);
    EXPECT_TRUE(r.out.empty());
    EXPECT_TRUE(folderEmpty(appData_.path())) << "rejected input must write nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliBadInput,
    ::testing::Values(
        BadInput{"UnknownOption", {"--frobnicate", "C"}, "unknown option '--frobnicate'"},
        BadInput{"UnknownFill", {"--fill", "halv", "C"}, "unknown fill 'halv'"},
        BadInput{"ZeroRepetitions",
                 {"--repetitions", "0", "C"},
                 "repetitions must be a whole number from 1 to 10"},
        BadInput{"ElevenRepetitions", {"--repetitions", "11", "C"}, "repetitions must be"},
        BadInput{"RepetitionsNotANumber", {"--repetitions", "x", "C"}, "repetitions must be"},
        BadInput{"BlockSizeNotAChoice", {"--block-size", "1000", "C"}, "block size must be one of"},
        BadInput{"BlockSizeMissing", {"--block-size"}, "option --block-size needs a value"},
        BadInput{"NoDrive", {}, "no drive given"}, BadInput{"LetterWithoutDrive", {"Q:"}, "no drive 'Q:'"},
        BadInput{"MissingPath",
                 {"/no/such/folder/at/all"},
                 "'/no/such/folder/at/all' does not exist; it would lie on drive C: [/]"},
        BadInput{"TwoDrives", {"C", "D"}, "only one drive"}),
    badInputName);

TEST_F(CliTest, HelpVersionAndDriveListWriteNothing) {
    Result r = runCli({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage: spylerom-cli"), std::string::npos);
    r = runCli({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("2.07"), std::string::npos);
    r = runCli({"--list-drives"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("C: [/]  ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find(" MB free of "), std::string::npos);
    EXPECT_TRUE(folderEmpty(appData_.file("Solvarek/log")));
}

class CliDiskTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        std::string why;
        if (!test::LoopImage::available(&why))
            GTEST_SKIP() << why;
        image_ = std::make_unique<test::LoopImage>(imageOptions());
        ASSERT_TRUE(image_->ok()) << image_->error();
        enableLog();
    }
    virtual test::LoopImage::Options imageOptions() const { return {}; }
    bool leftovers() const {
        for (const auto& e : std::filesystem::directory_iterator(image_->mountPoint()))
            if (e.path().filename().string().rfind("spylerom-", 0) == 0)
                return true;
        return false;
    }
    std::unique_ptr<test::LoopImage> image_;
};

TEST_F(CliDiskTest, FillByPathWipesDeletedData) {
    const std::string marker = "CLI-MARKER-51b2e0-";
    std::string content;
    while (content.size() < (8u << 20))
        content += marker + std::to_string(content.size()) + "\n";
    test::writeText(image_->mountPoint() + "/secret.dat", content);
    test::run("sync");
    std::filesystem::remove(image_->mountPoint() + "/secret.dat");
    test::run("sync");

    const Result r = runCli({"--fill", "en", "--block-size", "32768", image_->mountPoint()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(leftovers());
    // The drive and its free space are named before anything is written.
    const auto named = r.err.find("spylerom-cli: filling ");
    ASSERT_NE(named, std::string::npos) << r.err;
    EXPECT_LT(named, r.err.find("% pass")) << r.err;
    const std::string line = r.err.substr(named, r.err.find('\n', named) - named);
    EXPECT_NE(line.find(": [" + image_->mountPoint() + "], "), std::string::npos) << line;
    EXPECT_TRUE(line.ends_with(" MB free")) << line;
    EXPECT_NE(log().find("START: "), std::string::npos);
    EXPECT_NE(log().find(", 1 filer, 32768 bytes blokkstørrelse"), std::string::npos);
    EXPECT_NE(log().find("STOPP: "), std::string::npos);
    ASSERT_TRUE(image_->unmount());
    EXPECT_EQ(image_->countInImage(marker), 0u);
    ASSERT_TRUE(image_->mount());
}

TEST_F(CliDiskTest, InterruptStopsCleanlyEvenWhenRepeated) {
    Cli cli({"--block-size", "512", "--repetitions", "3", image_->mountPoint()});
    bool sent = false;
    const Result r = cli.wait([&](const std::string& err) {
        // Interrupt once the fill is under way, twice, as an impatient user would.
        if (!sent && err.find("% pass") != std::string::npos) {
            sent = true;
            cli.signal(SIGINT);
            cli.signal(SIGINT);
        }
    });
    ASSERT_TRUE(sent) << r.err;
    EXPECT_EQ(r.status, 130) << r.err;
    EXPECT_FALSE(leftovers());
    const std::string text = log();
    EXPECT_NE(text.find("Stopper fylling av disk"), std::string::npos);
    EXPECT_NE(text.find("Lukker fil nr 1"), std::string::npos);
    EXPECT_NE(text.find("STOPP: "), std::string::npos);
    EXPECT_EQ(text.find("STOPP: "), text.rfind("STOPP: ")) << "no further pass after the interrupt";
}

// The log file's lines.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find("\r\n", at), text.size());
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

TEST_F(CliDiskTest, AForgedUserNameCannotStartALineOfItsOwn) {
    const std::string forged = "x\r\n24.12.2011 14:05:09 STOPP: FORGED\x1b[2J";
    const Result r = runCli({"--user", forged, "--fill", "en", image_->mountPoint()});
    EXPECT_EQ(r.status, 0) << r.err;
    int forgedLines = 0;
    for (const std::string& line : linesOf(log())) {
        if (line.find("FORGED") == std::string::npos)
            continue;
        ++forgedLines;
        // The one line that carries it is the user's, with the breaks shown, not made.
        EXPECT_NE(line.find(" BRUKER: X\\r\\n24.12.2011 14:05:09 STOPP: FORGED\\x1b[2J"), std::string::npos)
            << line;
    }
    EXPECT_EQ(forgedLines, 1) << log();
    EXPECT_EQ(r.err.find("\n24.12.2011 14:05:09 STOPP: FORGED"), std::string::npos) << "nor on the console";
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos);
}

TEST_F(CliDiskTest, TwoRunsAtOnceBothKeepTheirLines) {
    test::LoopImage other(test::LoopImage::Options{64});
    ASSERT_TRUE(other.ok()) << other.error();
    Cli first({"--fill", "en", image_->mountPoint()});
    Cli second({"--fill", "en", other.mountPoint()});
    Result secondResult;
    std::thread waiting([&] { secondResult = second.wait(); });
    const Result firstResult = first.wait();
    waiting.join();
    EXPECT_EQ(firstResult.status, 0) << firstResult.err;
    EXPECT_EQ(secondResult.status, 0) << secondResult.err;

    int starts = 0, stops = 0;
    for (const std::string& line : linesOf(log())) {
        starts += line.find(std::string(" START: ") + SPYLEROM_CLI_PATH) != std::string::npos;
        stops += line.find(" STOPP: ") != std::string::npos;
    }
    EXPECT_EQ(starts, 2) << log();
    EXPECT_EQ(stops, 2) << log();
    EXPECT_NE(log().find(image_->mountPoint()), std::string::npos);
    EXPECT_NE(log().find(other.mountPoint()), std::string::npos);
}

TEST_F(CliDiskTest, ReadOnlyDriveExitsWithOne) {
    ASSERT_TRUE(image_->unmount());
    ASSERT_TRUE(image_->mount(true));
    const Result r = runCli({"--repetitions", "2", image_->mountPoint()});
    EXPECT_EQ(r.status, 1);
    const std::string text = log();
    EXPECT_NE(text.find("FEILNR: 19 Disketten er skriverbeskyttet"), std::string::npos) << text;
}

TEST_F(CliDiskTest, AFileSizeLimitEndsThePassAsAFullDiskAndCleansUp) {
    // ulimit -f (a unit's LimitFSIZE) below the free space: the file meets the limit long before
    // the disk is full. The signal the limit sends must not end the program with its file left.
    test::run("sync");
    const std::uint64_t freeBefore = freeBytes(image_->mountPoint());
    const std::string reserveBefore = reservedClusters(image_->mountPoint());
    ASSERT_NE(reserveBefore, "0") << "ext4 holds a reserve back, which the fill lifts";
    constexpr std::uint64_t kLimit = 16u << 20;
    ASSERT_GT(freeBefore, 4 * kLimit);
    const Result r = Cli({"--fill", "en", image_->mountPoint()}, kLimit).wait();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(leftovers());
    test::run("sync");
    EXPECT_EQ(freeBytes(image_->mountPoint()), freeBefore);
    EXPECT_EQ(reservedClusters(image_->mountPoint()), reserveBefore) << "the lifted reserve is back";
    const std::string text = log();
    EXPECT_NE(text.find("Lukker fil nr 1"), std::string::npos) << text;
    EXPECT_NE(text.find("Sletter fil nr. 1"), std::string::npos);
    EXPECT_NE(text.find("STOPP: "), std::string::npos);
    EXPECT_EQ(text.find("FEIL"), std::string::npos) << "a file that takes no more is the pass's end";
    // The run ended where the limit is, not at a full disk.
    EXPECT_NE(text.find("STOPP: "), std::string::npos);
    EXPECT_NE(text.find(", 16 MB på "), std::string::npos) << text;
}

// Every way a user ends the program from outside: a closed terminal, Ctrl+\ (quit), kill, Ctrl+C.
struct EndSignal {
    const char* name;
    int number;
};

class CliEndSignalTest : public CliDiskTest, public ::testing::WithParamInterface<EndSignal> {
protected:
    // Large enough that the pass is still writing when its progress first shows the time left.
    test::LoopImage::Options imageOptions() const override { return {.sizeMiB = 512}; }
};

TEST_P(CliEndSignalTest, StopsThePassCleanlyAndExitsWith128PlusTheSignal) {
    test::run("sync");
    const std::uint64_t freeBefore = freeBytes(image_->mountPoint());
    const std::string reserveBefore = reservedClusters(image_->mountPoint());
    Cli cli({"--block-size", "512", "--repetitions", "2", image_->mountPoint()});
    bool sent = false;
    const Result r = cli.wait([&](const std::string& err) {
        // Once the pass writes and knows its speed: its progress shows the time left.
        if (!sent && err.find(" left\n") != std::string::npos) {
            sent = true;
            cli.signal(GetParam().number);
            if (GetParam().number == SIGHUP)
                cli.closeErr(); // the terminal went away with the hang-up
        }
    });
    ASSERT_TRUE(sent) << r.err;
    EXPECT_EQ(r.status, 128 + GetParam().number) << r.err;
    EXPECT_FALSE(leftovers());
    test::run("sync");
    EXPECT_EQ(freeBytes(image_->mountPoint()), freeBefore);
    EXPECT_EQ(reservedClusters(image_->mountPoint()), reserveBefore);
    const std::string text = log();
    EXPECT_NE(text.find("Stopper fylling av disk"), std::string::npos) << text;
    EXPECT_NE(text.find("Lukker fil nr 1"), std::string::npos);
    EXPECT_NE(text.find("STOPP: "), std::string::npos);
    EXPECT_EQ(text.find("STOPP: "), text.rfind("STOPP: ")) << "no further pass after the signal";
}

INSTANTIATE_TEST_SUITE_P(Signals, CliEndSignalTest,
                         ::testing::Values(EndSignal{"Hup", SIGHUP}, EndSignal{"Quit", SIGQUIT},
                                           EndSignal{"Term", SIGTERM}, EndSignal{"Int", SIGINT}),
                         [](const auto& p) { return std::string(p.param.name); });

// SIGKILL (the OOM killer, a power cut) gives the program no say: the next start undoes what
// the killed run left, from its record.
class CliKilledTest : public CliDiskTest {
protected:
    test::LoopImage::Options imageOptions() const override { return {.sizeMiB = 512}; }
};

TEST_F(CliKilledTest, TheNextStartDeletesTheKilledRunsFileAndRestoresTheReserve) {
    test::run("sync");
    const std::uint64_t freeBefore = freeBytes(image_->mountPoint());
    const std::string reserveBefore = reservedClusters(image_->mountPoint());
    ASSERT_NE(reserveBefore, "0") << "ext4 holds a reserve back, which the fill lifts";
    Cli cli({"--block-size", "512", image_->mountPoint()});
    bool killed = false;
    const Result r = cli.wait([&](const std::string& err) {
        if (!killed && err.find(" left\n") != std::string::npos) {
            killed = true;
            cli.signal(SIGKILL);
        }
    });
    ASSERT_TRUE(killed) << r.err;
    EXPECT_EQ(r.status, 128 + SIGKILL);
    ASSERT_TRUE(leftovers()) << "a killed run leaves its file";
    EXPECT_EQ(reservedClusters(image_->mountPoint()), "0") << "and the lifted reserve";

    const Result again = runCli({"--block-size", "65536", image_->mountPoint()});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.err.find("Rydder opp etter en avbrutt fylling: 1 filer slettet, 1 reserver satt tilbake"),
              std::string::npos)
        << again.err;
    EXPECT_FALSE(leftovers());
    test::run("sync");
    EXPECT_EQ(freeBytes(image_->mountPoint()), freeBefore);
    EXPECT_EQ(reservedClusters(image_->mountPoint()), reserveBefore) << "the value from before the killed run";
}

TEST_F(CliDiskTest, AReaderOfTheOutputThatGoesAwayEndsOnlyThePrinting) {
    // As `spylerom-cli D: 2>&1 | head -c 10`: the pipe closes after the first few bytes.
    Cli cli({"--block-size", "65536", image_->mountPoint()});
    const Result r = cli.wait([&](const std::string& err) {
        if (err.size() >= 10)
            cli.closeErr();
    });
    EXPECT_EQ(r.status, 0) << "the fill ran to its end and cleaned up";
    EXPECT_FALSE(leftovers());
    const std::string text = log();
    EXPECT_NE(text.find("Lukker fil nr 1"), std::string::npos) << text;
    EXPECT_NE(text.find("Sletter fil nr. 1"), std::string::npos);
    EXPECT_NE(text.find("STOPP: "), std::string::npos);
}

TEST_F(CliDiskTest, FailuresReachStandardErrorWithLoggingOff) {
    test::writeText(appData_.file("Solvarek/etc/solvarek.ini"), "[STANDARD]\r\nLogToFile=0\r\n");
    ASSERT_TRUE(image_->unmount());
    ASSERT_TRUE(image_->mount(true));
    const Result r = runCli({image_->mountPoint()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("spylerom-cli: FEIL: UNDER OPPRETTELSE AV FILEN " + image_->mountPoint() +
                         "/spylerom-1.tmp\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("spylerom-cli: FEILNR: 19 Disketten er skriverbeskyttet"), std::string::npos);
    EXPECT_EQ(log(), "") << "the log itself stays off";
}

// A path on a file system that is not a drive: refused before anything is written.
struct NotADrive {
    const char* name;
    const char* type;
};

class CliNotADriveTest : public CliTest, public ::testing::WithParamInterface<NotADrive> {
protected:
    void SetUp() override {
        CliTest::SetUp();
        if (std::string(GetParam().type) != "tmpfs") {
            path_ = "/proc";
            return;
        }
        std::string why;
        if (!test::LoopImage::available(&why)) // mounting needs root, as a loop image does
            GTEST_SKIP() << why;
        path_ = mount_.file("tmp");
        std::filesystem::create_directory(path_);
        ASSERT_EQ(test::run("mount -t tmpfs -o size=8m spylerom-test '" + path_ + "'"), 0);
        mounted_ = true;
    }
    void TearDown() override {
        if (mounted_)
            test::run("umount '" + path_ + "'");
    }
    TempDir mount_;
    std::string path_;
    bool mounted_ = false;
};

TEST_P(CliNotADriveTest, IsRefusedNamingItsTypeAndTheDriveThatHoldsIt) {
    const Result r = runCli({"--fill", "en", path_});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("'" + path_ + "' lies on a " + GetParam().type + " file system mounted at " + path_ +
                         ", which is not a drive; the drive that holds it is C: [/]"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(folderEmpty(appData_.path())) << "no log, no settings";
    if (mounted_) {
        EXPECT_TRUE(folderEmpty(path_)) << "nothing written there";
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, CliNotADriveTest,
                         ::testing::Values(NotADrive{"Tmpfs", "tmpfs"}, NotADrive{"Proc", "proc"}),
                         [](const auto& p) { return std::string(p.param.name); });

// A path that is not a drive's root names the drive it lies on, which is never filled for it:
// a mount point whose mount failed is a plain folder of the disk below.
struct BelowRoot {
    const char* name;
    bool onImage; // below a loop image's root, else below the system disk's
    bool exists;  // an empty folder, else a path that does not exist
};

class CliBelowRootTest : public CliTest, public ::testing::WithParamInterface<BelowRoot> {
protected:
    void SetUp() override {
        CliTest::SetUp();
        if (GetParam().onImage) {
            std::string why;
            if (!test::LoopImage::available(&why))
                GTEST_SKIP() << why;
            image_ = std::make_unique<test::LoopImage>();
            ASSERT_TRUE(image_->ok()) << image_->error();
            root_ = image_->mountPoint();
            base_ = root_;
        } else {
            root_ = "/";
            // Where /tmp is a file system of its own (tmpfs), a folder of the root disk's own.
            if (firstLineOf("findmnt -no TARGET -T " + std::filesystem::temp_directory_path().string()) !=
                "/")
                env_.set("TMPDIR", "/var/tmp");
            systemDiskFolder_ = std::make_unique<TempDir>();
            base_ = systemDiskFolder_->path();
            ASSERT_EQ(firstLineOf("findmnt -no TARGET -T '" + base_ + "'"), "/")
                << "the test's folder must lie on the system disk itself";
        }
        path_ = base_ + "/usb";
        if (GetParam().exists)
            std::filesystem::create_directory(path_);
    }

    std::unique_ptr<test::LoopImage> image_;
    std::unique_ptr<TempDir> systemDiskFolder_;
    std::string root_;
    std::string base_;
    std::string path_;
};

TEST_P(CliBelowRootTest, IsRefusedNamingTheDriveAndTheArgumentsThatFillIt) {
    bool filling = false;
    // Should it ever start, it is stopped at once, and a file-size limit keeps its files small.
    Cli cli({"--fill", "en", path_}, 1u << 20);
    const Result r = cli.wait([&](const std::string& err) {
        if (!filling && err.find("spylerom-cli: filling ") != std::string::npos) {
            filling = true;
            cli.signal(SIGKILL);
        }
    });
    EXPECT_FALSE(filling) << r.err;
    EXPECT_EQ(r.status, 2) << r.err;
    const std::string lies = GetParam().exists ? "' is not the root of a drive; it lies on drive "
                                               : "' does not exist; it would lie on drive ";
    // The letter of the drive, named twice; an image's letter follows the mounts of the moment.
    const std::string head = "spylerom-cli: '" + path_ + lies;
    const auto at = r.err.find(head);
    ASSERT_NE(at, std::string::npos) << r.err;
    const std::string letter = r.err.substr(at + head.size(), 2);
    if (!image_) {
        EXPECT_EQ(letter, "C:");
    }
    EXPECT_EQ(r.err.compare(at + head.size() + 2, root_.size() + 3, " [" + root_ + "]"), 0) << r.err;
    EXPECT_NE(r.err.find("give " + letter + " or " + root_ + "\n"), std::string::npos) << r.err;
    EXPECT_TRUE(folderEmpty(appData_.path())) << "no log, no settings, no fill files";
    EXPECT_EQ(std::filesystem::exists(path_), GetParam().exists);
    if (GetParam().exists) {
        EXPECT_TRUE(folderEmpty(path_)) << "nothing written there";
    }
    if (image_) {
        EXPECT_TRUE(folderEmpty(path_) &&
                    std::distance(std::filesystem::directory_iterator(root_),
                                  std::filesystem::directory_iterator()) == (GetParam().exists ? 2 : 1))
            << "the image holds its lost+found and the test's folder only";
    }
}

INSTANTIATE_TEST_SUITE_P(Places, CliBelowRootTest,
                         ::testing::Values(BelowRoot{"FolderOnAnImage", true, true},
                                           BelowRoot{"MissingOnAnImage", true, false},
                                           BelowRoot{"EmptyFolderOnTheSystemDisk", false, true},
                                           BelowRoot{"MissingOnTheSystemDisk", false, false}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace spylerom::cli
