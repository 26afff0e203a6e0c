// Launching programs and documents, the update start and the desktop shortcut, with real
// child processes: small scripts of the test's own, and a recording xdg-open put first on PATH.
#include "frame/launch.h"

#include "frame/folders.h"
#include "frame/frame_ui.h"
#include "frame/settings.h"
#include "frame/textfil.h"
#include "frame_fixture.h"
#include "platform/posix/posix_platform.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace spylerom::test {
namespace {

using namespace spylerom::frame;
namespace fs = std::filesystem;

class UiRecorder : public FrameUi {
public:
    void setWaitCursor(bool wait) override { cursor_ += wait ? "W" : "D"; }
    void requestQuit() override { ++quits_; }
    void messageBox(const std::string& caption, const std::string& text) override {
        boxes_.emplace_back(caption, text);
    }
    std::string cursor_;
    int quits_ = 0;
    std::vector<std::pair<std::string, std::string>> boxes_; // caption, text
};

// Waits for a file to hold at least `lines` lines; the children run on their own.
bool waitForLines(const std::string& path, std::size_t lines) {
    for (int i = 0; i < 500; ++i) {
        if (exists(path)) {
            const std::string text = readText(path);
            if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) >= lines)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::vector<std::string> linesOf(const std::string& path) {
    std::vector<std::string> lines;
    std::string text = readText(path);
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

void writeScript(const std::string& path, const std::string& body) {
    writeText(path, "#!/bin/sh\n" + body);
    setMode(path, 0755);
}

class LaunchTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        setFrameUi(&ui_);
        fs::create_directories(root_.file("bin"));
        record_ = root_.file("xdg-open.record");
        writeScript(root_.file("bin/xdg-open"), "printf '%s|%s\\n' \"$1\" \"$(pwd)\" >> '" + record_ + "'\n");
        const char* path = std::getenv("PATH");
        env_.set("PATH", root_.file("bin") + ":" + (path ? path : "/usr/bin:/bin"));
    }
    UiRecorder ui_;
    std::string record_;
};

TEST_F(LaunchTest, AnExecutableStartsDirectlyWithShellLikeParametersInItsFolder) {
    const std::string out = root_.file("args.out");
    const std::string script = root_.file("prog.sh");
    writeScript(script, "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + out + ".part'\npwd >> '" +
                            out + ".part'\nmv '" + out + ".part' '" + out + "'\n");
    fs::create_directories(root_.file("run here"));
    LaunchFile(script, "one 'two words' \"three \\\"quoted\\\"\" four\\ five $HOME *",
               root_.file("run here"));
    EXPECT_EQ(ui_.cursor_, "WD");
    ASSERT_TRUE(waitForLines(out, 7));
    EXPECT_EQ(linesOf(out), (std::vector<std::string>{"one", "two words", "three \"quoted\"", "four five",
                                                      "$HOME", "*", root_.file("run here")}));
    EXPECT_FALSE(exists(record_)); // no xdg-open for a program
}

TEST_F(LaunchTest, TheLauncherNeverWaitsAndChildrenAreReaped) {
    const std::string go = root_.file("go"), out = root_.file("pid.out");
    const std::string script = root_.file("wait.sh");
    // The child waits for the test's signal: a launcher that waited would return only after it.
    writeScript(script, "i=0\nwhile [ ! -e '" + go +
                            "' ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done\n"
                            "echo $$ > '" +
                            out + ".part'\nmv '" + out + ".part' '" + out + "'\n");
    LaunchFile(script, "", "");
    EXPECT_FALSE(exists(out));
    writeText(go, "");
    ASSERT_TRUE(waitForLines(out, 1));
    const std::string proc = "/proc/" + linesOf(out).at(0);
    // An unreaped child would stay behind as a zombie in /proc.
    bool gone = false;
    for (int i = 0; i < 500 && !gone; ++i) {
        gone = !fs::exists(proc);
        if (!gone)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(gone) << proc;
}

struct OpenCase {
    const char* title;
    const char* file;       // "@" stands for the test's folder
    const char* parameters; // likewise
    const char* opened;     // what xdg-open is given
};

class OpenWithDesktopTest : public LaunchTest, public ::testing::WithParamInterface<OpenCase> {
protected:
    std::string expand(std::string text) const {
        const auto at = text.find('@');
        if (at != std::string::npos)
            text.replace(at, 1, root_.path());
        return text;
    }
};

TEST_P(OpenWithDesktopTest, GoesToXdgOpen) {
    writeText(root_.file("log file.log"), "lines\n");
    fs::create_directories(root_.file("data folder"));
    LaunchFile(expand(GetParam().file), expand(GetParam().parameters), root_.path());
    ASSERT_TRUE(waitForLines(record_, 1));
    EXPECT_EQ(linesOf(record_), std::vector<std::string>{expand(GetParam().opened) + "|" + root_.path()});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenWithDesktopTest,
    ::testing::Values(
        OpenCase{"Document", "@/log file.log", "", "@/log file.log"},
        OpenCase{"Folder", "@/data folder", "", "@/data folder"},
        OpenCase{"Url", "https://example.invalid/spylerom", "", "https://example.invalid/spylerom"},
        OpenCase{"Notepad", "notepad.exe", "@/log file.log", "@/log file.log"},
        OpenCase{"Explorer", "/explorer.exe", "@/data folder", "@/data folder"},
        OpenCase{"ExplorerWindowsPath", "C:\\WINDOWS\\Explorer.EXE", "@/data folder", "@/data folder"}),
    [](const auto& p) { return std::string(p.param.title); });

TEST_F(LaunchTest, AMissingTargetStartsNothing) {
    writeText(root_.file("there.txt"), "x");
    LaunchFile(root_.file("not-there.txt"), "", "");
    LaunchFile(root_.file("there.txt"), "", "");
    ASSERT_TRUE(waitForLines(record_, 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(linesOf(record_).size(), 1u);
    EXPECT_EQ(ui_.cursor_, "WDWD");
}

// The running program, as the update and the shortcut see it.
class ProgramAtPlatform : public platform::PosixPlatform {
public:
    explicit ProgramAtPlatform(std::string path) : path_(std::move(path)) {}
    std::string programPath() const override { return path_; }
    std::string path_;
};

class UpdateTest : public LaunchTest {
protected:
    void SetUp() override {
        LaunchTest::SetUp();
        logState().LogEnabled = true;
        OpenSettingsFile();
    }
};

TEST_F(UpdateTest, TheUpdaterGetsTheProgramPathUnquotedAndTheProgramIsAskedToEnd) {
    const std::string bin = root_.file("Solvarek Programmer/");
    fs::create_directories(bin);
    ProgramAtPlatform program(bin + "spylerom");
    platform::setPlatform(&program);
    const std::string out = root_.file("updater.out");
    writeScript(bin + updaterFileName(), "{ echo \"$#\"; echo \"$*\"; pwd; } > '" + out + ".part'\nmv '" +
                                             out + ".part' '" + out + "'\n");
    SelectSection("FOLDERS");
    WriteSettingString("bin_folder", bin);
    ResetSection();

    StartProgramUpdate();
    EXPECT_EQ(ui_.quits_, 1);
    ASSERT_TRUE(waitForLines(out, 3));
    // The path with its blank is the whole parameter text, without quotation marks, so it
    // arrives split at the blank.
    EXPECT_EQ(linesOf(out),
              (std::vector<std::string>{"2", bin + "spylerom", root_.file("Solvarek Programmer")}));
    EXPECT_EQ(countLogLinesContaining(" Starter oppdatering av programmet..."), 1);
    EXPECT_EQ(countLogLinesContaining(" Avslutter " + bin + "spylerom for å oppdatere i fra internett."), 1);
}

TEST_F(UpdateTest, ABinFolderWithoutTheUpdaterIsReplacedByTheProgramsFolder) {
    const std::string stale = root_.file("old-bin/");
    fs::create_directories(stale);
    SelectSection("FOLDERS");
    WriteSettingString("bin_folder", stale);
    ResetSection();
    StartProgramUpdate();
    SelectSection("FOLDERS");
    const std::string bin = platform::folderOf(platform::sys().programPath());
    EXPECT_EQ(ReadSettingString("bin_folder"), bin);
#ifdef _WIN32
    EXPECT_EQ(ui_.quits_, 1); // the program ends even without an updater
    EXPECT_EQ(countLogLinesContaining("Starter oppdatering"), 1);
    EXPECT_EQ(countLogLinesContaining("Avslutter "), 1);
#else
    // Here no updater anywhere means no update from the internet: the program goes on and says so.
    EXPECT_EQ(ui_.quits_, 0);
    EXPECT_EQ(countLogLinesContaining("Starter oppdatering"), 0);
    EXPECT_EQ(countLogLinesContaining("Avslutter "), 0);
    ASSERT_EQ(ui_.boxes_.size(), 1u);
    EXPECT_EQ(ui_.boxes_[0].first, "Direkte oppdatering fra internett");
    EXPECT_NE(ui_.boxes_[0].second.find("Oppdateringsprogrammet " + bin + "oppdater finnes ikke"),
              std::string::npos)
        << ui_.boxes_[0].second;
    EXPECT_EQ(countLogLinesContaining(" HINT: Oppdateringsprogrammet " + bin + "oppdater finnes ikke"), 1);
    EXPECT_EQ(logState().HintCount, 1);
#endif
}

#ifndef _WIN32
struct InstalledCase {
    const char* title;
    const char* program;
    bool byPackageManager;
};

class InstalledByTest : public UpdateTest, public ::testing::WithParamInterface<InstalledCase> {};

// A program the package manager installed is updated with the system, even where an updater
// lies beside it: the command explains that and leaves the program running.
TEST_P(InstalledByTest, DecidesWhetherTheUpdaterIsStarted) {
    const InstalledCase& c = GetParam();
    EXPECT_EQ(installedByPackageManager(c.program), c.byPackageManager);
    if (!c.byPackageManager)
        return; // the updater's own cases are the tests above
    ProgramAtPlatform program(c.program);
    platform::setPlatform(&program);
    StartProgramUpdate();
    EXPECT_EQ(ui_.quits_, 0);
    EXPECT_EQ(countLogLinesContaining("Starter oppdatering"), 0);
    ASSERT_EQ(ui_.boxes_.size(), 1u);
    EXPECT_EQ(ui_.boxes_[0].first, "Direkte oppdatering fra internett");
    EXPECT_TRUE(ui_.boxes_[0].second.starts_with(
        "Spylerom er installert med systemets pakkebehandler og oppdateres med den"))
        << ui_.boxes_[0].second;
    EXPECT_EQ(countLogLinesContaining(" HINT: Spylerom er installert med systemets pakkebehandler"), 1);
    EXPECT_FALSE(exists(record_)); // nothing was started
}

INSTANTIATE_TEST_SUITE_P(Cases, InstalledByTest,
                         ::testing::Values(InstalledCase{"UsrBin", "/usr/bin/spylerom", true},
                                           InstalledCase{"UsrGames", "/usr/games/spylerom", true},
                                           InstalledCase{"UsrLocal", "/usr/local/bin/spylerom", false},
                                           InstalledCase{"Opt", "/opt/solvarek/spylerom", false},
                                           InstalledCase{"Home", "/home/ola/bin/spylerom", false}),
                         [](const auto& p) { return std::string(p.param.title); });
#endif

class ShortcutTest : public LaunchTest {
protected:
    std::string desktop() const { return root_.file("home/Skrivebord"); }
};

TEST_F(ShortcutTest, AMissingDesktopFolderIsAnErrorNamingTheFile) {
    const std::string expected =
        desktop() + "/" + platform::fileNameOf(platform::sys().programPath()) + ".desktop";
    EXPECT_EQ(desktopShortcutPath(), expected);
    try {
        CreateDesktopShortcut();
        ADD_FAILURE() << "no error";
    } catch (const ShortcutError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + expected);
    }
    EXPECT_FALSE(exists(expected));
}

TEST_F(ShortcutTest, ANewLauncherStartsThisProgram) {
    fs::create_directories(desktop());
    ProgramAtPlatform program("/opt/Solvarek Spylerom/spylerom");
    platform::setPlatform(&program);
    CreateDesktopShortcut();
    EXPECT_EQ(readText(desktop() + "/spylerom.desktop"), "[Desktop Entry]\nType=Application\nName=spylerom\n"
                                                         "Exec=\"/opt/Solvarek Spylerom/spylerom\"\n");
}

TEST_F(ShortcutTest, UserProfileWinsOverHome) {
    const std::string profile = root_.file("profile");
    fs::create_directories(profile + "/Skrivebord");
    env_.set("USERPROFILE", profile);
    ProgramAtPlatform program("/opt/spy%rom$1");
    platform::setPlatform(&program);
    CreateDesktopShortcut();
    // "%" is doubled, and the quoted "$" escaped (the backslash itself escaped in the value).
    EXPECT_EQ(readText(profile + "/Skrivebord/spy%rom$1.desktop"),
              "[Desktop Entry]\nType=Application\nName=spy%rom$1\nExec=\"/opt/spy%%rom\\\\$1\"\n");
}

TEST_F(ShortcutTest, AnExistingLauncherKeepsItsOtherContent) {
    fs::create_directories(desktop());
    ProgramAtPlatform program("/opt/spylerom");
    platform::setPlatform(&program);
    const std::string file = desktop() + "/spylerom.desktop";
    writeText(file, "# made by hand\n[Desktop Entry]\nName=Old name\nIcon=/opt/spylerom.png\nExec=/old/path\n"
                    "Comment[nb]=Tøm ledig plass\n\n[Desktop Action Wipe]\nExec=/old/path --wipe\n");
    CreateDesktopShortcut();
    EXPECT_EQ(readText(file), "# made by hand\n[Desktop Entry]\nName=spylerom\nIcon=/opt/spylerom.png\n"
                              "Exec=/opt/spylerom\nComment[nb]=Tøm ledig plass\nType=Application\n\n"
                              "[Desktop Action Wipe]\nExec=/old/path --wipe\n");
}

TEST_F(ShortcutTest, AReadOnlyLauncherIsLeftAsItIs) {
    fs::create_directories(desktop());
    ProgramAtPlatform program("/opt/spylerom");
    platform::setPlatform(&program);
    const std::string file = desktop() + "/spylerom.desktop";
    writeText(file, "[Desktop Entry]\nExec=/old\n");
    setMode(file, 0444);
    EXPECT_THROW(CreateDesktopShortcut(), ShortcutError);
    EXPECT_EQ(readText(file), "[Desktop Entry]\nExec=/old\n");
}

} // namespace
} // namespace spylerom::test
