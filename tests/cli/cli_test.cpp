// spylerom-cli as a user runs it: the real program, its exit status, its output and its files.
#include "support/env_guard.h"
#include "support/loop_image.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/statfs.h>
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

// Where the programs a test starts keep their crash records: as root, /var/lib/spylerom, which
// each program sees in a mount namespace of its own as the test's folder (so tests that run at
// the same time never clean up after each other). Empty: the account's own folder.
std::string gRecords;

struct Spawn {
    bool pidNamespace = false; // in a process-id namespace of its own, as in a container
    std::string folder;        // the working folder; empty: the test's
    // A file-size limit other than 0 is set on it (prlimit), as `ulimit -f` or LimitFSIZE would.
    std::uint64_t fileSizeLimit = 0;
    // A command that runs the program (setpriv, to run it as another account).
    std::vector<std::string> prefix = {};
};

// Starts spylerom-cli with args; onErrLine sees standard error as it comes, line by line.
class Cli {
public:
    explicit Cli(const std::vector<std::string>& args, Spawn how = {}) {
        int out[2], err[2];
        if (pipe(out) != 0 || pipe(err) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, err[0]);
        if (!how.folder.empty())
            posix_spawn_file_actions_addchdir_np(&actions, how.folder.c_str());
        std::vector<std::string> all;
        if (!gRecords.empty()) {
            all = {"/usr/bin/unshare", "--mount", "--propagation", "slave"};
            if (how.pidNamespace)
                all.insert(all.end(), {"--pid", "--fork", "--mount-proc", "--kill-child"});
            all.insert(all.end(), {"--", "/bin/sh", "-c",
                                   "mount --bind \"$0\" /var/lib/spylerom && exec \"$@\"", gRecords});
        }
        if (how.fileSizeLimit > 0)
            all.insert(all.end(), {"/usr/bin/prlimit", "--fsize=" + std::to_string(how.fileSizeLimit), "--"});
        all.insert(all.end(), how.prefix.begin(), how.prefix.end());
        all.push_back(SPYLEROM_CLI_PATH);
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pidNamespace_ = how.pidNamespace && !gRecords.empty();
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            throw std::runtime_error("spawn");
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }

    // Reads both pipes until the program ends; calls onErr with every chunk of standard error.
    // Without reap the ended program stays a zombie until the object goes.
    Result wait(const std::function<void(const std::string&)>& onErr = {}, bool reap = true) {
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
        if (reap)
            r.status = reapStatus();
        return r;
    }
    int reapStatus() {
        int status = 0;
        if (reaped_ || waitpid(pid_, &status, 0) != pid_)
            return -1;
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    ~Cli() { reapStatus(); }
    Cli(const Cli&) = delete;
    Cli& operator=(const Cli&) = delete;

    void signal(int sig) const { kill(pid_, sig); }
    // Signals the program itself, also where it runs in a namespace of its own under unshare.
    void signalProgram(int sig) const {
        std::ifstream children("/proc/" + std::to_string(pid_) + "/task/" + std::to_string(pid_) +
                               "/children");
        pid_t child = 0;
        kill(pidNamespace_ && (children >> child) ? child : pid_, sig);
    }
    // Stops reading standard error and closes its pipe (from an onErr callback).
    void closeErr() { errClosed_ = true; }

private:
    bool errClosed_ = false;
    bool reaped_ = false;
    bool pidNamespace_ = false;
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

// The command prefix that runs a program as nobody, an account without root's rights, after
// giving it the image's root and its own folders, as a user at a desktop has them.
std::vector<std::string> asNobody(const std::string& mountPoint, const std::vector<std::string>& ownFolders) {
    std::string command = "chmod 0755 '" + std::filesystem::path(mountPoint).parent_path().string() +
                          "' && chown -R nobody:nogroup '" + mountPoint + "'";
    for (const auto& folder : ownFolders)
        command += " '" + folder + "'";
    EXPECT_EQ(test::run(command), 0) << command;
    return {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        env_.set("APPDATA", appData_.path());
        env_.set("SYSTEMDRIVE", "C:");
        if (geteuid() == 0 && std::filesystem::exists("/usr/bin/unshare")) {
            std::filesystem::create_directories("/var/lib/spylerom");
            gRecords = records_.path();
        }
    }
    void TearDown() override { gRecords.clear(); }
    // Logging on for the runs that fill.
    void enableLog() {
        std::filesystem::create_directories(appData_.file("Solvarek/etc"));
        test::writeText(appData_.file("Solvarek/etc/solvarek.ini"), "[STANDARD]\r\nLogToFile=1\r\n");
    }
    std::string log() const { return test::readText(appData_.file("Solvarek/log/spylerom-cli.log")); }

    test::EnvGuard env_;
    TempDir appData_;
    TempDir records_;
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
    ::testing::Values(BadInput{"UnknownOption", {"--frobnicate", "C"}, "unknown option '--frobnicate'"},
                      BadInput{"UnknownFill", {"--fill", "halv", "C"}, "unknown fill 'halv'"},
                      BadInput{"ZeroRepetitions",
                               {"--repetitions", "0", "C"},
                               "repetitions must be a whole number from 1 to 10"},
                      BadInput{"ElevenRepetitions", {"--repetitions", "11", "C"}, "repetitions must be"},
                      BadInput{"RepetitionsNotANumber", {"--repetitions", "x", "C"}, "repetitions must be"},
                      BadInput{
                          "BlockSizeNotAChoice", {"--block-size", "1000", "C"}, "block size must be one of"},
                      BadInput{"BlockSizeMissing", {"--block-size"}, "option --block-size needs a value"},
                      BadInput{"NoDrive", {}, "no drive given"},
                      BadInput{"LetterWithoutDrive", {"Q:"}, "no drive 'Q:'"},
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
    const Result r = Cli({"--fill", "en", image_->mountPoint()},
                         Spawn{.pidNamespace = false, .folder = {}, .fileSizeLimit = kLimit})
                         .wait();
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

// A pool the file system holds back and only root may give to the fill: a run without that
// right says on standard error (and with a "HINT:" line in the log) what stays out of reach.
struct ReserveCase {
    const char* title;
    const char* fsType;
    bool asUser;      // run as nobody instead of root
    const char* note; // what standard error says of the pool; empty: nothing
};

class CliReserveTest : public CliTest, public ::testing::WithParamInterface<ReserveCase> {};

TEST_P(CliReserveTest, TellsWhatARunWithoutRootCannotReach) {
    const ReserveCase& c = GetParam();
    std::string why;
    if (!test::LoopImage::available(&why) || !test::LoopImage::canMake(c.fsType, &why))
        GTEST_SKIP() << why;
    test::LoopImage image({.sizeMiB = std::string(c.fsType) == "xfs" ? 320u : 128u, .fsType = c.fsType});
    ASSERT_TRUE(image.ok()) << image.error();
    enableLog();
    std::vector<std::string> prefix;
    TempDir home;
    if (c.asUser) {
        prefix = asNobody(image.mountPoint(), {appData_.path(), home.path()});
        env_.set("HOME", home.path());
    }
    const Result r = Cli({"--block-size", "65536", image.mountPoint()},
                         Spawn{.pidNamespace = false, .folder = {}, .fileSizeLimit = 0, .prefix = prefix})
                         .wait();
    EXPECT_EQ(r.status, 0) << r.err;
    for (const auto& e : std::filesystem::directory_iterator(image.mountPoint()))
        EXPECT_FALSE(e.path().filename().string().starts_with("spylerom-")) << e.path();
    // After the deletes: the journal zeroed and the freed space handed back, or why not.
    const std::string steps = log();
    const bool ext4 = std::string(c.fsType) == "ext4";
    if (c.asUser) {
        EXPECT_NE(steps.find("HINT: Bare en administrator kan gi den frigjorte plassen på"),
                  std::string::npos)
            << steps;
    }
    EXPECT_EQ(steps.find(" Ga ") != std::string::npos, !c.asUser) << steps; // "Ga N MB tilbake ..."
    EXPECT_EQ(steps.find("er nullstilt") != std::string::npos, ext4 && !c.asUser) << steps;
    EXPECT_EQ(steps.find("bare en administrator kan nullstille den") != std::string::npos, ext4 && c.asUser)
        << steps;

    const auto named = r.err.find("spylerom-cli: filling ");
    const auto note = r.err.find("spylerom-cli: without root rights ");
    if (!*c.note) {
        EXPECT_EQ(note, std::string::npos) << r.err;
        EXPECT_EQ(log().find("fylles bare med administratorrettigheter"), std::string::npos) << log();
        return;
    }
    ASSERT_NE(note, std::string::npos) << r.err;
    EXPECT_LT(named, note);
    EXPECT_LT(note, r.err.find("% pass")) << "told before the fill writes";
    EXPECT_NE(r.err.find(std::string(c.note) + " on " + image.mountPoint() + "/ cannot be filled"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("run spylerom-cli as root"), std::string::npos) << r.err;
    const std::string text = log();
    EXPECT_NE(text.find(" HINT: "), std::string::npos) << text;
    EXPECT_NE(text.find("[" + image.mountPoint() + "]: "), std::string::npos) << text;
    EXPECT_NE(text.find("fylles bare med administratorrettigheter"), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(Cases, CliReserveTest,
                         ::testing::Values(ReserveCase{"Ext4AsRoot", "ext4", false, ""},
                                           ReserveCase{"Ext4AsUser", "ext4", true,
                                                       "the blocks ext4 holds back (about 2 % of the disk)"},
                                           ReserveCase{"XfsAsRoot", "xfs", false, ""},
                                           ReserveCase{"XfsAsUser", "xfs", true, "the xfs reserve pool"},
                                           ReserveCase{"BtrfsAsUserHoldsNothingBack", "btrfs", true, ""}),
                         [](const auto& p) { return std::string(p.param.title); });

// Every entry under a folder, with its size and modification time: what a run must leave as it was.
std::string snapshot(const std::string& folder) {
    std::string listing;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
        listing += e.path().string();
        if (e.is_regular_file())
            listing += " " + std::to_string(e.file_size()) + " " +
                       std::to_string(e.last_write_time().time_since_epoch().count());
        listing += "\n";
    }
    return listing;
}

// The calls of a traced run that change a file system: a file opened to be written or made, a
// folder made, anything renamed, linked, deleted or truncated. The terminal and /dev/null are
// no file of the user's.
std::vector<std::string> changingCalls(const std::string& trace) {
    std::vector<std::string> found;
    std::istringstream lines(test::readText(trace));
    for (std::string line; std::getline(lines, line);) {
        const bool opensToWrite =
            (line.find("open") != std::string::npos || line.find("creat(") != std::string::npos) &&
            (line.find("O_WRONLY") != std::string::npos || line.find("O_RDWR") != std::string::npos ||
             line.find("O_CREAT") != std::string::npos || line.find("creat(") != std::string::npos);
        bool changes = opensToWrite;
        for (const char* call :
             {"mkdir", "rename", "unlink", "rmdir", "link(", "linkat(", "symlink", "truncate("})
            changes = changes || line.find(call) != std::string::npos;
        if (changes && line.find("\"/dev/null\"") == std::string::npos &&
            line.find("\"/dev/tty") == std::string::npos && line.find("--- SIG") == std::string::npos)
            found.push_back(line);
    }
    return found;
}

// --dry-run tells what a run would do, and makes no file, folder, log line or setting: traced by
// strace, the image and APPDATA are as before.
struct DryRunCase {
    const char* title;
    const char* fsType;
    bool asUser;
    const char* fileSystemLine;
    const char* reserveStep;
    const char* recordStep;
    const char* structureStep; // what the volume's own structures need, when anything
};

class CliDryRunTest : public CliTest, public ::testing::WithParamInterface<DryRunCase> {};

TEST_P(CliDryRunTest, TellsThePlanAndWritesNothing) {
    const DryRunCase& c = GetParam();
    std::string why;
    if (!test::LoopImage::available(&why) || !test::LoopImage::canMake(c.fsType, &why))
        GTEST_SKIP() << why;
    test::LoopImage image({.sizeMiB = std::string(c.fsType) == "xfs" ? 320u : 128u, .fsType = c.fsType});
    ASSERT_TRUE(image.ok()) << image.error();
    enableLog(); // logging on: a real run would write its log, the dry run must not
    test::writeText(image.mountPoint() + "/kept.txt", "the user's file\n");
    TempDir home, traceDir;
    std::vector<std::string> prefix;
    if (c.asUser)
        prefix = asNobody(image.mountPoint(), {appData_.path(), home.path()});
    env_.set("HOME", home.path());
    // A sanitizer build's leak check cannot run under ptrace.
    const char* asan = std::getenv("ASAN_OPTIONS");
    env_.set("ASAN_OPTIONS", std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "detect_leaks=0");
    const std::string trace = traceDir.file("trace");
    std::vector<std::string> command = {
        "/usr/bin/strace",
        "-f",
        "-qq",
        "-o",
        trace,
        "-e",
        "trace=open,openat,openat2,creat,mkdir,mkdirat,rename,renameat,renameat2,"
        "unlink,unlinkat,rmdir,link,linkat,symlink,symlinkat,truncate"};
    command.insert(command.end(), prefix.begin(), prefix.end());
    const std::string imageBefore = snapshot(image.mountPoint());
    const std::string appDataBefore = snapshot(appData_.path());
    const std::string homeBefore = snapshot(home.path());

    const Result r = Cli({"--dry-run", "--repetitions", "3", image.mountPoint()},
                         Spawn{.pidNamespace = false, .folder = {}, .fileSizeLimit = 0, .prefix = command})
                         .wait();

    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(changingCalls(trace), std::vector<std::string>{});
    EXPECT_EQ(snapshot(image.mountPoint()), imageBefore);
    EXPECT_EQ(snapshot(appData_.path()), appDataBefore);
    EXPECT_EQ(snapshot(home.path()), homeBefore);
    EXPECT_FALSE(std::filesystem::exists(appData_.file("Solvarek/log"))) << "no log";
    // What it tells.
    EXPECT_TRUE(r.out.starts_with("spylerom-cli: dry run, nothing is written\n")) << r.out;
    EXPECT_NE(r.out.find("\ndrive: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(": [" + image.mountPoint() + "]\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nmount point: " + image.mountPoint() + "/\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(std::string("\nfile system: ") + c.fileSystemLine + "\n"), std::string::npos)
        << r.out;
    const std::string free = std::to_string(freeBytes(image.mountPoint()) / 1024 / 1024) + " MB of ";
    EXPECT_NE(r.out.find("\nfree space: " + free), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n  " + image.mountPoint() + "/spylerom-1.tmp\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("spylerom-2.tmp"), std::string::npos) << "one file per started 4096 MB";
    EXPECT_NE(r.out.find(std::string(". reserve: ") + c.reserveStep), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(std::string(". file records: ") + c.recordStep), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(". journal checkpoint: "), std::string::npos) << r.out;
    if (*c.structureStep) {
        EXPECT_NE(r.out.find(std::string(". ") + c.structureStep), std::string::npos) << r.out;
    }
    EXPECT_NE(r.out.find(". trim: the freed space goes back to the device"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nestimated time: about "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("(3 x "), std::string::npos) << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliDryRunTest,
    ::testing::Values(
        DryRunCase{"Ext4AsRoot", "ext4", false, "ext4", "lift ext4's", "not needed", "journal: zeroed"},
        DryRunCase{"Ext4AsUser", "ext4", true, "ext4", "not lifted: ext4's", "not needed", "journal: zeroed"},
        DryRunCase{"Btrfs", "btrfs", false, "btrfs", "none to lift: btrfs", "not needed",
                   "metadata: btrfs's metadata and system block groups are relocated"},
        DryRunCase{"Ntfs", "ntfs", false, "ntfs", "none to lift", "small files in a folder spylerom-poster",
                   ""}),
    [](const auto& p) { return std::string(p.param.title); });

struct TrimSwitch {
    const char* title;
    std::vector<std::string> options;
    const char* settings; // the [STANDARD] section's lines after LogToFile
    bool trims;
};

class CliTrimTest : public CliTest, public ::testing::WithParamInterface<TrimSwitch> {};

TEST_P(CliTrimTest, TheFreedSpaceGoesBackUnlessSwitchedOff) {
    const TrimSwitch& c = GetParam();
    std::string why;
    if (!test::LoopImage::available(&why) || !test::LoopImage::canMake("ext4", &why))
        GTEST_SKIP() << why;
    test::LoopImage image({.sizeMiB = 128u, .fsType = "ext4"});
    ASSERT_TRUE(image.ok()) << image.error();
    std::filesystem::create_directories(appData_.file("Solvarek/etc"));
    test::writeText(appData_.file("Solvarek/etc/solvarek.ini"),
                    std::string("[STANDARD]\r\nLogToFile=1\r\n") + c.settings);
    std::vector<std::string> args = c.options;
    args.push_back(image.mountPoint());
    std::vector<std::string> dry = {"--dry-run"};
    dry.insert(dry.end(), args.begin(), args.end());
    const std::string dryRun = runCli(dry).out;

    const Result r = runCli(args);

    EXPECT_EQ(r.status, 0) << r.err;
    const std::string text = log();
    EXPECT_EQ(text.find(" MB tilbake til lagringsenheten") != std::string::npos, c.trims) << text;
    EXPECT_EQ(text.find("HINT: "), std::string::npos) << "no hint either way: " << text;
    EXPECT_EQ(dryRun.find(". trim: off (--no-trim)") != std::string::npos, !c.options.empty()) << dryRun;
    ASSERT_TRUE(image.unmount());
    const std::int64_t allocated = test::allocatedBytes(image.imagePath());
    if (c.trims)
        EXPECT_LT(allocated, 64 << 20) << "the image gave its blocks back";
    else
        EXPECT_GT(allocated, 100 << 20) << "the image keeps the fill's blocks";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliTrimTest,
    ::testing::Values(TrimSwitch{"ByDefault", {}, "", true},
                      TrimSwitch{"SettingOn", {}, "TrimEtterFylling=1\r\n", true},
                      TrimSwitch{"NoTrimOption", {"--no-trim"}, "", false},
                      TrimSwitch{"SettingOff", {}, "TrimEtterFylling=0\r\n", false},
                      TrimSwitch{"OptionOverSetting", {"--no-trim"}, "TrimEtterFylling=1\r\n", false}),
    [](const auto& p) { return std::string(p.param.title); });

TEST_F(CliTest, DryRunOfNoDriveIsBadInput) {
    const Result r = runCli({"--dry-run", "Q:"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_NE(r.err.find("no drive 'Q:'"), std::string::npos) << r.err;
}

// --json: one JSON object a line on standard output, read here by Python's parser, which prints
// each object's event and its fields in order, then the values the test checks.
std::vector<std::string> parsedJsonLines(const std::string& output, const std::string& folder) {
    test::writeText(folder + "/out.json", output);
    const std::string script = folder + "/read.py";
    test::writeText(
        script, "import json, sys\n"
                "for line in open(sys.argv[1], encoding='utf-8'):\n"
                "    o = json.loads(line)\n"
                "    assert isinstance(o, dict)\n"
                "    print(o['event'] + ' ' + ','.join(o.keys()) + ' ' + json.dumps(o, sort_keys=True))\n");
    std::vector<std::string> lines;
    std::istringstream parsed([&] {
        std::string text;
        if (std::FILE* pipe =
                popen(("python3 '" + script + "' '" + folder + "/out.json' 2>&1; echo rc=$?").c_str(), "r")) {
            char buffer[4096];
            while (std::fgets(buffer, sizeof buffer, pipe))
                text += buffer;
            pclose(pipe);
        }
        return text;
    }());
    for (std::string line; std::getline(parsed, line);)
        lines.push_back(line);
    return lines;
}

std::string fieldsOf(const std::string& parsedLine) {
    const auto a = parsedLine.find(' ');
    return parsedLine.substr(a + 1, parsedLine.find(' ', a + 1) - a - 1);
}

TEST_F(CliDiskTest, JsonLinesCarryTheDocumentedFieldsThroughARealPass) {
    TempDir scratch;
    const Result r = runCli({"--json", "--repetitions", "2", "--fill", "tilfeldig", image_->mountPoint()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(leftovers());
    const auto lines = parsedJsonLines(r.out, scratch.path());
    ASSERT_FALSE(lines.empty());
    ASSERT_EQ(lines.back(), "rc=0") << r.out;
    ASSERT_GE(lines.size(), 4u) << r.out;
    const std::string drive = "\"drive\": \"" + std::string(1, r.err[r.err.find("filling ") + 8]) + ": [" +
                              image_->mountPoint() + "]\"";
    EXPECT_TRUE(
        lines.front().starts_with("start event,drive,mount_point,file_system,free_bytes,total_bytes,passes,"
                                  "pattern,block_size "))
        << lines.front();
    EXPECT_NE(lines.front().find("\"file_system\": \"ext4\""), std::string::npos) << lines.front();
    EXPECT_NE(lines.front().find("\"passes\": 2"), std::string::npos);
    EXPECT_NE(lines.front().find("\"pattern\": \"tilfeldig\""), std::string::npos);
    const std::string& last = lines[lines.size() - 2];
    EXPECT_TRUE(last.starts_with("end event,drive,state,exit_status,signal,pass,errors,bytes_written "))
        << last;
    EXPECT_NE(last.find("\"state\": \"completed\""), std::string::npos) << last;
    EXPECT_NE(last.find("\"exit_status\": 0"), std::string::npos) << last;
    EXPECT_NE(last.find("\"errors\": 0"), std::string::npos) << last;
    int progress = 0, passEnds = 0;
    for (const auto& line : lines) {
        if (line == "rc=0")
            continue;
        EXPECT_NE(line.find(drive), std::string::npos) << line;
        if (!line.starts_with("progress "))
            continue;
        ++progress;
        EXPECT_EQ(fieldsOf(line), "event,drive,pass,passes,pass_percent,total_percent,bytes_written,"
                                  "rate_bytes_per_second,seconds_left")
            << line;
        passEnds += line.find("\"pass_percent\": 100") != std::string::npos;
    }
    EXPECT_GE(progress, 2);
    EXPECT_EQ(passEnds, 2) << "each pass's end is reported";
    // The run wrote about the image's free space twice.
    const auto at = last.find("\"bytes_written\": ");
    ASSERT_NE(at, std::string::npos);
    const std::uint64_t written = std::stoull(last.substr(at + 17));
    EXPECT_GT(written, 2 * (freeBytes(image_->mountPoint()) / 2)) << last;
}

TEST_F(CliDiskTest, JsonErrorsCarryTheirCodesAndTheEndSaysFailed) {
    TempDir scratch;
    ASSERT_TRUE(image_->unmount());
    ASSERT_TRUE(image_->mount(true));
    const Result r = runCli({"--json", image_->mountPoint()});
    EXPECT_EQ(r.status, 1);
    const auto lines = parsedJsonLines(r.out, scratch.path());
    ASSERT_EQ(lines.back(), "rc=0") << r.out;
    bool coded = false;
    for (const auto& line : lines)
        if (line.starts_with("error ")) {
            EXPECT_EQ(fieldsOf(line), "event,drive,pass,code,message") << line;
            EXPECT_NE(line.find("\"message\": \"FEIL"), std::string::npos) << line;
            coded = coded || line.find("\"code\": 19,") != std::string::npos;
        }
    EXPECT_TRUE(coded) << r.out;
    EXPECT_NE(lines[lines.size() - 2].find("\"state\": \"failed\""), std::string::npos) << r.out;
    EXPECT_NE(lines[lines.size() - 2].find("\"exit_status\": 1"), std::string::npos) << r.out;
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
class CliKilledTest : public CliDiskTest, public ::testing::WithParamInterface<bool> {
protected:
    test::LoopImage::Options imageOptions() const override { return {.sizeMiB = 512}; }
};

// The killed run's file, named as the next start's clean-up names it.
std::string killedRunsFile(const std::string& mountPoint) {
    return mountPoint + "/spylerom-1.tmp";
}

// Kills a fill of mountPoint once it has begun writing; false when it ended first. With reap
// false the killed process stays a zombie for as long as `cli` lives.
bool killMidFill(Cli& cli, bool reap, Result& r) {
    bool killed = false;
    r = cli.wait(
        [&](const std::string& err) {
            if (!killed && err.find(" left\n") != std::string::npos) {
                killed = true;
                cli.signal(SIGKILL);
            }
        },
        reap);
    return killed;
}

// The run killed by SIGKILL, reaped by its parent or not yet (a zombie holds no lock).
TEST_P(CliKilledTest, TheNextStartDeletesTheKilledRunsFileAndRestoresTheReserve) {
    test::run("sync");
    const std::uint64_t freeBefore = freeBytes(image_->mountPoint());
    const std::string reserveBefore = reservedClusters(image_->mountPoint());
    ASSERT_NE(reserveBefore, "0") << "ext4 holds a reserve back, which the fill lifts";
    Cli cli({"--block-size", "512", image_->mountPoint()});
    Result r;
    ASSERT_TRUE(killMidFill(cli, GetParam(), r)) << r.err;
    if (GetParam()) {
        EXPECT_EQ(r.status, 128 + SIGKILL);
    }
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
    EXPECT_EQ(reservedClusters(image_->mountPoint()), reserveBefore)
        << "the value from before the killed run";
    if (!gRecords.empty()) {
        EXPECT_TRUE(folderEmpty(gRecords)) << "the record is gone with what it named";
    }
}

INSTANTIATE_TEST_SUITE_P(Reaped, CliKilledTest, ::testing::Bool(),
                         [](const auto& p) { return std::string(p.param ? "Reaped" : "Zombie"); });

// What root may believe. The cases below need root (mounts, namespaces, other owners); a
// machine without root skips them with the loop images.
class CliTrustTest : public CliDiskTest {
protected:
    void SetUp() override {
        CliDiskTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        if (gRecords.empty())
            GTEST_SKIP() << "needs root and unshare";
        // A second drive, for the run that comes after.
        other_ = std::make_unique<test::LoopImage>(test::LoopImage::Options{});
        ASSERT_TRUE(other_->ok()) << other_->error();
    }
    // The ext4 device numbers and mount instance of a mount point, as a reserve token has them.
    std::string tokenHead(const std::string& mountPoint) const {
        const std::string device = firstLineOf("findmnt -no SOURCE '" + mountPoint + "'");
        const std::string numbers = firstLineOf("stat -L -c '%t:%T' '" + device + "'");
        const auto colon = numbers.find(':');
        const std::string majorMinor = std::to_string(std::stoul(numbers.substr(0, colon), nullptr, 16)) +
                                       ":" +
                                       std::to_string(std::stoul(numbers.substr(colon + 1), nullptr, 16));
        const std::string instance =
            firstLineOf("stat -c %i /sys/fs/ext4/" + std::filesystem::path(device).filename().string());
        return "ext4:" + majorMinor + ":" + instance;
    }
    // A record as a pass writes it, naming file `name` in the image's root and a raised reserve.
    std::string forgedRecord(const std::string& name) const {
        // The volume as the program names it: the file system's id, as the kernel gives it.
        struct statfs fs {};
        std::uint64_t volume = 0;
        if (statfs(image_->mountPoint().c_str(), &fs) == 0)
            std::memcpy(&volume, &fs.f_fsid, sizeof volume);
        return "spylerom-fill 2\nprocess=1:1:x\nmark=0123456789abcdef0123456789abcdef\ndrive=" +
               image_->mountPoint() + "/\nvolume=" + std::to_string(volume) +
               "\nfolder=\nreserve=" + tokenHead(image_->mountPoint()) + "=60000\nplan=" + name + "\n";
    }
    std::string recordFile(const std::string& folder) const {
        return folder + "/spylerom-fill-0123456789abcdef0123456789abcdef.rec";
    }
    test::LoopImage::Options imageOptions() const override { return {.sizeMiB = 512}; }
    std::unique_ptr<test::LoopImage> other_;
};

// Records anyone but root could have written: never read, whatever they say, and named.
struct ForgedRecord {
    const char* name;
    // Puts the record text where this case keeps it; returns the words the refusal must show
    // (empty: the record is simply not where root looks).
    std::function<std::string(CliTrustTest&, const std::string& text, const std::string& recordPath)> place;
};

class CliForgedRecordTest : public CliTrustTest, public ::testing::WithParamInterface<ForgedRecord> {
public:
    std::string appDataFile(const std::string& rel) const { return appData_.file(rel); }
    std::string recordsFolder() const { return gRecords; }
    std::string workFolder() const { return work_.path(); }
    TempDir work_;
};

TEST_P(CliForgedRecordTest, IsNeverActedOnAndTheUsersFilesAndReservesStay) {
    const std::string secret = image_->mountPoint() + "/spylerom-7.tmp";
    test::writeText(secret, "root's secret");
    ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
    const std::string reserveBefore = reservedClusters(image_->mountPoint());
    const std::string text = forgedRecord("spylerom-7.tmp");
    const std::string refusal = GetParam().place(*this, text, recordFile(recordsFolder()));

    Cli cli({"--block-size", "65536", other_->mountPoint()},
            Spawn{.pidNamespace = false, .folder = work_.path(), .fileSizeLimit = 0});
    const Result r = cli.wait();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("Rydder opp"), std::string::npos) << r.err;
    EXPECT_EQ(test::readText(secret), "root's secret");
    EXPECT_EQ(reservedClusters(image_->mountPoint()), reserveBefore);
    if (!refusal.empty()) {
        EXPECT_NE(r.err.find("spylerom-cli: HINT: Fyllingsloggen /var/lib/spylerom/spylerom-fill-"
                             "0123456789abcdef0123456789abcdef.rec er ikke brukt: " +
                             refusal),
                  std::string::npos)
            << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Places, CliForgedRecordTest,
    ::testing::Values(
        ForgedRecord{"InTheUsersDataFolder",
                     [](CliTrustTest& fixture, const std::string& text, const std::string&) {
                         auto& self = static_cast<CliForgedRecordTest&>(fixture);
                         std::filesystem::create_directories(self.appDataFile("Solvarek/data"));
                         test::writeText(self.appDataFile("Solvarek/data/spylerom-fill-1.rec"), text);
                         return std::string();
                     }},
        ForgedRecord{"InADataFolderTheWorkingFoldersSettingsName",
                     [](CliTrustTest& fixture, const std::string& text, const std::string&) {
                         auto& self = static_cast<CliForgedRecordTest&>(fixture);
                         const std::string data = self.workFolder() + "/data/";
                         std::filesystem::create_directories(data);
                         test::writeText(data + "spylerom-fill-1.rec", text);
                         test::writeText(self.workFolder() + "/solvarek.ini",
                                         "[FOLDERS]\r\ndata_folder=" + data + "\r\n");
                         return std::string();
                     }},
        ForgedRecord{"OwnedByAnotherAccount",
                     [](CliTrustTest&, const std::string& text, const std::string& path) {
                         test::writeText(path, text);
                         EXPECT_EQ(::chown(path.c_str(), 65534, 65534), 0);
                         return std::string("den eies av en annen konto eller kan endres av andre");
                     }},
        ForgedRecord{"WritableByOthers",
                     [](CliTrustTest&, const std::string& text, const std::string& path) {
                         test::writeText(path, text);
                         EXPECT_EQ(::chmod(path.c_str(), 0666), 0);
                         return std::string("den eies av en annen konto eller kan endres av andre");
                     }},
        ForgedRecord{"ALink",
                     [](CliTrustTest& fixture, const std::string& text, const std::string& path) {
                         auto& self = static_cast<CliForgedRecordTest&>(fixture);
                         test::writeText(self.workFolder() + "/real.rec", text);
                         std::filesystem::create_symlink(self.workFolder() + "/real.rec", path);
                         return std::string("den er en lenke");
                     }},
        ForgedRecord{"AFifo",
                     [](CliTrustTest&, const std::string&, const std::string& path) {
                         EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
                         return std::string("den er ikke en vanlig fil");
                     }},
        ForgedRecord{"Huge",
                     [](CliTrustTest&, const std::string& text, const std::string& path) {
                         test::writeText(path, text + std::string(100u << 20, '\n'));
                         return std::string("den er for stor til å være en fyllingslogg");
                     }},
        ForgedRecord{"NamingAFileOfAnotherName",
                     [](CliTrustTest&, const std::string& text, const std::string& path) {
                         std::string bent = text;
                         bent.replace(bent.find("plan=spylerom-7.tmp"), 19, "plan=../etc/passwd");
                         test::writeText(path, bent);
                         return std::string("den er ikke en hel fyllingslogg");
                     }}),
    [](const auto& p) { return std::string(p.param.name); });

// A record in root's own folder that names a file the run never marked: the name is the run's,
// the file is not, and it stays (told), whatever reused its name or number.
TEST_F(CliTrustTest, AFileWithoutTheRunsMarkStaysAndIsNamed) {
    const std::string secret = image_->mountPoint() + "/spylerom-7.tmp";
    test::writeText(secret, "the user's own");
    test::writeText(recordFile(gRecords), forgedRecord("spylerom-7.tmp"));
    ASSERT_EQ(::chmod(recordFile(gRecords).c_str(), 0600), 0);
    const std::string reserveBefore = reservedClusters(image_->mountPoint());

    const Result r = runCli({"--block-size", "65536", other_->mountPoint()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::readText(secret), "the user's own");
    EXPECT_NE(r.err.find("Rydder opp etter en avbrutt fylling: 0 filer slettet, 1 reserver satt tilbake"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("not deleted, cannot be proven a fill file: " + secret), std::string::npos) << r.err;
    EXPECT_EQ(reservedClusters(image_->mountPoint()), reserveBefore)
        << "put back, never raised above the kernel's";
}

// A fill that lives on in another process-id namespace (a container) holds its drive: a fill of
// another drive, in this namespace or one of its own, leaves it alone.
class CliLivingRunTest : public CliTrustTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CliLivingRunTest, KeepsItsFilesAndReserveWhileAnotherFillStarts) {
    const std::string reserveBefore = reservedClusters(image_->mountPoint());
    Cli living({"--block-size", "512", image_->mountPoint()},
               Spawn{.pidNamespace = true, .folder = {}, .fileSizeLimit = 0});
    bool checked = false;
    const Result r = living.wait([&](const std::string& err) {
        if (checked || err.find(" left\n") == std::string::npos)
            return;
        checked = true;
        // Held where it stands, the run lives on with its files open and its drive locked.
        living.signalProgram(SIGSTOP);
        Cli other({"--block-size", "65536", other_->mountPoint()},
                  Spawn{.pidNamespace = GetParam(), .folder = {}, .fileSizeLimit = 0});
        const Result second = other.wait();
        EXPECT_EQ(second.status, 0) << second.err;
        EXPECT_EQ(second.err.find("Rydder opp"), std::string::npos) << second.err;
        EXPECT_TRUE(std::filesystem::exists(killedRunsFile(image_->mountPoint()))) << "the living run's file";
        EXPECT_EQ(reservedClusters(image_->mountPoint()), "0") << "still lifted for the living run";
        living.signalProgram(SIGCONT);
    });
    ASSERT_TRUE(checked) << r.err;
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(leftovers());
    EXPECT_EQ(reservedClusters(image_->mountPoint()), reserveBefore);
}

INSTANTIATE_TEST_SUITE_P(Namespaces, CliLivingRunTest, ::testing::Bool(), [](const auto& p) {
    return std::string(p.param ? "BothInNamespacesOfTheirOwn" : "TheOtherInTheHostNamespace");
});

// The killed run's drive is no longer where it was (unmounted lazily, or covered by another
// mount), but its volume is still mounted elsewhere: the clean-up finds it there.
class CliMovedVolumeTest : public CliTrustTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CliMovedVolumeTest, TheNextStartCleansUpTheVolumeWhereverItIsStillMounted) {
    const std::string reserveBefore = reservedClusters(image_->mountPoint());
    Cli cli({"--block-size", "512", image_->mountPoint()});
    Result r;
    ASSERT_TRUE(killMidFill(cli, true, r)) << r.err;
    ASSERT_TRUE(leftovers());
    TempDir elsewhere;
    ASSERT_EQ(test::run("mount --bind '" + image_->mountPoint() + "' '" + elsewhere.path() + "'"), 0);
    const bool lazy = GetParam();
    ASSERT_EQ(test::run(lazy ? "umount -l '" + image_->mountPoint() + "'"
                             : "mount -t tmpfs -o size=1m cover '" + image_->mountPoint() + "'"),
              0);

    const Result again = runCli({"--block-size", "65536", other_->mountPoint()});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.err.find("Rydder opp etter en avbrutt fylling: 1 filer slettet, 1 reserver satt tilbake"),
              std::string::npos)
        << again.err;
    EXPECT_FALSE(std::filesystem::exists(killedRunsFile(elsewhere.path())));
    EXPECT_EQ(reservedClusters(elsewhere.path()), reserveBefore);
    if (!lazy)
        test::run("umount '" + image_->mountPoint() + "'");
    test::run("umount '" + elsewhere.path() + "'");
    ASSERT_TRUE(image_->mount()) << "put back for the image's own clean-up";
}

INSTANTIATE_TEST_SUITE_P(Ways, CliMovedVolumeTest, ::testing::Bool(),
                         [](const auto& p) { return std::string(p.param ? "LazyUnmount" : "OverMount"); });

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
    Cli cli({"--fill", "en", path_}, Spawn{.pidNamespace = false, .folder = {}, .fileSizeLimit = 1u << 20});
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
