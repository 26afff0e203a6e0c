// Start-up and shut-down in the program's order (InitLog, FrameStartup, ..., FrameShutdown,
// SaveLog) on a real APPDATA and working folder.
#include "frame/startup.h"

#include "frame/folders.h"
#include "frame/placement.h"
#include "frame/settings.h"
#include "frame/sysqueries.h"
#include "frame/textfil.h"
#include "frame_fixture.h"
#include "platform/posix/posix_platform.h"

#include <filesystem>
#include <fstream>

namespace spylerom::test {
namespace {

using namespace spylerom::frame;
namespace fs = std::filesystem;

struct CommandLineCase {
    const char* title;
    std::vector<std::string> arguments;
    bool debug;
    bool install;
    const char* user;
    const char* ip;
    const char* caption;
};

class CommandLineTest : public FrameTest, public ::testing::WithParamInterface<CommandLineCase> {};

TEST_P(CommandLineTest, Options) {
    const CommandLineCase& c = GetParam();
    ReadCommandLine(c.arguments);
    EXPECT_EQ(logState().LogEnabled, c.debug);
    EXPECT_EQ(logState().Verbose, c.debug);
    EXPECT_EQ(startupState().InstallRequested, c.install);
    EXPECT_EQ(settingsState().UserOverride, c.user);
    EXPECT_EQ(systemQueryState().IpOverride, c.ip);
    EXPECT_EQ(startupState().CaptionOverride, c.caption);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineTest,
    ::testing::Values(
        CommandLineCase{"None", {}, false, false, "", "", ""},
        CommandLineCase{"Debug", {"--debug"}, true, false, "", "", ""},
        CommandLineCase{"Install", {"-install"}, true, true, "", "", ""},
        CommandLineCase{"ValuesTaken",
                        {"-ip", "10.0.0.7", "--caption", "Hei", "--user", "kari"},
                        false,
                        false,
                        "kari",
                        "10.0.0.7",
                        "Hei"},
        CommandLineCase{"UserThenDebug", {"--user", "--debug"}, true, false, "--debug", "", ""},
        CommandLineCase{
            "ValueIsAnOptionOfItsOwn", {"--user", "-ip", "10.1.1.1"}, false, false, "-ip", "10.1.1.1", ""},
        CommandLineCase{"OptionGivenLast", {"kari", "--user"}, false, false, "", "", ""},
        CommandLineCase{
            "LastOccurrenceDecides", {"--user", "kari", "--user", "per"}, false, false, "per", "", ""},
        CommandLineCase{"CaseAndSpellingMatter",
                        {"--DEBUG", "-debug", "--install", "-IP", "1.2.3.4"},
                        false,
                        false,
                        "",
                        "",
                        ""}),
    [](const auto& p) { return std::string(p.param.title); });

class StartupTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        platform::MachineSources sources = platform::systemMachineSources();
        sources.hostName = [] { return std::string("kontor.firma.no"); };
        sources.interfaces = [] {
            return std::vector<platform::NetworkInterface>{
                {"eth0", {}, {platform::RegistryValue::Kind::Text, "192.168.1.9"}}};
        };
        machine_.setMachineSources(sources);
        platform::setPlatform(&machine_);
    }
    // A main settings file of the user's, and the log folder of an earlier run.
    void settings(const std::string& standard) {
        fs::create_directories(maker() + "etc");
        fs::create_directories(maker() + "log");
        writeText(mainIni(), "[STANDARD]\r\n" + standard);
    }
    void start(const std::vector<std::string>& arguments) {
        InitLog();
        FrameStartup(arguments);
    }
    void stop() {
        FrameShutdown();
        platform::Error err;
        ASSERT_TRUE(SaveLog(err)) << err.message;
    }
    std::string logFile() const {
        return maker() + "log/" + platform::fileNameOf(platform::sys().programPath()) + ".log";
    }
    std::vector<std::string> messages() const {
        // The lines without their time stamps: everything after the stamp's blank.
        std::vector<std::string> out;
        const std::size_t stamp = platform::sys().dateTimeText(platform::sys().localTime()).size();
        for (const auto& line : logLines())
            out.push_back(line.substr(stamp + 1));
        return out;
    }
    platform::PosixPlatform machine_;
};

TEST_F(StartupTest, AFreshMachineGetsSettingsTreeAndLogFolderButNoLogLines) {
    start({});
    EXPECT_TRUE(exists(mainIni()));
    EXPECT_TRUE(fs::is_directory(maker() + "data/tabulant"));
    EXPECT_TRUE(fs::is_directory(maker() + "maler/mosk"));
    EXPECT_TRUE(fs::is_directory(maker() + "log"));
    EXPECT_EQ(logState().LogFolder, maker() + "log/");
    EXPECT_EQ(logState().LogFileName, logFile());
    EXPECT_FALSE(logState().LogEnabled);
    EXPECT_FALSE(logState().Verbose);
    EXPECT_TRUE(logLines().empty());
    IniDocument doc(mainIni());
    ASSERT_NE(doc.find("FOLDERS", "etc_folder"), nullptr);
    EXPECT_EQ(*doc.find("FOLDERS", "etc_folder"), maker() + "etc/");
    stop();
    EXPECT_EQ(readText(logFile()), "");
}

TEST_F(StartupTest, DebugWithoutLogToFileLogsOnlyBeforeTheSwitchIsRead) {
    start({"--debug"});
    EXPECT_FALSE(logState().LogEnabled);
    EXPECT_TRUE(logState().Verbose);
    // The folder tree's lines were taken while --debug had logging on; no log file existed.
    EXPECT_GT(countLogLinesContaining(" Oppretter mappen "), 0);
    EXPECT_EQ(countLogLinesContaining("START: "), 0);
    const auto before = logLines().size();
    WriteLog("ADVARSEL: not taken");
    EXPECT_EQ(logLines().size(), before);
}

TEST_F(StartupTest, DebugWithLogToFileWritesTheStartLinesAndTheSummary) {
    settings("LogToFile=1\r\n");
    fs::create_directories(maker() + "data");
    start({"--debug"});
    EXPECT_TRUE(logState().Verbose);
    EXPECT_EQ(messages(),
              (std::vector<std::string>{"START: " + platform::sys().programPath(), "INIFIL: " + mainIni(),
                                        "BRUKER: OLA", "LOGIN: ola  node: kontor.firma.no IP:192.168.1.9"}));
    stop();
    const auto lines = fileLines(logFile());
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_TRUE(lines[4].ends_with(" Oppdaterer " + mainIni()));
    EXPECT_TRUE(lines[5].ends_with(" AVSLUTTER PROGRAM. 0 feilmeldinger og 0 advarsler"));
}

struct SwitchCase {
    const char* title;
    const char* standard;
    bool logEnabled;
    bool verbose;
};

class LogSwitchTest : public StartupTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(LogSwitchTest, SwitchesOfTheSettingsFile) {
    settings(GetParam().standard);
    start({});
    EXPECT_EQ(logState().LogEnabled, GetParam().logEnabled);
    EXPECT_EQ(logState().Verbose, GetParam().verbose);
    EXPECT_EQ(countLogLinesContaining(" START: "), GetParam().logEnabled ? 1 : 0);
    EXPECT_EQ(countLogLinesContaining(" LOGIN: "), GetParam().verbose ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogSwitchTest,
    ::testing::Values(SwitchCase{"Neither", "", false, false},
                      SwitchCase{"LogOnly", "LogToFile=1\r\n", true, false},
                      SwitchCase{"LogAndVerbose", "LogToFile=1\r\nVerboseLogging=1\r\n", true, true},
                      SwitchCase{"VerboseWithoutLog", "VerboseLogging=1\r\n", false, false}),
    [](const auto& p) { return std::string(p.param.title); });

TEST_F(StartupTest, IpOptionEndsTheLoginLine) {
    settings("LogToFile=1\r\nVerboseLogging=1\r\n");
    start({"-ip", "10.0.0.7"});
    ASSERT_EQ(countLogLinesContaining(" LOGIN: "), 1);
    EXPECT_TRUE(logLinesContaining(" LOGIN: ")[0].ends_with(" IP:10.0.0.7"));
}

TEST_F(StartupTest, WithoutADomainTheLoginLineEndsEmpty) {
    platform::MachineSources sources = platform::systemMachineSources();
    sources.hostName = [] { return std::string("kontor"); };
    sources.resolverConfig = [] { return std::string(); };
    machine_.setMachineSources(sources);
    settings("LogToFile=1\r\nVerboseLogging=1\r\n");
    start({});
    ASSERT_EQ(countLogLinesContaining(" LOGIN: "), 1);
    EXPECT_TRUE(logLinesContaining(" LOGIN: ")[0].ends_with(" LOGIN: ola  node: kontor. IP:"));
}

TEST_F(StartupTest, UserOptionNamesTheUserAndThePerUserFile) {
    settings("LogToFile=1\r\nVerboseLogging=1\r\n");
    start({"--user", "kari"});
    EXPECT_EQ(countLogLinesContaining(" BRUKER: KARI"), 1);
    EXPECT_EQ(countLogLinesContaining(" LOGIN: ola  node: "), 1);
    OpenUserSettings();
    WriteSettingString("x", "1");
    CloseUserSettings();
    EXPECT_TRUE(exists(maker() + "etc/KARI.INI"));
}

TEST_F(StartupTest, InstallOnAnExistingTreeTriesEveryFolderAgain) {
    start({}); // the first start makes the tree
    stop();
    fs::remove(logFile());
    ResetFrameState();
    start({"-install"});
    // No log file existed, so the lines taken before the switch was read remain.
    EXPECT_EQ(countLogLinesContaining(" FEIL: [mkdirsafe:183] kan ikke opprette mappen "), 24);
    EXPECT_EQ(logState().ErrorCount, 24);
    EXPECT_TRUE(logState().Verbose);
}

// A first start on an account whose data folder does not exist yet: the folders above the
// maker's folder are made with it, and a start that succeeds logs no failure.
struct FirstStartCase {
    const char* title;
    const char* appdata;     // relative to the test's folder; empty: APPDATA unset
    const char* home;        // relative to the test's folder
    const char* makerFolder; // where the tree is expected, relative to the test's folder
};

class FirstStartTest : public StartupTest, public ::testing::WithParamInterface<FirstStartCase> {};

TEST_P(FirstStartTest, MakesTheTreeWithoutAFailureLine) {
    const FirstStartCase& c = GetParam();
    if (*c.appdata)
        env_.set("APPDATA", root_.file(c.appdata));
    else
        env_.unset("APPDATA");
    env_.unset("XDG_DATA_HOME");
    env_.set("HOME", root_.file(c.home));
    const std::string maker = root_.file(c.makerFolder);
    ASSERT_FALSE(fs::exists(fs::path(maker).parent_path()));
    start({"--debug"}); // logging on while the tree is made; no log file yet, so its lines stay
    for (const char* name : {"archive", "data/lirra", "etc", "export/html/varer", "log", "tmp", "maler/mosk"})
        EXPECT_TRUE(fs::is_directory(maker + name)) << name;
    EXPECT_EQ(countLogLinesContaining("FEIL:"), 0);
    EXPECT_EQ(logState().ErrorCount, 0);
    // The settings folder was there before the tree (the settings made it); the other 23 are new.
    EXPECT_EQ(countLogLinesContaining(" Oppretter mappen " + maker), 23);
    EXPECT_EQ(countLogLinesContaining(" Oppretter mappen " + maker + "etc"), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, FirstStartTest,
                         ::testing::Values(FirstStartCase{"HomeWithoutLocalShare", "", "newhome",
                                                          "newhome/.local/share/Solvarek/"},
                                           FirstStartCase{"NewAppdata", "new/roaming", "home",
                                                          "new/roaming/Solvarek/"}),
                         [](const auto& p) { return std::string(p.param.title); });

TEST_F(StartupTest, AFolderThatCannotBeMadeOnAFirstStartStillGivesItsFailureLine) {
    // A file stands where the tree's "tmp" folder belongs.
    fs::create_directories(maker());
    writeText(maker() + "tmp", "a file of the user's");
    start({"--debug"});
    EXPECT_EQ(countLogLinesContaining(" FEIL: [mkdirsafe:183] kan ikke opprette mappen " + maker() + "tmp"),
              1);
    EXPECT_EQ(countLogLinesContaining("FEIL:"), 1);
    EXPECT_EQ(logState().ErrorCount, 1);
    EXPECT_TRUE(fs::is_regular_file(maker() + "tmp"));
    EXPECT_TRUE(fs::is_directory(maker() + "data"));
}

TEST_F(StartupTest, InstallCountsItsErrorsEvenWhenTheLoadedLogReplacesTheLines) {
    settings("LogToFile=1\r\n");
    start({});
    WriteLog("HINT: from the first run");
    stop();
    ResetFrameState();
    start({"-install"});
    EXPECT_EQ(countLogLinesContaining("[mkdirsafe:"), 0);
    EXPECT_EQ(countLogLinesContaining(" HINT: from the first run"), 1);
    EXPECT_EQ(logState().ErrorCount, 24);
    stop();
    const auto lines = fileLines(logFile());
    EXPECT_TRUE(lines.back().ends_with(" AVSLUTTER PROGRAM. 24 feilmeldinger og 0 advarsler"))
        << lines.back();
}

TEST_F(StartupTest, ClearLogFileOnStartupLeavesOneLineBeforeTheStartLines) {
    fs::create_directories(maker() + "log");
    writeText(logFile(), "old line 1\r\nold line 2\r\n");
    settings("LogToFile=1\r\nClearLogFileOnStartup=1\r\n");
    start({});
    ASSERT_EQ(logLines().size(), 4u);
    EXPECT_TRUE(logLines()[0].ends_with(" LOGGFIL TØMT (TextFile.ClearLog)."));
    EXPECT_NE(logLines()[1].find(" START: "), std::string::npos);
}

TEST_F(StartupTest, TheLogFileGrowsFromRunToRun) {
    settings("LogToFile=1\r\n");
    start({});
    WriteLog("first run");
    stop();
    ResetFrameState();
    start({});
    WriteLog("second run");
    stop();
    const auto lines = fileLines(logFile());
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_TRUE(lines[3].ends_with(" first run"));
    EXPECT_NE(lines[4].find(" START: "), std::string::npos);
    EXPECT_TRUE(lines[7].ends_with(" second run"));
}

TEST_F(StartupTest, DeleteTemporaryFilesEmptiesTheTmpFolderAtStart) {
    fs::create_directories(maker() + "tmp/old");
    writeText(maker() + "tmp/old/spylerom-1.tmp", "x");
    const std::string temp = root_.file("systemp");
    fs::create_directories(temp);
    writeText(temp + "/keep", "x");
    settings("LogToFile=1\r\nDeleteTemporaryFiles=1\r\n");
    start({});
    EXPECT_TRUE(fs::is_directory(maker() + "tmp"));
    EXPECT_TRUE(fs::is_empty(maker() + "tmp"));
    EXPECT_TRUE(exists(temp + "/keep")); // DeleteSystemTemporaryFiles is off
}

TEST_F(StartupTest, VerboseRunSummaryCountsWarningsAndHints) {
    settings("LogToFile=1\r\nVerboseLogging=1\r\n");
    start({});
    for (int i = 0; i < 3; ++i)
        WriteLog("ADVARSEL: nummer " + std::to_string(i));
    FrameShutdown();
    EXPECT_TRUE(logLines().back().ends_with(" AVSLUTTER PROGRAM. 0 feilmeldinger og 3 advarsler"));
    EXPECT_EQ(countLogLinesContaining(" hint i programmet"), 0);
}

TEST_F(StartupTest, HintsGetTheirOwnSummaryLine) {
    settings("LogToFile=1\r\nVerboseLogging=1\r\n");
    start({});
    WriteLog("HINT: en");
    WriteLog("FEIL: to");
    FrameShutdown();
    const auto& lines = logLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_TRUE(lines[lines.size() - 2].ends_with(" AVSLUTTER PROGRAM. 1 feilmeldinger og 0 advarsler"));
    EXPECT_TRUE(lines.back().ends_with(" Det ble gitt 1 hint i programmet"));
}

TEST_F(StartupTest, AReadOnlyMainFileSurvivesAWholeRunUnchanged) {
    settings("LogToFile=1\r\nVerboseLogging=1\r\n");
    fs::create_directories(maker() + "data");
    const std::string original = readText(mainIni());
    setMode(mainIni(), 0444);
    start({});
    SelectSection("Spylerom");
    WriteSettingInteger("Fyll", 2);
    ResetSection();
    stop();
    EXPECT_EQ(readText(mainIni()), original);
    const auto lines = fileLines(logFile());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_TRUE(lines[lines.size() - 2].ends_with(" ADVARSEL: " + mainIni() +
                                                  " er skrivebeskyttet og vil ikke bli lagret."));
    EXPECT_TRUE(lines.back().ends_with(" AVSLUTTER PROGRAM. 0 feilmeldinger og 1 advarsler"));
}

TEST_F(StartupTest, AMainFileTooLargeIsReportedAfterTheStartLinesAndSurvivesTheRun) {
    settings("LogToFile=1\r\nVerboseLogging=1\r\nFirma_Navn=");
    fs::create_directories(maker() + "data");
    {
        std::ofstream out(mainIni(), std::ios::binary | std::ios::app);
        const std::string chunk(1 << 20, 'f');
        for (int i = 0; i < 8; ++i)
            out << chunk;
        out << "\r\n";
    }
    const auto size = fs::file_size(mainIni());
    const auto time = fs::last_write_time(mainIni());
    start({});
    stop();
    EXPECT_EQ(fs::file_size(mainIni()), size);
    EXPECT_EQ(fs::last_write_time(mainIni()), time);
    const auto lines = fileLines(logFile());
    ASSERT_GE(lines.size(), 6u);
    EXPECT_NE(lines[3].find(" LOGIN: "), std::string::npos) << "the start lines come first";
    EXPECT_NE(lines[4].find(" ADVARSEL: " + mainIni() + " er større enn "), std::string::npos) << lines[4];
    EXPECT_TRUE(lines[lines.size() - 2].ends_with(" ADVARSEL: " + mainIni() +
                                                  " er for stor og vil ikke bli lagret."));
    EXPECT_TRUE(lines.back().ends_with(" AVSLUTTER PROGRAM. 0 feilmeldinger og 2 advarsler"));
}

TEST_F(StartupTest, TheSettingsFileOfTheWorkingFolderIsUsed) {
    writeText(work() + "/solvarek.ini", "[STANDARD]\r\nLogToFile=1\r\n");
    start({});
    EXPECT_EQ(countLogLinesContaining(" INIFIL: " + work() + "/solvarek.ini"), 1);
    IniDocument doc(work() + "/solvarek.ini");
    ASSERT_NE(doc.find("FOLDERS", "etc_folder"), nullptr);
    // The tree was made in this start, so its "etc" entry replaced the settings folder's.
    EXPECT_EQ(*doc.find("FOLDERS", "etc_folder"), maker() + "etc/");
}

TEST_F(StartupTest, StartUpAndShutDownRunOncePerProcess) {
    settings("LogToFile=1\r\nVerboseLogging=1\r\n");
    start({});
    FrameStartup({"--user", "per"});
    EXPECT_EQ(countLogLinesContaining(" START: "), 1);
    EXPECT_EQ(UserName(), "OLA");
    FrameShutdown();
    FrameShutdown();
    EXPECT_EQ(countLogLinesContaining(" AVSLUTTER PROGRAM. "), 1);
}

} // namespace
} // namespace spylerom::test
