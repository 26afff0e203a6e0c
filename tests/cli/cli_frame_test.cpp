// spylerom-cli with the frame: its options beside the frame's, no files for what stops before
// the start-up, and a real run on a loop-mounted image whose log obeys the settings switches.
#include "cli/cli_options.h"
#include "cli/cli_run.h"

#include "frame/startup.h"
#include "platform/posix/posix_platform.h"
#include "support/env_guard.h"
#include "support/loop_image.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace spylerom::test {
namespace {

namespace fs = std::filesystem;

struct ParseCase {
    const char* title;
    std::vector<std::string> args;
    bool accepted;
    const char* drive;
};

class CliParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CliParseTest, FrameOptionsBesideOwnOptions) {
    std::string problem;
    const auto options = cli::parseOptions(GetParam().args, problem);
    ASSERT_EQ(options.has_value(), GetParam().accepted) << problem;
    if (options) {
        EXPECT_EQ(options->drive, GetParam().drive);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliParseTest,
    ::testing::Values(ParseCase{"UserValueIsNotTheDrive", {"--user", "kari", "D:"}, true, "D:"},
                      ParseCase{"UserThenDebug", {"--user", "--debug", "D:"}, true, "D:"},
                      ParseCase{"AllFrameOptions",
                                {"-ip", "10.0.0.7", "--caption", "Hei du", "-install", "--debug", "--fill",
                                 "en", "/mnt"},
                                true,
                                "/mnt"},
                      ParseCase{"FrameOptionLast", {"D:", "--user"}, true, "D:"},
                      ParseCase{"UserThenVerbose", {"--user", "-v", "D:"}, true, "D:"},
                      ParseCase{"OnlyFrameOptionsIsNoDrive", {"--user", "kari"}, false, ""},
                      ParseCase{"MisspeltFrameOption", {"--Debug", "D:"}, false, ""},
                      ParseCase{"TwoDrivesAfterAValue", {"--user", "kari", "D:", "E:"}, false, ""}),
    [](const auto& p) { return std::string(p.param.title); });

class CliRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(appdata());
        fs::create_directories(root_.file("work"));
        oldCwd_ = fs::current_path().string();
        fs::current_path(root_.file("work"));
        env_.set("APPDATA", appdata());
        env_.set("USERNAME", "ola");
        frame::ResetFrameState();
    }
    void TearDown() override {
        frame::ResetFrameState();
        fs::current_path(oldCwd_);
    }
    std::string appdata() const { return root_.file("appdata"); }
    int run(const std::vector<std::string>& args) {
        out_ = std::tmpfile();
        err_ = std::tmpfile();
        const int status = cli::runCli(args, out_, err_);
        stderrText_ = contentOf(err_);
        std::fclose(out_);
        std::fclose(err_);
        return status;
    }
    int filesUnderAppdata() const {
        int count = 0;
        for ([[maybe_unused]] const auto& e : fs::recursive_directory_iterator(appdata()))
            ++count;
        return count;
    }
    std::string logFile() const { return appdata() + "/Solvarek/log/cli_tests.log"; }

    TempDir root_;
    EnvGuard env_;
    std::string oldCwd_;
    std::FILE* out_ = nullptr;
    std::FILE* err_ = nullptr;
    std::string stderrText_;

private:
    static std::string contentOf(std::FILE* file) {
        std::string text;
        std::rewind(file);
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            text.append(buffer, n);
        return text;
    }
};

struct StopCase {
    const char* title;
    std::vector<std::string> args;
    int status;
};

class CliStopsEarlyTest : public CliRunTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(CliStopsEarlyTest, WritesNoFiles) {
    EXPECT_EQ(run(GetParam().args), GetParam().status);
    EXPECT_EQ(filesUnderAppdata(), 0);
    EXPECT_TRUE(fs::is_empty(root_.file("work")));
}

INSTANTIATE_TEST_SUITE_P(Cases, CliStopsEarlyTest,
                         ::testing::Values(StopCase{"Help", {"--user", "kari", "--help"}, 0},
                                           StopCase{"Version", {"--debug", "--version"}, 0},
                                           StopCase{"ListDrives", {"-install", "--list-drives"}, 0},
                                           StopCase{"BadOption", {"--debug", "--fill", "noe", "D:"}, 2},
                                           StopCase{"UnknownDrive", {"-install", "Q:"}, 2}),
                         [](const auto& p) { return std::string(p.param.title); });

class CliFillTest : public CliRunTest {
protected:
    void SetUp() override {
        std::string why;
        if (!LoopImage::available(&why))
            GTEST_SKIP() << why;
        CliRunTest::SetUp();
        image_ = std::make_unique<LoopImage>(LoopImage::Options{16, "ext4", false});
        ASSERT_TRUE(image_->ok()) << image_->error();
    }
    std::unique_ptr<LoopImage> image_;
};

TEST_F(CliFillTest, WithoutLogToFileTheLogStaysEmptyAndTheFrameIsSetUp) {
    ASSERT_EQ(run({"--user", "kari", image_->mountPoint()}), 0);
    EXPECT_TRUE(fs::exists(appdata() + "/Solvarek/etc/solvarek.ini"));
    EXPECT_TRUE(fs::is_directory(appdata() + "/Solvarek/data/tabulant"));
    ASSERT_TRUE(fs::exists(logFile()));
    EXPECT_EQ(readText(logFile()), "");
}

TEST_F(CliFillTest, WithLogToFileTheRunIsLoggedFromStartToSummary) {
    fs::create_directories(appdata() + "/Solvarek/etc");
    writeText(appdata() + "/Solvarek/etc/solvarek.ini", "[STANDARD]\r\nLogToFile=1\r\nVerboseLogging=1\r\n");
    ASSERT_EQ(run({"--user", "kari", "-ip", "10.0.0.7", image_->mountPoint()}), 0);
    const std::string log = readText(logFile());
    EXPECT_NE(log.find(" START: "), std::string::npos);
    EXPECT_NE(log.find(" BRUKER: KARI\r\n"), std::string::npos);
    EXPECT_NE(log.find(" IP:10.0.0.7\r\n"), std::string::npos);
    EXPECT_NE(log.find(" STOPP: "), std::string::npos); // the fill pass's own line
    EXPECT_NE(log.find(" AVSLUTTER PROGRAM. "), std::string::npos);
    EXPECT_LT(log.find(" START: "), log.find(" STOPP: "));
    EXPECT_LT(log.find(" STOPP: "), log.find(" AVSLUTTER PROGRAM. "));
}

// A drive that takes the pattern but cannot make it durable.
class FailingFlushPlatform : public platform::PosixPlatform {
public:
    bool flushFile(platform::FileHandle, platform::Error& err) override {
        err = platform::Error{5, "Access is denied."};
        return false;
    }
};

TEST_F(CliFillTest, AFileThatCannotBeFlushedIsShownAndExitsOneWithLoggingOff) {
    FailingFlushPlatform failing;
    platform::setPlatform(&failing);
    const int status = run({image_->mountPoint()});
    platform::setPlatform(nullptr);
    EXPECT_EQ(status, 1);
    EXPECT_NE(stderrText_.find("spylerom-cli: FEIL"), std::string::npos) << stderrText_;
    ASSERT_TRUE(fs::exists(logFile()));
    EXPECT_EQ(readText(logFile()), "") << "logging stays off";
    for (const auto& e : fs::directory_iterator(image_->mountPoint()))
        EXPECT_NE(e.path().filename().string().rfind("spylerom-", 0), 0u) << e.path();
}

} // namespace
} // namespace spylerom::test
