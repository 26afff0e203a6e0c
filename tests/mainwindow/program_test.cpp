// The whole window program: start-up, the message loop and the end, and the frame's window
// services.
#include "form_fixture.h"

#include "frame/frame_ui.h"
#include "frame/startup.h"
#include "frame/textfil.h"
#include "ftp/ui/ftp_form.h"
#include "ftp/ui/input_form.h"
#include "gui/screen_cursor.h"
#include "mainwindow/ui/program.h"
#include "mainwindow/ui/qt_frame_ui.h"
#include "printing/ui/print_form.h"
#include "support/loop_image.h"
#include "sysinfo/ui/sysinfo_form.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <qpa/qwindowsysteminterface.h>
#include <xcb/xcb.h>

namespace spylerom::test {
namespace {

using mainwindow::ProgramHooks;
using mainwindow::ProgramWindows;
using mainwindow::TSpyleRomForm;

class ProgramTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        platform_.map('D', drive_.path());
    }

    // Runs the program; a watchdog ends a loop that would never end.
    int run(const ProgramHooks& hooks) {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            ADD_FAILURE() << "the program did not end";
            QCoreApplication::exit(99);
        });
        watchdog.start(60000);
        char name[] = "spylerom";
        char* argv[] = {name, nullptr};
        int argc = 1;
        return mainwindow::runProgram(argc, argv, hooks);
    }

    // The main settings file under APPDATA, with the given lines in section STANDARD.
    std::string writeSettings(const std::string& standard) {
        const std::string folder = appData_.path() + "/Solvarek/etc";
        std::filesystem::create_directories(folder);
        writeText(folder + "/solvarek.ini", "[STANDARD]\r\n" + standard);
        return folder + "/solvarek.ini";
    }

    // A 64 MiB image of the test's own as drive Z, with logging on; null (and why) where this
    // machine cannot loop-mount.
    std::unique_ptr<LoopImage> mappedImage(std::string& why) {
        if (!LoopImage::available(&why))
            return nullptr;
        auto image = std::make_unique<LoopImage>(LoopImage::Options{.sizeMiB = 64});
        if (!image->ok()) {
            why = image->error();
            return nullptr;
        }
        platform_.reset();
        platform_.map('Z', image->mountPoint());
        writeSettings("LogToFile=1\r\n");
        return image;
    }

    struct EndedFill {
        int code = -1;
        bool openDuringCleanup = true;
    };
    // Starts a five-pass fill with 512-byte blocks and has `end` end the program from the fill's
    // first cycle; tells whether the window was still open while the pass cleaned up.
    EndedFill runFillEndedBy(const std::function<void(TSpyleRomForm*)>& end) {
        EndedFill result;
        TSpyleRomForm* form = nullptr;
        platform_.onCleanup = [&] {
            result.openDuringCleanup = result.openDuringCleanup && form && form->isVisible();
        };
        result.code = run({.shown = [&](ProgramWindows& windows) {
            form = windows.SpyleRomForm.get();
            form->findChild<QComboBox*>("BlockCombo")->setCurrentIndex(0);
            form->findChild<QSlider*>("TrackBar1")->setValue(5);
            QTimer::singleShot(0, form, [form, end] {
                // START runs the fill inside this handler; the end request arrives in its first cycle.
                QTimer::singleShot(0, form, [form, end] { end(form); });
                form->findChild<QPushButton*>("Startknapp")->click();
            });
        }});
        return result;
    }

    std::string logFileText() const { return exists(logFile()) ? readText(logFile()) : std::string(); }
    std::string logFile() const { return frame::logState().LogFileName; }

    TempDir drive_;
};

TEST_F(ProgramTest, AvsluttEndsTheProgramAndSavesTheLog) {
    bool shownWithFrameUi = false, othersHidden = false;
    std::string title;
    QString applicationName, desktopFileName;
    const int code = run({.shown = [&](ProgramWindows& windows) {
        TSpyleRomForm* form = windows.SpyleRomForm.get();
        othersHidden = dynamic_cast<sysinfo::TSysInfoForm*>(windows.SysInfoForm.get()) &&
                       !windows.SysInfoForm->isVisible() && windows.FTPform && windows.InputForm &&
                       !windows.FTPform->isVisible() && !windows.InputForm->isVisible() &&
                       ftp::TFTPform::instance() == windows.FTPform.get() &&
                       ftp::TInputForm::instance() == windows.InputForm.get();
        shownWithFrameUi =
            form->isVisible() && dynamic_cast<mainwindow::QtFrameUi*>(&frame::frameUi()) != nullptr;
        title = form->windowTitle().toStdString();
        applicationName = QApplication::applicationName();
        desktopFileName = QGuiApplication::desktopFileName();
        QTimer::singleShot(0, form, [form] { form->findChild<QAction*>("Avslytt1")->trigger(); });
    }});
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(shownWithFrameUi);
    EXPECT_TRUE(othersHidden) << "the transfer window, the input dialog and the preview exist, hidden";
    EXPECT_EQ(ftp::TFTPform::instance(), nullptr) << "all windows are destroyed at the end";
    EXPECT_EQ(ftp::TInputForm::instance(), nullptr);
    EXPECT_EQ(printing::TPrintForm::instance(), nullptr);
    EXPECT_EQ(title, "SpyleRom 2.07");
    EXPECT_EQ(applicationName, QStringLiteral("Solvarek Spylerom"));
    EXPECT_EQ(desktopFileName, QStringLiteral("no.solvarek.spylerom")) << "the installed menu entry's name";
    EXPECT_EQ(dynamic_cast<mainwindow::QtFrameUi*>(&frame::frameUi()), nullptr)
        << "the console services are back";
    ASSERT_FALSE(logFile().empty());
    EXPECT_TRUE(exists(logFile())) << "SaveLog writes the log file at the end";
}

TEST_F(ProgramTest, AFileSizeLimitsSignalDoesNotEndTheProgram) {
    // What a write past `ulimit -f` sends: ignored, so the write fails instead (EFBIG) and a fill
    // ends as at a full disk, cleaned up.
    bool survived = false;
    const int code = run({.shown = [&](ProgramWindows& windows) {
        TSpyleRomForm* form = windows.SpyleRomForm.get();
        std::raise(SIGXFSZ);
        survived = true;
        QTimer::singleShot(0, form, [form] { form->findChild<QAction*>("Avslytt1")->trigger(); });
    }});
    EXPECT_TRUE(survived);
    EXPECT_EQ(code, 0);
    struct sigaction after {};
    ASSERT_EQ(sigaction(SIGXFSZ, nullptr, &after), 0);
    EXPECT_EQ(after.sa_handler, SIG_DFL) << "the handling from before the program is back";
}

TEST_F(ProgramTest, StartsAndEndsInOrderLogFrameWindowsLoopWindowsFrameLog) {
    const std::string settings = writeSettings("LogToFile=1\r\nVerboseLogging=1\r\n");
    const int code = run({.shown = [&](ProgramWindows& windows) {
        TSpyleRomForm* form = windows.SpyleRomForm.get();
        QTimer::singleShot(0, form, [form] { form->close(); });
    }});
    EXPECT_EQ(code, 0);
    const std::string saved = logFileText();
    const auto at = [&](const std::string& text) { return saved.find(text); };
    ASSERT_NE(at("START: "), std::string::npos) << saved;
    ASSERT_NE(at("- PROGRAMMET STARTER -"), std::string::npos) << saved;
    ASSERT_NE(at("AVSLUTTER PROGRAM. "), std::string::npos) << saved;
    EXPECT_LT(at("START: "), at("- PROGRAMMET STARTER -")) << "the frame starts before the main window";
    EXPECT_LT(at("- PROGRAMMET STARTER -"), at("AVSLUTTER PROGRAM. ")) << "and shuts down after it";
    EXPECT_EQ(saved.find("\n", at("AVSLUTTER PROGRAM. ")) + 1, saved.size())
        << "the summary is the last line";
    // The preview window stores its zoom as it is destroyed; the frame's shut-down then writes
    // the settings file, so the windows went before it.
    EXPECT_NE(readText(settings).find("PreViewZoom="), std::string::npos) << readText(settings);
}

TEST_F(ProgramTest, ClosingDuringARunEndsTheProgramOnlyAfterTheCleanUp) {
    std::string why;
    const auto image = mappedImage(why);
    if (!image)
        GTEST_SKIP() << why;
    const EndedFill ended = runFillEndedBy([](TSpyleRomForm* form) { form->close(); });
    EXPECT_EQ(ended.code, 0);
    EXPECT_TRUE(ended.openDuringCleanup);
    EXPECT_TRUE(fillFilesIn(image->mountPoint()).empty());
    const std::string saved = logFileText();
    EXPECT_NE(saved.find("Stopper fylling av disk"), std::string::npos);
    EXPECT_NE(saved.find("STOPP: Z: ["), std::string::npos)
        << "the stopped pass logged its end before the save";
    EXPECT_EQ(saved.find("START: Z: [", saved.find("START: Z: [") + 1), std::string::npos) << "one pass only";
    EXPECT_EQ(gui::screenCursor(), std::nullopt);
}

TEST_F(ProgramTest, AfterAnUpdateTheNextStartShowsTheChoicesOfTheLastNormalEnd) {
    TempDir bin;
    platform_.programWithUpdaterIn(bin.path());
    writeSettings("LogToFile=1\r\nVerboseLogging=1\r\n");
    TempDir second;
    platform_.map('E', second.path());
    // A normal end stores these.
    ASSERT_EQ(run({.shown =
                       [&](ProgramWindows& windows) {
                           TSpyleRomForm* form = windows.SpyleRomForm.get();
                           form->findChild<QComboBox*>("FyllCombo")->setCurrentIndex(1);
                           form->findChild<QSlider*>("TrackBar1")->setValue(3);
                           form->findChild<QComboBox*>("Stasjon")->setCurrentIndex(1);
                           form->move(60, 40);
                           QTimer::singleShot(0, form, [form] { form->close(); });
                       }}),
              0);
    // The run that updates changes them, but does not store them.
    frame::ResetFrameState();
    ASSERT_EQ(run({.shown =
                       [&](ProgramWindows& windows) {
                           TSpyleRomForm* form = windows.SpyleRomForm.get();
                           form->findChild<QComboBox*>("FyllCombo")->setCurrentIndex(2);
                           form->findChild<QSlider*>("TrackBar1")->setValue(9);
                           form->move(300, 200);
                           QTimer::singleShot(0, form, [form] {
                               form->findChild<QAction*>("Direkteoppdateringfrainternett1")->trigger();
                           });
                       }}),
              0);
    // The log file holds the earlier run's lines too; this run's begin at its last start.
    const std::string savedLog = logFileText();
    const std::string updateLog = savedLog.substr(savedLog.rfind("- PROGRAMMET STARTER -"));
    EXPECT_NE(updateLog.find("Starter oppdatering av programmet..."), std::string::npos) << updateLog;
    EXPECT_NE(updateLog.find(" for å oppdatere i fra internett."), std::string::npos);
    EXPECT_NE(updateLog.find("AVSLUTTER PROGRAM. "), std::string::npos)
        << "the frame shut down as at every end";
    EXPECT_EQ(updateLog.find("- PROGRAMMET AVSLUTTES -"), std::string::npos) << updateLog;
    EXPECT_NE(savedLog.find("- PROGRAMMET AVSLUTTES -"), std::string::npos) << "the normal end logged it";
    EXPECT_EQ(platform_.launches.size(), 1u);

    frame::ResetFrameState();
    int fyll = -1, gjentagelser = -1, stasjon = -1;
    QPoint place;
    ASSERT_EQ(run({.shown =
                       [&](ProgramWindows& windows) {
                           TSpyleRomForm* form = windows.SpyleRomForm.get();
                           fyll = form->findChild<QComboBox*>("FyllCombo")->currentIndex();
                           gjentagelser = form->findChild<QSlider*>("TrackBar1")->value();
                           stasjon = form->findChild<QComboBox*>("Stasjon")->currentIndex();
                           place = form->frameGeometry().topLeft();
                           QTimer::singleShot(0, form, [form] { form->close(); });
                       }}),
              0);
    EXPECT_EQ(fyll, 1);
    EXPECT_EQ(gjentagelser, 3);
    EXPECT_EQ(stasjon, 1);
    EXPECT_EQ(place, QPoint(60, 40));
}

TEST_F(ProgramTest, UpdateDuringARunEndsTheProgramOnlyAfterTheCleanUp) {
    std::string why;
    const auto image = mappedImage(why);
    if (!image)
        GTEST_SKIP() << why;
    TempDir bin;
    platform_.programWithUpdaterIn(bin.path());
    const EndedFill ended = runFillEndedBy(
        [](TSpyleRomForm* form) { form->findChild<QAction*>("Direkteoppdateringfrainternett1")->trigger(); });
    EXPECT_EQ(ended.code, 0);
    EXPECT_TRUE(ended.openDuringCleanup);
    EXPECT_TRUE(fillFilesIn(image->mountPoint()).empty());
    const std::string saved = logFileText();
    const auto stop = saved.find("STOPP: Z: [");
    ASSERT_NE(stop, std::string::npos) << saved;
    EXPECT_LT(saved.find("Starter oppdatering av programmet..."), stop) << saved;
    EXPECT_EQ(saved.find("START: Z: [", saved.find("START: Z: [") + 1), std::string::npos) << "one pass only";
    EXPECT_EQ(saved.find("- PROGRAMMET AVSLUTTES -"), std::string::npos);
    EXPECT_EQ(userSettingsText().find("[Spylerom]"), std::string::npos) << "the choices are not stored";
    EXPECT_EQ(platform_.launches.size(), 1u);
}

// A request to end the program from outside: the signals of a closed session, kill, Ctrl+C and
// Ctrl+\ (quit), idle or during a fill.
enum class EndWhen { Idle, DuringFill };

struct EndRequestCase {
    const char* name;
    int signal;
    EndWhen when;
};

class EndRequestTest : public ProgramTest, public ::testing::WithParamInterface<EndRequestCase> {};

TEST_P(EndRequestTest, ClosesTheWindowAsAUserWouldAfterAnyCleanUp) {
    std::string why;
    const auto image = mappedImage(why);
    if (!image)
        GTEST_SKIP() << why;
    const int signal = GetParam().signal;
    const auto handlerBefore = std::signal(signal, SIG_DFL);
    std::signal(signal, handlerBefore);

    const bool filled = GetParam().when == EndWhen::DuringFill;
    const int code = run({.shown = [&](ProgramWindows& windows) {
        TSpyleRomForm* form = windows.SpyleRomForm.get();
        form->findChild<QComboBox*>("BlockCombo")->setCurrentIndex(0);
        form->findChild<QSlider*>("TrackBar1")->setValue(5); // long enough for the request to arrive
        QTimer::singleShot(0, form, [form, signal, filled] {
            std::raise(signal);
            if (filled)
                form->findChild<QPushButton*>("Startknapp")->click();
        });
    }});
    EXPECT_EQ(code, 128 + signal) << "the status names the signal, as a shell's would";
    EXPECT_EQ(std::signal(signal, handlerBefore), handlerBefore) << "the program's handler is gone again";
    EXPECT_TRUE(fillFilesIn(image->mountPoint()).empty());
    const std::string saved = logFileText();
    EXPECT_EQ(saved.find("Stopper fylling av disk") != std::string::npos, filled) << saved;
    EXPECT_EQ(saved.find("STOPP: Z: [") != std::string::npos, filled);
    EXPECT_EQ(saved.find("START: Z: [", saved.find("START: Z: [") + 1), std::string::npos)
        << "one pass at most";
    EXPECT_NE(saved.find("- PROGRAMMET AVSLUTTES -"), std::string::npos)
        << "the window closed as at every end";
}

INSTANTIATE_TEST_SUITE_P(Signals, EndRequestTest,
                         ::testing::Values(EndRequestCase{"TermIdle", SIGTERM, EndWhen::Idle},
                                           EndRequestCase{"TermDuringFill", SIGTERM, EndWhen::DuringFill},
                                           EndRequestCase{"HupDuringFill", SIGHUP, EndWhen::DuringFill},
                                           EndRequestCase{"IntDuringFill", SIGINT, EndWhen::DuringFill},
                                           EndRequestCase{"QuitDuringFill", SIGQUIT, EndWhen::DuringFill}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(ProgramTest, TheWindowManagersCloseRequestDuringARunEndsTheProgramAfterTheCleanUp) {
    std::string why;
    const auto image = mappedImage(why);
    if (!image)
        GTEST_SKIP() << why;
    // What the X11 plugin does with the window manager's WM_DELETE_WINDOW: a spontaneous close.
    const EndedFill ended = runFillEndedBy(
        [](TSpyleRomForm* form) { QWindowSystemInterface::handleCloseEvent(form->windowHandle()); });
    EXPECT_EQ(ended.code, 0);
    EXPECT_TRUE(ended.openDuringCleanup);
    EXPECT_TRUE(fillFilesIn(image->mountPoint()).empty());
    const std::string saved = logFileText();
    EXPECT_NE(saved.find("Stopper fylling av disk"), std::string::npos) << saved;
    EXPECT_NE(saved.find("STOPP: Z: ["), std::string::npos);
    EXPECT_NE(saved.find("- PROGRAMMET AVSLUTTES -"), std::string::npos)
        << "the choices were stored, the log saved";
    EXPECT_EQ(saved.find("START: Z: [", saved.find("START: Z: [") + 1), std::string::npos) << "one pass only";
}

TEST_F(ProgramTest, TheWindowDestroyedByAnotherClientDuringARunEndsTheProgramAfterTheCleanUp) {
    std::string why;
    const auto image = mappedImage(why);
    if (!image)
        GTEST_SKIP() << why;
    // `xdotool windowclose` destroys the window without a close request; the X11 plugin hands
    // the DestroyNotify that follows to the native event filters, and does nothing else.
    const EndedFill ended = runFillEndedBy([](TSpyleRomForm* form) {
        xcb_destroy_notify_event_t event{};
        event.response_type = XCB_DESTROY_NOTIFY;
        event.event = event.window = static_cast<xcb_window_t>(form->internalWinId());
        qintptr result = 0;
        QAbstractEventDispatcher::instance()->filterNativeEvent("xcb_generic_event_t", &event, &result);
    });
    EXPECT_EQ(ended.code, 0);
    EXPECT_TRUE(fillFilesIn(image->mountPoint()).empty());
    const std::string saved = logFileText();
    EXPECT_NE(saved.find("Stopper fylling av disk"), std::string::npos) << saved;
    EXPECT_NE(saved.find("STOPP: Z: ["), std::string::npos);
    EXPECT_EQ(saved.find("START: Z: [", saved.find("START: Z: [") + 1), std::string::npos) << "one pass only";
}

TEST_F(ProgramTest, AnotherWindowDestroyedIsNoEndRequest) {
    bool stillOpen = false;
    const int code = run({.shown = [&](ProgramWindows& windows) {
        TSpyleRomForm* form = windows.SpyleRomForm.get();
        QTimer::singleShot(0, form, [form, &stillOpen] {
            xcb_destroy_notify_event_t event{};
            event.response_type = XCB_DESTROY_NOTIFY;
            event.event = event.window = static_cast<xcb_window_t>(form->internalWinId() + 1);
            qintptr result = 0;
            QAbstractEventDispatcher::instance()->filterNativeEvent("xcb_generic_event_t", &event, &result);
            QTimer::singleShot(50, form, [form, &stillOpen] {
                stillOpen = form->isVisible();
                form->close();
            });
        });
    }});
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(stillOpen);
}

class FrameUiTest : public FormTest {
protected:
    mainwindow::QtFrameUi ui_;
};

TEST_F(FrameUiTest, MessageBoxShowsCaptionTextAndOneOkButton) {
    QString caption, text;
    int buttons = 0;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        text = box->text();
        buttons = static_cast<int>(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    ui_.messageBox("FEIL", "Feil under oppretting av ny fil: /x/spylerom.log  (5)");
    EXPECT_EQ(caption, QStringLiteral("FEIL"));
    EXPECT_EQ(text, QStringLiteral("Feil under oppretting av ny fil: /x/spylerom.log  (5)"));
    EXPECT_EQ(buttons, 1);
}

TEST_F(FrameUiTest, WaitCursorComesAndGoes) {
    ui_.setWaitCursor(true);
    EXPECT_EQ(gui::screenCursor(), Qt::WaitCursor);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ui_.setWaitCursor(true); // twice on, once off: the pointers do not stack
    ui_.setWaitCursor(false);
    EXPECT_EQ(gui::screenCursor(), std::nullopt);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FrameUiTest, RequestQuitEndsTheMessageLoop) {
    QTimer::singleShot(0, [&] { ui_.requestQuit(); });
    QTimer::singleShot(30000, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
}

TEST_F(FrameUiTest, RequestQuitDuringARunStopsItFirst) {
    std::string why;
    if (!LoopImage::available(&why))
        GTEST_SKIP() << why;
    LoopImage image({.sizeMiB = 64});
    ASSERT_TRUE(image.ok()) << image.error();
    platform_.map('Z', image.mountPoint());
    TSpyleRomForm form;
    ui_.setMainWindow(&form);
    form.findChild<QComboBox*>("BlockCombo")->setCurrentIndex(0);
    form.findChild<QSlider*>("TrackBar1")->setValue(4);
    bool loopRunningDuringCleanup = false;
    platform_.onCleanup = [&] { loopRunningDuringCleanup = true; };
    QTimer::singleShot(0, &form, [&] {
        QTimer::singleShot(0, &form, [&] { ui_.requestQuit(); });
        form.findChild<QPushButton*>("Startknapp")->click();
    });
    QTimer::singleShot(60000, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(loopRunningDuringCleanup);
    EXPECT_EQ(logLinesWith("START: ").size(), 1u);
    EXPECT_EQ(logLinesWith("STOPP: ").size(), 1u);
    EXPECT_TRUE(fillFilesIn(image.mountPoint()).empty());
}

} // namespace
} // namespace spylerom::test
