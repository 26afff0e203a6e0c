// The settings files on real folders: location, header, switches, the per-user file, the user
// name, read-only protection and the write-back points.
#include "frame/settings.h"

#include "frame/textfil.h"
#include "frame_fixture.h"
#include "platform/posix/posix_platform.h"
#include "support/loop_image.h"

#include <filesystem>
#include <fstream>

namespace spylerom::test {
namespace {

using namespace spylerom::frame;

std::string headerValue(const std::string& path, const std::string& key) {
    IniDocument doc(path);
    const std::string* value = doc.find("INI_SELF", key);
    return value ? *value : "<missing>";
}

class SettingsTest : public FrameTest {};

TEST_F(SettingsTest, FirstStartCreatesTheFolderAndStampsAllTenHeaderKeys) {
    const std::string before = platform::sys().dateTimeText(platform::sys().localTime());
    OpenSettingsFile();
    const std::string etc = maker() + "etc/";
    EXPECT_TRUE(std::filesystem::is_directory(etc));
    EXPECT_EQ(settingsState().SettingsFolder, etc);
    EXPECT_EQ(settingsState().SettingsFileName, mainIni());
    // Opening does not write; the first flush does.
    EXPECT_FALSE(exists(mainIni()));
    for (const char* sw : {"LogToFile", "ClearLogFileOnStartup", "DeleteTemporaryFiles",
                           "DeleteSystemTemporaryFiles", "VerboseLogging"})
        EXPECT_FALSE(ReadSettingBool(sw)) << sw;
    EXPECT_EQ(settingsState().CurrentSection, "STANDARD");
    FlushSettings();
    const std::string after = platform::sys().dateTimeText(platform::sys().localTime());

    const auto lines = fileLines(mainIni());
    const std::string program = platform::sys().programPath();
    const std::vector<std::string> keys = {
        "CREATED_TIME",  "CREATED_NAME",  "CREATED_PROGRAM",  "CREATED_USER",  "CREATED_INIVERSION",
        "MODIFIED_TIME", "MODIFIED_NAME", "MODIFIED_PROGRAM", "MODIFIED_USER", "MODIFIED_INIVERSION"};
    ASSERT_EQ(lines.size(), 12u); // heading, ten keys, one empty line
    EXPECT_EQ(lines[0], "[INI_SELF]");
    for (std::size_t i = 0; i < keys.size(); ++i)
        EXPECT_EQ(lines[i + 1].substr(0, keys[i].size() + 1), keys[i] + "=") << i;
    EXPECT_EQ(lines[11], "");
    for (const char* prefix : {"CREATED_", "MODIFIED_"}) {
        const std::string p = prefix;
        EXPECT_EQ(headerValue(mainIni(), p + "NAME"), mainIni());
        EXPECT_EQ(headerValue(mainIni(), p + "PROGRAM"), program);
        EXPECT_EQ(headerValue(mainIni(), p + "USER"), "OLA");
        EXPECT_EQ(headerValue(mainIni(), p + "INIVERSION"), "5.36");
        const std::string time = headerValue(mainIni(), p + "TIME");
        EXPECT_TRUE(time == before || time == after) << time;
    }
}

TEST_F(SettingsTest, SecondStartKeepsCreatedKeysAndRenewsModifiedKeys) {
    std::filesystem::create_directories(maker() + "etc");
    writeText(mainIni(), "[INI_SELF]\r\nCREATED_TIME=01.01.2000 10:00:00\r\nCREATED_PROGRAM=C:\\old.exe\r\n"
                         "MODIFIED_TIME=02.02.2002 11:00:00\r\nMODIFIED_PROGRAM=C:\\old.exe\r\n"
                         "[STANDARD]\r\nLogToFile=1\r\n");
    OpenSettingsFile();
    FlushSettings();
    EXPECT_EQ(headerValue(mainIni(), "CREATED_TIME"), "01.01.2000 10:00:00");
    EXPECT_EQ(headerValue(mainIni(), "CREATED_PROGRAM"), "C:\\old.exe");
    EXPECT_EQ(headerValue(mainIni(), "CREATED_NAME"), "<missing>");
    EXPECT_NE(headerValue(mainIni(), "MODIFIED_TIME"), "02.02.2002 11:00:00");
    EXPECT_EQ(headerValue(mainIni(), "MODIFIED_PROGRAM"), platform::sys().programPath());
    EXPECT_EQ(headerValue(mainIni(), "MODIFIED_NAME"), mainIni());
    EXPECT_TRUE(ReadSettingBool("LogToFile"));
}

TEST_F(SettingsTest, AFileInTheWorkingFolderIsUsedInPlaceOfTheOneUnderAppdata) {
    writeText(work() + "/solvarek.ini", "[STANDARD]\r\nVerboseLogging=1\r\n");
    OpenSettingsFile();
    EXPECT_EQ(settingsState().SettingsFolder, work() + "/");
    EXPECT_EQ(settingsState().SettingsFileName, work() + "/solvarek.ini");
    EXPECT_TRUE(ReadSettingBool("VerboseLogging"));
    FlushSettings();
    EXPECT_EQ(headerValue(work() + "/solvarek.ini", "MODIFIED_NAME"), work() + "/solvarek.ini");
    EXPECT_EQ(headerValue(work() + "/solvarek.ini", "CREATED_NAME"), "<missing>");
    EXPECT_FALSE(exists(mainIni()));
}

struct SwitchCase {
    const char* name;
    const char* file; // the main settings file's text
    bool expected;    // what LogToFile reads as
};

class SwitchReadingTest : public SettingsTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SwitchReadingTest, LogToFile) {
    std::filesystem::create_directories(maker() + "etc");
    writeText(mainIni(), GetParam().file);
    OpenSettingsFile();
    EXPECT_EQ(ReadSettingBool("LogToFile"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SwitchReadingTest,
    ::testing::Values(SwitchCase{"One", "[STANDARD]\r\nLogToFile=1\r\n", true},
                      SwitchCase{"Two", "[STANDARD]\r\nLogToFile=2\r\n", true},
                      SwitchCase{"Hex", "[STANDARD]\r\nLogToFile=0x1\r\n", true},
                      SwitchCase{"Zero", "[STANDARD]\r\nLogToFile=0\r\n", false},
                      SwitchCase{"Yes", "[STANDARD]\r\nLogToFile=yes\r\n", false},
                      SwitchCase{"Empty", "[STANDARD]\r\nLogToFile=\r\n", false},
                      SwitchCase{"Missing", "[STANDARD]\r\nVerboseLogging=1\r\n", false},
                      SwitchCase{"LowerCaseNames", "[standard]\r\nlogtofile=1\r\n", true},
                      SwitchCase{"OtherSection", "[INI_SELF]\r\nLogToFile=1\r\n", false},
                      SwitchCase{"CommentedOut", "[STANDARD]\r\n;LogToFile=1\r\n", false}),
    [](const auto& p) { return std::string(p.param.name); });

struct FlagCase {
    const char* name;
    const char* file;
    bool expected; // what a switch that is on unless set otherwise reads as
};

class FlagReadingTest : public SettingsTest, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(FlagReadingTest, TrimEtterFyllingIsOnUnlessSetToZero) {
    std::filesystem::create_directories(maker() + "etc");
    writeText(mainIni(), GetParam().file);
    OpenSettingsFile();
    SelectSection("FOLDERS"); // read from its own section whatever the current one is
    EXPECT_EQ(ReadSettingFlag("STANDARD", "TrimEtterFylling", true), GetParam().expected);
    EXPECT_EQ(settingsState().CurrentSection, "FOLDERS");
}

INSTANTIATE_TEST_SUITE_P(
    Values, FlagReadingTest,
    ::testing::Values(FlagCase{"Missing", "[STANDARD]\r\nLogToFile=1\r\n", true},
                      FlagCase{"Zero", "[STANDARD]\r\nTrimEtterFylling=0\r\n", false},
                      FlagCase{"One", "[STANDARD]\r\nTrimEtterFylling=1\r\n", true},
                      FlagCase{"Empty", "[STANDARD]\r\nTrimEtterFylling=\r\n", true},
                      FlagCase{"NotANumber", "[STANDARD]\r\nTrimEtterFylling=nei\r\n", true},
                      FlagCase{"OtherSection", "[FOLDERS]\r\nTrimEtterFylling=0\r\n", true}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(SettingsTest, AccessorsRoundTripAndUseTheirFixedDefaults) {
    OpenSettingsFile();
    SelectSection("TEST");
    WriteSettingString("Text", "  blanks kept in memory");
    WriteSettingInteger("Int", -42);
    WriteSettingBool("Yes", true);
    WriteSettingBool("No", false);
    EXPECT_EQ(ReadSettingString("Text"), "  blanks kept in memory");
    EXPECT_EQ(ReadSettingInteger("Int"), -42);
    EXPECT_TRUE(ReadSettingBool("Yes"));
    EXPECT_FALSE(ReadSettingBool("No"));
    EXPECT_EQ(ReadSettingString("Absent"), "");
    EXPECT_EQ(ReadSettingInteger("Text"), 0);
    ResetSection();
    EXPECT_EQ(settingsState().CurrentSection, "STANDARD");
    EXPECT_EQ(ReadSettingInteger("Int"), 0);
    FlushSettings();
    const auto lines = fileLines(mainIni());
    const auto at = std::find(lines.begin(), lines.end(), "[TEST]");
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(
        std::vector<std::string>(at, lines.end()),
        (std::vector<std::string>{"[TEST]", "Text=  blanks kept in memory", "Int=-42", "Yes=1", "No=0", ""}));
}

TEST_F(SettingsTest, WithoutAnOpenDocumentReadsGiveDefaultsAndWritesAreDropped) {
    WriteSettingString("LogToFile", "1");
    EXPECT_FALSE(ReadSettingBool("LogToFile"));
    EXPECT_EQ(ReadSettingString("LogToFile"), "");
    FlushSettings();
    EXPECT_FALSE(exists(mainIni()));
}

TEST_F(SettingsTest, CommentLinesDisappearAtTheFirstFlush) {
    std::filesystem::create_directories(maker() + "etc");
    writeText(mainIni(), "; made by hand\r\n\r\n[STANDARD]\r\n; the log\r\nLogToFile=1\r\n");
    OpenSettingsFile();
    FlushSettings();
    const std::string text = readText(mainIni());
    EXPECT_EQ(text.find(';'), std::string::npos);
    EXPECT_EQ(text.find("\r\n\r\n\r\n"), std::string::npos);
    EXPECT_NE(text.find("[STANDARD]\r\nLogToFile=1\r\n\r\n"), std::string::npos);
}

TEST_F(SettingsTest, AKeyInANewSectionIsAddedAfterAllSections) {
    std::filesystem::create_directories(maker() + "etc");
    writeText(mainIni(), "[STANDARD]\r\nLogToFile=1\r\n[FOLDERS]\r\ntmp_folder=/x/\r\n");
    OpenSettingsFile();
    SelectSection("NEW");
    WriteSettingString("k", "v");
    ResetSection();
    FlushSettings();
    const std::string text = readText(mainIni());
    EXPECT_GT(text.find("[NEW]\r\nk=v\r\n"), text.find("[FOLDERS]"));
    EXPECT_GT(text.find("[FOLDERS]"), text.find("[STANDARD]"));
    EXPECT_GT(text.find("[NEW]"), text.find("[INI_SELF]")); // the header was added before it
    EXPECT_TRUE(text.ends_with("MODIFIED_INIVERSION=5.36\r\n\r\n[NEW]\r\nk=v\r\n\r\n")) << text;
}

TEST_F(SettingsTest, ReadOnlyMainFileIsNeverWritten) {
    std::filesystem::create_directories(maker() + "etc");
    const std::string original = "; hand made\r\n[STANDARD]\r\nLogToFile=1\r\n";
    writeText(mainIni(), original);
    setMode(mainIni(), 0444);
    logState().LogEnabled = true;
    logState().Verbose = true;

    OpenSettingsFile();
    WriteSettingString("Changed", "1");
    FlushSettings();    // a folder lookup's flush
    OpenUserSettings(); // flushes the main document first
    WriteSettingString("InUserFile", "1");
    CloseUserSettings();
    EXPECT_EQ(ReadSettingString("Changed"), ""); // the reload shows the file as it is
    CloseSettingsFile();

    EXPECT_EQ(readText(mainIni()), original);
    EXPECT_TRUE(exists(maker() + "etc/OLA.INI")); // the per-user file is written as usual
    EXPECT_EQ(
        countLogLinesContaining(" ADVARSEL: " + mainIni() + " er skrivebeskyttet og vil ikke bli lagret."),
        1);
    EXPECT_EQ(countLogLinesContaining("FEIL:"), 0);
    EXPECT_EQ(logState().WarningCount, 1);
    EXPECT_EQ(settingsState().ActiveSettings, nullptr);
}

TEST_F(SettingsTest, CloseWritesBackAndLogsItsStatusLineWhenVerbose) {
    logState().LogEnabled = true;
    logState().Verbose = true;
    OpenSettingsFile();
    WriteSettingString("AtTheEnd", "ja");
    CloseSettingsFile();
    IniDocument doc(mainIni());
    ASSERT_NE(doc.find("STANDARD", "AtTheEnd"), nullptr);
    EXPECT_EQ(countLogLinesContaining(" Oppdaterer " + mainIni()), 1);
    EXPECT_EQ(settingsState().ActiveSettings, nullptr);
}

TEST_F(SettingsTest, CloseThatCannotWriteLogsOnlyTheCrashLine) {
    logState().LogEnabled = true;
    OpenSettingsFile();
    std::filesystem::remove_all(maker() + "etc");
    CloseSettingsFile();
    EXPECT_EQ(countLogLinesContaining(" INI-CRASH i HS_REG: " + mainIni()), 1);
    EXPECT_EQ(logLines().size(), 1u);
    EXPECT_EQ(settingsState().ActiveSettings, nullptr);
}

TEST_F(SettingsTest, FailedFlushDuringTheRunIsLoggedAndTheRunGoesOn) {
    logState().LogEnabled = true;
    OpenSettingsFile();
    std::filesystem::remove_all(maker() + "etc");
    FlushSettings();
    EXPECT_EQ(countLogLinesContaining(" FEIL: kan ikke lagre innstillingene i " + mainIni()), 1);
    EXPECT_EQ(logState().ErrorCount, 1);
    // The document is still open and usable.
    WriteSettingString("Still", "here");
    EXPECT_EQ(ReadSettingString("Still"), "here");
}

TEST_F(SettingsTest, AFullDiskLeavesTheSettingsFileAsItWas) {
    std::string why;
    if (!LoopImage::available(&why))
        GTEST_SKIP() << why;
    LoopImage image(LoopImage::Options{16, "ext4", false});
    ASSERT_TRUE(image.ok()) << image.error();
    const std::string ini = image.mountPoint() + "/solvarek.ini";
    const std::string original = "[STANDARD]\r\nLogToFile=1\r\n";
    writeText(ini, original);
    {
        // Take every block that is left, the reserve included (the tests run as root).
        std::ofstream filler(image.mountPoint() + "/filler", std::ios::binary);
        const std::string block(1 << 16, 'x');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
        }
    }
    // Back to the working folder before the image is unmounted, whatever happens below.
    struct CwdBack {
        std::string folder;
        ~CwdBack() { std::filesystem::current_path(folder); }
    } back{work()};
    std::filesystem::current_path(image.mountPoint());
    logState().LogEnabled = true;
    OpenSettingsFile();
    ASSERT_EQ(settingsState().SettingsFileName, ini);
    // A megabyte of settings, in values below the size that is refused.
    for (int i = 0; i < 16; ++i)
        WriteSettingString("Big" + std::to_string(i), std::string(IniDocument::kMaxValueBytes, 'y'));
    FlushSettings();
    EXPECT_EQ(countLogLinesContaining(" FEIL: kan ikke lagre innstillingene i " + ini + " [112]"), 1);
    EXPECT_EQ(readText(ini), original);
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(image.mountPoint()))
        entries += e.path().filename() != "lost+found";
    EXPECT_EQ(entries, 2) << "only the settings file and the filler";
}

TEST_F(SettingsTest, ReadOnlyPerUserFileIsNotWrittenAndTheFailureIsLogged) {
    logState().LogEnabled = true;
    OpenSettingsFile();
    FlushSettings();
    const std::string user = maker() + "etc/OLA.INI";
    writeText(user, "[Spylerom]\r\nFyll=1\r\n");
    setMode(user, 0444);
    OpenUserSettings();
    SelectSection("Spylerom");
    EXPECT_EQ(ReadSettingInteger("Fyll"), 1);
    WriteSettingInteger("Fyll", 2);
    ResetSection();
    CloseUserSettings();
    EXPECT_EQ(readText(user), "[Spylerom]\r\nFyll=1\r\n");
    EXPECT_EQ(countLogLinesContaining(" FEIL: kan ikke lagre innstillingene i " + user + " [5]"), 1);
    EXPECT_FALSE(settingsState().activeIsUserFile);
}

TEST_F(SettingsTest, PerUserFileSwitchingKeepsTheSectionAndSeesOtherProgramsChanges) {
    OpenSettingsFile();
    WriteSettingString("BeforeSwitch", "1"); // reaches the disk with OpenUserSettings
    SelectSection("VINDU-X");
    OpenUserSettings();
    EXPECT_TRUE(settingsState().activeIsUserFile);
    EXPECT_EQ(settingsState().CurrentSection, "VINDU-X");
    EXPECT_NE(IniDocument(mainIni()).find("STANDARD", "BeforeSwitch"), nullptr);
    EXPECT_EQ(ReadSettingString("Left"), ""); // a new per-user file is empty
    WriteSettingInteger("Left", 12);
    // Another program changes the main file meanwhile.
    IniDocument other(mainIni());
    other.set("STANDARD", "FromOther", "yes");
    platform::Error err;
    ASSERT_TRUE(other.flush(err));
    CloseUserSettings();

    EXPECT_EQ(readText(maker() + "etc/OLA.INI"), "[VINDU-X]\r\nLeft=12\r\n\r\n");
    ResetSection();
    EXPECT_EQ(ReadSettingString("FromOther"), "yes");
    EXPECT_EQ(ReadSettingString("BeforeSwitch"), "1");
}

TEST_F(SettingsTest, UserNameFromTheLogonUserInUpperCase) {
    env_.set("USERNAME", "bjørn");
    EXPECT_EQ(UserName(), "BJØRN");
    EXPECT_EQ(settingsState().userNameCache, "bjørn");
    env_.set("USERNAME", "kari"); // cached for the life of the program
    EXPECT_EQ(UserName(), "BJØRN");
    OpenSettingsFile();
    EXPECT_EQ(UserSettingsFileName(), maker() + "etc/BJØRN.INI");
}

TEST_F(SettingsTest, UserOverrideWinsOverTheLogonUser) {
    settingsState().UserOverride = "kari";
    EXPECT_EQ(UserName(), "KARI");
    OpenSettingsFile();
    OpenUserSettings();
    WriteSettingString("x", "1");
    CloseUserSettings();
    EXPECT_TRUE(exists(maker() + "etc/KARI.INI"));
    EXPECT_FALSE(exists(maker() + "etc/OLA.INI"));
}

TEST_F(SettingsTest, AValueBeyondTheLimitIsRefusedWithAWarningAndTheOldOneStays) {
    logState().LogEnabled = true;
    OpenSettingsFile();
    WriteSettingString("Firma_Navn", "Acme");
    const std::string huge(50u << 20, 'x'); // 50 MB
    WriteSettingString("Firma_Navn", huge);
    WriteSettingString("Ny", huge);
    EXPECT_EQ(ReadSettingString("Firma_Navn"), "Acme");
    EXPECT_EQ(ReadSettingString("Ny"), "");
    EXPECT_EQ(countLogLinesContaining(" ADVARSEL: verdien av Firma_Navn i [STANDARD] er 52428800 byte"), 1);
    EXPECT_EQ(countLogLinesContaining(" ADVARSEL: verdien av Ny i [STANDARD] er 52428800 byte"), 1);
    EXPECT_EQ(logState().WarningCount, 2);
    FlushSettings();
    EXPECT_LT(std::filesystem::file_size(mainIni()), 4096u) << "nothing of the value reached the file";
}

TEST_F(SettingsTest, AFileBeyondTheLimitIsWarnedAboutOnceAndNeverWritten) {
    logState().LogEnabled = true;
    OpenSettingsFile();
    FlushSettings();
    const std::string user = maker() + "etc/OLA.INI";
    {
        std::ofstream out(user, std::ios::binary);
        out << "[Spylerom]\r\nFyll=2\r\nNotat=";
        const std::string chunk(1 << 20, 'n');
        for (int i = 0; i < 50; ++i)
            out << chunk;
        out << "\r\n";
    }
    const auto size = std::filesystem::file_size(user);
    for (int run = 0; run < 2; ++run) {
        OpenUserSettings();
        SelectSection("Spylerom");
        EXPECT_EQ(ReadSettingInteger("Fyll"), 2);
        WriteSettingInteger("Fyll", 3);
        ResetSection();
        CloseUserSettings();
    }
    EXPECT_EQ(std::filesystem::file_size(user), size);
    EXPECT_EQ(countLogLinesContaining(" ADVARSEL: " + user + " er større enn "), 1) << "once a run";
    EXPECT_EQ(countLogLinesContaining(" FEIL: "), 0) << "skipped like a read-only file, not failed";
    std::ifstream in(user, std::ios::binary);
    std::string head(64, '\0');
    in.read(head.data(), 64);
    EXPECT_EQ(head.substr(0, 25), "[Spylerom]\r\nFyll=2\r\nNotat");
}

// A machine that names no user at all.
class NoUserPlatform : public platform::PosixPlatform {
public:
    std::string environment(std::string_view name) const override {
        return name == "USERNAME" ? std::string() : PosixPlatform::environment(name);
    }
};

TEST_F(SettingsTest, UserNameIsBrukerWhenNoNameIsAvailable) {
    NoUserPlatform noUser;
    platform::setPlatform(&noUser);
    EXPECT_EQ(UserName(), "BRUKER");
    OpenSettingsFile();
    EXPECT_EQ(UserSettingsFileName(), maker() + "etc/BRUKER.INI");
}

TEST_F(SettingsTest, AUserNameCannotPlaceThePerUserFileOutsideTheSettingsFolder) {
    settingsState().UserOverride = "../../evil";
    OpenSettingsFile();
    EXPECT_EQ(UserName(), "../../EVIL");
    EXPECT_EQ(UserSettingsFileName(), maker() + "etc/.._.._EVIL.INI");
    OpenUserSettings();
    WriteSettingString("x", "1");
    CloseUserSettings();
    EXPECT_TRUE(exists(maker() + "etc/.._.._EVIL.INI"));
    EXPECT_FALSE(exists(appdata() + "/EVIL.INI"));
}

} // namespace
} // namespace spylerom::test
