// The log: stamped lines, counts by kind, clearing, loading and saving its file.
#include "frame/frame_ui.h"
#include "frame/text_lines.h"
#include "frame/textfil.h"
#include "support/env_guard.h"
#include "support/native_platform.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
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

// Refuses to replace or append to files, as a full disk or a write-protected folder would.
class RefusingPlatform : public test::NativePlatform {
public:
    bool replaceFile(const std::string&, std::string_view, platform::Error& err) override {
        err = test::nativeError(ENOSPC);
        return false;
    }
    bool appendToSharedFile(const std::string&, std::string_view, std::int64_t, const std::string&,
                            platform::Error& err) override {
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

struct ControlCase {
    const char* name;
    std::string message;
    std::string shown; // the message as the log line carries it
    int errors;
};

class LogControls : public LogTest, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(LogControls, AreMadeVisibleSoNoMessageBeginsALineOfItsOwn) {
    logState().LogEnabled = true;
    WriteLog(GetParam().message);
    ASSERT_EQ(logState().LogLines.size(), 1u);
    const std::string& line = logState().LogLines.front();
    ASSERT_GE(line.size(), GetParam().shown.size());
    EXPECT_EQ(line.substr(line.size() - GetParam().shown.size()), GetParam().shown);
    EXPECT_EQ(logState().ErrorCount, GetParam().errors) << "counted by the message as given";

    platform::Error err;
    ASSERT_TRUE(SaveLog(err)) << err.message;
    const std::string text = test::readText(logFile());
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 1) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Messages, LogControls,
    ::testing::Values(ControlCase{"ForgedLine", "BRUKER: X\r\n24.12.2011 14:05:09 STOPP: FORGED",
                                  "BRUKER: X\\r\\n24.12.2011 14:05:09 STOPP: FORGED", 0},
                      ControlCase{"LoneLineFeed", "a\nFEIL: b", "a\\nFEIL: b", 0},
                      ControlCase{"LoneCarriageReturn", "a\rb", "a\\rb", 0},
                      ControlCase{"ErrorWithABreakStillCounts", "FEIL: a\nb", "FEIL: a\\nb", 1},
                      ControlCase{"EscapeTabNulAndDelete",
                                  std::string("\x1b[2Ja\tb\x7f", 8) + std::string(1, '\0'),
                                  "\\x1b[2Ja\\tb\\x7f\\x00", 0},
                      ControlCase{"NextLineAndLineSeparator",
                                  "a\xC2\x85"
                                  "b\xE2\x80\xA8"
                                  "c",
                                  "a\\u0085b\\u2028c", 0},
                      ControlCase{"LettersAndBackslashesStay", "Bjørn Ærlig C:\\tmp\\nytt",
                                  "Bjørn Ærlig C:\\tmp\\nytt", 0}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(LogTest, SavingAddsToTheFileAsItIsNowAndKeepsOnlyNewLines) {
    logState().LogEnabled = true;
    std::filesystem::create_directories(appData_.file(native("Solvarek/log")));
    test::writeText(logFile(), "eldre\r\n");
    LoadLog();
    WriteLog("denne kjøringen");
    // Another run adds its lines meanwhile.
    test::writeText(logFile(), platform::sys().toFileText("eldre\r\nen annen kjøring\r\n"));
    platform::Error err;
    ASSERT_TRUE(AppendLogLines(err)) << err.message;
    EXPECT_EQ(logState().LogLines.size(), 2u) << "the lines stay in memory";
    ASSERT_TRUE(SaveLog(err)) << err.message;
    const auto lines = splitLines(platform::sys().fromFileText(test::readText(logFile())));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "eldre");
    EXPECT_EQ(lines[1], "en annen kjøring");
    EXPECT_TRUE(lines[2].ends_with(" denne kjøringen")) << "written once, though appended twice";
}

TEST_F(LogTest, WithLoggingOffTheFileStaysAsItWas) {
    std::filesystem::create_directories(appData_.file(native("Solvarek/log")));
    test::writeText(logFile(), "eldre 1\r\neldre 2\r\n");
    LoadLog();
    platform::Error err;
    ASSERT_TRUE(SaveLog(err)) << err.message;
    EXPECT_EQ(test::readText(logFile()), "eldre 1\r\neldre 2\r\n");
}

TEST_F(LogTest, ALargeLogIsLoadedOnlyAsFarAsItsLastLinesGo) {
    std::filesystem::create_directories(appData_.file(native("Solvarek/log")));
    // 100 MB that no one would read (left sparse), then numbered lines well beyond the limit.
    const int count = 60000;
    {
        std::ofstream out(logFile(), std::ios::binary);
        out.seekp(100 << 20);
        out << "\r\n";
        for (int i = 0; i < count; ++i)
            out << "24.12.2011 14:05:09 linje " << i << "\r\n";
    }
    const auto size = std::filesystem::file_size(logFile());
    LoadLog();
    const auto& lines = logState().LogLines;
    std::size_t bytes = 0;
    for (const auto& line : lines)
        bytes += line.size() + 2;
    EXPECT_LE(bytes, static_cast<std::size_t>(logState().LogLoadLimit));
    EXPECT_GT(bytes, static_cast<std::size_t>(logState().LogLoadLimit) - 64)
        << "the tail is used to its limit";
    ASSERT_FALSE(lines.empty());
    ASSERT_LT(lines.size(), static_cast<std::size_t>(count));
    // Whole lines only, consecutive, up to the last one of the file.
    const int first = count - static_cast<int>(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        ASSERT_EQ(lines[i], "24.12.2011 14:05:09 linje " + std::to_string(first + static_cast<int>(i))) << i;

    logState().LogEnabled = true;
    WriteLog("ny");
    const std::string added = platform::sys().toFileText(logState().LogLines.back() + "\r\n");
    logState().LogFileLimit = 0; // no rotation here
    platform::Error err;
    ASSERT_TRUE(SaveLog(err)) << err.message;
    EXPECT_EQ(std::filesystem::file_size(logFile()), size + added.size())
        << "the new line added to all the file had";
}

struct TailCase {
    std::int64_t limit;
    std::vector<std::string> lines;
};

class LogTail : public LogTest, public ::testing::WithParamInterface<TailCase> {};

TEST_P(LogTail, KeepsWholeLinesOnly) {
    std::filesystem::create_directories(appData_.file(native("Solvarek/log")));
    test::writeText(logFile(), "111\r\n222\r\n333\r\n");
    logState().LogLoadLimit = GetParam().limit;
    LoadLog();
    EXPECT_EQ(logState().LogLines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Limits, LogTail,
                         ::testing::Values(TailCase{100, {"111", "222", "333"}},
                                           TailCase{15, {"111", "222", "333"}}, TailCase{10, {"222", "333"}},
                                           TailCase{9, {"333"}}, TailCase{5, {"333"}}, TailCase{4, {}}));

TEST_F(LogTest, AFileThatWouldPassTheLimitIsRotatedAndTheRotatedOneReplaced) {
    std::filesystem::create_directories(appData_.file(native("Solvarek/log")));
    logState().LogEnabled = true;
    logState().LogFileLimit = 100;
    const std::string rotated = logFile() + ".1";
    test::writeText(logFile(), std::string(60, 'a') + "\r\n");
    test::writeText(rotated, "eldst\r\n");
    WriteLog(std::string(40, 'b')); // the file would pass 100 bytes
    platform::Error err;
    ASSERT_TRUE(SaveLog(err)) << err.message;
    EXPECT_EQ(test::readText(rotated), std::string(60, 'a') + "\r\n");
    const std::string now = test::readText(logFile());
    EXPECT_TRUE(now.ends_with(std::string(40, 'b') + "\r\n")) << now;
    EXPECT_EQ(std::count(now.begin(), now.end(), '\n'), 1);

    WriteLog("c"); // fits: no rotation
    ASSERT_TRUE(SaveLog(err)) << err.message;
    EXPECT_EQ(test::readText(rotated), std::string(60, 'a') + "\r\n");
    EXPECT_EQ(splitLines(test::readText(logFile())).size(), 2u);
}

TEST_F(LogTest, ClearRemovesTheRotatedFileToo) {
    std::filesystem::create_directories(appData_.file(native("Solvarek/log")));
    test::writeText(logFile() + ".1", "eldst\r\n");
    ClearLog();
    EXPECT_FALSE(test::exists(logFile() + ".1"));
    platform::Error err;
    ASSERT_TRUE(SaveLog(err)) << err.message;
    EXPECT_EQ(splitLines(test::readText(logFile())).size(), 1u) << "the cleared line is not written twice";
}

// A handler's failure reaches the log and a message box, and goes no further.
struct GuardCase {
    const char* name;
    std::function<void()> work;
    std::vector<std::pair<std::string, std::string>> boxes;
};

class GuardedHandlerTest : public LogTest, public ::testing::WithParamInterface<GuardCase> {};

TEST_P(GuardedHandlerTest, ReportsWhatTheWorkThrewAndStopsIt) {
    logState().LogEnabled = true;
    bool after = false;
    EXPECT_NO_THROW(GuardedHandler("Programmet", [&] {
        GetParam().work();
        after = true;
    }));
    EXPECT_EQ(ui_.boxes, GetParam().boxes);
    EXPECT_EQ(after, GetParam().boxes.empty()) << "the work ends where it threw";
    EXPECT_EQ(logState().ErrorCount, static_cast<int>(GetParam().boxes.size()));
    if (!GetParam().boxes.empty()) {
        ASSERT_FALSE(logState().LogLines.empty());
        const std::string& line = logState().LogLines.back();
        EXPECT_TRUE(line.ends_with(" FEIL: " + GetParam().boxes.front().second)) << line;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Throws, GuardedHandlerTest,
    ::testing::Values(GuardCase{"Nothing", [] {}, {}},
                      GuardCase{"AnException",
                                [] { throw std::runtime_error("Kan ikke åpne filen"); },
                                {{"Programmet", "Kan ikke åpne filen"}}},
                      GuardCase{"SomethingWithoutText", [] { throw 42; }, {{"Programmet", "Ukjent feil"}}}),
    [](const ::testing::TestParamInfo<GuardCase>& param) { return std::string(param.param.name); });

} // namespace
} // namespace spylerom::frame
