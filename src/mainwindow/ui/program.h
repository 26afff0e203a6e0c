// The program entry of the window program: the order in which it sets up the log and the
// frame, creates its windows, runs the message loop and ends. What each window does is its
// own business.
#pragma once

#include "mainwindow/ui/spylerom_form.h"

#include <QWidget>
#include <functional>
#include <memory>

namespace spylerom::mainwindow {

// Every window of the program; each exists once, from start-up to the end.
struct ProgramWindows {
    std::unique_ptr<TSpyleRomForm> SpyleRomForm; // the main window, created first

    // The other windows, created hidden after the main window in this order (see
    // createOtherWindows), and destroyed in the reverse order before the main window.
    std::unique_ptr<QWidget> SysInfoForm; // system information dialog
    std::unique_ptr<QWidget> FTPform;     // FTP transfer window
    std::unique_ptr<QWidget> InputForm;   // input dialog
    std::unique_ptr<QWidget> PrintForm;   // preview window
};

// Creates the other windows, hidden, in the order of ProgramWindows.
void createOtherWindows(ProgramWindows& windows);
// Destroys all windows, the last created first; their destroy handlers still find the log and
// the settings in place.
void destroyWindows(ProgramWindows& windows);

struct ProgramHooks {
    // Runs once the main window is shown, just before the message loop (tests, screenshots).
    std::function<void(ProgramWindows&)> shown;
};

// The whole program: InitLog, the frame's start-up, the application title, the windows, the
// message loop until the main window closes (or a request from outside closes it: SIGHUP,
// SIGINT, SIGQUIT, SIGTERM, the window destroyed by another client), the windows destroyed,
// the frame's shut-down, SaveLog. Uses the QApplication that exists, or makes one from argc and
// argv. Returns the message loop's exit code, or 128 + the signal that asked for the end. Should
// the process end under it (a lost display), the frame is shut down and the log saved at exit.
int runProgram(int& argc, char** argv, const ProgramHooks& hooks = {});

} // namespace spylerom::mainwindow
