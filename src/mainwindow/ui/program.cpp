// The window program's order of start-up and shut-down.
#include "mainwindow/ui/program.h"

#include "ftp/ui/ftp_form.h"
#include "ftp/ui/input_form.h"
#include "mainwindow/program_order.h"
#include "mainwindow/ui/end_requests.h"
#include "mainwindow/ui/qt_frame_ui.h"
#include "printing/ui/print_form.h"
#include "sysinfo/ui/sysinfo_form.h"

#include <QApplication>
#include <QMessageBox>

#include <string>
#include <vector>

namespace spylerom::mainwindow {

void createOtherWindows(ProgramWindows& windows) {
    // In this order, each hidden until something shows it. The system information dialog made
    // here is never shown: the menu opens a new one each time.
    windows.SysInfoForm = std::make_unique<sysinfo::TSysInfoForm>();
    windows.FTPform = std::make_unique<ftp::TFTPform>();
    windows.InputForm = std::make_unique<ftp::TInputForm>();
    windows.PrintForm = std::make_unique<printing::TPrintForm>();
}

void destroyWindows(ProgramWindows& windows) {
    windows.PrintForm.reset();
    windows.InputForm.reset();
    windows.FTPform.reset();
    windows.SysInfoForm.reset();
    windows.SpyleRomForm.reset();
}

namespace {

// Tells the user, without stopping the program, what the clean-up of killed fills did.
void showRecoveryNotice(QWidget& parent, const std::vector<fill::Recovery>& recovered) {
    const std::string text = recoveryNoticeText(recovered);
    if (text.empty())
        return;
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Spylerom"),
                                QString::fromStdString(text), QMessageBox::Ok, &parent);
    box->setObjectName(QStringLiteral("RecoveryNotice"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace

int runProgram(int& argc, char** argv, const ProgramHooks& hooks) {
    // The arguments after the program path, as given (the toolkit takes its own out of argv).
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    // The toolkit comes first, so that the frame's start-up can already show a message box.
    std::unique_ptr<QApplication> ownApplication;
    if (!QApplication::instance())
        ownApplication = std::make_unique<QApplication>(argc, argv);
    // Ending the program from outside must not leave a fill's files filling the disk: a request
    // closes the main window as a user would, which stops a fill and waits for its clean-up.
    TSpyleRomForm* mainWindow = nullptr;
    EndRequests endRequests([&mainWindow] {
        if (mainWindow)
            mainWindow->close();
    });
    QtFrameUi frameUi;
    frame::setFrameUi(&frameUi);

    const auto recovered = startProgram(arguments);
    // The application's title: what the task bar shows (the windows keep their own titles).
    QApplication::setApplicationName(QStringLiteral("Solvarek Spylerom"));
    // The installed menu entry, by which a desktop finds the windows' icon and name.
    QGuiApplication::setDesktopFileName(QStringLiteral("no.solvarek.spylerom"));
    // Only the main window's close ends the program; a message box closed before it is shown
    // must not.
    QApplication::setQuitOnLastWindowClosed(false);

    ProgramWindows windows;
    windows.SpyleRomForm = std::make_unique<TSpyleRomForm>();
    // Closing the main window ends the program, whatever other windows are open.
    QObject::connect(windows.SpyleRomForm.get(), &TSpyleRomForm::closed, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    frameUi.setMainWindow(windows.SpyleRomForm.get());
    createOtherWindows(windows);
    windows.SpyleRomForm->show();
    showRecoveryNotice(*windows.SpyleRomForm, recovered);
    mainWindow = windows.SpyleRomForm.get();
    endRequests.watchWindow(mainWindow);
    if (endRequests.requested()) // while the program started, before there was a window to close
        QMetaObject::invokeMethod(mainWindow, &QWidget::close, Qt::QueuedConnection);
    if (hooks.shown)
        hooks.shown(windows);
    const int exitCode = QApplication::exec();

    mainWindow = nullptr;
    endRequests.watchWindow(nullptr);
    frameUi.setMainWindow(nullptr);
    destroyWindows(windows);
    endProgram();
    frame::setFrameUi(nullptr);
    // After a signal, the status says which, as a shell's would for a program it ended.
    const int signal = endRequests.firstSignal();
    return signal != 0 ? 128 + signal : exitCode;
}

} // namespace spylerom::mainwindow
