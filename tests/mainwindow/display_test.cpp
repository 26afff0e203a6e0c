// The window program on a real X display (an Xvfb of the test's own), in a child process of
// its own: what the display itself does to a fill. The display going away under a fill makes
// Qt's X11 plugin end the process; the window destroyed by another client leaves the program
// without a window. Z, a loop image, is the only drive the program sees.
#include "form_fixture.h"

#include "mainwindow/ui/program.h"
#include "support/loop_image.h"
#include "support/temp_dir.h"

#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

extern char** environ;

namespace spylerom::test {
namespace {

using mainwindow::ProgramWindows;
using mainwindow::TSpyleRomForm;

// An X server of the test's own on a free display.
class Xvfb {
public:
    Xvfb() {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        std::string fd = std::to_string(fds[1]);
        std::vector<std::string> args{"Xvfb", "-displayfd", fd,  "-nolisten",
                                      "tcp",  "-screen",    "0", "1024x768x24"};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const bool started = posix_spawnp(&pid_, "Xvfb", nullptr, nullptr, argv.data(), environ) == 0;
        close(fds[1]);
        if (!started)
            pid_ = -1;
        // The server writes its display number once it takes connections.
        pollfd wait{fds[0], POLLIN, 0};
        char number[16] = {};
        if (started && poll(&wait, 1, 20000) > 0 && read(fds[0], number, sizeof number - 1) > 0)
            display_ = ":" + std::string(number, std::strcspn(number, "\n"));
        close(fds[0]);
    }
    ~Xvfb() { stop(); }
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    // Empty when the server did not start.
    const std::string& display() const { return display_; }
    pid_t pid() const { return pid_; }
    void stop() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
    std::string display_;
};

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!LoopImage::available(&why))
            GTEST_SKIP() << why;
        // Large enough that the direct writer is still at work when the display goes.
        image_ = std::make_unique<LoopImage>(LoopImage::Options{.sizeMiB = 1024});
        ASSERT_TRUE(image_->ok()) << image_->error();
        ASSERT_FALSE(xvfb_.display().empty()) << "Xvfb did not start";
        std::filesystem::create_directories(appData_.file("Solvarek/etc"));
        writeText(appData_.file("Solvarek/etc/solvarek.ini"), "[STANDARD]\r\nLogToFile=1\r\n");
    }

    // Runs the program in a child on the display; `during` acts in the first cycle of a fill of
    // Z (five passes of 512-byte blocks). Returns the child's exit status, -1 when it did not end.
    int runFillEndedBy(const std::function<void(TSpyleRomForm*)>& during) {
        const pid_t child = fork();
        if (child == 0)
            runChild(during); // never returns
        for (int waited = 0; waited < 60000; waited += 50) {
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child)
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            usleep(50000);
        }
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        return -1;
    }

    std::string logText() const {
        const std::string path = appData_.file("Solvarek/log/display_tests.log");
        return exists(path) ? readText(path) : std::string();
    }

    std::unique_ptr<LoopImage> image_;
    Xvfb xvfb_;
    TempDir appData_;

private:
    [[noreturn]] void runChild(const std::function<void(TSpyleRomForm*)>& during) {
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        setenv("DISPLAY", xvfb_.display().c_str(), 1);
        setenv("APPDATA", appData_.path().c_str(), 1);
        setenv("USERNAME", "tester", 1);
        unsetenv("SYSTEMDRIVE");
        static MappedDrivesPlatform platform;
        platform.map('Z', image_->mountPoint());
        platform::setPlatform(&platform);
        char name[] = "spylerom";
        char* argv[] = {name, nullptr};
        int argc = 1;
        const int code = mainwindow::runProgram(
            argc, argv, {.shown = [&](ProgramWindows& windows) {
                TSpyleRomForm* form = windows.SpyleRomForm.get();
                if (form->findChild<QComboBox*>("Stasjon")->currentText().left(2) != QStringLiteral("Z:"))
                    _exit(90); // never a fill of anything but the image
                form->findChild<QComboBox*>("BlockCombo")->setCurrentIndex(0);
                form->findChild<QSlider*>("TrackBar1")->setValue(5);
                QTimer::singleShot(0, form, [form, during] {
                    QTimer::singleShot(0, form, [form, during] { during(form); });
                    form->findChild<QPushButton*>("Startknapp")->click();
                });
            }});
        _exit(code);
    }
};

TEST_F(DisplayTest, TheWindowDestroyedByAnotherClientEndsTheProgramAfterTheCleanUp) {
    const std::string display = xvfb_.display();
    // What `xdotool windowclose` does: another client destroys the window, no close request.
    const int status = runFillEndedBy([display](TSpyleRomForm* form) {
        xcb_connection_t* other = xcb_connect(display.c_str(), nullptr);
        // Checked, so the server has done it before this client goes (a request still unread
        // when its client disconnects may be dropped).
        const auto cookie = xcb_destroy_window_checked(other, static_cast<xcb_window_t>(form->winId()));
        xcb_generic_error_t* error = xcb_request_check(other, cookie);
        if (xcb_connection_has_error(other) || error)
            _exit(91);
        xcb_disconnect(other);
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fillFilesIn(image_->mountPoint()).empty());
    const std::string saved = logText();
    EXPECT_NE(saved.find("Stopper fylling av disk"), std::string::npos) << saved;
    EXPECT_NE(saved.find("STOPP: Z: ["), std::string::npos);
    EXPECT_EQ(saved.find("START: Z: [", saved.find("START: Z: [") + 1), std::string::npos) << "one pass only";
    EXPECT_NE(saved.find("- PROGRAMMET AVSLUTTES -"), std::string::npos);
}

TEST_F(DisplayTest, TheDisplayGoneDuringAFillStillSavesTheLog) {
    const pid_t server = xvfb_.pid();
    const int status = runFillEndedBy([server](TSpyleRomForm*) { kill(server, SIGKILL); });
    EXPECT_EQ(status, 1) << "Qt's X11 plugin ends the process with exit(1)";
    EXPECT_TRUE(fillFilesIn(image_->mountPoint()).empty()) << "the exit path cleans up the pass";
    const std::string saved = logText();
    EXPECT_NE(saved.find("START: Z: ["), std::string::npos) << saved;
    EXPECT_NE(saved.find("FEIL: Programmet ble avsluttet uten at vinduet ble lukket"), std::string::npos)
        << saved;
    // What the exit path's clean-up did is in the log, before the program's last word.
    const auto closed = saved.find("Lukker fil nr 1");
    const auto deleted = saved.find("Sletter fil nr. 1");
    const auto stopped = saved.find("STOPP: Z: [");
    ASSERT_NE(closed, std::string::npos) << saved;
    ASSERT_NE(deleted, std::string::npos) << saved;
    ASSERT_NE(stopped, std::string::npos) << saved;
    EXPECT_LT(closed, deleted);
    EXPECT_LT(deleted, stopped);
    EXPECT_LT(stopped, saved.find("FEIL: Programmet ble avsluttet uten at vinduet ble lukket"));
}

} // namespace
} // namespace spylerom::test
