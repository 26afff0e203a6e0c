// The log: stamped lines, counts by kind, clearing, loading and saving its file.
#include "frame/frame_ui.h"
#include "frame/textfil.h"
#include "support/env_guard.h"
#include "support/native_platform.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <tuple>
#include <vector>

namespace spylerom::frame {
namespace {

using test::TempDir;

// A path written with "/" in this build's separators.
std::string native(std::string path) {
    std::replace(path.begin(), path.end(), '/', platform::kPathSeparator);
    return path;
}

class RecordingUi : public FrameUi {
public:
    std::vector<std::pair<std::string, std::string>> boxes;
    void messageBox(const std::string& caption, const std::string& text) override {
        boxes.emplace_back(caption, text);
    }
};

// Refuses to replace files, as a full disk or a write-protected folder would.
class RefusingPlatform : public test::NativePlatform {
public:
    bool replaceFile(const std::string&, std::string_view, platform::Error& err) override {
        err = test::nativeError(ENOSPC);
        return false;
    }
};

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        env_.set("APPDATA", appData_.path());
        ResetLogState();
        setFrameUi(&ui_);
        InitLog();
    }
    void TearDown() override {
        setFrameUi(nullptr);
        platform::setPlatform(nullptr);
        ResetLogState();
    }
    std::string logFile() const { return appData_.file(native("Solvarek/log/frame_tests.log")); }

    test::EnvGuard env_;
    TempDir appData_;
    RecordingUi ui_;
};

TEST_F(LogTest, FileNameFollowsTheProgramFile) {
    EXPECT_EQ(logState().LogFolder, appData_.path() + native("/Solvarek/log/"));
    EXPECT_EQ(logState().LogFileName, logFile());
}

TEST_F(LogTest, NothingIsTakenWhenLoggingIsOff) {
    WriteLog("FEIL: ignored");
    EXPECT_TRUE(logState().LogLines.empty());
    EXPECT_EQ(logState().ErrorCount, 0);
    platform::Error err;
    ASSERT_TRUE(SaveLog(err)) << err.message;
    EXPECT_EQ(test::readText(logFile()), "") << "the file is still written, empty";
}

TEST_F(LogTest, TheObserverSeesEveryMessageAndWhetherTheLogTookIt) {
    std::vector<std::tuple<std::string, std::string, bool>> seen;
    setLogObserver([&](const LogEvent& e) { seen.emplace_back(std::string(e.message), e.line, e.taken); });
    WriteLog("FEIL: off");
    EXPECT_EQ(logState().ErrorCount, 0) << "what the log counts is what it holds";
    logState().LogEnabled = true;
    WriteLog("Vanlig linje");
    setLogObserver(nullptr);
    WriteLog("unseen");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(std::get<0>(seen[0]), "FEIL: off");
    EXPECT_FALSE(std::get<2>(seen[0]));
    EXPECT_EQ(std::get<1>(seen[0]).substr(std::get<1>(seen[0]).size() - 10), " FEIL: off")
        << "stamped as well";
    EXPECT_EQ(std::get<0>(seen[1]), "Vanlig linje");
    EXPECT_TRUE(std::get<2>(seen[1]));
    EXPECT_EQ(std::get<1>(seen[1]), logState().LogLines.front());
    EXPECT_EQ(logState().LogLines.size(), 2u);
}

struct CountCase {
    const char* message;
    int errors, warnings, hints;
};

class LogCounts : public LogTest, public ::testing::WithParamInterface<CountCase> {};

TEST_P(LogCounts, MessagesCountByTheirExactStart) {
    logState().LogEnabled = true;
    WriteLog(GetParam().message);
    ASSERT_EQ(logState().LogLines.size(), 1u);
    const std::string& line = logState().LogLines.front();
    EXPECT_EQ(line.substr(line.size() - std::string(GetParam().message).size()), GetParam().message);
    EXPECT_EQ(logState().ErrorCount, GetParam().errors);
    EXPECT_EQ(logState().WarningCount, GetParam().warnings);
    EXPECT_EQ(logState().HintCount, GetParam().hints);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, LogCounts,
    ::testing::Values(CountCase{"FEIL: UNDER OPPRETTELSE AV FILEN x", 1, 0, 0},
                      CountCase{"ERROR: x", 1, 0, 0}, CountCase{"FEILNR: 5 x", 0, 0, 0},
                      CountCase{"FEIL UNDER LUKKING AV FIL", 0, 0, 0}, CountCase{"ADVARSEL: x", 0, 1, 0},
                      CountCase{"WARNING: x", 0, 1, 0}, CountCase{"advarsel: x", 0, 0, 0},
                      CountCase{"Se ADVARSEL: x", 0, 0, 0}, CountCase{"HINT: x", 0, 0, 1},
                      CountCase{"Vanlig linje", 0, 0, 0}));

TEST_F(LogTest, LinesCarryTheLocalDateAndTime) {
    logState().LogEnabled = true;
    WriteLog("Hei");
    const std::string line = logState().LogLines.front();
    const std::string stamp = platform::sys().dateTimeText(platform::sys().localTime());
    // The stamp may have moved on by a second meanwhile; the date part cannot have in this test.
    EXPECT_EQ(line.substr(0, stamp.find(' ')), stamp.substr(0, stamp.find(' ')));
    EXPECT_EQ(line.substr(line.size() - 4), " Hei");
}

TEST_F(LogTest, ClearLeavesOneUncountedLineInMemoryAndFile) {
    std::filesystem::create_directories(appData_.file(native("Solvarek/log")));
    test::writeText(logFile(), "old 1\r\nold 2\r\n");
    logState().LogEnabled = false; // cleared whatever the switch says
    logState().ErrorCount = 3;
    logState().WarningCount = 2;
    ClearLog();
    ASSERT_EQ(logState().LogLines.size(), 1u);
    const std::string line = logState().LogLines.front();
    const std::string tail = " LOGGFIL TØMT (TextFile.ClearLog).";
    ASSERT_GT(line.size(), tail.size());
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail);
    EXPECT_NE(line.substr(0, line.size() - tail.size()).back(), ' ') << "one blank after the stamp";
    EXPECT_EQ(test::readText(logFile()), platform::sys().toFileText(line + "\r\n"));
    EXPECT_EQ(logState().ErrorCount, 0);
    EXPECT_EQ(logState().WarningCount, 2);
    EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(LogTest, ClearThatCannotCreateTheFileSaysSoAndGoesOn) {
    RefusingPlatform refusing;
    platform::setPlatform(&refusing);
    ClearLog();
    ASSERT_EQ(ui_.boxes.size(), 1u);
    EXPECT_EQ(ui_.boxes[0].first, "FEIL");
    EXPECT_EQ(ui_.boxes[0].second, "Feil under oppretting av ny fil: " + logFile() + "  (112)");
    EXPECT_EQ(logState().LogLines.size(), 1u);
}

TEST_F(LogTest, EachRunAddsToTheLinesOfTheRunsBefore) {
    logState().LogEnabled = true;
    WriteLog("første kjøring");
    platform::Error err;
    ASSERT_TRUE(SaveLog(err)) << err.message;
    EXPECT_TRUE(logState().LogLines.empty());

    ResetLogState();
    InitLog();
    logState().LogEnabled = true;
    LoadLog();
    ASSERT_EQ(logState().LogLines.size(), 1u);
    WriteLog("andre kjøring");
    ASSERT_TRUE(SaveLog(err));
    const std::string text = test::readText(logFile());
    // The file is in the system's code page for texts (UTF-8 here, the ANSI code page on Windows).
    const auto fileText = [](const char* utf8) { return platform::sys().toFileText(utf8); };
    EXPECT_NE(text.find(fileText("første kjøring\r\n")), std::string::npos);
    EXPECT_LT(text.find(fileText("første")), text.find(fileText("andre kjøring\r\n")));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
}

TEST_F(LogTest, LogFromWindowsIsReadAsWindows1252) {
    std::filesystem::create_directories(appData_.file(native("Solvarek/log")));
    test::writeText(logFile(), "24.12.2011 14:05:09 BRUKER: \xD8YVIND\r\n");
    LoadLog();
    ASSERT_EQ(logState().LogLines.size(), 1u);
    EXPECT_EQ(logState().LogLines.front(), "24.12.2011 14:05:09 BRUKER: ØYVIND");
}

TEST_F(LogTest, FailedSaveKeepsTheOldFileAndTheLines) {
    std::filesystem::create_directories(appData_.file(native("Solvarek/log")));
    test::writeText(logFile(), "earlier\r\n");
    logState().LogEnabled = true;
    WriteLog("new");
    RefusingPlatform refusing;
    platform::setPlatform(&refusing);
    platform::Error err;
    EXPECT_FALSE(SaveLog(err));
    EXPECT_EQ(err.code, 112u);
    EXPECT_EQ(test::readText(logFile()), "earlier\r\n");
    EXPECT_EQ(logState().LogLines.size(), 1u);
}

TEST_F(LogTest, SaveCreatesAMissingFolder) {
    logState().LogEnabled = true;
    WriteLog("x");
    platform::Error err;
    ASSERT_TRUE(SaveLog(err)) << err.message;
    EXPECT_TRUE(test::exists(logFile()));
}

} // namespace
} // namespace spylerom::frame
