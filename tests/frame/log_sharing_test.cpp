// One log file, several runs at once: real processes (forked from the test) that load and save
// the same log, and a program started without any environment, whose folders belong under the
// account's home.
#include "frame/folders.h"
#include "frame/startup.h"
#include "frame/text_lines.h"
#include "frame/textfil.h"
#include "frame_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace spylerom::test {
namespace {

using namespace spylerom::frame;
namespace fs = std::filesystem;

// Runs body in a child process; its result is the child's exit status (body's return value),
// or -1 when the child did not end normally.
template <typename Body> int inChild(Body body) {
    const pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

class LogSharingTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        InitLog();
        fs::create_directories(platform::folderOf(logState().LogFileName));
    }
    std::vector<std::string> lines(const std::string& path) const {
        return exists(path) ? splitLines(readText(path)) : std::vector<std::string>{};
    }
};

TEST_F(LogSharingTest, TwoRunsThatLoadedTheSameLogBothKeepTheirLines) {
    writeText(logState().LogFileName, "eldre\r\n");
    logState().LogEnabled = true;
    LoadLog();
    // The other run started from the same file and ends first.
    const int child = inChild([] {
        WriteLog("den andre kjøringen");
        platform::Error err;
        return SaveLog(err) ? 0 : 1;
    });
    ASSERT_EQ(child, 0);
    WriteLog("denne kjøringen");
    platform::Error err;
    ASSERT_TRUE(SaveLog(err)) << err.message;
    const auto all = lines(logState().LogFileName);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0], "eldre");
    EXPECT_TRUE(all[1].ends_with(" den andre kjøringen")) << all[1];
    EXPECT_TRUE(all[2].ends_with(" denne kjøringen")) << all[2];
}

TEST_F(LogSharingTest, RunsSavingAtOnceLoseNoLineAndSplitNone) {
    constexpr int kRuns = 4;
    constexpr int kSaves = 150;
    logState().LogEnabled = true;
    // About 2/3 of all the lines fit before the file passes its limit: it is rotated once, while
    // the runs wait on each other's lock.
    const std::string sample =
        platform::sys().dateTimeText(platform::sys().localTime()) + " kjøring 0 linje 000\r\n";
    logState().LogFileLimit = static_cast<std::int64_t>(sample.size()) * kRuns * kSaves * 2 / 3;

    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<pid_t> runs;
    for (int run = 0; run < kRuns; ++run) {
        const pid_t pid = fork();
        if (pid == 0) {
            close(gate[1]);
            char go = 0;
            [[maybe_unused]] const ssize_t n = read(gate[0], &go, 1); // all start together
            for (int i = 0; i < kSaves; ++i) {
                char number[8];
                std::snprintf(number, sizeof number, "%03d", i);
                WriteLog("kjøring " + std::to_string(run) + " linje " + number);
                platform::Error err;
                if (!SaveLog(err))
                    _exit(1);
            }
            _exit(0);
        }
        ASSERT_GT(pid, 0);
        runs.push_back(pid);
    }
    close(gate[0]);
    close(gate[1]);
    for (const pid_t pid : runs) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    std::map<std::string, int> seen;
    std::size_t inRotated = 0;
    for (const std::string& path : {RotatedLogFileName(), logState().LogFileName}) {
        const auto fileLines = lines(path);
        if (path == RotatedLogFileName())
            inRotated = fileLines.size();
        for (const auto& line : fileLines) {
            const auto at = line.find(" kjøring ");
            ASSERT_NE(at, std::string::npos) << "a whole line: " << line;
            ++seen[line.substr(at + 1)];
        }
    }
    EXPECT_GT(inRotated, 0u) << "the file was rotated";
    EXPECT_LE(fs::file_size(logState().LogFileName), static_cast<std::uintmax_t>(logState().LogFileLimit));
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kRuns * kSaves));
    for (const auto& [line, times] : seen)
        EXPECT_EQ(times, 1) << line;
}

// A program started as cron or "env -i" start it, in a mount namespace of its own in which the
// account's home is an empty tmpfs, so the test never writes to the machine's real home.
TEST_F(LogSharingTest, WithoutAnyEnvironmentTheFoldersLieUnderTheAccountsHome) {
    const passwd* account = getpwuid(getuid());
    ASSERT_NE(account, nullptr);
    const std::string home = account->pw_dir;
    if (home.empty() || home == "/")
        GTEST_SKIP() << "this account has no home of its own";
    if (exists("/Solvarek"))
        GTEST_SKIP() << "/Solvarek exists already; the test could not tell its own from it";

    enum { kOk = 0, kNoNamespace = 77, kWrongPlace = 1 };
    const int result = inChild([&] {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", home.c_str(), "tmpfs", 0, "size=16m") != 0)
            return int(kNoNamespace);
        clearenv();
        ResetFrameState();
        InitLog();
        FrameStartup(std::vector<std::string>{});
        const std::string tree = home + "/.local/share/Solvarek/";
        const bool underHome = MakerFolder() == tree && fs::is_directory(tree + "data/tabulant") &&
                               fs::exists(tree + "etc/solvarek.ini") &&
                               logState().LogFileName.rfind(tree + "log/", 0) == 0;
        return underHome ? int(kOk) : int(kWrongPlace);
    });
    const bool atTheRoot = exists("/Solvarek");
    if (atTheRoot)
        fs::remove_all("/Solvarek");
    if (result == kNoNamespace)
        GTEST_SKIP() << "no mount namespace for the test (needs root)";
    EXPECT_FALSE(atTheRoot) << "the tree was made at the root of the file system";
    EXPECT_EQ(result, kOk);
}

} // namespace
} // namespace spylerom::test
