// The program entry of the Win32 window program: the order in which it sets up the common
// controls, COM, the log and the frame, creates its windows, runs the message loop and ends.
// What each window does is its own business.
#pragma once

#include "ftp/win32ui/ftp_window.h"
#include "ftp/win32ui/input_window.h"
#include "mainwindow/win32ui/spylerom_form.h"
#include "printing/win32ui/print_form.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace spylerom::mainwindow {

// Every window of the program; each exists once, from start-up to the end.
struct ProgramWindows {
    std::unique_ptr<TSpyleRomForm> SpyleRomForm; // the main window, created first
    // The other windows, created hidden after the main window in this order, and destroyed in
    // the reverse order before it.
    std::unique_ptr<ftp::FtpWindow> FTPform;         // FTP transfer window
    std::unique_ptr<ftp::InputWindow> InputForm;     // input dialog (its window exists while it asks)
    std::unique_ptr<printing::TPrintForm> PrintForm; // preview window
};

struct ProgramHooks {
    // Runs once the main window is shown, just before the message loop (tests, screenshots).
    std::function<void(ProgramWindows&)> shown;
};

// The whole program: the common controls and COM, InitLog and the frame's start-up, the
// windows, the message loop until the main window closes (its close box, "Avslutt", a console
// close or the end of the session) or the update command ends it, the windows destroyed, the
// frame's shut-down and SaveLog. arguments: the command line after the program's path.
// Returns the message loop's exit code.
int runProgram(const std::vector<std::string>& arguments, const ProgramHooks& hooks = {});

} // namespace spylerom::mainwindow
